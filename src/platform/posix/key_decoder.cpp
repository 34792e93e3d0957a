#include "platform/posix/key_decoder.h"

#include <algorithm>
#include <vector>

#include "platform/bios_keys.h"
#include "platform/cp852.h"

namespace zq::platform {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
// A sequence that has not ended after this many bytes is noise, not a key.
constexpr std::size_t kMaxSequence = 48;

std::uint8_t ShiftFromModifier(int m) {
  if (m < 2) return 0;
  int v = m - 1;
  std::uint8_t s = 0;
  if (v & 1) s |= kShift;
  if (v & (2 | 8)) s |= kAlt;
  if (v & 4) s |= kCtrl;
  return s;
}

std::vector<int> Numbers(std::string_view params) {
  std::vector<int> out;
  int value = 0;
  bool any = false;
  for (char c : params) {
    if (c >= '0' && c <= '9') {
      value = std::min(value * 10 + (c - '0'), 100000);
      any = true;
    } else if (c == ';' || c == ':') {
      out.push_back(any ? value : -1);
      value = 0;
      any = false;
    }
  }
  out.push_back(any ? value : -1);
  return out;
}

int Param(const std::vector<int>& p, std::size_t i, int fallback) {
  return i < p.size() && p[i] >= 0 ? p[i] : fallback;
}

// The key a "CSI n ~" number stands for; false when none.
bool TildeKey(int n, PcKey& key, std::uint8_t& shift) {
  switch (n) {
    case 1:
    case 7:
      key = PcKey::kHome;
      return true;
    case 2:
      key = PcKey::kIns;
      return true;
    case 3:
      key = PcKey::kDel;
      return true;
    case 4:
    case 8:
      key = PcKey::kEnd;
      return true;
    case 5:
      key = PcKey::kPgUp;
      return true;
    case 6:
      key = PcKey::kPgDn;
      return true;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      key = FunctionKey(n - 10);
      return true;
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      key = FunctionKey(n - 11);
      return true;
    case 23:
    case 24:
      key = FunctionKey(n - 12);
      return true;
    default:
      break;
  }
  // rxvt numbers Shift+F3 .. Shift+F10 on from 25.
  static constexpr int kShifted[] = {25, 26, 28, 29, 31, 32, 33, 34};
  for (int i = 0; i < 8; ++i)
    if (kShifted[i] == n) {
      shift |= kShift;
      key = FunctionKey(3 + i);
      return true;
    }
  return false;
}

// The cursor keys and F1..F4 as the final byte of a CSI or SS3 sequence; false
// for any other byte.
bool FinalKey(char fin, PcKey& key) {
  switch (fin) {
    case 'A':
      key = PcKey::kUp;
      return true;
    case 'B':
      key = PcKey::kDown;
      return true;
    case 'C':
      key = PcKey::kRight;
      return true;
    case 'D':
      key = PcKey::kLeft;
      return true;
    case 'H':
      key = PcKey::kHome;
      return true;
    case 'F':
      key = PcKey::kEnd;
      return true;
    case 'E':
      key = PcKey::kCenter;
      return true;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      key = FunctionKey(fin - 'P' + 1);
      return true;
    default:
      return false;
  }
}

// rxvt's cursor keys with a modifier (Shift after CSI, Ctrl after SS3).
bool RxvtCursorKey(char fin, PcKey& key) {
  return fin >= 'a' && fin <= 'd' && FinalKey(static_cast<char>(fin - 'a' + 'A'), key);
}

}  // namespace

void KeyDecoder::Feed(std::string_view bytes, long long nowMs) {
  if (bytes.empty()) return;
  buffer_.append(bytes);
  lastByteMs_ = nowMs;
  Decode(nowMs, false);
}

void KeyDecoder::EndOfInput(long long nowMs) {
  Decode(nowMs, true);
}

bool KeyDecoder::Next(InputEvent& event, long long nowMs) {
  if (ready_.empty()) Decode(nowMs, nowMs - lastByteMs_ >= kEscTimeoutMs);
  if (ready_.empty()) return false;
  event = ready_.front();
  ready_.pop_front();
  return true;
}

int KeyDecoder::Ready(long long nowMs) {
  Decode(nowMs, nowMs - lastByteMs_ >= kEscTimeoutMs);
  return static_cast<int>(ready_.size());
}

void KeyDecoder::Clear() {
  buffer_.clear();
  ready_.clear();
}

