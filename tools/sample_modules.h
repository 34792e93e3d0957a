// Sample makers of the add-on module files: the fixed-asset bases with their settings
// and their list of further bases, and the mileage log's settings, addresses, cars and
// year folder.
#pragma once

#include <string>
#include <string_view>

#include "sample.h"

namespace zq::sample {

// A further base of the sample firms' stbazy.rek whose name is no file name; the run
// must pass it over.
inline constexpr std::string_view kBadAssetBaseName = "..\\ARCHIWUM";

// `count` assets of a fixed-asset base, each text within its field.
std::string FixedAssetRecords(Rng& rng, int count);
// stbazy.rek listing the main base and the given further ones, in that order.
std::string AssetBaseList(Rng& rng, std::initializer_list<std::string_view> names);

void MakeAssetFiles(MakerContext& ctx, FileSink& sink);
void MakeMileageFiles(MakerContext& ctx, FileSink& sink);

}  // namespace zq::sample
