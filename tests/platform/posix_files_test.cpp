#include "platform/posix/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/host.h"
#include "support/test_env.h"

namespace zq::platform {
namespace {

using zq::operator""_pl;
namespace fs = std::filesystem;

class PosixFilesTest : public ::testing::Test {
 protected:
  std::unique_ptr<File> OpenFile(const std::string& path, Access access, Share share,
                                 Disposition disposition, int& error) {
    return files->Open(path, access, share, disposition, error);
  }
  std::unique_ptr<File> Create(const std::string& name, std::string_view bytes = "") {
    int error = -1;
    auto f = files->Open(dir.Prefix() + name, kReadWrite, kShareReadWrite,
                         Disposition::kCreateAlways, error);
    EXPECT_NE(f, nullptr) << name << " error " << error;
    if (f != nullptr && !bytes.empty()) {
      std::size_t done = 0;
      EXPECT_TRUE(f->Write(bytes.data(), bytes.size(), done, error));
      EXPECT_EQ(done, bytes.size());
    }
    return f;
  }
  std::string ReadAll(File& f) {
    std::int64_t pos = 0;
    int error = 0;
    EXPECT_TRUE(f.Seek(0, Whence::kBegin, pos, error));
    std::string out;
    char buf[64];
    std::size_t done = 0;
    while (f.Read(buf, sizeof buf, done, error) && done > 0) out.append(buf, done);
    return out;
  }
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> Find(const std::string& pattern, std::uint32_t mask, int& error) {
    std::vector<std::string> names;
    FindData data;
    auto h = files->FindFirst(pattern, mask, data, error);
    if (h == nullptr) return names;
    do names.push_back(data.name);
    while (h->Next(data));
    return names;
  }

