// brxpack inspect against the real stub: the command line it prints for some
// arguments is the one the stub starts the setup program with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf8.h"
#include "brxpack/inspect.h"
#include "brxpack/inspect_run.h"
#include "setup_runs.h"

namespace brxe2e {
namespace {

using namespace setupruns;

std::string SampleFile(const wchar_t* name) {
  return ReadBinary(std::wstring(BRX_SAMPLE_COMPONENT_DIR) + L"\\" + name);
}

TEST(E2eInspect, PrintedCommandLineIsTheOneTheStubPassesToTheSetupProgram) {
  StubRun run;
  std::wstring pkg = run.Package({{"brxsample.xml", SampleFile(L"brxsample.xml")},
                                  {"zt_data.xml", SampleFile(L"zt_data.xml")},
                                  {"sample.cfg", SampleFile(L"sample.cfg")},
                                  {"setup.exe", SampleSetupBytes()}},
                                 L"brxsample.exe");
  // Mapped, quoted, credential and unknown arguments, all in one line.
  const std::vector<std::wstring> args = {L"/s", L"/f", L"two words", L"/user", L"s3cr3t", L"C:\\dir\\",
                                          L"/exitcode:1"};
  brxpack::InspectReport report = brxpack::InspectPackage(pkg, "brxsample.exe", args);
  ASSERT_TRUE(report.run.runs_setup) << brxpack::FormatInspectText(report);
  EXPECT_EQ(0, report.ExitStatus()) << brxpack::FormatInspectText(report);

  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  LogTail log;
  RunResult r = run.Start(pkg, args);
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();

  std::string dir = RecordValue(record, "directory");
  ASSERT_FALSE(dir.empty()) << "the setup program did not run";
  // The stub's extraction directory is a fresh GUID-named one; the rest is the same.
  std::string printed = brx::platform::WideToUtf8(report.run.plain);
  const std::string placeholder = brx::platform::WideToUtf8(brxpack::kTemporaryExtractionDir);
  ASSERT_EQ(0u, printed.find("\"" + placeholder + "\\")) << printed;
  printed.replace(1, placeholder.size(), dir);
  EXPECT_EQ(printed, RecordValue(record, "commandline"));

  std::string masked = brx::platform::WideToUtf8(report.run.masked);
  masked.replace(1, placeholder.size(), dir);
  EXPECT_NE(log.Appended().find("Installation command line = [" + masked + "]"), std::string::npos) << masked;
}

}  // namespace
}  // namespace brxe2e