void KeyDecoder::Decode(long long nowMs, bool final) {
  nowMs_ = nowMs;
  while (!buffer_.empty()) {
    std::size_t used = 0;
    if (DecodeOne(final, used) == Parse::kNeedMore) break;
    buffer_.erase(0, std::clamp<std::size_t>(used, 1, buffer_.size()));
  }
}

void KeyDecoder::EmitKey(std::uint8_t scan, std::uint8_t ch, std::uint8_t shift) {
  InputEvent e;
  e.kind = InputEvent::Kind::Key;
  e.key = KeyEvent{scan, ch, static_cast<std::uint8_t>(shift | kBaseShift)};
  ready_.push_back(e);
}

void KeyDecoder::EmitPcKey(PcKey key, std::uint8_t shift) {
  KeyEvent k = PcKeyEvent(key, shift);
  EmitKey(k.scan, k.ch, k.shift);
}

void KeyDecoder::EmitByte(std::uint8_t b, std::uint8_t extraShift) {
  std::uint8_t shift = extraShift;
  switch (b) {
    case 0x0D:
      EmitPcKey(PcKey::kEnter, shift);
      return;
    case 0x0A:
      EmitPcKey(PcKey::kEnter, shift | kCtrl);
      return;
    case 0x09:
      EmitPcKey(PcKey::kTab, shift);
      return;
    case 0x08:
    case 0x7F:
      EmitPcKey(PcKey::kBackspace, shift);
      return;
    case 0x00:
      EmitKey(0x03, 0x00, shift | kCtrl);
      return;
    case 0x1C:
      EmitKey(0x2B, 0x1C, shift | kCtrl);
      return;
    case 0x1D:
      EmitKey(0x1B, 0x1D, shift | kCtrl);
      return;
    case 0x1E:
      EmitKey(0x07, 0x1E, shift | kCtrl);
      return;
    case 0x1F:
      EmitKey(0x0C, 0x1F, shift | kCtrl);
      return;
    default:
      break;
  }
  if (b >= 0x01 && b <= 0x1A) {
    EmitKey(KeyOfCharacter(static_cast<std::uint8_t>('a' + b - 1)).scan, b, shift | kCtrl);
    return;
  }
  if (b >= 0x20 && b < 0x7F) {
    CharacterKey k = KeyOfCharacter(b);
    EmitKey(k.scan, b, shift | (k.shifted ? kShift : 0));
  }
}

void KeyDecoder::EmitAltByte(std::uint8_t b) {
  switch (b) {
    case 0x0D:
      EmitPcKey(PcKey::kEnter, kAlt);
      return;
    case 0x0A:
      EmitPcKey(PcKey::kEnter, kAlt | kCtrl);
      return;
    case 0x09:
      EmitPcKey(PcKey::kTab, kAlt);
      return;
    case 0x08:
    case 0x7F:
      EmitPcKey(PcKey::kBackspace, kAlt);
      return;
    default:
      break;
  }
  if (b < 0x20) {
    // Alt+Ctrl+letter: the letter's key without a character.
    std::uint8_t scan = (b >= 0x01 && b <= 0x1A)
                            ? KeyOfCharacter(static_cast<std::uint8_t>('a' + b - 1)).scan
                            : 0x03;
    EmitKey(scan, 0, kAlt | kCtrl);
    return;
  }
  if (b >= 0x7F) return;
  CharacterKey k = KeyOfCharacter(b);
  std::uint8_t shift = kAlt | (k.shifted ? kShift : 0);
  if (b == ' ')
    EmitKey(0x39, ' ', shift);
  else
    EmitKey(AltScan(k.scan), 0, shift);
}

KeyDecoder::Parse KeyDecoder::DecodeOne(bool final, std::size_t& used) {
  auto b = static_cast<std::uint8_t>(buffer_[0]);
  if (b == kEsc) return DecodeEscape(final, used);
  if (b < 0x80) {
    EmitByte(b, 0);
    used = 1;
    return Parse::kDone;
  }
  // UTF-8 text.
  std::size_t need = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (need == 0 || b >= 0xF8) {  // stray continuation byte or invalid lead
    used = 1;
    return Parse::kDone;
  }
  for (std::size_t i = 1; i < need; ++i) {
    if (i >= buffer_.size()) {
      if (!final) return Parse::kNeedMore;
      used = 1;  // a cut-off character is dropped
      return Parse::kDone;
    }
    if ((static_cast<std::uint8_t>(buffer_[i]) & 0xC0) != 0x80) {
      used = 1;
      return Parse::kDone;
    }
  }
  used = need;
  std::size_t at = 0;
  char32_t cp = DecodeUtf8(std::string_view(buffer_).substr(0, need), at);
  // Overlong forms could smuggle control bytes (even Esc) past the decoder.
  if (cp < 0x80 || (cp >= 0xD800 && cp < 0xE000)) return Parse::kDone;
  int ch = UnicodeToCp852(cp);
  if (ch <= 0) return Parse::kDone;  // outside the code page: nothing to type
  CharacterKey k = KeyOfCharacter(static_cast<std::uint8_t>(ch));
  EmitKey(k.scan, static_cast<std::uint8_t>(ch), k.shifted ? kShift : 0);
  return Parse::kDone;
}