  test::TempDir dir;
  std::unique_ptr<Files> files = CreateHostFiles();
};

TEST_F(PosixFilesTest, PolishNamesAreUtf8OnDiskAndCp852InFind) {
  std::string name("Zażółć gęślą.DAT"_pl);
  Create(name, "abc");
  EXPECT_EQ(Entries(), std::vector<std::string>{"Zażółć gęślą.DAT"});

  int error = -1;
  auto found = Find(dir.Prefix() + "*.dat", 0, error);
  ASSERT_EQ(found.size(), 1u) << error;
  EXPECT_EQ(found[0], name);

  // The upper-cased Polish spelling names the same file, without creating a second one.
  std::string upper("ZAŻÓŁĆ GĘŚLĄ.dat"_pl);
  auto f = OpenFile(dir.Prefix() + upper, kRead, kShareReadWrite, Disposition::kOpenAlways, error);
  ASSERT_NE(f, nullptr) << error;
  EXPECT_EQ(ReadAll(*f), "abc");
  EXPECT_TRUE(files->SameObject(dir.Prefix() + name, dir.Prefix() + upper));
  EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(PosixFilesTest, LookupIgnoresCaseOfEveryComponent) {
  test::WriteFile(dir / "Firma1" / "2020_rok.rek", "old");
  int error = -1;
  auto f = OpenFile(dir.Prefix() + "FIRMA1\\2020_ROK.REK", kRead, kShareRead,
                    Disposition::kOpenExisting, error);
  ASSERT_NE(f, nullptr) << error;
  EXPECT_EQ(ReadAll(*f), "old");
  f.reset();

  // Creating under another case opens and truncates the existing file, as Windows does.
  f = OpenFile(dir.Prefix() + "firma1/2020_ROK.rek", kWrite, kShareNone, Disposition::kCreateAlways,
               error);
  ASSERT_NE(f, nullptr) << error;
  f.reset();
  EXPECT_EQ(test::ReadFile(dir / "Firma1" / "2020_rok.rek"), "");

  // A new file goes into the existing directory whose case differs.
  f = OpenFile(dir.Prefix() + "FIRMA1\\Nowy.DAT", kWrite, kShareNone, Disposition::kCreateNew,
               error);
  ASSERT_NE(f, nullptr) << error;
  f.reset();
  EXPECT_TRUE(fs::exists(dir / "Firma1" / "Nowy.DAT"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"Firma1"});

  EXPECT_FALSE(files->MakeDirectory(dir.Prefix() + "FIRMA1", error));
  EXPECT_EQ(error, kErrAlreadyExists);
  EXPECT_FALSE(files->MakeDirectory(dir.Prefix() + "firma1\\", error));
  EXPECT_EQ(error, kErrAlreadyExists);

  // An exact spelling wins over a case-folded one.
  test::WriteFile(dir / "firma1" / "x", "lower");
  f = OpenFile(dir.Prefix() + "firma1/x", kRead, kShareRead, Disposition::kOpenExisting, error);
  ASSERT_NE(f, nullptr) << error;
  EXPECT_EQ(ReadAll(*f), "lower");
}

// With the directory listings held, every name the program makes, renames or removes is
// seen at once under any case, as on Windows, by lookups and pattern searches alike; the
// same steps without the hold give the same answers.
TEST_F(PosixFilesTest, OwnCreatesRenamesAndDeletesAreSeenAtOnceUnderAnyCase) {
  for (bool hold : {true, false}) {
    SCOPED_TRACE(hold ? "held" : "not held");
    test::TempDir here;
    const std::string d = here.Prefix() + "Firma";
    fs::create_directories(here / "Firma");
    if (hold) files->HoldListings(true);
    std::uint32_t attributes = 0;
    std::int64_t size = 0;
    auto present = [&](const std::string& name) {
      return files->GetAttributes(d + "\\" + name, attributes, size);
    };
    int error = 0;
    auto found = [&](const std::string& pattern) {
      int e = 0;
      return Find(d + "\\" + pattern, kAttrDirectory, e);
    };
    using Names = std::vector<std::string>;
    // Looked for (and so listed) before it is there.
    EXPECT_FALSE(present("2020K990.1"));
    ASSERT_NE(files->Open(d + "/2020k990.1", kWrite, kShareNone, Disposition::kCreateAlways, error),
              nullptr);
    EXPECT_TRUE(present("2020K990.1"));
    EXPECT_EQ(found("2020K99?.*"), Names{"2020k990.1"});
    // Created again under another case: the same file, not a second one.
    auto again =
        files->Open(d + "\\2020K990.1", kWrite, kShareNone, Disposition::kCreateAlways, error);
    ASSERT_NE(again, nullptr);
    again.reset();
    EXPECT_EQ(fs::directory_iterator(here / "Firma")->path().filename(), "2020k990.1");
    EXPECT_EQ(files->Open(d + "\\2020K990.1", kWrite, kShareNone, Disposition::kCreateNew, error),
              nullptr);
    EXPECT_EQ(error, kErrFileExists);

    ASSERT_TRUE(files->Rename(d + "\\2020K990.1", d + "\\2020K990.1~", error)) << error;
    EXPECT_FALSE(present("2020k990.1"));
    EXPECT_TRUE(present("2020K990.1~"));
    EXPECT_EQ(found("2020K990.*"), Names{"2020K990.1~"});
    ASSERT_TRUE(files->Remove(d + "\\2020k990.1~", error)) << error;
    EXPECT_FALSE(present("2020K990.1~"));
    EXPECT_EQ(found("2020K990.*"), Names{});
    // Gone under every spelling, so a new file may take the name.
    EXPECT_NE(files->Open(d + "\\2020K990.1~", kWrite, kShareNone, Disposition::kCreateNew, error),
              nullptr);
    EXPECT_TRUE(present("2020k990.1~"));

    ASSERT_TRUE(files->MakeDirectory(d + "\\_2020", error));
    EXPECT_NE(
        files->Open(d + "\\_2020\\Luty.KST", kWrite, kShareNone, Disposition::kCreateNew, error),
        nullptr);
    EXPECT_TRUE(present("_2020\\LUTY.kst"));
    EXPECT_EQ(found("_2020\\*.kst"), Names{"Luty.KST"});
    EXPECT_EQ(found("*"), (Names{"2020K990.1~", "_2020"}));
    EXPECT_TRUE(fs::exists(here / "Firma" / "_2020" / "Luty.KST"));
    EXPECT_FALSE(files->MakeDirectory(d + "\\_2020", error));
    if (hold) files->HoldListings(false);
  }
}

// What another process writes into a directory before the hold begins is found under any
// case; so is what it writes meanwhile under the spelling asked for.
TEST_F(PosixFilesTest, FilesOtherProcessesMadeBeforeTheHoldAreFound) {
  const std::string d = dir.Prefix() + "FIRMA";
  fs::create_directories(dir / "FIRMA");
  auto other = [&](const std::string& name) {
    std::string command = "printf abc > '" + (dir / "FIRMA" / name).string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  };
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  {
    // A firm's run that lists the directory and ends.
    ListingHold firm(*files);
    EXPECT_FALSE(files->GetAttributes(d + "\\NOTES.TXT", attributes, size));
  }
  other("notes.txt");
  {
    ListingHold firm(*files);
    EXPECT_TRUE(files->GetAttributes(d + "\\NOTES.TXT", attributes, size));
    EXPECT_EQ(size, 3);
    EXPECT_FALSE(files->GetAttributes(d + "\\Cennik.txt", attributes, size));
    other("Cennik.txt");
    EXPECT_TRUE(files->GetAttributes(d + "\\Cennik.txt", attributes, size));
    int error = 0;
    EXPECT_EQ(Find(d + "\\*.TXT", 0, error), std::vector<std::string>{"notes.txt"});
    EXPECT_NE(
        files->Open(d + "\\Cennik.txt", kRead, kShareReadWrite, Disposition::kOpenExisting, error),
        nullptr);
    // Opened, it is in the listing the searches go by.
    EXPECT_EQ(Find(d + "\\*.TXT", 0, error), (std::vector<std::string>{"Cennik.txt", "notes.txt"}));
  }
  // Held again after the hold ended: listed afresh.
  ListingHold next(*files);
  EXPECT_TRUE(files->GetAttributes(d + "\\CENNIK.TXT", attributes, size));

  // A name made after the listing, under the spelling this program then creates: every
  // create opens that file rather than make a second one or overwrite it unasked.
  int error = 0;
  EXPECT_FALSE(files->GetAttributes(d + "\\Uwagi.txt", attributes, size));
  for (Disposition disposition :
       {Disposition::kCreateNew, Disposition::kOpenAlways, Disposition::kCreateAlways}) {
    other("Uwagi.txt");
    auto f = files->Open(d + "\\Uwagi.txt", kReadWrite, kShareReadWrite, disposition, error);
    if (disposition == Disposition::kCreateNew) {
      EXPECT_EQ(f, nullptr);
      EXPECT_EQ(error, kErrFileExists);
      continue;
    }
    ASSERT_NE(f, nullptr) << error;
    EXPECT_EQ(ReadAll(*f), disposition == Disposition::kOpenAlways ? "abc" : "");
  }
  EXPECT_EQ(Find(d + "\\U*", 0, error), std::vector<std::string>{"Uwagi.txt"});
  EXPECT_TRUE(files->GetAttributes(d + "\\UWAGI.TXT", attributes, size));
}

// Records read and written one after another, each after a seek to where it starts
// (most of those seeks ask nothing of the host): every step lands where a seek of the
// host would put it, also after another open of the file changed it.
TEST_F(PosixFilesTest, SeeksBetweenRecordsLandWhereTheHostWould) {
  auto f = Create("list.dat", "aaaabbbbccccdddd");
  ASSERT_NE(f, nullptr);
  int error = 0;
  std::int64_t pos = -1;
  std::size_t done = 0;
  char rec[4];
  auto at = [&](std::int64_t offset, Whence whence) {
    EXPECT_TRUE(f->Seek(offset, whence, pos, error));
    return pos;
  };
  auto read = [&] {
    EXPECT_TRUE(f->Read(rec, sizeof rec, done, error));
    return std::string(rec, done);
  };
  EXPECT_EQ(at(16, Whence::kBegin), 16);  // where the write left it
  EXPECT_EQ(read(), "");
  EXPECT_EQ(at(0, Whence::kBegin), 0);
  EXPECT_EQ(read(), "aaaa");
  EXPECT_EQ(at(4, Whence::kBegin), 4);
  EXPECT_EQ(read(), "bbbb");
  EXPECT_EQ(at(-4, Whence::kCurrent), 4);
  EXPECT_TRUE(f->Write("BBBB", 4, done, error));
  EXPECT_EQ(at(8, Whence::kBegin), 8);
  EXPECT_EQ(read(), "cccc");
  // Another open rewrites the last record; this one still reads what is there.
  {
    auto other = files->Open(dir.Prefix() + "list.dat", kReadWrite, kShareReadWrite,
                             Disposition::kOpenExisting, error);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->Seek(12, Whence::kBegin, pos, error));
    EXPECT_TRUE(other->Write("DDDDeeee", 8, done, error));
  }
  EXPECT_EQ(at(12, Whence::kBegin), 12);
  EXPECT_EQ(read(), "DDDD");
  EXPECT_EQ(at(0, Whence::kEnd), 20);
  EXPECT_EQ(ReadAll(*f), "aaaaBBBBccccDDDDeeee");
  EXPECT_FALSE(f->Seek(-1, Whence::kBegin, pos, error));
  EXPECT_EQ(at(4, Whence::kBegin), 4);
  EXPECT_EQ(read(), "BBBB");
}

TEST_F(PosixFilesTest, SeparatorsAndDrivePrefix) {
  test::WriteFile(dir / "a" / "b" / "c.txt", "x");
  std::string back = dir.Prefix();
  std::replace(back.begin(), back.end(), '/', '\\');
  std::uint32_t attrs = 0;
  std::int64_t size = 0;
  for (const std::string& path : {dir.Prefix() + "a/b/c.txt", back + "a\\b\\c.txt",
                                  dir.Prefix() + "a\\b/c.txt", dir.Prefix() + "a//b\\\\c.txt",
                                  "C:" + back + "A\\B\\C.TXT", "c:" + dir.Prefix() + "a/b/c.txt"}) {
    EXPECT_TRUE(files->GetAttributes(path, attrs, size)) << path;
    EXPECT_EQ(size, 1) << path;
    EXPECT_EQ(attrs, kAttrArchive) << path;
  }
  // A backslash is never part of a host name.
  int error = -1;
  ASSERT_NE(
      OpenFile(dir.Prefix() + "a\\new.txt", kWrite, kShareNone, Disposition::kCreateNew, error),
      nullptr);
  EXPECT_TRUE(fs::exists(dir / "a" / "new.txt"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"a"});
}

TEST_F(PosixFilesTest, ErrorCodes) {
  int error = -1;
  fs::create_directory(dir / "d");
  test::WriteFile(dir / "d" / "f", "x");
  auto open = [&](const std::string& path, Disposition disposition) {
    return OpenFile(path, kReadWrite, kShareReadWrite, disposition, error);
  };
  EXPECT_EQ(open(dir.Prefix() + "d/missing", Disposition::kOpenExisting), nullptr);
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_EQ(open(dir.Prefix() + "nodir/f", Disposition::kOpenExisting), nullptr);
  EXPECT_EQ(error, kErrPathNotFound);
  EXPECT_EQ(open(dir.Prefix() + "nodir/f", Disposition::kCreateAlways), nullptr);
  EXPECT_EQ(error, kErrPathNotFound);
  EXPECT_EQ(open(dir.Prefix() + "d/f/g", Disposition::kOpenAlways), nullptr);
  EXPECT_EQ(error, kErrPathNotFound);
  EXPECT_EQ(open(dir.Prefix() + "D/F", Disposition::kCreateNew), nullptr);
  EXPECT_EQ(error, kErrFileExists);
  EXPECT_EQ(open(dir.Prefix() + "d", Disposition::kOpenExisting), nullptr);
  EXPECT_EQ(error, kErrAccessDenied);
  EXPECT_EQ(open(dir.Prefix() + "d", Disposition::kCreateAlways), nullptr);
  EXPECT_EQ(error, kErrAccessDenied);
  EXPECT_EQ(open(dir.Prefix() + std::string("d/f\0x", 5), Disposition::kOpenAlways), nullptr);
  EXPECT_EQ(error, kErrInvalidName);
  EXPECT_EQ(open("", Disposition::kOpenExisting), nullptr);
  EXPECT_EQ(error, kErrPathNotFound);

  EXPECT_FALSE(files->Remove(dir.Prefix() + "d/missing", error));
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_FALSE(files->Remove(dir.Prefix() + "D", error));
  EXPECT_EQ(error, kErrAccessDenied);
  EXPECT_FALSE(files->RemoveDirectory(dir.Prefix() + "d", error));
  EXPECT_EQ(error, kErrDirNotEmpty);
  EXPECT_FALSE(files->RemoveDirectory(dir.Prefix() + "d/f", error));
  EXPECT_EQ(error, kErrDirectory);
  EXPECT_FALSE(files->MakeDirectory(dir.Prefix() + "x/y", error));
  EXPECT_EQ(error, kErrPathNotFound);
  EXPECT_TRUE(files->Remove(dir.Prefix() + "D\\F", error));
  EXPECT_TRUE(files->RemoveDirectory(dir.Prefix() + "D", error));
  EXPECT_FALSE(fs::exists(dir / "d"));
  std::uint32_t attrs = 0;
  std::int64_t size = 0;
  EXPECT_FALSE(files->GetAttributes(dir.Prefix() + "d", attrs, size));
}

TEST_F(PosixFilesTest, TooLongNamesAreRefusedNotCut) {
  int error = -1;
  std::string ascii(300, 'A');
  EXPECT_EQ(OpenFile(dir.Prefix() + ascii, kWrite, kShareNone, Disposition::kCreateAlways, error),
            nullptr);
  EXPECT_EQ(error, kErrFilenameTooLong);
  // 200 Polish letters fit a code page name but take 400 bytes on the host.
  std::string polish;
  for (int i = 0; i < 200; ++i) polish += "ł"_pl;
  EXPECT_EQ(OpenFile(dir.Prefix() + polish, kWrite, kShareNone, Disposition::kCreateAlways, error),
            nullptr);
  EXPECT_EQ(error, kErrFilenameTooLong);
  EXPECT_FALSE(files->MakeDirectory(dir.Prefix() + ascii, error));
  EXPECT_EQ(error, kErrFilenameTooLong);
  EXPECT_TRUE(Entries().empty());

  // Right at the host's limit the whole name is kept.
  std::string longest(255, 'b');
  ASSERT_NE(OpenFile(dir.Prefix() + longest, kWrite, kShareNone, Disposition::kCreateNew, error),
            nullptr)
      << error;
  EXPECT_EQ(Entries(), std::vector<std::string>{longest});
}

TEST_F(PosixFilesTest, RenameRefusesExistingTargetButAllowsCaseChange) {
  test::WriteFile(dir / "a.txt", "a");
  test::WriteFile(dir / "b.txt", "b");
  int error = -1;
  EXPECT_FALSE(files->Rename(dir.Prefix() + "a.txt", dir.Prefix() + "B.TXT", error));
  EXPECT_EQ(error, kErrAlreadyExists);
  EXPECT_EQ(test::ReadFile(dir / "b.txt"), "b");
  EXPECT_FALSE(files->Rename(dir.Prefix() + "none", dir.Prefix() + "c.txt", error));
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_TRUE(files->Rename(dir.Prefix() + "A.txt", dir.Prefix() + "A.TXT", error)) << error;
  EXPECT_TRUE(
      files->Rename(dir.Prefix() + "b.txt", dir.Prefix() + std::string("Źródło.txt"_pl), error));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A.TXT", "Źródło.txt"}));
}

TEST_F(PosixFilesTest, TrailingBlanksAndDotsOfTheLastNameAreDropped) {
  int error = -1;
  ASSERT_NE(
      OpenFile(dir.Prefix() + "FIRMA1 . ", kWrite, kShareNone, Disposition::kCreateNew, error),
      nullptr)
      << error;
  EXPECT_EQ(Entries(), std::vector<std::string>{"FIRMA1"});
  EXPECT_TRUE(files->SameObject(dir.Prefix() + "firma1  ", dir.Prefix() + "FIRMA1."));
  EXPECT_TRUE(files->MakeDirectory(dir.Prefix() + "Dir.", error));
  EXPECT_TRUE(fs::is_directory(dir / "Dir"));
  // A pattern keeps its dot: "*." asks for names without an extension.
  test::WriteFile(dir / "x.txt", "");
  EXPECT_EQ(Find(dir.Prefix() + "*.", kAttrDirectory, error),
            (std::vector<std::string>{"Dir", "FIRMA1"}));
}

TEST_F(PosixFilesTest, OpenFilesCannotBeRemovedOrRenamed) {
  auto f = Create("busy.dat", "x");
  int error = -1;
  EXPECT_FALSE(files->Remove(dir.Prefix() + "BUSY.DAT", error));
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_FALSE(files->Rename(dir.Prefix() + "busy.dat", dir.Prefix() + "moved.dat", error));
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_EQ(Entries(), std::vector<std::string>{"busy.dat"});
  f.reset();
  EXPECT_TRUE(files->Rename(dir.Prefix() + "busy.dat", dir.Prefix() + "moved.dat", error));
  EXPECT_TRUE(files->Remove(dir.Prefix() + "MOVED.dat", error));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(PosixFilesTest, ReadWriteSeekAndAccess) {
  auto f = Create("data.bin", "0123456789");
  int error = -1;
  std::int64_t pos = -1;
  ASSERT_TRUE(f->Seek(4, Whence::kBegin, pos, error));
  ASSERT_TRUE(f->Truncate(error));
  std::int64_t size = -1;
  ASSERT_TRUE(f->Size(size, error));
  EXPECT_EQ(size, 4);
  EXPECT_TRUE(f->Seek(-1, Whence::kEnd, pos, error));
  EXPECT_EQ(pos, 3);
  char buf[8] = {};
  std::size_t done = 99;
  EXPECT_TRUE(f->Read(buf, sizeof buf, done, error));
  EXPECT_EQ(done, 1u);
  EXPECT_EQ(buf[0], '3');
  // At the end a read succeeds with nothing.
  EXPECT_TRUE(f->Read(buf, sizeof buf, done, error));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(f->Seek(-10, Whence::kCurrent, pos, error));
  EXPECT_EQ(error, kErrInvalidParameter);
  EXPECT_TRUE(f->Flush(error));
  EXPECT_TRUE(f->Close(error));
  EXPECT_FALSE(f->Read(buf, 1, done, error));
  EXPECT_EQ(error, kErrInvalidHandle);
  EXPECT_FALSE(f->Close(error));
  EXPECT_EQ(error, kErrInvalidHandle);

  auto r = OpenFile(dir.Prefix() + "data.bin", kRead, kShareReadWrite, Disposition::kOpenExisting,
                    error);
  ASSERT_NE(r, nullptr);
  EXPECT_FALSE(r->Write("x", 1, done, error));
  EXPECT_EQ(error, kErrAccessDenied);
  EXPECT_FALSE(r->Truncate(error));
  EXPECT_EQ(error, kErrAccessDenied);
  auto w = OpenFile(dir.Prefix() + "data.bin", kWrite, kShareReadWrite, Disposition::kOpenExisting,
                    error);
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->Read(buf, 1, done, error));
  EXPECT_EQ(error, kErrAccessDenied);
  EXPECT_EQ(test::ReadFile(dir / "data.bin"), "0123");
}

// A copy from one open file into another lands as reads there and writes here would:
// from both positions on, up to the limit or the source's end, both positions moved on.
// What the host cannot copy between two files goes through memory, and a file opened
// without the access a side needs fails on that side.
TEST_F(PosixFilesTest, CopyToCarriesBytesFromPositionToPosition) {
  struct Case {
    std::size_t size, skip, limit;
    Access from, to;
    CopyFault fault;
  };
  const std::size_t kAll = ~std::size_t{0};
  const Case cases[] = {
      {0, 0, kAll, kRead, kWrite, CopyFault::kNone},
      {1, 0, kAll, kRead, kWrite, CopyFault::kNone},
      {(64 << 10) + 3, 0, kAll, kRead, kWrite, CopyFault::kNone},
      {3 << 20, 5, kAll, kRead, kWrite, CopyFault::kNone},
      {10000, 100, 4000, kRead, kWrite, CopyFault::kNone},
      {10000, 0, 4000, kRead, kReadWrite, CopyFault::kNone},
      {100, 0, kAll, kWrite, kWrite, CopyFault::kRead},
      {100, 0, kAll, kRead, kRead, CopyFault::kWrite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " from " + std::to_string(c.skip) + " limit " +
                 std::to_string(c.limit));
    std::string bytes(c.size, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    test::WriteFile(dir / "src.bin", bytes);
    test::WriteFile(dir / "dst.bin", "head");
    int error = 0;
    auto in = OpenFile(dir.Prefix() + "src.bin", c.from, kShareReadWrite,
                       Disposition::kOpenExisting, error);
    auto out = OpenFile(dir.Prefix() + "dst.bin", c.to, kShareReadWrite, Disposition::kOpenExisting,
                        error);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    std::int64_t pos = 0;
    ASSERT_TRUE(in->Seek(static_cast<std::int64_t>(c.skip), Whence::kBegin, pos, error));
    ASSERT_TRUE(out->Seek(0, Whence::kEnd, pos, error));
    std::vector<std::uint8_t> scratch(1000);
    std::uint64_t done = 99;
    CopyFault fault = CopyFault::kNone;
    const bool ok = in->CopyTo(*out, c.limit, scratch, done, fault, error);
    EXPECT_EQ(fault, c.fault);
    if (c.fault != CopyFault::kNone) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, kErrAccessDenied);
      EXPECT_EQ(done, 0u);
      continue;
    }
    ASSERT_TRUE(ok) << error;
    const std::size_t carried = std::min(c.limit, c.size - c.skip);
    EXPECT_EQ(done, carried);
    // Both positions stand after what was carried.
    ASSERT_TRUE(in->Seek(0, Whence::kCurrent, pos, error));
    EXPECT_EQ(pos, static_cast<std::int64_t>(c.skip + carried));
    std::size_t put = 0;
    ASSERT_TRUE(out->Write("|", 1, put, error));
    in.reset();
    out.reset();
    EXPECT_EQ(test::ReadFile(dir / "dst.bin"), "head" + bytes.substr(c.skip, carried) + "|");
  }
}

TEST_F(PosixFilesTest, SizesAndOffsetsAreSixtyFourBit) {
  auto f = Create("big.dat");
  const std::int64_t kBig = std::int64_t{3} << 30;
  int error = -1;
  std::int64_t pos = 0;
  ASSERT_TRUE(f->Seek(kBig, Whence::kBegin, pos, error));
  EXPECT_EQ(pos, kBig);
  ASSERT_TRUE(f->Truncate(error)) << error;  // sparse: no data is written
  std::int64_t size = 0;
  ASSERT_TRUE(f->Size(size, error));
  EXPECT_EQ(size, kBig);
  ASSERT_TRUE(f->Seek(-4, Whence::kEnd, pos, error));
  EXPECT_EQ(pos, kBig - 4);
  std::size_t done = 0;
  ASSERT_TRUE(f->Write("tail", 4, done, error));
  ASSERT_TRUE(f->Seek(kBig - 4, Whence::kBegin, pos, error));
  char buf[4];
  ASSERT_TRUE(f->Read(buf, 4, done, error));
  EXPECT_EQ(std::string(buf, 4), "tail");
  f.reset();

  std::uint32_t attrs = 0;
  ASSERT_TRUE(files->GetAttributes(dir.Prefix() + "BIG.DAT", attrs, size));
  EXPECT_EQ(size, kBig);
  FindData data;
  ASSERT_NE(files->FindFirst(dir.Prefix() + "*.dat", 0, data, error), nullptr);
  EXPECT_EQ(data.size, kBig);
}

// The full device stood for a full disk; as a device it is now no file to write at all,
// and a copy into it is refused before anything is lost, not reported as written.
TEST_F(PosixFilesTest, WriteToFullDeviceIsRefused) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  int error = -1;
  auto f = OpenFile("/dev/full", kWrite, kShareReadWrite, Disposition::kOpenExisting, error);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(error, kErrAccessDenied);
}

