// Sample makers of a firm's people: the persons (employed, gone before, on and after
// 31.12.2019, deleted ones with negative keys, in some firms protected under one of
// several seeds), their families, the PID-5 and PIT-28 data of 2019 or of 2020 (with a
// form of 2019 among those of 2020) and the contracts of mandate entered in 2020.
#pragma once

#include <cstdint>
#include <string>

#include "sample.h"

namespace zq::sample {

// Seeds the protected person files of the sample are scrambled with.
inline constexpr std::uint8_t kStaffSeeds[] = {0x2B, 0x71, 0xC8};

struct StaffPlan {
  int persons = 6;
  int familyMembers = 8;   // spread over the persons
  int contracts = 3;       // 0: no contract file
  int forms = 2;           // PID-5 and PIT-28 records each; 0: no form files
  bool forms2020 = false;  // the forms are in the files of 2020, else of 2019
  bool protect = false;
  std::uint8_t seed = kStaffSeeds[0];
  // One person of each kind first (employed, gone before, on and after 31.12.2019,
  // deleted), and a text over its field, so the first firm shows every case.
  bool everyCase = false;
};

struct StaffFiles {
  std::string persons;    // DANE_PR8.REK
  std::string families;   // DANE_PF8.REK
  std::string contracts;  // 2020UZ3.REK
  std::string pid5;       // 2019p5.13 or 2020p5.13
  std::string pit28;      // 2019_p28.rek or 2020_p28.rek
};

// Deterministic from `rng`; the benchmark makes large firms with it.
StaffFiles MakeStaffFiles(Rng& rng, const StaffPlan& plan);

void MakeStaff(MakerContext& ctx, FileSink& sink);

}  // namespace zq::sample
