// A signed package through the real stub: as signed it installs; with one
// stored byte changed after signing (its CRC fixed up, so every ZIP tool reads
// it) it is no package, and its setup program never runs.
#include <gtest/gtest.h>

#include <string>

#include "setup_runs.h"

namespace brxe2e {
namespace {

TEST(E2eSigned, PackageChangedAfterSigningIsRefusedAndTheSignedOneInstalls) {
  struct Case {
    const wchar_t* fixture;
    std::vector<std::wstring> args;
    DWORD exit_code;
    bool setup_runs;
  };
  const Case cases[] = {
      {BRX_CHANGED_SIGNED_PACKAGE, {L"/silent"}, 0, false},
      {BRX_CHANGED_SIGNED_PACKAGE, {L"/silent", L"/dosretcode"}, 1, false},
      {BRX_SIGNED_INSTALL_PACKAGE, {L"/silent"}, 1, true},
  };
  StubRun run(kShippedStub);
  int n = 0;
  for (const Case& c : cases) {
    std::wstring folder = run.dir().File(L"run" + std::to_wstring(++n));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring pkg = folder + L"\\signedpkg.exe";
    ASSERT_TRUE(CopyFileW(c.fixture, pkg.c_str(), FALSE));
    std::wstring record = folder + L"\\record.txt";
    ScopedEnv env(L"BRXSAMPLE_RECORD", record);
    SCOPED_TRACE(n);
    RunResult r = run.Start(pkg, c.args);
    if (c.setup_runs) {
      ExpectNoDialog(r);
    } else {
      ExpectOnlyNoPackageMessage(r);  // shown even under /silent, like any unreadable package
    }
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
    EXPECT_EQ(c.setup_runs, FileExists(record)) << r.Describe();
  }
}

}  // namespace
}  // namespace brxe2e