struct ShareCase {
  Access first_access;
  Share first_share;
  Access second_access;
  Share second_share;
  bool allowed;
};

TEST_F(PosixFilesTest, SharingModesExcludeOtherOpens) {
  Create("shared.dat", "keep");
  const ShareCase cases[] = {
      {kRead, kShareNone, kRead, kShareReadWrite, false},
      {kRead, kShareRead, kRead, kShareRead, true},
      {kRead, kShareRead, kWrite, kShareReadWrite, false},
      {kRead, kShareRead, kReadWrite, kShareReadWrite, false},
      {kReadWrite, kShareReadWrite, kReadWrite, kShareReadWrite, true},
      {kRead, kShareReadWrite, kWrite, kShareRead, true},
      {kWrite, kShareReadWrite, kRead, kShareRead, false},  // the second denies the writer
      {kRead, kShareWrite, kRead, kShareReadWrite, false},
      {kRead, kShareWrite, kWrite, kShareReadWrite, true},
      {kWrite, kShareWrite, kWrite, kShareWrite, true},
      {kReadWrite, kShareNone, kWrite, kShareReadWrite, false},
  };
  const std::string path = dir.Prefix() + "shared.dat";
  for (const ShareCase& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << int(c.first_access) << "/" << int(c.first_share) << " then "
                 << int(c.second_access) << "/" << int(c.second_share));
    int error = -1;
    auto a = OpenFile(path, c.first_access, c.first_share, Disposition::kOpenExisting, error);
    ASSERT_NE(a, nullptr) << error;
    auto b = OpenFile(dir.Prefix() + "SHARED.DAT", c.second_access, c.second_share,
                      Disposition::kOpenExisting, error);
    EXPECT_EQ(b != nullptr, c.allowed);
    if (!c.allowed) {
      EXPECT_EQ(error, kErrSharingViolation);
    }
    b.reset();
    a.reset();
    // Once the first is closed, the second always gets in.
    b = OpenFile(path, c.second_access, c.second_share, Disposition::kOpenExisting, error);
    EXPECT_NE(b, nullptr) << error;
  }

  // A refused create leaves the existing data alone.
  int error = -1;
  auto holder = OpenFile(path, kRead, kShareRead, Disposition::kOpenExisting, error);
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(OpenFile(path, kWrite, kShareNone, Disposition::kCreateAlways, error), nullptr);
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_EQ(test::ReadFile(dir / "shared.dat"), "keep");
  // Closing through Close() releases the file just as the destructor does.
  ASSERT_TRUE(holder->Close(error));
  EXPECT_NE(OpenFile(path, kWrite, kShareNone, Disposition::kCreateAlways, error), nullptr);
}

