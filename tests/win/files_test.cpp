// The Win32 files backend against the real file system: sharing modes and range
// locks between opens, Polish names, attributes and find masks, error codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/host.h"
#include "platform/win32/text.h"
#include "platform/win32/win.h"
#include "support/test_env.h"

namespace zq::platform::win32 {
namespace {

using zq::operator""_pl;

class Win32FilesTest : public ::testing::Test {
 protected:
  // A path in the temporary directory, code page 852 with backslashes.
  std::string Path(std::string_view name) const { return dir_ + "\\" + std::string(name); }
  std::unique_ptr<File> Open(std::string_view name, Access access, Share share,
                             Disposition disposition, int& error) {
    return files_->Open(Path(name), access, share, disposition, error);
  }
  void Make(std::string_view name, std::string_view bytes = "x") {
    int error = 0;
    auto f = Open(name, kWrite, kShareNone, Disposition::kCreateAlways, error);
    ASSERT_TRUE(f) << "error " << error;
    std::size_t done = 0;
    ASSERT_TRUE(f->Write(bytes.data(), bytes.size(), done, error));
    ASSERT_TRUE(f->Close(error));
  }
  std::vector<std::string> Find(std::string_view pattern, std::uint32_t mask) {
    std::vector<std::string> names;
    FindData data;
    int error = 0;
    auto handle = files_->FindFirst(Path(pattern), mask, data, error);
    if (!handle) return names;
    do names.push_back(data.name);
    while (handle->Next(data));
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir temp_;
  std::string dir_ = temp_.Path().string();
  std::unique_ptr<Files> files_ = CreateHostFiles();
};

TEST_F(Win32FilesTest, OpensThatClashInAccessOrSharingFailWithError32) {
  Make("SPISFIRM.DAT");
  int error = 0;
  auto reader = Open("SPISFIRM.DAT", kRead, kShareRead, Disposition::kOpenExisting, error);
  ASSERT_TRUE(reader);
  // Deny write: a second reader is let in, a writer is not.
  EXPECT_TRUE(Open("SPISFIRM.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_FALSE(
      Open("spisfirm.dat", kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_EQ(error, kErrSharingViolation);
  // A refused truncating open leaves the file as it was.
  EXPECT_FALSE(Open("SPISFIRM.DAT", kWrite, kShareReadWrite, Disposition::kCreateAlways, error));
  EXPECT_EQ(error, kErrSharingViolation);
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  ASSERT_TRUE(files_->GetAttributes(Path("SPISFIRM.DAT"), attributes, size));
  EXPECT_EQ(size, 1);
  reader.reset();
  auto exclusive = Open("SPISFIRM.DAT", kReadWrite, kShareNone, Disposition::kOpenExisting, error);
  ASSERT_TRUE(exclusive);
  EXPECT_FALSE(Open("SPISFIRM.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_EQ(error, kErrSharingViolation);
  // An open file can be neither removed nor renamed.
  EXPECT_FALSE(files_->Remove(Path("SPISFIRM.DAT"), error));
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_FALSE(files_->Rename(Path("SPISFIRM.DAT"), Path("INNY.DAT"), error));
  EXPECT_EQ(error, kErrSharingViolation);
}

TEST_F(Win32FilesTest, RangeLocksExcludeOtherOpensWithError33) {
  Make("SPISFIRM.DAT", std::string(3 * 103, 'F'));
  int error = 0;
  auto a = Open("SPISFIRM.DAT", kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error);
  auto b = Open("SPISFIRM.DAT", kReadWrite, kShareReadWrite, Disposition::kOpenExisting, error);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->Lock(0, 0x7FFFFFFF, error));
  EXPECT_FALSE(b->Lock(0, 0x7FFFFFFF, error));
  EXPECT_EQ(error, kErrLockViolation);
  EXPECT_FALSE(b->Lock(103, 103, error));
  EXPECT_EQ(error, kErrLockViolation);
  // The same handle cannot take a range twice either, nor give back part of one.
  EXPECT_FALSE(a->Lock(0, 1, error));
  EXPECT_EQ(error, kErrLockViolation);
  EXPECT_FALSE(a->Unlock(0, 1, error));
  EXPECT_NE(error, kErrNone);
  ASSERT_TRUE(a->Unlock(0, 0x7FFFFFFF, error));
  EXPECT_TRUE(b->Lock(0, 1, error));
  char record[103];
  std::size_t done = 0;
  EXPECT_TRUE(b->Read(record, sizeof record, done, error));
  EXPECT_EQ(done, sizeof record);
}

// The ledger program names its files through the OEM code page; so must this one,
// or a firm directory with Polish letters made by one would not be found by the other
// on a machine whose code pages are not the Polish ones.
TEST_F(Win32FilesTest, NamesGoThroughTheOemCodePageAsTheLedgerProgramsDo) {
  EXPECT_FALSE(AreFileApisANSI());
  std::string name("Żółć ĄĘ.DAT"_pl);
  Make(name, "abc");
  EXPECT_EQ(Find("*.DAT", 0), std::vector<std::string>{name});
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((OemToWide(dir_) + L"\\*.DAT").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_EQ(std::wstring(data.cFileName), OemToWide(name));
  if (GetOEMCP() != 852) GTEST_SKIP() << "the rest needs a Polish system (OEM code page 852)";
  // On a Polish system that is the Unicode of those letters.
  EXPECT_EQ(std::wstring(data.cFileName), L"\u017B\u00F3\u0142\u0107 \u0104\u0118.DAT");
  // Found again in any case, Polish letters included.
  int error = 0;
  EXPECT_TRUE(Open("żÓŁĆ ąę.dat"_pl, kRead, kShareReadWrite, Disposition::kOpenExisting, error))
      << error;
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  ASSERT_TRUE(files_->GetAttributes(Path("ŻÓŁĆ ĄĘ.DAT"_pl), attributes, size));
  EXPECT_EQ(size, 3);
  ASSERT_TRUE(files_->MakeDirectory(Path("KRAKÓW"_pl), error));
  ASSERT_TRUE(files_->SetCurrentDirectory(Path("kraków"_pl), error));
  EXPECT_TRUE(files_->SameObject(files_->CurrentDirectory(), Path("KRAKÓW"_pl)));
  ASSERT_TRUE(files_->SetCurrentDirectory(dir_, error));
}

TEST_F(Win32FilesTest, CreatedFilesAndDirectoriesHaveTheDefaultAttributes) {
  Make("NOWY.DAT");
  int error = 0;
  ASSERT_TRUE(files_->MakeDirectory(Path("FIRMA1"), error));
  std::uint32_t attributes = 0;
  std::int64_t size = -1;
  ASSERT_TRUE(files_->GetAttributes(Path("NOWY.DAT"), attributes, size));
  EXPECT_EQ(attributes, kAttrArchive);
  ASSERT_TRUE(files_->GetAttributes(Path("FIRMA1"), attributes, size));
  EXPECT_EQ(attributes & ~kAttrArchive, kAttrDirectory);
  EXPECT_EQ(size, 0);
  EXPECT_FALSE(files_->GetAttributes(Path("BRAK.DAT"), attributes, size));
}

TEST_F(Win32FilesTest, FindSkipsWhatTheMaskLeavesOut) {
  Make("A.DAT");
  Make("B.DAT");
  Make("UKRYTY.DAT");
  int error = 0;
  ASSERT_TRUE(files_->MakeDirectory(Path("KATALOG.DAT"), error));
  ASSERT_TRUE(SetFileAttributesW(OemToWide(Path("UKRYTY.DAT")).c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Find("*.DAT", 0), (std::vector<std::string>{"A.DAT", "B.DAT"}));
  EXPECT_EQ(Find("*.DAT", kAttrHidden), (std::vector<std::string>{"A.DAT", "B.DAT", "UKRYTY.DAT"}));
  EXPECT_EQ(Find("*.*", kAttrDirectory),
            (std::vector<std::string>{"A.DAT", "B.DAT", "KATALOG.DAT"}));
  EXPECT_EQ(Find("?.dat", 0), (std::vector<std::string>{"A.DAT", "B.DAT"}));
  FindData data;
  EXPECT_FALSE(files_->FindFirst(Path("*.REK"), 0, data, error));
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_FALSE(files_->FindFirst(Path("BRAK\\*.*"), 0, data, error));
  EXPECT_EQ(error, kErrPathNotFound);
  // Only hidden entries: nothing found, and said so.
  ASSERT_TRUE(files_->MakeDirectory(Path("PUSTY"), error));
  EXPECT_FALSE(files_->FindFirst(Path("PUSTY\\*.*"), 0, data, error));
  EXPECT_EQ(error, kErrFileNotFound);
}

TEST_F(Win32FilesTest, ErrorCodesAreTheSystemsOwn) {
  int error = 0;
  EXPECT_FALSE(Open("BRAK.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_EQ(error, kErrFileNotFound);
  EXPECT_FALSE(Open("BRAK\\X.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_EQ(error, kErrPathNotFound);
  Make("JEST.DAT");
  EXPECT_FALSE(Open("JEST.DAT", kWrite, kShareNone, Disposition::kCreateNew, error));
  EXPECT_EQ(error, kErrFileExists);
  Make("INNY.DAT");
  EXPECT_FALSE(files_->Rename(Path("JEST.DAT"), Path("INNY.DAT"), error));
  EXPECT_EQ(error, kErrAlreadyExists);
  ASSERT_TRUE(files_->MakeDirectory(Path("KAT"), error));
  EXPECT_FALSE(files_->MakeDirectory(Path("KAT"), error));
  EXPECT_EQ(error, kErrAlreadyExists);
  EXPECT_FALSE(Open("KAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_EQ(error, kErrAccessDenied);
  Make("KAT\\PLIK.DAT");
  EXPECT_FALSE(files_->RemoveDirectory(Path("KAT"), error));
  EXPECT_EQ(error, kErrDirNotEmpty);
  EXPECT_FALSE(files_->RemoveDirectory(Path("JEST.DAT"), error));
  EXPECT_EQ(error, kErrDirectory);
  EXPECT_FALSE(files_->Remove(Path("KAT"), error));
  EXPECT_EQ(error, kErrAccessDenied);
  // A NUL inside a name must not cut it short into another file's name.
  EXPECT_FALSE(Open(std::string("JEST.DAT\0X", 10), kRead, kShareReadWrite,
                    Disposition::kOpenExisting, error));
  EXPECT_EQ(error, kErrInvalidName);
  // Devices are no data files: reading the console would wait for a key.
  EXPECT_FALSE(files_->Open("NUL", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
  EXPECT_FALSE(files_->Open("CON", kRead, kShareReadWrite, Disposition::kOpenExisting, error));
}

TEST_F(Win32FilesTest, ReadsWritesSeeksAndTruncates) {
  int error = 0;
  auto f = Open("REK.DAT", kReadWrite, kShareNone, Disposition::kCreateAlways, error);
  ASSERT_TRUE(f);
  std::size_t done = 0;
  ASSERT_TRUE(f->Write("0123456789", 10, done, error));
  EXPECT_EQ(done, 10u);
  std::int64_t position = -1, size = -1;
  ASSERT_TRUE(f->Seek(4, Whence::kBegin, position, error));
  EXPECT_EQ(position, 4);
  char buffer[16] = {};
  ASSERT_TRUE(f->Read(buffer, sizeof buffer, done, error));
  EXPECT_EQ(done, 6u);
  EXPECT_EQ(std::string(buffer, done), "456789");
  ASSERT_TRUE(f->Read(buffer, sizeof buffer, done, error));
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(f->Seek(-3, Whence::kEnd, position, error));
  EXPECT_EQ(position, 7);
  ASSERT_TRUE(f->Truncate(error));
  ASSERT_TRUE(f->Size(size, error));
  EXPECT_EQ(size, 7);
  EXPECT_FALSE(f->Seek(-1, Whence::kBegin, position, error));
  EXPECT_NE(error, kErrNone);
  ASSERT_TRUE(f->Flush(error));
  ASSERT_TRUE(f->Close(error));
  EXPECT_FALSE(f->Close(error));
  EXPECT_EQ(error, kErrInvalidHandle);
  // Writing through a read-only open is refused.
  auto r = Open("REK.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error);
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->Write("x", 1, done, error));
  EXPECT_EQ(error, kErrAccessDenied);
}

// A 32-bit program still sees files of 2 GiB and more whole: a size taken in 32 bits,
// or signed, would make a big Source file count as missing (size below 1) or cut short.
// Sparse files, so nothing is written but the last byte.
TEST_F(Win32FilesTest, FilesOfTwoGibibytesAndMoreKeepTheirSize) {
  constexpr std::int64_t kGiB = std::int64_t{1} << 30;
  for (std::int64_t size : {2 * kGiB, 3 * kGiB, 5 * kGiB}) {
    SCOPED_TRACE(size);
    int error = 0;
    {
      auto f = Open("DUZY.DAT", kReadWrite, kShareNone, Disposition::kCreateAlways, error);
      ASSERT_TRUE(f) << error;
      std::int64_t position = 0;
      ASSERT_TRUE(f->Seek(size - 1, Whence::kBegin, position, error)) << error;
      ASSERT_EQ(position, size - 1);
      std::size_t done = 0;
      ASSERT_TRUE(f->Write("Z", 1, done, error)) << error;
      ASSERT_TRUE(f->Close(error));
    }
    std::uint32_t attributes = 0;
    std::int64_t seen = 0;
    ASSERT_TRUE(files_->GetAttributes(Path("DUZY.DAT"), attributes, seen));
    EXPECT_EQ(seen, size);
    FindData data;
    auto find = files_->FindFirst(Path("DUZY.DAT"), 0, data, error);
    ASSERT_TRUE(find) << error;
    EXPECT_EQ(data.size, size);
    auto f = Open("DUZY.DAT", kRead, kShareReadWrite, Disposition::kOpenExisting, error);
    ASSERT_TRUE(f) << error;
    ASSERT_TRUE(f->Size(seen, error));
    EXPECT_EQ(seen, size);
    std::int64_t position = 0;
    ASSERT_TRUE(f->Seek(-1, Whence::kEnd, position, error));
    EXPECT_EQ(position, size - 1);
    char last = 0;
    std::size_t done = 0;
    ASSERT_TRUE(f->Read(&last, 1, done, error));
    EXPECT_EQ(std::string(&last, done), "Z");
    ASSERT_TRUE(f->Close(error));
    ASSERT_TRUE(files_->Remove(Path("DUZY.DAT"), error)) << error;
  }
}

TEST_F(Win32FilesTest, SameObjectLooksPastSpelling) {
  int error = 0;
  ASSERT_TRUE(files_->MakeDirectory(Path("FIRMA"), error));
  Make("FIRMA\\SPISFIRM.DAT");
  Make("FIRMA\\INNY.DAT");
  EXPECT_TRUE(files_->SameObject(Path("FIRMA\\SPISFIRM.DAT"), Path("firma/spisfirm.dat")));
  EXPECT_TRUE(files_->SameObject(Path("FIRMA"), Path("firma\\.\\")));
  EXPECT_FALSE(files_->SameObject(Path("FIRMA\\SPISFIRM.DAT"), Path("FIRMA\\INNY.DAT")));
  EXPECT_FALSE(files_->SameObject(Path("FIRMA\\BRAK.DAT"), Path("FIRMA\\BRAK.DAT")));
}

}  // namespace
}  // namespace zq::platform::win32
