// The " BAZA FIRM " window: the firms found by the Environment recognition, one line
// each with its selection mark, for the user to choose which ones to carry over.
// Selection belongs to the firm, not to the line, so it survives scrolling.
#pragma once

#include <cstdint>
#include <string>

#include "driver/firm_list.h"
#include "tui/screen.h"

namespace zq::driver {

// Commands of the window's StatusLine.
inline constexpr std::uint16_t kToggleFirm = 0xF0;
inline constexpr std::uint16_t kSelectAllFirms = 0xF1;
inline constexpr std::uint16_t kSelectNoFirms = 0xF2;

// Marks of a selected and a deselected firm (code page 852: a small filled square and
// a middle dot).
inline constexpr char kSelectedMark = '\xFE';
inline constexpr char kDeselectedMark = '\xFA';

inline constexpr int kFirmLineWidth = 52;
// Columns (1-based) of the list line, also the quick search columns 1 and 34.
inline constexpr int kNameColumn = 1;
inline constexpr int kMarkColumn = 32;
inline constexpr int kDirectoryColumn = 34;
inline constexpr int kInfoColumn = 43;

// The 52-character line of one firm: name, mark, directory and the first 10
// characters of the note.
std::string FirmLine(const Firm& firm);

// Shows the window until F5 (true) or Esc (false); the choice is left in the firms'
// Selected flags. A window that cannot be opened counts as Esc.
bool ChooseFirms(tui::Screen& screen, FirmList& firms);

}  // namespace zq::driver
