#include "shared/record.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zq::shared {

namespace {

// Bytes of `field` (one element) that lie inside a record of `size` bytes.
std::size_t Inside(const Field& field, std::size_t size) {
  if (field.offset >= size) return 0;
  return std::min(field.width, size - field.offset);
}

}  // namespace

std::uint64_t RecordView::Load(std::size_t offset, std::size_t n) const {
  std::uint64_t value = 0;
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t pos = offset + k;
    std::uint64_t byte = pos < size_ ? data_[pos] : 0;
    value |= byte << (8 * k);
  }
  return value;
}

std::int64_t RecordView::GetInt(const Field& field) const {
  switch (field.kind) {
    case Kind::Byte:
    case Kind::Bool:
      return static_cast<std::int64_t>(Load(field.offset, 1));
    case Kind::Word:
      return static_cast<std::int64_t>(Load(field.offset, 2));
    case Kind::Int16:
      return static_cast<std::int16_t>(Load(field.offset, 2));
    case Kind::Int32:
    case Kind::Date:
      return static_cast<std::int32_t>(Load(field.offset, 4));
    case Kind::Int64:
      return static_cast<std::int64_t>(Load(field.offset, 8));
    case Kind::Real:
    case Kind::Text:
    case Kind::Bytes:
      break;
  }
  return 0;
}

double RecordView::GetReal(const Field& field) const {
  if (field.kind == Kind::Real) return std::bit_cast<double>(Load(field.offset, 8));
  if (IsInteger(field.kind)) return static_cast<double>(GetInt(field));
  return 0;
}

Date RecordView::GetDate(const Field& field) const {
  if (field.kind != Kind::Date) return {};
  return UnpackDate(static_cast<std::int32_t>(Load(field.offset, 4)));
}

std::string RecordView::GetText(const Field& field) const {
  if (field.kind != Kind::Text || field.offset >= size_) return {};
  // The length byte is trusted only as far as the field and the record reach.
  std::size_t n =
      std::min({std::size_t{data_[field.offset]}, field.Capacity(), size_ - field.offset - 1});
  return std::string(reinterpret_cast<const char*>(data_ + field.offset + 1), n);
}

std::string RecordView::GetBytes(const Field& field) const {
  std::size_t total = field.End() - field.offset;
  std::string bytes(total, '\0');
  if (field.offset < size_)
    std::memcpy(bytes.data(), data_ + field.offset, std::min(total, size_ - field.offset));
  return bytes;
}

