#include "convert/buffered_io.h"

#include <gtest/gtest.h>

#include "copy_fixture.h"

namespace zq::test {
namespace {

using convert::BufferedReader;
using convert::BufferedWriter;
using convert::kIoBufferSize;

class BufferedIoTest : public CopyFixture {
 protected:
  std::unique_ptr<platform::File> Open(const std::string& name, bool write) {
    int error = 0;
    return files.Open(
        Path(name), write ? platform::kWrite : platform::kRead, platform::kShareReadWrite,
        write ? platform::Disposition::kCreateAlways : platform::Disposition::kOpenExisting, error);
  }
  // Reads the file in requests of `size` through a reader of `capacity`.
  std::vector<std::string> Requests(const std::string& name, std::size_t size,
                                    std::size_t capacity) {
    auto file = Open(name, false);
    BufferedReader reader(*file, capacity);
    std::vector<std::string> out;
    for (;;) {
      std::string piece(size, '\0');
      std::size_t done = 0;
      int error = 0;
      if (!reader.Read(piece.data(), size, done, error)) {
        out.push_back("error");
        break;
      }
      piece.resize(done);
      out.push_back(piece);
      if (done == 0) break;
    }
    return out;
  }
};

TEST_F(BufferedIoTest, RequestsSmallerAndLargerThanTheBuffer) {
  std::string bytes = Pattern(1000);
  Write("f", bytes);
  for (std::size_t capacity : {std::size_t{7}, std::size_t{64}, std::size_t{4096}}) {
    for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{64}, std::size_t{333}}) {
      SCOPED_TRACE(std::to_string(capacity) + "/" + std::to_string(size));
      auto pieces = Requests("f", size, capacity);
      std::size_t full = 1000 / size, tail = 1000 % size;
      ASSERT_EQ(pieces.size(), full + (tail ? 1 : 0) + 1);
      std::string joined;
      for (std::size_t i = 0; i < full; ++i) {
        EXPECT_EQ(pieces[i].size(), size);
        joined += pieces[i];
      }
      if (tail) {
        EXPECT_EQ(pieces[full].size(), tail);
        joined += pieces[full];
      }
      EXPECT_EQ(pieces.back(), "");
      EXPECT_EQ(joined, bytes);
    }
  }
}

TEST_F(BufferedIoTest, ReadErrorFallsOnTheRequestItBelongsTo) {
  Write("f", Pattern(100));
  files.Plan(Path("f"), {.readFailsAfter = 45});
  // Requests of 10: four whole ones, then the fifth needs bytes past the failure.
  auto pieces = Requests("f", 10, 16);
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[3], Pattern(100).substr(30, 10));
  EXPECT_EQ(pieces[4], "error");
  // A failure exactly at a request boundary also belongs to the next request.
  files.Plan(Path("f"), {.readFailsAfter = 40});
  pieces = Requests("f", 10, 1000);
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[4], "error");
}

TEST_F(BufferedIoTest, WriterRetriesShortWritesAndFailsWithoutProgress) {
  std::string bytes = Pattern(10000);
  files.Plan(Path("g"), {.writeChunk = 13});
  {
    auto file = Open("g", true);
    BufferedWriter writer(*file, 256);
    int error = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 100)
      ASSERT_TRUE(writer.Write(bytes.data() + i, 100, error));
    ASSERT_TRUE(writer.Write(bytes.data(), 0, error));
    ASSERT_TRUE(writer.Flush(error));
    file->Close(error);
  }
  EXPECT_EQ(Read("g"), bytes);

  files.Plan(Path("g"), {.writeChunk = 13, .writeStallsAfter = 500});
  auto file = Open("g", true);
  BufferedWriter writer(*file, 256);
  int error = 0;
  bool failed = false;
  for (std::size_t i = 0; i < bytes.size() && !failed; i += 100)
    failed = !writer.Write(bytes.data() + i, 100, error);
  EXPECT_TRUE(failed);
  EXPECT_FALSE(writer.Flush(error));
  EXPECT_TRUE(writer.Failed());
  file->Close(error);
  EXPECT_EQ(Read("g"), bytes.substr(0, 500));
}

// Every record size the firm items read (and, for conversions, write): the records a
// copy or a conversion hands its callback, read in blocks, are the records a read of
// one record at a time gives, the short tail zero-filled, over files long enough to
// cross several block boundaries.
struct RecordSizes {
  std::uint16_t in, out;
};
constexpr RecordSizes kItemRecordSizes[] = {
    {2048, 2048},   {352, 352},     {13952, 13952}, {552, 552},   {400, 1024},
    {48, 48},       {10176, 26624}, {480, 480},     {160, 512},   {432, 432},
    {784, 784},     {200, 200},     {320, 320},     {768, 768},   {848, 848},
    {39771, 39771}, {3837, 3837},   {367, 367},     {2395, 2395}, {557, 557},
    {704, 704},     {572, 572},     {128, 128},     {1024, 1024}, {224, 224},
};

TEST_F(BufferedIoTest, BlockReadsGiveTheRecordsOfRecordReadsForEveryItemSize) {
  for (const RecordSizes& sizes : kItemRecordSizes) {
    const std::size_t records = std::max<std::size_t>(3, 3 * kIoBufferSize / sizes.in);
    for (std::size_t tail : {std::size_t{0}, std::size_t{1}, std::size_t{sizes.in - 1u}}) {
      SCOPED_TRACE(std::to_string(sizes.in) + "->" + std::to_string(sizes.out) + " tail " +
                   std::to_string(tail));
      const std::string bytes = Pattern(records * sizes.in + tail, sizes.in);
      Write("src.rek", bytes);

      // One record per read, straight from the file.
      std::vector<std::string> expected;
      {
        auto file = Open("src.rek", false);
        for (;;) {
          std::string record(sizes.in, '\0');
          std::size_t done = 0;
          int error = 0;
          ASSERT_TRUE(file->Read(record.data(), record.size(), done, error));
          if (done == 0) break;
          expected.push_back(record);
        }
      }
      ASSERT_EQ(expected.size(), records + (tail ? 1 : 0));

      std::vector<std::string> copied, converted;
      auto keep = [](std::vector<std::string>& into, std::span<const std::uint8_t> record) {
        into.emplace_back(reinterpret_cast<const char*>(record.data()), record.size());
      };
      copier.overwriteMemory = -1;
      EXPECT_EQ(copier.CopyRecords(Path("src.rek"), Path("copy.rek"), sizes.in,
                                   [&](std::span<std::uint8_t> r) {
                                     keep(copied, r);
                                     return true;
                                   }),
                convert::CopyStatus::kCopied);
      EXPECT_EQ(copied, expected);
      EXPECT_EQ(Read("copy.rek"), bytes);

      std::string written;
      const int writesBefore = files.Stats(Path("conv.rek")).writes;
      EXPECT_EQ(copier.ConvertRecords(
                    Path("src.rek"), Path("conv.rek"), sizes.in, sizes.out,
                    [&](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                      keep(converted, in);
                      std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
                      return true;
                    }),
                convert::CopyStatus::kCopied);
      EXPECT_EQ(converted, expected);
      for (const std::string& record : expected) {
        std::string out = record.substr(0, sizes.out);
        out.resize(sizes.out, '\0');
        written += out;
      }
      EXPECT_EQ(Read("conv.rek"), written);
      // The output goes out in whole buffers, whatever the record size.
      EXPECT_EQ(files.Stats(Path("conv.rek")).writes - writesBefore,
                static_cast<int>((written.size() + kIoBufferSize - 1) / kIoBufferSize));
    }
  }
}

}  // namespace
}  // namespace zq::test