TEST_F(PosixFilesTest, ByteRangeLocksBetweenOpens) {
  Create("rec.dat", std::string(100, 'r'));
  int error = -1;
  const std::string path = dir.Prefix() + "rec.dat";
  auto a = OpenFile(path, kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error);
  auto b = OpenFile(path, kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(a->Lock(0, 10, error));
  EXPECT_FALSE(b->Lock(5, 10, error));
  EXPECT_EQ(error, kErrLockViolation);
  EXPECT_FALSE(b->Lock(9, 1, error));
  EXPECT_EQ(error, kErrLockViolation);
  EXPECT_TRUE(b->Lock(10, 5, error));
  // Beyond the end of the file locks work too.
  EXPECT_TRUE(b->Lock(1000, 1, error));
  // One open does not lock a byte twice, nor unlock what it does not hold.
  EXPECT_FALSE(a->Lock(0, 1, error));
  EXPECT_EQ(error, kErrLockViolation);
  EXPECT_FALSE(a->Unlock(0, 5, error));
  EXPECT_EQ(error, kErrNotLocked);
  EXPECT_FALSE(a->Unlock(10, 5, error));
  EXPECT_EQ(error, kErrNotLocked);

  ASSERT_TRUE(a->Unlock(0, 10, error));
  EXPECT_TRUE(b->Lock(0, 5, error));
  EXPECT_FALSE(a->Lock(0, 1, error));
  // Closing an open drops its locks.
  b.reset();
  EXPECT_TRUE(a->Lock(0, 2147483647, error));
  EXPECT_FALSE(a->Lock(std::uint64_t{1} << 63, 1, error));
  EXPECT_EQ(error, kErrInvalidParameter);
}

// Waits for one byte on `fd`; false when the other side went away.
bool Await(int fd) {
  char c = 0;
  return read(fd, &c, 1) == 1;
}

TEST_F(PosixFilesTest, TwoProcessesExcludeEachOther) {
  Create("SPISFIRM.DAT", std::string(103, 'f'));
  const std::string path = dir.Prefix() + "SPISFIRM.DAT";
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(done[1]);
    auto own = CreateHostFiles();
    int error = 0;
    auto f = own->Open(path, kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error);
    auto x = own->Open(dir.Prefix() + "only.dat", kReadWrite, kShareNone,
                       Disposition::kCreateAlways, error);
    bool ok = f != nullptr && x != nullptr && f->Lock(0, 2147483647, error);
    char c = ok ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    Await(done[0]);
    _exit(ok ? 0 : 1);
  }
  close(ready[1]);
  close(done[0]);
  ASSERT_TRUE(Await(ready[0]));

  int error = -1;
  auto f = OpenFile(path, kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error);
  ASSERT_NE(f, nullptr) << error;
  EXPECT_FALSE(f->Lock(0, 2147483647, error));
  EXPECT_EQ(error, kErrLockViolation);
  EXPECT_FALSE(f->Lock(102, 1, error));
  EXPECT_EQ(OpenFile(path, kRead, kShareRead, Disposition::kOpenExisting, error), nullptr);
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_EQ(OpenFile(dir.Prefix() + "ONLY.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting,
                     error),
            nullptr);
  EXPECT_EQ(error, kErrSharingViolation);

  char c = 'x';
  ASSERT_EQ(write(done[1], &c, 1), 1);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  close(ready[0]);
  close(done[1]);

  // The child's end released everything it held.
  EXPECT_TRUE(f->Lock(0, 2147483647, error)) << error;
  EXPECT_NE(
      OpenFile(dir.Prefix() + "ONLY.DAT", kRead, kShareNone, Disposition::kOpenExisting, error),
      nullptr);
}

