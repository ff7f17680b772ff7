// A package whose definition is not named after the stub: the stub searches
// the archive for one of the supported format versions.
#include <gtest/gtest.h>

#include <string>

#include "setup_runs.h"

namespace brxe2e {
namespace {

using namespace setupruns;

std::string Definition(const char* version) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<brx_package version=\"") + version +
         "\">\n"
         "  <filename>original.exe</filename>\n"
         "  <installation><install><command>setup.exe</command></install></installation>\n"
         "</brx_package>\n";
}

// Installs pkg silently; the setup program must run and exit with 3. Returns
// the log text the run appended.
std::string SilentInstallLog(StubRun& run, const std::wstring& pkg) {
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  LogTail log;
  RunResult r = run.Start(pkg, {L"/silent", L"/exitcode:3"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 3u) << r.Describe();
  EXPECT_TRUE(FileExists(record)) << "the setup program did not run\n" << r.Describe();
  return log.Appended();
}

TEST(E2eDefinition, RenamedPackageInstallsWithTheDefinitionFoundBySearch) {
  StubRun run;
  // Ahead of the definition in the archive: XML that is no definition, and
  // one that is not even well-formed.
  std::wstring pkg = run.Package({{"notes.xml", "<notes version=\"2.0.2.0\"/>"},
                                  {"broken.xml", "<brx_package version=\"2.0.2.0\">"},
                                  {"def.XML", Definition("2.0.2.0")},
                                  {"setup.exe", SampleSetupBytes()}},
                                 L"renamed.exe");
  std::string text = SilentInstallLog(run, pkg);
  EXPECT_NE(text.find("Component XML file = [def.XML]\r\n"), std::string::npos) << text;
}

// Archive names are in the ANSI code page; the stub's own name is wide. A
// definition without a version can only be found under the stub's name.
TEST(E2eDefinition, DefinitionNamedAfterAPackageWithLettersBeyondAsciiLoads) {
  StubRun run;
  const std::wstring base = L"Paket f\u00fcr M\u00e4rz";
  char ansi[MAX_PATH];
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, base.c_str(), -1, ansi, MAX_PATH, nullptr, &lossy);
  ASSERT_GT(n, 0);
  if (lossy) GTEST_SKIP() << "the ANSI code page has no letters for the name";
  std::string definition = Definition("2.0.2.0");
  definition.replace(definition.find(" version=\"2.0.2.0\""), 18, "");
  std::wstring pkg = run.Package({{std::string(ansi) + ".xml", definition}, {"setup.exe", SampleSetupBytes()}},
                                 base + L".exe");
  std::string text = SilentInstallLog(run, pkg);
  EXPECT_NE(text.find("Component XML file = [" + std::string(ansi) + ".xml]\r\n"), std::string::npos) << text;
}

TEST(E2eDefinition, UnsupportedFormatVersionIsNoPackage) {
  StubRun run;
  std::wstring pkg = run.Package({{"def.xml", Definition("2.0.3.0")}, {"setup.exe", SampleSetupBytes()}},
                                 L"renamed.exe");
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);

  RunResult r = run.Start(pkg, {});
  ExpectOnlyNoPackageMessage(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();

  r = run.Start(pkg, {L"/silent", L"/dosretcode"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();

  r = run.Start(pkg, {L"/silent"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "a package without a usable definition ran its setup program";
}

}  // namespace
}  // namespace brxe2e
