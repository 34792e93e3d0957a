// The Environment recognition: which firms of the Source tree's firm list still have
// to be carried into the Target tree. A firm is listed when its data directory exists
// in the Source tree and not yet in the Target tree; everything else is reported on
// the progress log.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/firm_list.h"
#include "driver/run_state.h"

namespace zq::driver {

// Whether a firm record's directory can be used as one directory name directly under
// a tree root on every host. Refused: an empty name, a name that is only blanks and
// dots ("." and ".." among them, since the host drops trailing blanks and dots),
// separators, a drive colon, control characters, the characters no Windows name may
// hold, and the device names (CON, NUL, COM1, ...). Such a firm could otherwise send
// the run to the tree root itself or out of the tree.
bool IsUsableFirmDirectory(std::string_view directory);

// Where a firm of the Source list stands: only an offered firm is carried.
enum class FirmPlace { kBadDirectory, kInTarget, kNoSource, kOffered };
FirmPlace PlaceOf(RunState& run, const std::string& directory);

// The directories of the firms the Environment recognition would offer, read quietly
// (no line, no window, no wait), so that an unattended run can check its firm list
// before anything is written; nothing when the Source firm list cannot be read.
std::optional<std::vector<std::string>> OfferedDirectories(RunState& run);

// Reads the Source firm list and fills `firms` (emptied first) with the firms to carry
// over, at most kMaxFirms of them; returns their number. Ends the program with exit
// code 0 when the list cannot be opened, its size cannot be taken or it holds no whole
// record.
//
// Beyond the log lines the ledger program's users know, it warns (colour 14) of:
// records with a directory that IsUsableFirmDirectory refuses (left out, and the list
// is to be repaired); a torn record at the end of the list (left out, repair); and a
// firm whose Target directory exists while the Target firm list does not hold it, the
// trace of a run that ended early, which discovery leaves out as any firm found in the
// Target tree, so the user must see it.
int RecogniseEnvironment(RunState& run, FirmList& firms);

}  // namespace zq::driver
