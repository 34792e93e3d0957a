// Fixed-size records as data. Every data file layout is written once, as a table of
// fields, and this one engine reads, writes and converts records through those tables:
//
//   inline constexpr Field kEntryFields[] = {
//       {"Key", 0, 8, Kind::Int64},
//       {"Name", 8, 41, Kind::Text},  // length byte + 40 characters
//       {"Date", 49, 4, Kind::Date},
//       {"Net", 53, 8, Kind::Real},
//       {"Month", 61, 8, Kind::Real, 12},  // twelve reals one after another
//   };
//   inline constexpr Layout kEntry{"ENTRY", 157, kEntryFields};
//   static_assert(kEntry.Problem().empty());
//
//   inline constexpr TextField kEntryName = kEntry.Text("Name");  // checked by the compiler
//   std::string name = RecordView(bytes).Get(kEntryName);
//
// A record is any span of bytes; it may be shorter than its layout (the short tail of a
// file). Reads behave as if the record went on with zero bytes; a write that does not
// fit wholly inside the record writes nothing and answers false. No access ever leaves
// the span.
//
// Records are little-endian whatever the host; texts are code page 852 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "shared/date_text.h"

namespace zq::shared {

enum class Kind : std::uint8_t {
  Byte,   // unsigned 8-bit
  Bool,   // one byte, non-zero is true
  Word,   // unsigned 16-bit
  Int16,  // signed 16-bit
  Int32,  // signed 32-bit
  Int64,  // signed 64-bit
  Real,   // IEEE 754 double
  Date,   // day byte, month byte, 16-bit year
  Text,   // length byte + characters; width = characters + 1
  Bytes,  // raw bytes, carried as they are
};

// The width a kind always has; 0 for the kinds whose width is the field's own.
constexpr std::size_t KindWidth(Kind kind) {
  switch (kind) {
    case Kind::Byte:
    case Kind::Bool:
      return 1;
    case Kind::Word:
    case Kind::Int16:
      return 2;
    case Kind::Int32:
    case Kind::Date:
      return 4;
    case Kind::Int64:
    case Kind::Real:
      return 8;
    case Kind::Text:
    case Kind::Bytes:
      return 0;
  }
  return 0;
}

constexpr bool IsInteger(Kind kind) {
  return kind == Kind::Byte || kind == Kind::Word || kind == Kind::Int16 || kind == Kind::Int32 ||
         kind == Kind::Int64;
}

// The four bytes of a Date (date_text.h) read as one little-endian signed number, which
// orders dates correctly: that is how the data files' dates are compared.
constexpr std::int32_t PackedDate(const Date& date) {
  return static_cast<std::int32_t>(std::uint32_t{date.year} << 16 | std::uint32_t{date.month} << 8 |
                                   std::uint32_t{date.day});
}
constexpr Date UnpackDate(std::int32_t packed) {
  auto bits = static_cast<std::uint32_t>(packed);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint16_t>(bits >> 16)};
}

enum FieldFlags : std::uint8_t {
  kNoFlags = 0,
  // The field shares bytes with others on purpose (a raw view over a group of fields).
  kMayOverlap = 1,
};

// Offset that no record reaches: a field placed there reads as zero and writes nothing.
inline constexpr std::size_t kNowhere = std::numeric_limits<std::size_t>::max() / 4;

struct Field {
  std::string_view name;
  std::size_t offset = 0;
  std::size_t width = 0;  // of one element
  Kind kind = Kind::Bytes;
  std::size_t count = 1;   // elements of a repeated field
  std::size_t stride = 0;  // from one element to the next; 0 means packed (the width)
  std::uint8_t flags = kNoFlags;

  constexpr std::size_t Step() const { return stride ? stride : width; }
  // One past the last byte of the last element.
  constexpr std::size_t End() const {
    return count == 0 ? offset : offset + (count - 1) * Step() + width;
  }
  // Characters a Text field holds.
  constexpr std::size_t Capacity() const { return width > 0 ? width - 1 : 0; }

  // Element i (0-based) as a field of its own. An index past the last element gives a
  // field nowhere, so that a bad index in a loop cannot reach a neighbouring field.
  constexpr Field At(std::size_t i) const {
    Field e = *this;
    e.count = 1;
    e.stride = 0;
    e.offset = i < count ? offset + i * Step() : kNowhere;
    return e;
  }
};

// A field whose kind the compiler has checked, so that reading it gives the right type.
template <class T>
struct FieldOf : Field {
  using Value = T;
  constexpr FieldOf At(std::size_t i) const { return FieldOf{Field::At(i)}; }
};

