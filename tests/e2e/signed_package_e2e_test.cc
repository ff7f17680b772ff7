// A signed package through the real stub: as signed it installs; with one
// stored byte changed after signing (its CRC fixed up, so every ZIP tool reads
// it) it is no package, and its setup program never runs. The same holds for
// every nested signature: a genuine SHA-1/SHA-256 pair installs, a package
// changed and re-signed with the first signature kept nested does not.
// A silent run of a changed one shows no window (a deployment agent running it
// as SYSTEM has nobody to close a box) and ends with the failure code of its
// exit-code rule; an interactive run still tells the user with message 1000.
#include <gtest/gtest.h>

#include <sstream>
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
    bool message;
  };
  const std::wstring dual = std::wstring(BRX_NESTED_SIGNED_PACKAGES) + L"\\dual.exe";
  const std::wstring forged = std::wstring(BRX_NESTED_SIGNED_PACKAGES) + L"\\forged.exe";
  const Case cases[] = {
      {forged.c_str(), {L"/silent"}, 0, false, false},
      {dual.c_str(), {L"/silent"}, 1, true, false},
      {BRX_CHANGED_SIGNED_PACKAGE, {L"/silent"}, 0, false, false},
      {BRX_CHANGED_SIGNED_PACKAGE, {L"/silent", L"/dosretcode"}, 1, false, false},
      {BRX_CHANGED_SIGNED_PACKAGE, {}, 0, false, true},
      {BRX_SIGNED_INSTALL_PACKAGE, {L"/silent"}, 1, true, false},
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
    if (c.message) {
      ExpectOnlyNoPackageMessage(r);
    } else {
      ExpectNoDialog(r);
    }
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
    EXPECT_EQ(c.setup_runs, FileExists(record)) << r.Describe();
  }
}

// A package changed after signing is recorded as such, never as a file
// without a package.
TEST(E2eSigned, ChangedPackageIsRecordedWithItsCause) {
  StubRun run;
  std::wstring pkg = run.dir().File(L"e2etampered.exe");
  ASSERT_TRUE(CopyFileW(BRX_CHANGED_SIGNED_PACKAGE, pkg.c_str(), FALSE));
  // A package on the shipped stub logs where a server's does.
  LogTail records(MachineLogDirectory() + L"brxsetup.jsonl");
  RunResult r = run.Start(pkg, {L"/silent"});
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  std::vector<std::string> mine;
  std::istringstream lines(records.Appended());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"stub_file\":\"e2etampered.exe\"") != std::string::npos) mine.push_back(line);
  }
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_NE(mine[0].find("\"error\":{\"step\":\"package\",\"code\":0,\"windows_error\":null,"
                         "\"reason\":\"signature_invalid: digest mismatch\"}"),
            std::string::npos)
      << mine[0];
  EXPECT_EQ(mine[0].find("not found"), std::string::npos) << mine[0];
}

}  // namespace
}  // namespace brxe2e
