// Archives through the real stub as other ZIP tools read them: entries that
// share bytes and a directory other than the end record says are no package;
// names flagged UTF-8 or carried in a Unicode Path field are written as
// unzip shows them. The packages are made on the build machine
// (make_archive_packages.sh). A package with ZIP64 fields installs.
#include <gtest/gtest.h>

#include <string>

#include "setup_runs.h"

namespace brxe2e {
namespace {

std::wstring Made(const wchar_t* name) { return std::wstring(BRX_ARCHIVE_PACKAGES) + L"\\" + name + L".exe"; }

// Like a file without a package: no window under /silent, failure for a
// DOS-style caller; the setup program never runs.
void ExpectNoPackage(const wchar_t* name) {
  StubRun run(kShippedStub);
  std::wstring pkg = run.dir().File(std::wstring(name) + L".exe");
  ASSERT_TRUE(CopyFileW(Made(name).c_str(), pkg.c_str(), FALSE));
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  RunResult r = run.Start(pkg, {L"/silent", L"/dosretcode"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "the setup program ran";
}

// 300 entries nested in each other's data would unpack a 1 MB package to
// some 300 MB.
TEST(E2eArchive, OverlappingEntriesAreNoPackage) { ExpectNoPackage(L"overlapping"); }

// A record beyond the directory size is one that other tools do not list.
TEST(E2eArchive, ShortDirectorySizeIsNoPackage) { ExpectNoPackage(L"short-directory"); }

// ZIP64 fields as Python's force_zip64 writes them on a small package.
TEST(E2eArchive, Zip64PackageInstalls) {
  StubRun run;
  std::wstring pkg = run.dir().File(L"zip64.exe");
  ASSERT_TRUE(CopyFileW(Made(L"zip64").c_str(), pkg.c_str(), FALSE));
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  RunResult r = run.Start(pkg, {L"/silent"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_TRUE(FileExists(record)) << "the setup program did not run";
}

TEST(E2eArchive, Utf8AndUnicodePathNamesAreWrittenAsUnzipShowsThem) {
  struct Row {
    const wchar_t* name;
    const char* data;
  };
  for (const Row& row : {Row{L"utf8-names", "flagged"}, Row{L"unicode-path", "field"}}) {
    const wchar_t* name = row.name;
    SCOPED_TRACE(name);
    StubRun run(kShippedStub);
    std::wstring pkg = run.dir().File(std::wstring(name) + L".exe");
    ASSERT_TRUE(CopyFileW(Made(name).c_str(), pkg.c_str(), FALSE));
    std::wstring out = run.dir().File(L"out");
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    RunResult r = run.Start(pkg, {L"/extract:" + out});
    ExpectNoDialog(r);
    EXPECT_EQ(r.exit_code, 1u) << r.Describe();
    EXPECT_EQ(ReadBinary(out + L"\\r\u00e9sum\u00e9.txt"), row.data);
    EXPECT_EQ(ReadBinary(out + L"\\\u65e5\u672c\\\u8aac\u660e.txt"), row.data);
    EXPECT_FALSE(FileExists(out + L"\\resume.txt"));
  }
}

}  // namespace
}  // namespace brxe2e