using IntField = FieldOf<std::int64_t>;  // Byte, Word, Int16, Int32, Int64
using FlagField = FieldOf<bool>;         // Bool
using RealField = FieldOf<double>;
using DateField = FieldOf<Date>;
using TextField = FieldOf<std::string>;
struct RawBytes {};
using BytesField = FieldOf<RawBytes>;  // any field, seen as its raw bytes

// clang 14 crashes generating code for a consteval call whose field is passed straight
// on as an argument; built by it, the lookups are constexpr, still checked at compile
// time wherever their result must be a constant (and everywhere by other compilers).
#if defined(__clang__) && __clang_major__ < 15
#define ZQ_FIELD_LOOKUP constexpr
#else
#define ZQ_FIELD_LOOKUP consteval
#endif

struct Layout {
  std::string_view name;  // of the file, for messages and tests
  std::size_t size = 0;   // record size in bytes
  std::span<const Field> fields;

  // Lookups by name, evaluated by the compiler: an unknown name or a field of another
  // kind fails the build.
  ZQ_FIELD_LOOKUP Field operator[](std::string_view field) const { return Named(field); }
  ZQ_FIELD_LOOKUP IntField Int(std::string_view field) const {
    Field f = Named(field);
    if (!IsInteger(f.kind)) throw "field is not an integer";
    return IntField{f};
  }
  ZQ_FIELD_LOOKUP FlagField Flag(std::string_view field) const {
    return {Expect(field, Kind::Bool)};
  }
  ZQ_FIELD_LOOKUP RealField Real(std::string_view field) const {
    return {Expect(field, Kind::Real)};
  }
  ZQ_FIELD_LOOKUP DateField Date(std::string_view field) const {
    return {Expect(field, Kind::Date)};
  }
  ZQ_FIELD_LOOKUP TextField Text(std::string_view field) const {
    return {Expect(field, Kind::Text)};
  }
  ZQ_FIELD_LOOKUP BytesField Bytes(std::string_view field) const {
    return BytesField{Named(field)};
  }

  // Lookup at run time (for names that come from data); nullptr when absent.
  constexpr const Field* Find(std::string_view field) const {
    for (const Field& f : fields)
      if (f.name == field) return &f;
    return nullptr;
  }

  // What is wrong with the layout, or empty when it is sound: widths fit their kinds,
  // every field lies inside the record, names are unique, and no two fields share a
  // byte unless one of them is marked kMayOverlap.
  constexpr std::string_view Problem() const;

 private:
  constexpr Field Named(std::string_view field) const {
    for (const Field& f : fields)
      if (f.name == field) return f;
    throw "no field of that name in the layout";
  }
  constexpr Field Expect(std::string_view field, Kind kind) const {
    Field f = Named(field);
    if (f.kind != kind) throw "field is of another kind";
    return f;
  }
};

constexpr std::string_view Layout::Problem() const {
  if (size == 0) return "record size is zero";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    if (f.name.empty()) return "field without a name";
    if (f.width == 0 || f.count == 0) return "field of zero width or count";
    if (KindWidth(f.kind) != 0 && f.width != KindWidth(f.kind))
      return "width does not match the kind";
    if (f.kind == Kind::Text && f.width > 256) return "text longer than a length byte can tell";
    if (f.count > 1 && f.Step() < f.width) return "elements of a repeated field overlap";
    if (f.offset > size || f.End() > size) return "field reaches past the record";
    for (std::size_t j = 0; j < i; ++j) {
      const Field& g = fields[j];
      if (g.name == f.name) return "two fields of one name";
      if ((f.flags | g.flags) & kMayOverlap) continue;
      if (f.offset >= g.End() || g.offset >= f.End()) continue;
      for (std::size_t a = 0; a < f.count; ++a)
        for (std::size_t b = 0; b < g.count; ++b) {
          std::size_t fa = f.offset + a * f.Step(), gb = g.offset + b * g.Step();
          if (fa < gb + g.width && gb < fa + f.width) return "fields overlap";
        }
    }
  }
  return {};
}

// Read access to one record.
class RecordView {
 public:
  constexpr RecordView() = default;
  RecordView(std::span<const std::uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}
  RecordView(std::span<const char> bytes)
      : data_(reinterpret_cast<const std::uint8_t*>(bytes.data())), size_(bytes.size()) {}

