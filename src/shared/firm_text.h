// A firm's text data file FIRMATXT.INI: a fixed table of sections and keys read into one
// in-memory record and written back from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp852.h"
#include "platform/files.h"
#include "shared/date_text.h"
#include "shared/ini.h"

namespace zq::shared {

inline constexpr std::string_view kFirmTextFileName = "FIRMATXT.INI";
// The year whose earlier-year keys this tool reads and writes (PATH2019 .. PATH2013).
inline constexpr int kFirmTextYear = 2020;
// What the caller shows when a firm's text data cannot be opened.
inline constexpr std::string_view kFirmTextError = "Błąd odczytu danych firmy"_pl;
inline constexpr std::size_t kDraiWordCount = 12;

enum class FirmTextKind : std::uint8_t {
  kText,     // at most `length` characters
  kInteger,  // 16-bit, decimal in the file
  kChar,     // one character; a zero character is kept as a blank
  kYesNo,    // "TAK" / "NIE"
  kDate,     // date text
  kWords,    // 12 words, each "$" and four upper-case hexadecimal digits
};

struct FirmTextKey {
  std::string_view section;
  std::string key;
  FirmTextKind kind = FirmTextKind::kText;
  std::uint8_t length = 0;          // texts only
  std::int16_t integerDefault = 0;  // integers only
  bool yesNoDefault = false;        // TAK/NIE only
};

// Every key in the order it is read and written; the sections therefore appear in a new
// file in the order of their first key. Year-dependent names are formed from `year`.
std::vector<FirmTextKey> FirmTextKeys(int year);

using DraiWords = std::array<std::uint16_t, kDraiWordCount>;

// One firm's text data. Fields are addressed by section and key, compared without regard
// to case. The [DOR] FAS flag is kept here too: this tool has no other holder for it,
// and carrying it with the record writes back what was read.
class FirmText {
 public:
  explicit FirmText(int year = kFirmTextYear);

  int Year() const { return year_; }
  const std::vector<FirmTextKey>& Keys() const { return keys_; }
  // Index into Keys(), or -1.
  int Find(std::string_view section, std::string_view key) const;
  // Every field empty or zero, as before a read.
  void Clear();

  // Getters give an empty or zero value for a key that is not in the table or is of
  // another kind; setters then return false and change nothing.
  std::string Text(std::string_view section, std::string_view key) const;
  // Cut to the field's length.
  bool SetText(std::string_view section, std::string_view key, std::string_view value);
  std::int16_t Integer(std::string_view section, std::string_view key) const;
  bool SetInteger(std::string_view section, std::string_view key, std::int16_t value);
  char Char(std::string_view section, std::string_view key) const;
  bool SetChar(std::string_view section, std::string_view key, char value);
  bool YesNo(std::string_view section, std::string_view key) const;
  bool SetYesNo(std::string_view section, std::string_view key, bool value);
  Date DateOf(std::string_view section, std::string_view key) const;
  bool SetDate(std::string_view section, std::string_view key, const Date& value);
  DraiWords Words(std::string_view section, std::string_view key) const;
  bool SetWords(std::string_view section, std::string_view key, const DraiWords& value);

  friend bool operator==(const FirmText&, const FirmText&);

 private:
  struct Value {
    std::string text;
    std::int16_t integer = 0;
    char character = 0;
    bool yes = false;
    Date date;
    DraiWords words{};
    friend bool operator==(const Value&, const Value&) = default;
  };
  const Value* Slot(std::string_view section, std::string_view key, FirmTextKind kind) const;
  Value* Slot(std::string_view section, std::string_view key, FirmTextKind kind);

  friend FileStatus ReadFirmText(platform::Files&, std::string_view, FirmText&, const IniOptions&);
  friend FileStatus WriteFirmText(platform::Files&, std::string_view, const FirmText&,
                                  const IniOptions&);

  int year_;
  std::vector<FirmTextKey> keys_;
  std::vector<Value> values_;
};

// Clears the record and reads every key; a missing file leaves the defaults and is no
// error. A file that exists but cannot be read is reported, never ended on: the caller
// decides what to show (kFirmTextError) and whether to go on.
FileStatus ReadFirmText(platform::Files& files, std::string_view path, FirmText& record,
                        const IniOptions& options = {});
// Writes every key under the file's lock; a file whose values are all unchanged is left
// untouched. Keys and sections outside the table stay as they were.
FileStatus WriteFirmText(platform::Files& files, std::string_view path, const FirmText& record,
                         const IniOptions& options = {});

}  // namespace zq::shared
