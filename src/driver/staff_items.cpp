#include "driver/staff_items.h"

#include "convert/staff.h"
#include "driver/firm_run.h"

namespace zq::driver {

namespace {

void Tally(FirmContext& firm, const convert::StaffFileResult& result) {
  firm.Count(result.status);
  firm.errors += result.damaged;
}

convert::TaxFormChoice FormChoice(const FirmContext& firm) {
  return {.selection = firm.run.options.pid5Scope, .annualFrom2020 = firm.annualFrom2020};
}

}  // namespace

void BeginStaff(FirmContext& firm) {
  firm.staff.Begin(firm.run.options.staffScope);
}

void ConvertStaffPersons(FirmContext& firm) {
  Tally(firm, convert::ConvertPersons(firm.Copier(), firm.staff,
                                      firm.SourcePath(convert::kPersonFileName),
                                      firm.TargetPath(convert::kPersonFileName)));
}

void ConvertStaffFamilies(FirmContext& firm) {
  Tally(firm, convert::ConvertFamilies(firm.Copier(), firm.staff,
                                       firm.SourcePath(convert::kFamilyFileName),
                                       firm.TargetPath(convert::kFamilyFileName)));
}

void ConvertPid5Data(FirmContext& firm) {
  const std::string source =
      ChooseRecordSource(firm, convert::kPid5Name2020, convert::kPid5Name2019);
  Tally(firm, convert::ConvertPid5Forms(firm.Copier(), FormChoice(firm), source,
                                        firm.TargetPath(convert::kPid5Name2020)));
}

void ConvertPit28Data(FirmContext& firm) {
  const std::string source =
      ChooseRecordSource(firm, convert::kPit28Name2020, convert::kPit28Name2019);
  Tally(firm, convert::ConvertPit28Forms(firm.Copier(), FormChoice(firm), source,
                                         firm.TargetPath(convert::kPit28Name2020)));
}

void CopyStaffContracts(FirmContext& firm) {
  Tally(firm, convert::CopyContracts(firm.Copier(), firm.staff,
                                     firm.SourcePath(convert::kContractFileName),
                                     firm.TargetPath(convert::kContractFileName)));
}

}  // namespace zq::driver