TEST_F(PosixFilesTest, FindMatchesMaskAndSorts) {
  for (const char* name : {"b.dat", "A.DAT", "c.txt", "NOEXT", ".hidden", "RO.DAT"})
    test::WriteFile(dir / name, "12345");
  test::WriteFile(dir / std::string("Łódź.txt"), "1");
  fs::create_directory(dir / "SUB");
  fs::create_directory(dir / "sub.d");
  ASSERT_EQ(chmod((dir / "RO.DAT").c_str(), 0444), 0);

  int error = -1;
  const std::string p = dir.Prefix();
  std::string lodz("Łódź.txt"_pl);
  EXPECT_EQ(Find(p + "*.*", 0, error),
            (std::vector<std::string>{"A.DAT", "NOEXT", "RO.DAT", "b.dat", "c.txt", lodz}));
  EXPECT_EQ(Find(p + "*", kAttrDirectory | kAttrHidden, error),
            (std::vector<std::string>{".hidden", "A.DAT", "NOEXT", "RO.DAT", "SUB", "b.dat",
                                      "c.txt", "sub.d", lodz}));
  EXPECT_EQ(Find(p + "*.DaT", 0, error), (std::vector<std::string>{"A.DAT", "RO.DAT", "b.dat"}));
  EXPECT_EQ(Find(p + "?.dat", 0, error), (std::vector<std::string>{"A.DAT", "b.dat"}));
  EXPECT_EQ(Find(p + "*.", kAttrDirectory, error), (std::vector<std::string>{"NOEXT", "SUB"}));
  EXPECT_EQ(Find(p + std::string("ŁÓDŹ.*"_pl), 0, error), (std::vector<std::string>{lodz}));
  EXPECT_EQ(Find(p + "sub.d", 0, error), std::vector<std::string>{});
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_EQ(Find(p + "SUB.D", kAttrDirectory, error), std::vector<std::string>{"sub.d"});
  EXPECT_EQ(Find(p + "*.xyz", 0, error), std::vector<std::string>{});
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_EQ(Find(p + "nodir\\*.*", 0, error), std::vector<std::string>{});
  EXPECT_EQ(error, kErrPathNotFound);

  FindData data;
  auto h = files->FindFirst(p + "*", kAttrDirectory | kAttrHidden, data, error);
  ASSERT_NE(h, nullptr);
  std::vector<FindData> all{data};
  while (h->Next(data)) all.push_back(data);
  EXPECT_FALSE(h->Next(data));
  for (const FindData& d : all) {
    SCOPED_TRACE(d.name);
    std::uint32_t want = kAttrArchive;
    std::int64_t size = 5;
    if (d.name == "SUB" || d.name == "sub.d") want = kAttrDirectory, size = 0;
    if (d.name == ".hidden") want |= kAttrHidden;
    if (d.name == "RO.DAT") want |= kAttrReadOnly;
    if (d.name == lodz) size = 1;
    EXPECT_EQ(d.attributes, want);
    EXPECT_EQ(d.size, size);
    std::uint32_t attrs = 0;
    std::int64_t got = -1;
    EXPECT_TRUE(files->GetAttributes(p + d.name, attrs, got));
    EXPECT_EQ(attrs, want);
    EXPECT_EQ(got, size);
  }
}