  std::size_t Size() const { return size_; }
  const std::uint8_t* Data() const { return data_; }
  // Whether the whole field (every element) lies inside the record.
  bool Holds(const Field& field) const {
    return field.offset <= size_ && field.End() - field.offset <= size_ - field.offset;
  }

  std::int64_t Get(const IntField& field) const { return GetInt(field); }
  bool Get(const FlagField& field) const { return GetInt(field) != 0; }
  double Get(const RealField& field) const { return GetReal(field); }
  Date Get(const DateField& field) const { return GetDate(field); }
  std::string Get(const TextField& field) const { return GetText(field); }
  // Every byte of the field; those past the end of the record are zero.
  std::string Get(const BytesField& field) const { return GetBytes(field); }

  // The same, for a field whose kind is known only at run time. Integer kinds read as
  // integers; a Date reads as its packed number; any other mix reads as zero or empty.
  std::int64_t GetInt(const Field& field) const;
  double GetReal(const Field& field) const;
  Date GetDate(const Field& field) const;
  std::string GetText(const Field& field) const;
  std::string GetBytes(const Field& field) const;

 protected:
  // Little-endian number of n bytes at offset, zero past the end of the record.
  std::uint64_t Load(std::size_t offset, std::size_t n) const;

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Read and write access to one record.
class RecordRef : public RecordView {
 public:
  RecordRef(std::span<std::uint8_t> bytes) : RecordView(bytes), out_(bytes.data()) {}
  RecordRef(std::span<char> bytes)
      : RecordView(std::span<const char>(bytes)),
        out_(reinterpret_cast<std::uint8_t*>(bytes.data())) {}

  // Each answers false, writing nothing, when the field does not fit in the record.
  bool Set(const IntField& field, std::int64_t value) { return SetInt(field, value); }
  bool Set(const FlagField& field, bool value) { return SetInt(field, value ? 1 : 0); }
  bool Set(const RealField& field, double value) { return SetReal(field, value); }
  bool Set(const DateField& field, Date value) { return SetDate(field, value); }
  // Cut to the field; the bytes after the text are zeroed so that none are left stale.
  bool Set(const TextField& field, std::string_view cp852) { return SetText(field, cp852); }
  // Cut to the field; a shorter value leaves the rest of the field zero.
  bool Set(const BytesField& field, std::string_view bytes) { return SetBytes(field, bytes); }

  // Integers are cut to the field's width (two's complement); a Date field takes the
  // packed number; a Real field takes the value. Other kinds are left alone.
  bool SetInt(const Field& field, std::int64_t value);
  bool SetReal(const Field& field, double value);
  bool SetDate(const Field& field, Date value);
  bool SetText(const Field& field, std::string_view cp852);
  bool SetBytes(const Field& field, std::string_view bytes);

  // Carries field `from` of `in` into field `to` of this record: the same kinds byte
  // for byte, integers of any width into integers, texts cut to the target and to `cut`
  // characters, repeated fields element by element as far as both reach. `in` may be
  // this very record (a filter moving a field within it).
  bool CarryFrom(RecordView in, const Field& from, const Field& to,
                 std::size_t cut = std::numeric_limits<std::size_t>::max());

  // A carried record's text cut to its field: an over-long length byte is lowered to
  // the field's capacity, every element of a repeated field alike; no other byte
  // changes, not even the characters past the text's end. False when the field does
  // not lie wholly inside the record (what lies inside is still cut).
  bool CutInPlace(const Field& text);

  void Clear();

 private:
  void Store(std::size_t offset, std::size_t n, std::uint64_t value);

