// Ready-made modal windows: the yes/no question, message boxes (the error box among
// them) and the input box. Each runs its own event loop on top of whatever is open and
// gives back the screen and the StatusLine beneath when it ends.
//
// Message texts use three layout codes: '\r' (13) starts a new line, '\x03' at the start
// of a line centres it, and in a MessageBox a '\a' (7) separates a title from the text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tui/screen.h"

namespace zq::tui {

inline constexpr char kNewLine = '\r';
inline constexpr char kCentre = '\x03';
inline constexpr char kTitleEnd = '\a';

// Asks with "T a k" / "N i e"; Enter takes the answer shown, which starts as
// `defaultYes`. Row and column of the window's top-left corner; the window is moved up
// and left when it would not fit. Esc does nothing. True for yes.
bool YesNoQuestion(Screen& screen, bool defaultYes, std::string_view text, int row, int column);

// MessageBox flags: the low four bits the kind, bits 8..11 the buttons, 8 self-closing.
inline constexpr std::uint16_t kMbWarning = 0x0000;       // " UWAGA "
inline constexpr std::uint16_t kMbError = 0x0001;         // " Błąd ", error colours
inline constexpr std::uint16_t kMbInformation = 0x0002;   // " Informacja "
inline constexpr std::uint16_t kMbConfirmation = 0x0003;  // " Potwierdź "
inline constexpr std::uint16_t kMbSelfClosing = 0x0008;   // shown 2.5 s, returns kCmCancel
inline constexpr std::uint16_t kMbYes = 0x0100;
inline constexpr std::uint16_t kMbNo = 0x0200;
inline constexpr std::uint16_t kMbOk = 0x0400;
inline constexpr std::uint16_t kMbCancel = 0x0800;  // "Porzuć"

// Returns the command of the button (kCmYes, kCmNo, kCmOk, kCmCancel), kCmCancel also
// for Esc, the right button and a window that cannot be opened.
std::uint16_t MessageBox(Screen& screen, std::uint16_t flags, std::string_view text, int height,
                         int width, int row, int column);
// Height 10, width 40, row 8, column 20.
std::uint16_t MessageBox(Screen& screen, std::uint16_t flags, std::string_view text);
// MessageBox(kMbError | kMbOk, text).
std::uint16_t ErrorBox(Screen& screen, std::string_view text);

// Asks for a line of text under `prompt` (layout codes as above). The variable keeps
// its old value unless the box is left with OK; returns kCmOk or kCmCancel.
std::uint16_t InputBox(Screen& screen, bool password, std::string& variable,
                       std::string_view prompt);
// Field width for the next InputBox only, 1..36; other values are ignored. 37 otherwise.
void SetInputBoxWidth(Screen& screen, int width);

}  // namespace zq::tui