void RecordRef::Store(std::size_t offset, std::size_t n, std::uint64_t value) {
  for (std::size_t k = 0; k < n; ++k)
    out_[offset + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

bool RecordRef::SetInt(const Field& field, std::int64_t value) {
  if (field.kind == Kind::Real) return SetReal(field, static_cast<double>(value));
  if (!IsInteger(field.kind) && field.kind != Kind::Bool && field.kind != Kind::Date) return false;
  if (!Holds(field.At(0))) return false;
  // A flag takes any non-zero number as true; cutting 256 to one byte would make it false.
  if (field.kind == Kind::Bool) value = value != 0;
  Store(field.offset, field.width, static_cast<std::uint64_t>(value));
  return true;
}

bool RecordRef::SetReal(const Field& field, double value) {
  if (field.kind != Kind::Real || !Holds(field.At(0))) return false;
  Store(field.offset, 8, std::bit_cast<std::uint64_t>(value));
  return true;
}

bool RecordRef::SetDate(const Field& field, Date value) {
  if (field.kind != Kind::Date || !Holds(field.At(0))) return false;
  Store(field.offset, 4, static_cast<std::uint32_t>(PackedDate(value)));
  return true;
}

bool RecordRef::SetText(const Field& field, std::string_view cp852) {
  if (field.kind == Kind::Bytes) return SetBytes(field, cp852);
  if (field.kind != Kind::Text || !Holds(field.At(0))) return false;
  std::size_t n = std::min({cp852.size(), field.Capacity(), std::size_t{255}});
  std::uint8_t* p = out_ + field.offset;
  p[0] = static_cast<std::uint8_t>(n);
  if (n > 0) std::memmove(p + 1, cp852.data(), n);
  std::memset(p + 1 + n, 0, field.width - 1 - n);
  return true;
}

bool RecordRef::SetBytes(const Field& field, std::string_view bytes) {
  if (!Holds(field)) return false;
  std::size_t total = field.End() - field.offset;
  std::size_t n = std::min(total, bytes.size());
  if (n > 0) std::memmove(out_ + field.offset, bytes.data(), n);
  std::memset(out_ + field.offset + n, 0, total - n);
  return true;
}

bool RecordRef::CarryFrom(RecordView in, const Field& from, const Field& to, std::size_t cut) {
  bool all = true;
  std::size_t count = std::min(from.count, to.count);
  // Packed runs of equal non-text elements wholly inside both records, the bulk of every
  // widened record, move in one piece; the loop below gives the same bytes.
  if (count > 0 && from.kind == to.kind && from.kind != Kind::Text && from.width == to.width &&
      from.Step() == from.width && to.Step() == to.width) {
    const std::size_t bytes = count * from.width;
    if (from.offset <= in.Size() && bytes <= in.Size() - from.offset && to.offset <= size_ &&
        bytes <= size_ - to.offset) {
      std::memmove(out_ + to.offset, in.Data() + from.offset, bytes);
      return true;
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    Field a = from.At(i), b = to.At(i);
    if (!Holds(b)) {
      all = false;
      continue;
    }
    std::uint8_t* p = out_ + b.offset;
    if (a.kind == Kind::Text && b.kind == Kind::Text) {
      std::size_t n = 0;
      if (a.offset < in.Size())
        n = std::min({std::size_t{in.Data()[a.offset]}, a.Capacity(), in.Size() - a.offset - 1,
                      b.Capacity(), cut, std::size_t{255}});
      if (n > 0) std::memmove(p + 1, in.Data() + a.offset + 1, n);
      p[0] = static_cast<std::uint8_t>(n);
      std::memset(p + 1 + n, 0, b.width - 1 - n);
    } else if (a.kind == b.kind && (a.kind == Kind::Bytes || a.width == b.width)) {
      std::size_t n = std::min(Inside(a, in.Size()), b.width);
      if (n > 0) std::memmove(p, in.Data() + a.offset, n);
      std::memset(p + n, 0, b.width - n);
    } else if (Carriable(a.kind, b.kind)) {
      SetInt(b, in.GetInt(a));
    } else {
      all = false;
    }
  }
  return all;
}

bool RecordRef::CutInPlace(const Field& text) {
  if (text.kind != Kind::Text) return false;
  bool all = true;
  for (std::size_t i = 0; i < text.count; ++i) {
    Field e = text.At(i);
    if (e.offset >= size_) {
      all = false;
      continue;
    }
    if (!Holds(e)) all = false;
    std::uint8_t& length = out_[e.offset];
    if (length > e.Capacity()) length = static_cast<std::uint8_t>(e.Capacity());
  }
  return all;
}

bool CutTexts(RecordRef record, std::span<const Field> texts) {
  bool all = true;
  for (const Field& text : texts) all = record.CutInPlace(text) && all;
  return all;
}

void RecordRef::Clear() {
  if (size_ > 0) std::memset(out_, 0, size_);
}

namespace detail {

void StoreValue(RecordRef out, const Field& to, std::int64_t value) {
  for (std::size_t i = 0; i < to.count; ++i) out.SetInt(to.At(i), value);
}

void StoreValue(RecordRef out, const Field& to, double value) {
  for (std::size_t i = 0; i < to.count; ++i) out.SetReal(to.At(i), value);
}

void StoreValue(RecordRef out, const Field& to, Date value) {
  for (std::size_t i = 0; i < to.count; ++i) out.SetDate(to.At(i), value);
}

void StoreValue(RecordRef out, const Field& to, std::string_view value) {
  for (std::size_t i = 0; i < to.count; ++i) out.SetText(to.At(i), value);
}

}  // namespace detail

void Build(std::span<const Rule> rules, RecordView in, RecordRef out) {
  out.Clear();
  for (const Rule& rule : rules) {
    switch (rule.op) {
      case Rule::Op::Copy:
        out.CarryFrom(in, rule.from, rule.to, rule.cut);
        break;
      case Rule::Op::Constant:
        switch (rule.to.kind) {
          case Kind::Real:
            detail::StoreValue(out, rule.to, rule.real);
            break;
          case Kind::Date:
            detail::StoreValue(out, rule.to, rule.date);
            break;
          case Kind::Text:
          case Kind::Bytes:
            detail::StoreValue(out, rule.to, rule.text);
            break;
          default:
            detail::StoreValue(out, rule.to, rule.number);
            break;
        }
        break;
      case Rule::Op::Computed:
        rule.compute(in, out, rule.to);
        break;
    }
  }
}

}  // namespace zq::shared
