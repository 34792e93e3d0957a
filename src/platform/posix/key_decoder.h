// Turns the bytes a terminal sends into the keys and mouse events of a PC console:
// xterm/VT escape sequences (CSI and SS3 forms with modifier parameters), control
// characters, UTF-8 text and SGR mouse reports become key codes as the keyboard
// BIOS gives them (scan code * 256 + character) with BIOS shift bits.
//
// Terminals cannot tell Ctrl+M from Enter nor Ctrl+I from Tab, nor Ctrl+H from
// Backspace: 0x0D is Enter, 0x09 Tab, 0x08 and 0x7F Backspace. 0x0A, which a
// terminal sends for Ctrl+J and often for Ctrl+Enter, is Ctrl+Enter.
//
// Pure: fed bytes with the time they arrived, so it is tested without a terminal.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "platform/bios_keys.h"
#include "platform/console.h"

namespace zq::platform {

class KeyDecoder {
 public:
  // A lone Esc is told from the start of a sequence by this much silence after it.
  static constexpr long long kEscTimeoutMs = 50;
  // Two presses of one button on one cell within this time make a double click.
  static constexpr long long kDoubleClickMs = 500;
  // Terminals know nothing of Num Lock; a PC keyboard mostly has it on, and the
  // toolkit's Alt+Shift letters look for exactly that state.
  static constexpr std::uint8_t kBaseShift = kNumLock;

  void Feed(std::string_view bytes, long long nowMs);
  // The input has ended: whatever is waiting is decoded now, without the timeout.
  void EndOfInput(long long nowMs);
  // Next complete event; a partial sequence is held until kEscTimeoutMs after its
  // last byte.
  bool Next(InputEvent& event, long long nowMs);
  // Complete events available now (the same rule as Next).
  int Ready(long long nowMs);
  // Drops every waiting byte and event (mouse button state is kept).
  void Clear();
  bool HasPartial() const { return !buffer_.empty(); }

 private:
  enum class Parse { kDone, kNeedMore };
  void Decode(long long nowMs, bool final);
  Parse DecodeOne(bool final, std::size_t& used);
  Parse DecodeEscape(bool final, std::size_t& used);
  Parse DecodeCsi(std::size_t start, bool final, std::size_t& used, std::uint8_t extraShift);
  Parse DecodeSs3(std::size_t start, bool final, std::size_t& used, std::uint8_t extraShift);
  void DecodeSgrMouse(std::string_view params, bool release);
  void DecodeLegacyMouse(int b, int x, int y);
  void EmitMouse(int b, int column, int row, bool release);
  void EmitKey(std::uint8_t scan, std::uint8_t ch, std::uint8_t shift);
  void EmitByte(std::uint8_t b, std::uint8_t extraShift);
  void EmitAltByte(std::uint8_t b);
  void EmitPcKey(PcKey key, std::uint8_t shift);
  void EmitCodepoint(int code, std::uint8_t shift);

  std::string buffer_;
  std::deque<InputEvent> ready_;
  long long lastByteMs_ = 0;
  long long nowMs_ = 0;
  std::uint8_t buttons_ = 0;
  long long lastPressMs_ = -1000000;
  int lastPressButton_ = -1, lastPressColumn_ = -1, lastPressRow_ = -1;
};

}  // namespace zq::platform
