// Sample makers of the reference bases: the global address and tax-office bases, the
// accounting office's invoice data, the operators and the installation's wage settings
// in #BIN980, and each firm's address, automation, transfer, internal-document,
// interest-list, vehicle, one-off depreciation and correction-note bases. Records are
// written over the bytes an older record left behind, as the accounting program leaves
// them, so readers must go by the fields.
#pragma once

#include "sample.h"

namespace zq::sample {

void MakeAddressBase(MakerContext& ctx, FileSink& sink);  // global or firm
void MakeTaxOfficeBase(MakerContext& ctx, FileSink& sink);
void MakeOfficeData(MakerContext& ctx, FileSink& sink);
void MakeOperators(MakerContext& ctx, FileSink& sink);
void MakeGlobalWageSettings(MakerContext& ctx, FileSink& sink);

void MakeAutomationBases(MakerContext& ctx, FileSink& sink);
void MakeTransferBase(MakerContext& ctx, FileSink& sink);
void MakeInternalDocuments(MakerContext& ctx, FileSink& sink);
void MakeInterestLists(MakerContext& ctx, FileSink& sink);
void MakeVehicles(MakerContext& ctx, FileSink& sink);
void MakeOneOffAssets(MakerContext& ctx, FileSink& sink);
void MakeCorrectionNotes(MakerContext& ctx, FileSink& sink);

}  // namespace zq::sample
