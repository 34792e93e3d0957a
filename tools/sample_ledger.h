// Sample makers of what a firm keyed into 2020 with the old program version: the ledger
// entries and repayments of the first months (2020K880.m, 2020SP.m) and the payroll
// records (2020WP2.REK), with the payroll list settings (2019_lp.cc, 2020_lp.cc) beside
// them. The entries go through every column code the conversion
// treats apart, struck-out entries, caret texts, the VAT modes and limit modes and the
// settlement flags; texts leave the old program's stale bytes after their end.
#pragma once

#include <string>

#include "sample.h"

namespace zq::sample {

// `count` old-layout entries of month 1..12 of 2020; `serial` numbers them and runs on
// from one month to the next.
std::string LedgerEntries(Rng& rng, int month, int count, bool vatProportional, int& serial);
// `count` repayment records of the month.
std::string Repayments(Rng& rng, int month, int count);
// One old-layout payroll record per person, months 1..`months` filled in.
std::string PayrollRecords(Rng& rng, int persons, int months);
// One payroll list settings record of 2019, in layout 4 or in the older layout.
std::string WageSettings(Rng& rng, bool layout4);

void MakeLedgerMonths(MakerContext& ctx, FileSink& sink);
void MakePayroll2020(MakerContext& ctx, FileSink& sink);
void MakeWageSettings(MakerContext& ctx, FileSink& sink);

}  // namespace zq::sample
