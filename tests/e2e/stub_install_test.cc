// Silent installs through the real stub under Wine: the setup program's code
// becomes the completion code and the exit code.
#include <gtest/gtest.h>


#include "install_runs.h"
#include "stub_runs.h"

namespace brxe2e {
namespace {

const char kDefinition[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<brx_package version=\"2.0.2.0\">\n"
    "  <filename>e2epkg.exe</filename>\n"
    "  <version value=\"1.0.0.0\"/>\n"
    "  <name><name_xlate lang=\"en\">End-to-end Component</name_xlate></name>\n"
    "  <installation><install>\n"
    "    <command>setup.exe</command>\n"
    "    <command_params>/component e2e</command_params>\n"
    "  </install></installation>\n"
    "</brx_package>\n";

// A package whose setup program exits with `setup_code`.
std::wstring InstallPackage(StubRun& run, int setup_code) {
  std::string setup = ReadBinary(BinPath(L"brxtest_setup.exe"));
  EXPECT_FALSE(setup.empty()) << "brxtest_setup.exe missing";
  return run.Package({{"e2epkg.xml", kDefinition},
                      {"setup.exe", setup},
                      {"exitcode.txt", std::to_string(setup_code)}},
                     L"e2epkg" + std::to_wstring(setup_code) + L".exe");
}

struct InstallCase {
  int setup_code;
  std::vector<std::wstring> args;
  Parent parent;
  DWORD exit_code;
};

void RunCases(const InstallCase* cases, size_t count) {
  StubRun run(kShippedStub);
  // The shipped stub logs into the machine's folder, whatever the test sets;
  // other tests' shipped runs may append there too, so only this test's
  // package names are looked for.
  LogTail machine_log(MachineLogPath());
  for (size_t i = 0; i < count; ++i) {
    const InstallCase& c = cases[i];
    std::wstring pkg = InstallPackage(run, c.setup_code);
    std::wstring args;
    for (const std::wstring& a : c.args) args += L" " + a;
    SCOPED_TRACE("setup exits " + std::to_string(c.setup_code) + ", " +
                 (c.parent == Parent::kAgent ? "[agent]" : "[test]") + brxwatch::ToUtf8(args));
    // The stub's environment reaches the setup program: its record proves the
    // code came from setup, not from a check that stopped the run earlier.
    std::wstring record = run.dir().File(L"record" + std::to_wstring(i) + L".txt");
    SetEnvironmentVariableW(L"BRXSAMPLE_RECORD", record.c_str());
    RunResult r = run.Start(pkg, c.args, c.parent);
    SetEnvironmentVariableW(L"BRXSAMPLE_RECORD", nullptr);
    ExpectNoDialog(r);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
    EXPECT_NE(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the setup program did not run\n" << r.Describe();
  }
  std::string appended = machine_log.Appended();
  for (size_t i = 0; i < count; ++i) {
    std::string source = "Source:          e2epkg" + std::to_string(cases[i].setup_code) + ".exe\r\n";
    EXPECT_NE(appended.find(source), std::string::npos) << source << "not in " << Narrow(MachineLogPath());
  }
}

TEST(E2eInstall, SilentInstallExitsWithTheCompletionCode) {
  const InstallCase cases[] = {
      {0, {L"/silent"}, Parent::kTest, 0},
      {1, {L"/silent"}, Parent::kTest, 1},
      {2, {L"/silent"}, Parent::kTest, 2},  // no /reboot: nothing restarts
      {3, {L"/silent"}, Parent::kTest, 3},
  };
  RunCases(cases, sizeof(cases) / sizeof(cases[0]));
}

}  // namespace
}  // namespace brxe2e
