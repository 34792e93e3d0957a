#include "platform/posix/key_decoder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/cp852.h"

namespace zq::platform {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
// A sequence that has not ended after this many bytes is noise, not a key.
constexpr std::size_t kMaxSequence = 48;

// Keys without a character and their BIOS scan codes: plain, Shift, Ctrl, Alt.
enum Special {
  kF1,
  kF2,
  kF3,
  kF4,
  kF5,
  kF6,
  kF7,
  kF8,
  kF9,
  kF10,
  kF11,
  kF12,
  kUp,
  kDown,
  kLeft,
  kRight,
  kHome,
  kEnd,
  kPgUp,
  kPgDn,
  kIns,
  kDel,
  kCenter,
  kSpecialCount
};

struct ScanSet {
  std::uint8_t plain, shift, ctrl, alt;
};

constexpr std::array<ScanSet, kSpecialCount> kSpecialScans = {{
    {0x3B, 0x54, 0x5E, 0x68}, {0x3C, 0x55, 0x5F, 0x69}, {0x3D, 0x56, 0x60, 0x6A},
    {0x3E, 0x57, 0x61, 0x6B}, {0x3F, 0x58, 0x62, 0x6C}, {0x40, 0x59, 0x63, 0x6D},
    {0x41, 0x5A, 0x64, 0x6E}, {0x42, 0x5B, 0x65, 0x6F}, {0x43, 0x5C, 0x66, 0x70},
    {0x44, 0x5D, 0x67, 0x71}, {0x85, 0x87, 0x89, 0x8B}, {0x86, 0x88, 0x8A, 0x8C},
    {0x48, 0x48, 0x8D, 0x98},  // Up
    {0x50, 0x50, 0x91, 0xA0},  // Down
    {0x4B, 0x4B, 0x73, 0x9B},  // Left
    {0x4D, 0x4D, 0x74, 0x9D},  // Right
    {0x47, 0x47, 0x77, 0x97},  // Home
    {0x4F, 0x4F, 0x75, 0x9F},  // End
    {0x49, 0x49, 0x84, 0x99},  // PgUp
    {0x51, 0x51, 0x76, 0xA1},  // PgDn
    {0x52, 0x52, 0x92, 0xA2},  // Insert
    {0x53, 0x53, 0x93, 0xA3},  // Del
    {0x4C, 0x4C, 0x8F, 0x4C},  // keypad 5 without Num Lock
}};

// Scan codes of the US keyboard for printable ASCII, and whether Shift makes it.
struct AsciiKey {
  std::uint8_t scan;
  bool shifted;
};

constexpr std::array<AsciiKey, 128> MakeAsciiTable() {
  std::array<AsciiKey, 128> t{};
  auto set = [&t](char c, std::uint8_t scan, bool shifted) {
    t[static_cast<std::size_t>(c)] = AsciiKey{scan, shifted};
  };
  const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const std::uint8_t starts[] = {0x10, 0x1E, 0x2C};
  for (int r = 0; r < 3; ++r)
    for (int i = 0; rows[r][i]; ++i) {
      auto scan = static_cast<std::uint8_t>(starts[r] + i);
      set(rows[r][i], scan, false);
      set(static_cast<char>(rows[r][i] - 'a' + 'A'), scan, true);
    }
  const char* digits = "1234567890";
  const char* shiftedDigits = "!@#$%^&*()";
  for (int i = 0; i < 10; ++i) {
    set(digits[i], static_cast<std::uint8_t>(0x02 + i), false);
    set(shiftedDigits[i], static_cast<std::uint8_t>(0x02 + i), true);
  }
  const struct {
    char plain, shifted;
    std::uint8_t scan;
  } punct[] = {{'-', '_', 0x0C}, {'=', '+', 0x0D},  {'[', '{', 0x1A}, {']', '}', 0x1B},
               {';', ':', 0x27}, {'\'', '"', 0x28}, {'`', '~', 0x29}, {'\\', '|', 0x2B},
               {',', '<', 0x33}, {'.', '>', 0x34},  {'/', '?', 0x35}};
  for (const auto& p : punct) {
    set(p.plain, p.scan, false);
    set(p.shifted, p.scan, true);
  }
  set(' ', 0x39, false);
  return t;
}

constexpr std::array<AsciiKey, 128> kAscii = MakeAsciiTable();

std::uint8_t ShiftFromModifier(int m) {
  if (m < 2) return 0;
  int v = m - 1;
  std::uint8_t s = 0;
  if (v & 1) s |= kShift;
  if (v & (2 | 8)) s |= kAlt;
  if (v & 4) s |= kCtrl;
  return s;
}

// The scan code a Polish letter sits on (the Latin letter its key carries).
std::uint8_t PolishScan(std::uint8_t ch, bool& upper) {
  struct Entry {
    std::uint8_t lower, upper, scan;
  };
  static constexpr Entry kLetters[] = {{0xA5, 0xA4, 0x1E}, {0x86, 0x8F, 0x2E}, {0xA9, 0xA8, 0x12},
                                       {0x88, 0x9D, 0x26}, {0xE4, 0xE3, 0x31}, {0xA2, 0xE0, 0x18},
                                       {0x98, 0x97, 0x1F}, {0xAB, 0x8D, 0x2D}, {0xBE, 0xBD, 0x2C}};
  for (const auto& e : kLetters) {
    if (ch == e.lower || ch == e.upper) {
      upper = ch == e.upper;
      return e.scan;
    }
  }
  upper = false;
  return 0;
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

// The key a "CSI n ~" number stands for, -1 when none.
int TildeKey(int n, std::uint8_t& shift) {
  switch (n) {
    case 1:
    case 7:
      return kHome;
    case 2:
      return kIns;
    case 3:
      return kDel;
    case 4:
    case 8:
      return kEnd;
    case 5:
      return kPgUp;
    case 6:
      return kPgDn;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return kF1 + (n - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return kF6 + (n - 17);
    case 23:
      return kF11;
    case 24:
      return kF12;
    default:
      break;
  }
  // rxvt numbers Shift+F3 .. Shift+F10 on from 25.
  static constexpr int kShifted[] = {25, 26, 28, 29, 31, 32, 33, 34};
  for (int i = 0; i < 8; ++i)
    if (kShifted[i] == n) {
      shift |= kShift;
      return kF3 + i;
    }
  return -1;
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

void KeyDecoder::EmitSpecial(int key, std::uint8_t shift) {
  const ScanSet& s = kSpecialScans[static_cast<std::size_t>(key)];
  std::uint8_t scan = (shift & kAlt)     ? s.alt
                      : (shift & kCtrl)  ? s.ctrl
                      : (shift & kShift) ? s.shift
                                         : s.plain;
  EmitKey(scan, 0, shift);
}

void KeyDecoder::EmitByte(std::uint8_t b, std::uint8_t extraShift) {
  std::uint8_t shift = extraShift;
  switch (b) {
    case 0x0D:
      EmitKey(0x1C, 0x0D, shift);
      return;
    case 0x0A:
      EmitKey(0x1C, 0x0A, shift | kCtrl);
      return;
    case 0x09:
      EmitKey(0x0F, 0x09, shift);
      return;
    case 0x08:
    case 0x7F:
      EmitKey(0x0E, 0x08, shift);
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
    EmitKey(kAscii[static_cast<std::size_t>('a' + b - 1)].scan, b, shift | kCtrl);
    return;
  }
  if (b >= 0x20 && b < 0x7F) {
    const AsciiKey& k = kAscii[b];
    EmitKey(k.scan, b, shift | (k.shifted ? kShift : 0));
  }
}

void KeyDecoder::EmitAltByte(std::uint8_t b) {
  switch (b) {
    case 0x0D:
      EmitKey(0x1C, 0, kAlt);
      return;
    case 0x0A:
      EmitKey(0x1C, 0, kAlt | kCtrl);
      return;
    case 0x09:
      EmitKey(0xA5, 0, kAlt);
      return;
    case 0x08:
    case 0x7F:
      EmitKey(0x0E, 0, kAlt);
      return;
    default:
      break;
  }
  if (b < 0x20) {
    // Alt+Ctrl+letter: the letter's key without a character.
    std::uint8_t scan =
        (b >= 0x01 && b <= 0x1A) ? kAscii[static_cast<std::size_t>('a' + b - 1)].scan : 0x03;
    EmitKey(scan, 0, kAlt | kCtrl);
    return;
  }
  if (b >= 0x7F) return;
  const AsciiKey& k = kAscii[b];
  std::uint8_t shift = kAlt | (k.shifted ? kShift : 0);
  if (b == ' ') {
    EmitKey(0x39, ' ', shift);
  } else if (k.scan >= 0x02 && k.scan <= 0x0D) {
    // The digit row has Alt codes of its own.
    EmitKey(static_cast<std::uint8_t>(k.scan + 0x76), 0, shift);
  } else {
    EmitKey(k.scan, 0, shift);
  }
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
  bool upper = false;
  std::uint8_t scan = PolishScan(static_cast<std::uint8_t>(ch), upper);
  EmitKey(scan, static_cast<std::uint8_t>(ch), upper ? kShift : 0);
  return Parse::kDone;
}

KeyDecoder::Parse KeyDecoder::DecodeEscape(bool final, std::size_t& used) {
  if (buffer_.size() < 2) {
    if (!final) return Parse::kNeedMore;
    EmitKey(0x01, 0x1B, 0);
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
    EmitKey(0x01, 0x1B, 0);
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
    if (f >= 'A' && f <= 'E') EmitSpecial(kF1 + (f - 'A'), extraShift);
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
  switch (fin) {
    case 'A':
      EmitSpecial(kUp, letterShift());
      break;
    case 'B':
      EmitSpecial(kDown, letterShift());
      break;
    case 'C':
      EmitSpecial(kRight, letterShift());
      break;
    case 'D':
      EmitSpecial(kLeft, letterShift());
      break;
    case 'H':
      EmitSpecial(kHome, letterShift());
      break;
    case 'F':
      EmitSpecial(kEnd, letterShift());
      break;
    case 'E':
      EmitSpecial(kCenter, letterShift());
      break;
    case 'P':
      EmitSpecial(kF1, letterShift());
      break;
    case 'Q':
      EmitSpecial(kF2, letterShift());
      break;
    case 'R':
      EmitSpecial(kF3, letterShift());
      break;
    case 'S':
      EmitSpecial(kF4, letterShift());
      break;
    case 'Z':
      EmitKey(0x0F, 0, static_cast<std::uint8_t>(letterShift() | kShift));
      break;
    case 'a':
      EmitSpecial(kUp, shift | kShift);
      break;
    case 'b':
      EmitSpecial(kDown, shift | kShift);
      break;
    case 'c':
      EmitSpecial(kRight, shift | kShift);
      break;
    case 'd':
      EmitSpecial(kLeft, shift | kShift);
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
      int key = TildeKey(n, shift);
      if (key >= 0)
        EmitSpecial(key, static_cast<std::uint8_t>(shift | ShiftFromModifier(Param(p, 1, 1))));
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
  {
    if (code == 13) {
      if (shift & kAlt)
        EmitKey(0x1C, 0, shift);
      else
        EmitKey(0x1C, (shift & kCtrl) ? 0x0A : 0x0D, shift);
    } else if (code == 9) {
      if (shift & kAlt)
        EmitKey(0xA5, 0, shift);
      else if (shift & kCtrl)
        EmitKey(0x94, 0, shift);
      else
        EmitKey(0x0F, (shift & kShift) ? 0 : 0x09, shift);
    } else if (code == 27) {
      EmitKey(0x01, (shift & kAlt) ? 0 : 0x1B, shift);
    } else if (code == 127 || code == 8) {
      if (shift & kAlt)
        EmitKey(0x0E, 0, shift);
      else
        EmitKey(0x0E, (shift & kCtrl) ? 0x7F : 0x08, shift);
    } else if (code >= 0x20 && code < 0x7F) {
      auto ch = static_cast<std::uint8_t>(code);
      if ((shift & kShift) && ch >= 'a' && ch <= 'z')
        ch = static_cast<std::uint8_t>(ch - 'a' + 'A');
      if (shift & kAlt) {
        std::size_t before = ready_.size();
        EmitAltByte(ch);
        if (ready_.size() > before) ready_.back().key.shift |= (shift & kCtrl) | kBaseShift;
      } else if ((shift & kCtrl) && ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z')) {
        EmitKey(kAscii[static_cast<std::size_t>(ch | 0x20)].scan,
                static_cast<std::uint8_t>((ch | 0x20) - 'a' + 1), shift);
      } else {
        const AsciiKey& k = kAscii[ch];
        EmitKey(k.scan, ch, static_cast<std::uint8_t>(shift | (k.shifted ? kShift : 0)));
      }
    } else if (code >= 0x80 && code <= 0x10FFFF) {
      int ch = UnicodeToCp852(static_cast<char32_t>(code));
      if (ch > 0) {
        bool upper = false;
        std::uint8_t scan = PolishScan(static_cast<std::uint8_t>(ch), upper);
        EmitKey(scan, static_cast<std::uint8_t>(ch),
                static_cast<std::uint8_t>(shift | (upper ? kShift : 0)));
      }
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
  switch (fin) {
    case 'A':
      EmitSpecial(kUp, shift);
      return Parse::kDone;
    case 'B':
      EmitSpecial(kDown, shift);
      return Parse::kDone;
    case 'C':
      EmitSpecial(kRight, shift);
      return Parse::kDone;
    case 'D':
      EmitSpecial(kLeft, shift);
      return Parse::kDone;
    case 'H':
      EmitSpecial(kHome, shift);
      return Parse::kDone;
    case 'F':
      EmitSpecial(kEnd, shift);
      return Parse::kDone;
    case 'E':
      EmitSpecial(kCenter, shift);
      return Parse::kDone;
    case 'P':
      EmitSpecial(kF1, shift);
      return Parse::kDone;
    case 'Q':
      EmitSpecial(kF2, shift);
      return Parse::kDone;
    case 'R':
      EmitSpecial(kF3, shift);
      return Parse::kDone;
    case 'S':
      EmitSpecial(kF4, shift);
      return Parse::kDone;
    // rxvt: Ctrl with the cursor keys.
    case 'a':
      EmitSpecial(kUp, shift | kCtrl);
      return Parse::kDone;
    case 'b':
      EmitSpecial(kDown, shift | kCtrl);
      return Parse::kDone;
    case 'c':
      EmitSpecial(kRight, shift | kCtrl);
      return Parse::kDone;
    case 'd':
      EmitSpecial(kLeft, shift | kCtrl);
      return Parse::kDone;
    default:
      break;
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
