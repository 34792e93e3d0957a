// The staff items of a firm's run: the staff state begun anew, the persons, their
// families, the PID-5 and PIT-28 data and the contracts of 2020, each counted into the
// firm's errors and not-carried records.
#pragma once

#include "driver/firm_items.h"

namespace zq::driver {

// Selection mode from the options, nobody moved yet.
void BeginStaff(FirmContext& firm);
void ConvertStaffPersons(FirmContext& firm);
void ConvertStaffFamilies(FirmContext& firm);
// The Source file of 2020 or of 2019, as ChooseRecordSource decides.
void ConvertPid5Data(FirmContext& firm);
void ConvertPit28Data(FirmContext& firm);
void CopyStaffContracts(FirmContext& firm);

}  // namespace zq::driver