KeyDecoder::Parse KeyDecoder::DecodeEscape(bool final, std::size_t& used) {
  if (buffer_.size() < 2) {
    if (!final) return Parse::kNeedMore;
    EmitPcKey(PcKey::kEsc, 0);
    used = 1;
    return Parse::kDone;
  }
  auto b1 = static_cast<std::uint8_t>(buffer_[1]);
  if (b1 == '[' || b1 == 'O') {
    Parse p = b1 == '[' ? DecodeCsi(2, final, used, 0) : DecodeSs3(2, final, used, 0);
    if (p == Parse::kNeedMore && final) {
      // Nothing followed: it was Alt with that key; anything longer is cut-off noise.
      if (buffer_.size() == 2) {
        EmitAltByte(b1);
        used = 2;
      } else {
        used = buffer_.size();
      }
      return Parse::kDone;
    }
    return p;
  }
  if (b1 == kEsc) {
    // Esc Esc [ ... : Alt with a cursor or function key (some terminals send it so).
    if (buffer_.size() >= 3 && (buffer_[2] == '[' || buffer_[2] == 'O')) {
      Parse p =
          buffer_[2] == '[' ? DecodeCsi(3, final, used, kAlt) : DecodeSs3(3, final, used, kAlt);
      if (p == Parse::kDone || !final) return p;
    } else if (buffer_.size() < 3 && !final) {
      return Parse::kNeedMore;
    }
    // Two presses of Esc.
    EmitPcKey(PcKey::kEsc, 0);
    used = 1;
    return Parse::kDone;
  }
  if (b1 < 0x80) {
    EmitAltByte(b1);
    used = 2;
    return Parse::kDone;
  }
  // Alt with a non-ASCII character: decode the character, keep the Alt bit.
  std::string saved = buffer_.substr(0, 1);
  buffer_.erase(0, 1);
  std::size_t before = ready_.size();
  Parse p = DecodeOne(final, used);
  buffer_.insert(0, saved);
  if (p == Parse::kNeedMore) return p;
  if (ready_.size() > before) ready_.back().key.shift |= kAlt;
  used += 1;
  return Parse::kDone;
}

