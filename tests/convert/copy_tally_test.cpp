// What the copy primitives tell a tally, case by case: the figures an office reconciles
// a run with, so a record dropped or a file missing must be counted where it happened.
#include <gtest/gtest.h>

#include <functional>

#include "convert/copy_fixture.h"
#include "convert/copy_tally.h"

namespace zq::test {
namespace {

using convert::CopyCounts;

class CopyTallyTest : public CopyFixture {
 protected:
  CopyTallyTest() { copier.tally = &tally; }
  convert::CopyTotal tally;
};

TEST_F(CopyTallyTest, EachPrimitiveIsCountedAsItEnded) {
  struct Case {
    std::string name;
    std::function<void()> run;
    CopyCounts expected;
  };
  auto keepOdd = [](std::span<std::uint8_t> r) { return r[0] % 2 == 1; };
  auto records = [](int n, std::size_t size) {
    std::string bytes;
    for (int i = 0; i < n; ++i) bytes += std::string(size, static_cast<char>(i));
    return bytes;
  };
  const std::vector<Case> cases = {
      {"five records, two kept by the filter",
       [&] {
         Write("a", records(5, 10));
         copier.CopyRecords(Path("a"), Path("b"), 10, keepOdd);
       },
       {.recordsRead = 5, .recordsWritten = 2, .recordsDropped = 3, .filesCopied = 1}},
      {"a short tail is one record read and written",
       [&] {
         Write("a", records(3, 10) + "xy");
         copier.CopyRecords(Path("a"), Path("b"), 10, nullptr);
       },
       {.recordsRead = 4, .recordsWritten = 4, .filesCopied = 1}},
      {"conversion appended to an existing target counts only what it added",
       [&] {
         Write("a", records(4, 8));
         Write("b", std::string(60, 'z'));
         copier.appendMode = true;
         copier.ConvertRecords(Path("a"), Path("b"), 8, 20,
                               [](auto in, auto) { return in[0] != 2; });
         copier.appendMode = false;
       },
       {.recordsRead = 4, .recordsWritten = 3, .recordsDropped = 1, .filesCopied = 1}},
      {"a missing source",
       [&] { copier.CopyFileBytes(Path("none"), Path("b")); },
       {.filesMissing = 1}},
      {"a target kept on the user's answer",
       [&] {
         Write("a", "text\r\n");
         Write("b", "old");
         Key('z');
         copier.CopyTextFile(Path("a"), Path("b"));
       },
       {}},
      {"a write that fails half way is an error, not a drop",
       [&] {
         Write("a", records(6, 10));
         files.Plan(Path("b"), {.writeFailsAfter = 25});
         Key(' ');
         copier.CopyRecords(Path("a"), Path("b"), 10, nullptr);
         files.ClearPlans();
       },
       {.recordsRead = 6, .recordsWritten = 3, .errors = 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir / "b");
    tally.total = {};
    c.run();
    EXPECT_EQ(tally.total.recordsRead, c.expected.recordsRead);
    EXPECT_EQ(tally.total.recordsWritten, c.expected.recordsWritten);
    EXPECT_EQ(tally.total.recordsDropped, c.expected.recordsDropped);
    EXPECT_EQ(tally.total.filesCopied, c.expected.filesCopied);
    EXPECT_EQ(tally.total.filesMissing, c.expected.filesMissing);
    EXPECT_EQ(tally.total.errors, c.expected.errors);
  }
}

}  // namespace
}  // namespace zq::test
