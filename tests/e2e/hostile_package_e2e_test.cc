// Hostile packages through the real stub: a signed package whose certificate
// table was grown around a second archive, and archives whose names Windows
// would alias.
#include <gtest/gtest.h>

#include <string>

#include "setup_runs.h"

namespace brxe2e {
namespace {

// The signature still verifies, but the archive lies where the signature does
// not reach: the stub sees a file without a package and never starts the
// setup program hidden in the table.
TEST(E2eHostile, GrownCertificateTableIsNoPackage) {
  StubRun run(kShippedStub);
  std::wstring pkg = run.dir().File(L"package.exe");
  ASSERT_TRUE(CopyFileW(BRX_TAMPERED_PACKAGE, pkg.c_str(), FALSE));
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);

  // Like any stub without an archive: message 1000, none under /silent.
  RunResult r = run.Start(pkg, {});
  ExpectOnlyNoPackageMessage(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  r = run.Start(pkg, {L"/silent", L"/dosretcode"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "the setup program inside the certificate table ran";
}

// /extract: into an existing folder refuses the whole archive before writing
// anything when one name is a device, is trimmed by Windows, or equals
// another ignoring case.
TEST(E2eHostile, AliasingNamesLeaveTheExtractTargetEmpty) {
  StubRun run;
  const char* const names[] = {"sub/NUL.log", "readme.txt.", "Setup.EXE"};
  int n = 0;
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::wstring pkg = run.Package({{"setup.exe", "first"}, {"readme.txt", "text"}, {name, "aliased"}},
                                   L"alias" + std::to_wstring(++n) + L".exe");
    std::wstring out = run.dir().File(L"out" + std::to_wstring(n));
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    RunResult r = run.Start(pkg, {L"/extract:" + out});
    ExpectNoDialog(r);
    EXPECT_EQ(r.exit_code, 0u) << r.Describe();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((out + L"\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int entries = 0;
    do {
      if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) ++entries;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(entries, 0) << "something was extracted";
  }
}

}  // namespace
}  // namespace brxe2e