KeyDecoder::Parse KeyDecoder::DecodeCsi(std::size_t start, bool final, std::size_t& used,
                                        std::uint8_t extraShift) {
  std::string_view in(buffer_);
  if (start >= in.size()) return Parse::kNeedMore;
  // Legacy mouse report: CSI M and three bytes.
  if (in[start] == 'M') {
    if (in.size() < start + 4) return Parse::kNeedMore;
    DecodeLegacyMouse(static_cast<std::uint8_t>(in[start + 1]) - 32,
                      static_cast<std::uint8_t>(in[start + 2]) - 32,
                      static_cast<std::uint8_t>(in[start + 3]) - 32);
    used = start + 4;
    return Parse::kDone;
  }
  // Linux console function keys: CSI [ A .. E.
  if (in[start] == '[') {
    if (in.size() < start + 2) return Parse::kNeedMore;
    char f = in[start + 1];
    if (f >= 'A' && f <= 'E') EmitPcKey(FunctionKey(f - 'A' + 1), extraShift);
    used = start + 2;
    return Parse::kDone;
  }
  std::size_t i = start;
  while (i < in.size()) {
    auto c = static_cast<std::uint8_t>(in[i]);
    if (c >= 0x40 && c <= 0x7E) break;
    // rxvt ends Shift+cursor-pad keys with '$', which is otherwise an intermediate.
    if (c == '$' && i > start && in[start] >= '0' && in[start] <= '9') break;
    if (c < 0x20 || c > 0x3F) {
      used = i;  // broken sequence: drop it, keep the byte that broke it
      return Parse::kDone;
    }
    if (i - start > kMaxSequence) {
      used = i;
      return Parse::kDone;
    }
    ++i;
  }
  if (i >= in.size()) {
    (void) final;
    return Parse::kNeedMore;
  }
  used = i + 1;
  char fin = in[i];
  std::string_view params = in.substr(start, i - start);
  if (!params.empty() && params[0] == '<') {
    if (fin == 'M' || fin == 'm') DecodeSgrMouse(params.substr(1), fin == 'm');
    return Parse::kDone;
  }
  if (!params.empty() && (params[0] == '?' || params[0] == '>' || params[0] == '=')) {
    return Parse::kDone;  // replies to queries we never make
  }
  std::vector<int> p = Numbers(params);
  std::uint8_t shift = extraShift;
  auto letterShift = [&] {
    return static_cast<std::uint8_t>(shift | ShiftFromModifier(Param(p, 1, 1)));
  };
  PcKey key;
  if (FinalKey(fin, key)) {
    EmitPcKey(key, letterShift());
    return Parse::kDone;
  }
  if (RxvtCursorKey(fin, key)) {
    EmitPcKey(key, shift | kShift);
    return Parse::kDone;
  }
  switch (fin) {
    case 'Z':
      EmitKey(0x0F, 0, static_cast<std::uint8_t>(letterShift() | kShift));
      break;
    case '~':
    case '$':
    case '^':
    case '@': {
      int n = Param(p, 0, 0);
      if (fin == '~' && n == 27) {  // xterm modifyOtherKeys: CSI 27 ; mod ; code ~
        EmitCodepoint(Param(p, 2, -1),
                      static_cast<std::uint8_t>(shift | ShiftFromModifier(Param(p, 1, 1))));
        break;
      }
      if (fin == '$') shift |= kShift;
      if (fin == '^') shift |= kCtrl;
      if (fin == '@') shift |= kCtrl | kShift;
      if (TildeKey(n, key, shift))
        EmitPcKey(key, static_cast<std::uint8_t>(shift | ShiftFromModifier(Param(p, 1, 1))));
      break;
    }
    case 'u':
      EmitCodepoint(Param(p, 0, -1),
                    static_cast<std::uint8_t>(shift | ShiftFromModifier(Param(p, 1, 1))));
      break;
    default:
      break;  // focus reports and the like
  }
  return Parse::kDone;
}

// A key given by its code point with modifiers (CSI u and modifyOtherKeys).
void KeyDecoder::EmitCodepoint(int code, std::uint8_t shift) {
  if (code == 13) {
    EmitPcKey(PcKey::kEnter, shift);
  } else if (code == 9) {
    EmitPcKey(PcKey::kTab, shift);
  } else if (code == 27) {
    EmitPcKey(PcKey::kEsc, shift);
  } else if (code == 127 || code == 8) {
    EmitPcKey(PcKey::kBackspace, shift);
  } else if (code >= 0x20 && code < 0x7F) {
    auto ch = static_cast<std::uint8_t>(code);
    if ((shift & kShift) && ch >= 'a' && ch <= 'z') ch = static_cast<std::uint8_t>(ch - 'a' + 'A');
    if (shift & kAlt) {
      std::size_t before = ready_.size();
      EmitAltByte(ch);
      if (ready_.size() > before) ready_.back().key.shift |= (shift & kCtrl) | kBaseShift;
    } else if ((shift & kCtrl) && ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z')) {
      EmitKey(KeyOfCharacter(ch | 0x20).scan, static_cast<std::uint8_t>((ch | 0x20) - 'a' + 1),
              shift);
    } else {
      CharacterKey k = KeyOfCharacter(ch);
      EmitKey(k.scan, ch, static_cast<std::uint8_t>(shift | (k.shifted ? kShift : 0)));
    }
  } else if (code >= 0x80 && code <= 0x10FFFF) {
    int ch = UnicodeToCp852(static_cast<char32_t>(code));
    if (ch > 0) {
      CharacterKey k = KeyOfCharacter(static_cast<std::uint8_t>(ch));
      EmitKey(k.scan, static_cast<std::uint8_t>(ch),
              static_cast<std::uint8_t>(shift | (k.shifted ? kShift : 0)));
    }
  }
}

