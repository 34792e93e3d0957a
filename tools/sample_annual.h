// Sample makers of a firm's annual settings and own data: 2019_ROK.REK (closed, or with
// December left open), 2020_ROK.REK begun in the old version, the carried 2020_ROK.REK
// of a firm already in the Target tree, FIRMATXT.INI as a 2019 installation holds it,
// the firm record FIRMA_A8.REK, the advance payments 2020ZAL.REK and the transfer
// settings BAZA_PP8.INI. The records follow the layouts the conversions read.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "sample.h"

namespace zq::sample {

// Firms whose December 2019 was never approved (approval state 12): their annual
// settings conversion warns, and waits for a key, before carrying the closing state.
bool HasOpenDecember(std::size_t firmIndex);

// The sample's facts about a firm's town (SampleFirm::town), kept with the firm table.
struct TownFacts {
  std::string_view province;
  int postcode = 0;  // the first two digits
  std::span<const std::string_view> streets;
};
TownFacts FactsOfTown(std::string_view town);

void MakeAnnual2019(MakerContext& ctx, FileSink& sink);
void MakeAnnual2020(MakerContext& ctx, FileSink& sink);
void MakeCarriedAnnual(MakerContext& ctx, FileSink& sink);
void MakeFirmText(MakerContext& ctx, FileSink& sink);
void MakeFirmAddress(MakerContext& ctx, FileSink& sink);
void MakeAdvancePayments(MakerContext& ctx, FileSink& sink);
void MakeTransferSettings(MakerContext& ctx, FileSink& sink);

}  // namespace zq::sample
