#include "convert/payroll.h"

#include <algorithm>

namespace zq::convert {

namespace {

using shared::Constant;
using shared::Copy;
using shared::RecordRef;
using shared::RecordView;
using shared::Rule;

constexpr const shared::Layout& kOld = kOldPayroll;
constexpr const shared::Layout& kNew = kPayroll;
constexpr const shared::Layout& kOldMonth = kOldPayrollMonth;
constexpr const shared::Layout& kNewMonth = kPayrollMonth;

constexpr Rule kHeader[] = {
    Copy(kOld["PersonKey"], kNew["PersonKey"]), Constant(kNew["LayoutMark"], kPayrollLayoutMark),
    Copy(kOld["Setting09"], kNew["Setting09"]), Copy(kOld["Setting0E"], kNew["Setting0E"]),
    Copy(kOld["Person"], kNew["Person"]),       Copy(kOld["Word2727"], kNew["Word2727"]),
    Copy(kOld["Byte2729"], kNew["Byte2729"]),   Copy(kOld["Byte272A"], kNew["Byte272A"]),
    Copy(kOld["Block2754"], kNew["Block2754"]), Copy(kOld["Byte2790"], kNew["Byte2790"]),
    Copy(kOld["Byte2791"], kNew["Byte2791"]),   Copy(kOld["Byte2793"], kNew["Byte2793"]),
    Copy(kOld["Real2794"], kNew["Real2794"]),
};

constexpr Rule kMonth[] = {
    Copy(kOldMonth["MonthText"], kNewMonth["MonthText"]),
    Copy(kOldMonth["Amounts00D"], kNewMonth["Amounts00D"]),
    Copy(kOldMonth["Word05D"], kNewMonth["Word05D"]),
    Copy(kOldMonth["Word05F"], kNewMonth["Word05F"]),
    Copy(kOldMonth["Amounts061"], kNewMonth["Amounts061"]),
    Copy(kOldMonth["Real089"], kNewMonth["Real089"]),
    Copy(kOldMonth["Byte091"], kNewMonth["Byte091"]),
    Copy(kOldMonth["Amounts092"], kNewMonth["Amounts092"]),
    shared::Computed(kNewMonth["Hundredths308"],
                     [](RecordView in) {
                       return static_cast<double>(in.Get(kOldMonth.Int("Hundredths308"))) * 0.01;
                     }),
    Copy(kOldMonth["Amounts0BA"], kNewMonth["Amounts0BA"]),
    Copy(kOldMonth["Byte0FA"], kNewMonth["Byte0FA"]),
    Copy(kOldMonth["Amounts0FB"], kNewMonth["Amounts0FB"]),
    Copy(kOldMonth["Byte11B"], kNewMonth["Byte11B"]),
    Copy(kOldMonth["Raw11C"], kNewMonth["Raw11C"]),
    Copy(kOldMonth["Raw134"], kNewMonth["Raw134"]),
    Copy(kOldMonth["Raw14A"], kNewMonth["Raw14A"]),
    Copy(kOldMonth["Raw17A"], kNewMonth["Raw17A"]),
    Copy(kOldMonth["Amounts1AA"], kNewMonth["Amounts1AA"]),
    Copy(kOldMonth["Real0F2"], kNewMonth["Real0F2"]),
    Copy(kOldMonth["Byte1BA"], kNewMonth["Byte1BA"]),
    Copy(kOldMonth["Real1BB"], kNewMonth["Real1BB"]),
    Copy(kOldMonth["Byte1C3"], kNewMonth["Byte1C3"]),
    Copy(kOldMonth["Amounts1C4"], kNewMonth["Amounts1C4"]),
    Copy(kOldMonth["Text1D4"], kNewMonth["Text1D4"]),
    Copy(kOldMonth["Raw1D9"], kNewMonth["Raw1D9"]),
    Copy(kOldMonth["Entries1E1"], kNewMonth["Entries1E1"]),
    Copy(kOldMonth["Amounts2D1"], kNewMonth["Amounts2D1"]),
    Copy(kOldMonth["Ints2E1"], kNewMonth["Ints2E1"]),
    Copy(kOldMonth["Words2E9"], kNewMonth["Words2E9"]),
    Copy(kOldMonth["Bytes2ED"], kNewMonth["Bytes2ED"]),
    Copy(kOldMonth["Amounts2EF"], kNewMonth["Amounts2EF"]),
    Copy(kOldMonth["Byte307"], kNewMonth["Byte307"]),
    Copy(kOldMonth["Word30C"], kNewMonth["Word30C"]),
    Copy(kOldMonth["Real30E"], kNewMonth["Real30E"]),
    Copy(kOldMonth["Bytes317"], kNewMonth["Bytes317"]),
};

// Month m's block of a record, as far as the record reaches.
template <class Byte>
std::span<Byte> MonthBlock(std::span<Byte> record, std::size_t month, std::size_t blockSize) {
  std::size_t start = kPayrollMonthStart + month * blockSize;
  if (start >= record.size()) return {};
  return record.subspan(start, std::min(blockSize, record.size() - start));
}

}  // namespace

bool ConvertPayroll(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  shared::Build(kHeader, RecordView(in), RecordRef(out));
  for (std::size_t m = 0; m < kPayrollMonths; ++m)
    shared::Build(kMonth, RecordView(MonthBlock(in, m, kOldPayrollMonthSize)),
                  RecordRef(MonthBlock(out, m, kPayrollMonthSize)));
  return true;
}

}  // namespace zq::convert