KeyDecoder::Parse KeyDecoder::DecodeSs3(std::size_t start, bool final, std::size_t& used,
                                        std::uint8_t extraShift) {
  (void) final;
  std::string_view in(buffer_);
  std::size_t i = start;
  // Some terminals put a modifier digit between SS3 and the final byte.
  while (i < in.size() && in[i] >= '0' && in[i] <= '9' && i - start < 3) ++i;
  if (i >= in.size()) return Parse::kNeedMore;
  int modifier = 1;
  if (i > start) modifier = Numbers(in.substr(start, i - start))[0];
  std::uint8_t shift = static_cast<std::uint8_t>(extraShift | ShiftFromModifier(modifier));
  char fin = in[i];
  used = i + 1;
  PcKey key;
  if (FinalKey(fin, key)) {
    EmitPcKey(key, shift);
    return Parse::kDone;
  }
  if (RxvtCursorKey(fin, key)) {
    EmitPcKey(key, shift | kCtrl);
    return Parse::kDone;
  }
  // The numeric keypad in application mode: the grey keys and digits.
  struct Pad {
    char fin;
    std::uint8_t scan, ch;
  };
  static constexpr Pad kPad[] = {
      {'M', 0x1C, 0x0D}, {'j', 0x37, '*'}, {'k', 0x4E, '+'}, {'l', 0x33, ','}, {'m', 0x4A, '-'},
      {'n', 0x53, '.'},  {'o', 0x35, '/'}, {'p', 0x52, '0'}, {'q', 0x4F, '1'}, {'r', 0x50, '2'},
      {'s', 0x51, '3'},  {'t', 0x4B, '4'}, {'u', 0x4C, '5'}, {'v', 0x4D, '6'}, {'w', 0x47, '7'},
      {'x', 0x48, '8'},  {'y', 0x49, '9'}, {'X', 0x0D, '='}};
  for (const auto& k : kPad)
    if (k.fin == fin) {
      EmitKey(k.scan, k.ch, shift);
      return Parse::kDone;
    }
  // Not a key sequence after all: Alt+Shift+O, and the byte after it is its own key.
  EmitAltByte('O');
  used = start;
  return Parse::kDone;
}

void KeyDecoder::DecodeSgrMouse(std::string_view params, bool release) {
  std::vector<int> p = Numbers(params);
  if (p.size() < 3 || p[0] < 0 || p[1] < 1 || p[2] < 1) return;
  EmitMouse(p[0], p[1] - 1, p[2] - 1, release);
}

void KeyDecoder::DecodeLegacyMouse(int b, int x, int y) {
  if (b < 0 || x < 1 || y < 1) return;
  bool release = (b & 3) == 3 && !(b & 64) && !(b & 32);
  EmitMouse(b, x - 1, y - 1, release);
}

void KeyDecoder::EmitMouse(int b, int column, int row, bool release) {
  MouseEvent m;
  m.shift = kBaseShift;
  if (b & 4) m.shift |= kShift;
  if (b & 8) m.shift |= kAlt;
  if (b & 16) m.shift |= kCtrl;
  int button = b & 3;
  static constexpr std::uint8_t kBits[3] = {kMouseLeft, kMouseMiddle, kMouseRight};
  bool inside = column >= 0 && column < Console::kColumns && row >= 0 && row < Console::kRows;
  if (b & 64) {
    if (button > 1 || !inside) return;  // sideways wheels have no console meaning
    m.wheel = button == 0 ? 1 : -1;
  } else if (release) {
    if (button == 3)
      buttons_ = 0;  // the legacy report does not say which button
    else
      buttons_ &= static_cast<std::uint8_t>(~kBits[button]);
  } else if (b & 32) {
    m.moved = true;
    if (!inside) return;
  } else {
    if (button == 3) return;
    buttons_ |= kBits[button];
    if (!inside) return;
    if (button == lastPressButton_ && column == lastPressColumn_ && row == lastPressRow_ &&
        nowMs_ - lastPressMs_ <= kDoubleClickMs) {
      m.doubleClick = true;
      lastPressMs_ = -1000000;
    } else {
      lastPressMs_ = nowMs_;
    }
    lastPressButton_ = button;
    lastPressColumn_ = column;
    lastPressRow_ = row;
  }
  // A release may happen anywhere; it still has to reach the screen it started on.
  m.column = std::clamp(column, 0, Console::kColumns - 1);
  m.row = std::clamp(row, 0, Console::kRows - 1);
  m.buttons = buttons_;
  InputEvent e;
  e.kind = InputEvent::Kind::Mouse;
  e.mouse = m;
  ready_.push_back(e);
}

}  // namespace zq::platform