TEST(PosixFilesPatternTest, WildcardsAndCase) {
  using posix::MatchPattern;
  EXPECT_TRUE(MatchPattern("*", ""));
  EXPECT_TRUE(MatchPattern("*.*", "NOEXT"));
  EXPECT_TRUE(MatchPattern("*.*", "a.b.c"));
  EXPECT_TRUE(MatchPattern("ABC.*", "abc"));
  EXPECT_FALSE(MatchPattern("ABC.*", "abcd"));
  EXPECT_TRUE(MatchPattern("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(MatchPattern("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(MatchPattern("??", "ab"));
  EXPECT_FALSE(MatchPattern("??", "abc"));
  EXPECT_FALSE(MatchPattern("??", "a"));
  EXPECT_TRUE(MatchPattern("*.", "abc"));
  EXPECT_FALSE(MatchPattern("*.", "abc.d"));
  EXPECT_TRUE(MatchPattern("_ZQ_DOR.REK", "_zq_dor.rek"));
  EXPECT_TRUE(MatchPattern("ąćęłńóśżź*"_pl, "ĄĆĘŁŃÓŚŻŹ.DAT"_pl));
  EXPECT_TRUE(MatchPattern("üëäöőčš"_pl, "ÜËÄÖŐČŠ"_pl));
  // Letters without a pair in the fold stay distinct.
  EXPECT_FALSE(MatchPattern("é"_pl, "É"_pl));
  EXPECT_EQ(posix::FoldName("żółw-Ab1"_pl), std::string("ŻÓŁW-AB1"_pl));
}

TEST_F(PosixFilesTest, SameObjectAndCurrentDirectory) {
  test::WriteFile(dir / "Sub" / "one", "1");
  test::WriteFile(dir / "Sub" / "two", "2");
  fs::create_hard_link(dir / "Sub" / "one", dir / "link");
  const std::string p = dir.Prefix();
  EXPECT_TRUE(files->SameObject(p + "sub\\ONE", p + "Sub/one"));
  EXPECT_TRUE(files->SameObject(p + "link", p + "SUB/One"));
  EXPECT_FALSE(files->SameObject(p + "Sub/one", p + "Sub/two"));
  EXPECT_FALSE(files->SameObject(p + "Sub/none", p + "Sub/none"));

  std::string before = files->CurrentDirectory();
  ASSERT_FALSE(before.empty());
  int error = -1;
  ASSERT_TRUE(files->SetCurrentDirectory(p + "SUB", error)) << error;
  EXPECT_EQ(files->CurrentDirectory(), fs::canonical(dir / "Sub").string());
  // Relative names now resolve against it, case-insensitively too.
  EXPECT_TRUE(files->SameObject("ONE", p + "Sub/one"));
  EXPECT_TRUE(files->SameObject("..\\link", "one"));
  EXPECT_FALSE(files->SetCurrentDirectory("one", error));
  EXPECT_EQ(error, kErrDirectory);
  EXPECT_FALSE(files->SetCurrentDirectory("missing", error));
  EXPECT_EQ(error, kErrFileNotFound);
  ASSERT_TRUE(files->SetCurrentDirectory("/", error));
  EXPECT_EQ(files->CurrentDirectory(), "/");
  ASSERT_TRUE(files->SetCurrentDirectory(before, error));
  EXPECT_EQ(files->CurrentDirectory(), before);
}

// A named pipe with nobody at the other end, or a device, where a data file belongs: every
// way of opening it is refused as a file that cannot be read, at once (the alarm fails
// the test instead of letting a regression wait for ever), and nothing is created.
TEST_F(PosixFilesTest, PipesAndDevicesAreRefusedAtOnce) {
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0666), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_symlink("/dev/null", dir / "null");
  // Read-only as well: the fallback open without write access must not wait either.
  ASSERT_EQ(mkfifo((dir / "readonly pipe").c_str(), 0444), 0);
  alarm(30);
  for (const std::string name : {"pipe", "zero", "null", "readonly pipe"}) {
    for (Access access : {kRead, kWrite, kReadWrite}) {
      for (Disposition how : {Disposition::kOpenExisting, Disposition::kOpenAlways,
                              Disposition::kCreateAlways, Disposition::kCreateNew}) {
        SCOPED_TRACE(name + " access " + std::to_string(access) + " disposition " +
                     std::to_string(static_cast<int>(how)));
        int error = kErrNone;
        auto file = OpenFile(dir.Prefix() + name, access, kShareReadWrite, how, error);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(error, how == Disposition::kCreateNew ? kErrFileExists : kErrAccessDenied);
      }
    }
  }
  alarm(0);
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  std::uint32_t attributes = 0;
  std::int64_t size = -1;
  ASSERT_TRUE(files->GetAttributes(dir.Prefix() + "pipe", attributes, size));
  EXPECT_EQ(size, 0);  // the size checks of the copies see nothing to copy
}

}  // namespace
}  // namespace zq::platform