  std::uint8_t* out_;
};

// Whether a value of kind `from` can be carried into a field of kind `to`.
constexpr bool Carriable(Kind from, Kind to) {
  if (from == to) return true;
  if (IsInteger(from) || from == Kind::Bool) return IsInteger(to) || to == Kind::Bool;
  return false;
}

// One line of a mapping table: how one field of the output record is made.
struct Rule {
  enum class Op : std::uint8_t { Copy, Constant, Computed };
  Op op = Op::Copy;
  Field from;
  Field to;
  std::size_t cut = std::numeric_limits<std::size_t>::max();
  std::int64_t number = 0;
  double real = 0;
  Date date;
  std::string_view text;
  void (*compute)(RecordView in, RecordRef out, const Field& to) = nullptr;
};

namespace detail {
// Whether a value of C++ type R can go into a field of kind `kind`.
template <class R>
constexpr bool StorableIn(Kind kind) {
  if constexpr (std::is_same_v<R, Date>)
    return kind == Kind::Date;
  else if constexpr (std::is_floating_point_v<R>)
    return kind == Kind::Real;
  else if constexpr (std::is_integral_v<R> || std::is_enum_v<R>)
    return IsInteger(kind) || kind == Kind::Bool || kind == Kind::Real;
  else if constexpr (std::is_convertible_v<const R&, std::string_view>)
    return kind == Kind::Text || kind == Kind::Bytes;
  else
    return false;
}

// Each puts the value into every element of `to`.
void StoreValue(RecordRef out, const Field& to, std::int64_t value);
void StoreValue(RecordRef out, const Field& to, double value);
void StoreValue(RecordRef out, const Field& to, Date value);
void StoreValue(RecordRef out, const Field& to, std::string_view value);

template <class F>
void ComputeInto(RecordView in, RecordRef out, const Field& to) {
  if constexpr (std::is_invocable_v<F, RecordView, RecordRef>) {
    F{}(in, out);
  } else {
    using R = std::invoke_result_t<F, RecordView>;
    if constexpr (std::is_same_v<R, bool> || std::is_integral_v<R> || std::is_enum_v<R>)
      StoreValue(out, to, static_cast<std::int64_t>(F{}(in)));
    else if constexpr (std::is_floating_point_v<R>)
      StoreValue(out, to, static_cast<double>(F{}(in)));
    else if constexpr (std::is_same_v<R, Date>)
      StoreValue(out, to, F{}(in));
    else
      StoreValue(out, to, std::string_view(F{}(in)));
  }
}
}  // namespace detail

// The field carried from the input record (see RecordRef::CarryFrom).
constexpr Rule Copy(const Field& from, const Field& to) {
  if (!Carriable(from.kind, to.kind)) throw "these kinds cannot be copied into each other";
  Rule r;
  r.from = from;
  r.to = to;
  return r;
}

// A field carried into the same place of a record of the same layout.
consteval Rule Carry(const Layout& layout, std::string_view field) {
  return Copy(layout[field], layout[field]);
}

// A text carried and cut to at most n characters (and to the target field).
constexpr Rule CutText(const Field& from, const Field& to, std::size_t n) {
  if (from.kind != Kind::Text || to.kind != Kind::Text) throw "CutText needs two texts";
  Rule r = Copy(from, to);
  r.cut = n;
  return r;
}

// A fixed value put into every element of the field: a number, a real, a Date or a
// text (the text must outlive the table, as literals and _pl texts do).
template <class T>
constexpr Rule Constant(const Field& to, T value) {
  if (!detail::StorableIn<T>(to.kind)) throw "the constant does not fit the field's kind";
  Rule r;
  r.op = Rule::Op::Constant;
  r.to = to;
  if constexpr (std::is_same_v<T, Date>) {
    r.date = value;
  } else if constexpr (std::is_floating_point_v<T>) {
    r.real = static_cast<double>(value);
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    r.number = static_cast<std::int64_t>(value);
    r.real = static_cast<double>(r.number);
  } else {
    r.text = std::string_view(value);
  }
  return r;
}

// A value computed from the input record by a lambda without captures:
//   Computed(kNet, [](RecordView in) { return Cents(in.Get(kOldNet)); })
// The result is stored as the target field's kind takes it (see StoreValue).
template <class F>
constexpr Rule Computed(const Field& to, F) {
  static_assert(std::is_empty_v<F> && std::is_default_constructible_v<F>,
                "a computed rule takes a lambda without captures");
  if constexpr (!std::is_invocable_v<F, RecordView, RecordRef>) {
    if (!detail::StorableIn<std::invoke_result_t<F, RecordView>>(to.kind))
      throw "the computed value does not fit the field's kind";
  }
  Rule r;
  r.op = Rule::Op::Computed;
  r.to = to;
  r.compute = &detail::ComputeInto<F>;
  return r;
}

// Several fields at once: the lambda takes (RecordView in, RecordRef out).
template <class F>
constexpr Rule Computed(F f) {
  static_assert(std::is_invocable_v<F, RecordView, RecordRef>,
                "a computed step without a target takes (RecordView in, RecordRef out)");
  return Computed(Field{}, f);
}

// Every text field of `texts` cut in place (RecordRef::CutInPlace): how a Record filter
// that only cuts texts is written, as the table of its texts.
bool CutTexts(RecordRef record, std::span<const Field> texts);

// Makes `out` from `in`: zeroes all of `out`, then applies the rules in order. `in` and
// `out` are two different buffers.
void Build(std::span<const Rule> rules, RecordView in, RecordRef out);

}  // namespace zq::shared
