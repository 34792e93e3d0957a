// Sample makers of the per-firm files that the per-firm run carries as they are or
// through its own small operations: the DRA declarations of 2020, the fixed-asset and
// mileage module files, and the files a firm that began 2020 in the old version holds.
#pragma once

#include <cstddef>

#include "sample.h"

namespace zq::sample {

// A DRA declaration: a header, then attachment blocks.
inline constexpr std::size_t kDraHeaderBytes = 896;
inline constexpr std::size_t kDraBlockBytes = 448;

void MakeDraDeclarations(MakerContext& ctx, FileSink& sink);
void MakeModuleFiles(MakerContext& ctx, FileSink& sink);
void MakeYear2020Files(MakerContext& ctx, FileSink& sink);

}  // namespace zq::sample
