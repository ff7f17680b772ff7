// Extraction details only Windows has: creation times, DOS attributes,
// read-only files, drive letters, the progress bar, Authenticode signatures.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/directory_path.h"
#include "archive/extract_progress.h"
#include "archive/zip_file.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brxtest::BuildZip;
using brxtest::TestEntry;

class ExtractWinTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = brxtest::ScratchDir("archive"); }
  ZIP_Result Open(const std::vector<TestEntry>& entries) {
    zip_.CloseArchive();  // Windows does not let a file open for reading be rewritten
    std::wstring path = brxtest::WriteFile(dir_ + L"\\package.exe", "MZ" + BuildZip(entries, 2).bytes);
    return zip_.OpenArchive(path.c_str(), 1);
  }
  std::wstring dir_;
  ZIP_File zip_;
};

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

TEST_F(ExtractWinTest, TimesAndAttributesComeFromTheEntry) {
  TestEntry hidden = {"hidden.txt", "h"};
  hidden.dos_date = 0x5A4F;  // 2025-02-15
  hidden.dos_time = 0x7A2C;  // 15:17:24
  hidden.external = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  TestEntry readonly = {"sub\\readonly.txt", "r"};
  readonly.external = FILE_ATTRIBUTE_READONLY;
  ASSERT_EQ(ZIP_OK, Open({hidden, readonly}));
  std::wstring out = dir_ + L"\\out";
  ASSERT_EQ(ZIP_OK, zip_.ExtractAll(out.c_str(), nullptr, nullptr));

  FILETIME local, expected;
  ASSERT_TRUE(DosDateTimeToFileTime(0x5A4F, 0x7A2C, &local));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &expected));
  HANDLE h = CreateFileW((out + L"\\hidden.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  FILETIME created, accessed, written;
  ASSERT_TRUE(GetFileTime(h, &created, &accessed, &written));
  CloseHandle(h);
  EXPECT_EQ(Ticks(expected), Ticks(created));
  EXPECT_EQ(Ticks(expected), Ticks(written));
  EXPECT_NE(Ticks(expected), Ticks(accessed));

  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
            GetFileAttributesW((out + L"\\hidden.txt").c_str()));
  EXPECT_TRUE(GetFileAttributesW((out + L"\\sub\\readonly.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

  // The read-only file left by the first run cannot be replaced.
  EXPECT_EQ(ZIP_ERR_CREATE, zip_.GetEntryAt(1)->ExtractTo((out + L"\\sub\\readonly.txt").c_str()));
}

struct Bar {
  HWND window;
  std::vector<int> positions;
};

bool TrackBar(void* argument, const ExtractProgress* progress) {
  Bar* bar = static_cast<Bar*>(argument);
  bool go_on = UpdateExtractionProgress(bar->window, progress);
  bar->positions.push_back(static_cast<int>(SendMessageW(bar->window, PBM_GETPOS, 0, 0)));
  return go_on;
}

TEST_F(ExtractWinTest, ProgressBarFollowsEntries) {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
  ASSERT_TRUE(InitCommonControlsEx(&icc));
  Bar bar = {CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr), {}};
  ASSERT_NE(nullptr, bar.window);
  for (size_t count : {5u, 10u}) {
    std::vector<TestEntry> entries;
    for (size_t i = 0; i < count; ++i) entries.push_back({"f" + std::to_string(i), "x"});
    ASSERT_EQ(ZIP_OK, Open(entries));
    bar.positions.clear();
    ASSERT_EQ(ZIP_OK, zip_.ExtractAll((dir_ + L"\\out").c_str(), TrackBar, &bar));
    if (count == 5) {
      EXPECT_EQ((std::vector<int>{20, 40, 60, 80, 100}), bar.positions);
    } else {
      EXPECT_EQ((std::vector<int>{10, 20, 30, 40, 50, 60, 69, 80, 89, 100}), bar.positions);
    }
  }
  DestroyWindow(bar.window);
}

TEST_F(ExtractWinTest, DirectoryPathsNeedALocalDrive) {
  EXPECT_FALSE(EnsureDirectoryPath(L"\\\\server\\share\\dir"));
  EXPECT_FALSE(EnsureDirectoryPath(L"relative\\dir"));
  EXPECT_FALSE(EnsureDirectoryPath(L"C:relative"));
  EXPECT_TRUE(EnsureDirectoryPath((dir_ + L"\\e\\f/g").c_str()));
  EXPECT_TRUE(brxtest::IsDirectory(dir_ + L"\\e\\f\\g"));

  std::wstring deep = dir_ + L"\\a\\b\\c";
  EXPECT_EQ(1, CreateDirectoryPath(deep.c_str()));
  EXPECT_TRUE(brxtest::IsDirectory(dir_ + L"\\a"));
  EXPECT_TRUE(brxtest::IsDirectory(deep));
  EXPECT_EQ(1, CreateDirectoryPath((deep + L"\\").c_str()));

  DWORD drives = GetLogicalDrives();
  wchar_t missing = 0;
  for (wchar_t d = L'Z'; d >= L'D'; --d) {
    if (!(drives & (1u << (d - L'A')))) {
      missing = d;
      break;
    }
  }
  ASSERT_NE(0, missing);
  std::wstring nowhere = std::wstring(1, missing) + L":\\a\\b\\c";
  EXPECT_EQ(0, CreateDirectoryPath(nowhere.c_str()));
  EXPECT_FALSE(EnsureDirectoryPath(nowhere.c_str()));
  ASSERT_EQ(ZIP_OK, Open({{"a.txt", "a"}}));
  EXPECT_EQ(ZIP_ERR_FAILED, zip_.ExtractAll(nowhere.c_str(), nullptr, nullptr));
}

TEST(SignedPackageTest, AuthenticodeSignatureAfterTheArchiveIsSkipped) {
  ZIP_File zip;
  ASSERT_EQ(ZIP_OK, zip.OpenArchive(BRX_SIGNED_PACKAGE, 1));
  ZIP_FileEntry* data = zip.FindEntry(L"bin/data.txt");
  ASSERT_NE(nullptr, data);
  std::string text(data->GetUncompressedSize(), '\0');
  ASSERT_EQ(ZIP_OK, data->ReadToMemory(&text[0], text.size()));
  EXPECT_EQ(0u, text.find("1\n2\n3\n"));
  EXPECT_NE(nullptr, zip.FindEntry(L"package.xml"));
}

// Two entries that open one file (a long name and the short name Windows, or
// Wine, gives it): the second fails the extraction, naming both, and the
// first one's file stays as written.
TEST_F(ExtractWinTest, AnEntryThatOpensAFileAnotherEntryWroteFailsTheExtraction) {
  std::wstring probe = dir_ + L"\\probe";
  ASSERT_TRUE(CreateDirectoryW(probe.c_str(), nullptr));
  std::wstring long_path = brxtest::WriteFile(probe + L"\\Flash utility.bin", "x");
  wchar_t short_path[MAX_PATH];
  DWORD length = GetShortPathNameW(long_path.c_str(), short_path, MAX_PATH);
  std::wstring short_name(short_path, length);
  short_name = short_name.substr(short_name.rfind(L'\\') + 1);
  if (length == 0 || short_name == L"Flash utility.bin") GTEST_SKIP() << "this volume makes no short names";
  std::string narrow(short_name.begin(), short_name.end());
  ASSERT_EQ(ZIP_OK, Open({{"Flash utility.bin", "long"}, {narrow, "short"}}));
  ExtractReport report;
  std::wstring out = dir_ + L"\\out";
  EXPECT_EQ(ZIP_ERR_FORMAT, zip_.ExtractAll(out.c_str(), nullptr, nullptr, &report));
  EXPECT_EQ(short_name, report.entry);
  EXPECT_EQ(L"Flash utility.bin", report.other_entry);
  EXPECT_EQ("long", brxtest::FileBytes(out + L"\\Flash utility.bin"));
}

}  // namespace
}  // namespace brxzip
