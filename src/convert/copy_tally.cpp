#include "convert/copy_tally.h"

#include "convert/copy.h"

namespace zq::convert {

namespace {

std::int64_t WholeOrPart(std::int64_t bytes, std::uint16_t size) {
  return size == 0 || bytes <= 0 ? 0 : (bytes + size - 1) / size;
}

}  // namespace

// The records are counted from the source's size and the bytes written: a record copy
// truncates its target unless it appends, and a short last record is still one record
// read and one written.
CopyStatus Copier::Tell(CopyStatus status, std::string_view target, std::uint16_t inSize,
                        std::uint16_t outSize) {
  if (!tally) return status;
  CopyCounts counts;
  switch (status) {
    case CopyStatus::kNoSource:
      counts.filesMissing = 1;
      break;
    case CopyStatus::kKept:
      break;
    default: {
      if (status == CopyStatus::kCopied || status == CopyStatus::kCloseFailed) ++counts.filesCopied;
      if (Failed(status)) ++counts.errors;
      if (inSize == 0 || status == CopyStatus::kOpenFailed || status == CopyStatus::kCreateFailed)
        break;
      // After a failed write only the target knows how much of it arrived.
      std::int64_t added = static_cast<std::int64_t>(measured_.written);
      if (!measured_.writtenKnown)
        added = FileSizeOf(target) - (appendMode ? measured_.targetBefore : 0);
      counts.recordsRead = WholeOrPart(measured_.sourceSize, inSize);
      counts.recordsWritten = WholeOrPart(added, outSize);
      if (status == CopyStatus::kCopied && counts.recordsRead > counts.recordsWritten)
        counts.recordsDropped = counts.recordsRead - counts.recordsWritten;
      break;
    }
  }
  tally->OnCopy(counts);
  return status;
}

CopyStatus Copier::CopyTextFile(std::string_view source, std::string_view target) {
  if (!tally) return CopyTextFileUncounted(source, target);
  return Tell(CopyTextFileUncounted(source, target), target, 0, 0);
}

CopyStatus Copier::CopyFileBytes(std::string_view source, std::string_view target) {
  if (!tally) return CopyFileBytesUncounted(source, target);
  return Tell(CopyFileBytesUncounted(source, target), target, 0, 0);
}

CopyStatus Copier::CopyRecords(std::string_view source, std::string_view target, std::uint16_t size,
                               const RecordFilter& filter) {
  if (!tally) return CopyRecordsUncounted(source, target, size, filter);
  measured_ = {};
  return Tell(CopyRecordsUncounted(source, target, size, filter), target, size, size);
}

CopyStatus Copier::ConvertRecords(std::string_view source, std::string_view target,
                                  std::uint16_t inSize, std::uint16_t outSize,
                                  const RecordConverter& converter) {
  if (!tally) return ConvertRecordsUncounted(source, target, inSize, outSize, converter);
  measured_ = {};
  return Tell(ConvertRecordsUncounted(source, target, inSize, outSize, converter), target, inSize,
              outSize);
}

}  // namespace zq::convert
