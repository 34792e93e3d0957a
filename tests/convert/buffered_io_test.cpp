#include "convert/buffered_io.h"

#include <gtest/gtest.h>

#include "copy_fixture.h"

namespace zq::test {
namespace {

using convert::BufferedReader;
using convert::BufferedWriter;

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

}  // namespace
}  // namespace zq::test
