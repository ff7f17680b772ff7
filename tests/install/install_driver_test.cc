#include "install/install_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/cmp_log2.h"
#include "log/session_record.h"
#include "package/entry_source.h"
#include "package/ppkg.h"
#include "support/recording_log.h"
#include "support/recording_presenter.h"

namespace brx {
namespace {

using brxtest::RecordingLog;

class FakeEnvironment : public InstallEnvironment {
 public:
  bool preinstall = false;
  bool wmi = true, guest = true, tpm = true, disk = true;
  bool set_dir_ok = true, create_dir_ok = true, temp_dir_ok = true, extract_ok = true, config_ok = true,
       copy_ok = true;
  bool browse_ok = true, dir_exists = false;
  int32_t setup_result = 1;
  bool tpm_caution = false;  // the TPM check logs a warning and lets the run go on
  bool tpm_bypassed = false;  // the TPM check lets a caution through without a word
  // The step that fails with `failure` (its error, kind and reason), by the
  // name the calls list gives it.
  std::string failing;
  StepResult failure = StepResult(true);
  CCmpLog2* log = nullptr;
  StepResult removal = StepResult(true);
  std::wstring calls;

  bool IsPreinstallEnvironment() override { return preinstall; }
  StepResult CheckWmiService(bool) override { return Fail(L"wmi", wmi, Failing("wmi")); }
  StepResult CheckVirtualGuest(bool) override { return Fail(L"guest", guest, Failing("guest")); }
  StepResult CheckTpmState(bool) override {
    if (tpm_caution && log) log->Write(LOG_BOTH_TAGGED, LEVEL_WARNING, L"misc", 1285, L"\r\n\r\ncaution\r\n\r\n");
    StepResult checked = Fail(L"tpm", tpm, Failing("tpm"));
    checked.caution = tpm_bypassed;
    return checked;
  }
  StepResult CheckDiskSpace(OwnerWindow, bool) override { return Fail(L"disk", disk, Failing("disk")); }
  StepResult GetCurrentDir(DriverPath* out) override { return out->Assign(L"C:\\start"); }
  StepResult SetCurrentDir(const wchar_t* path) override {
    return Fail(L"cd " + std::wstring(path), set_dir_ok, Failing("cd"));
  }
  bool DirectoryExists(const wchar_t*) override { return dir_exists; }
  bool BrowseForFolder(OwnerWindow, DriverPath* out) override {
    out->Assign(L"C:\\picked");
    return Note(L"browse", browse_ok);
  }
  StepResult CreateDirectoryPath(const wchar_t* path) override {
    return Fail(L"mkdirs " + std::wstring(path), create_dir_ok, Failing("mkdirs"));
  }
  StepResult CreateTempExtractionDirectory(DriverPath* out) override {
    out->Assign(L"C:\\TEMP\\{GUID}");
    return Fail(L"tempdir", temp_dir_ok, Failing("tempdir"));
  }
  StepResult ExtractAll(const wchar_t* dir) override {
    StepResult result = Fail(L"extract " + std::wstring(dir), extract_ok, Failing("extract"));
    if (!extract_ok && failing != "extract") result.error = 5;
    result.code = extract_ok ? 0 : -3;
    result.subject.Assign(L"C:\\TEMP\\{GUID}\\setup.exe");
    return result;
  }
  StepResult CopyFileOver(const wchar_t* from, const wchar_t* to) override {
    return Fail(L"copy " + std::wstring(from) + L">" + to, copy_ok, Failing("copy"));
  }
  StepResult WriteConfigurationFile(const wchar_t*) override { return Fail(L"config", config_ok, Failing("config")); }
  StepResult RunSetupProgram(OwnerWindow, const wchar_t*) override {
    calls += L"setup;";
    StepResult ran = failing == "setup" ? failure : StepResult(true);
    ran.code = setup_result;
    return ran;
  }
  void Sleep(unsigned) override { calls += L"sleep;"; }
  StepResult DeleteDirectoryTree(const wchar_t* path) override {
    calls += L"rmtree " + std::wstring(path) + L";";
    return removal;
  }

 private:
  bool Note(const std::wstring& what, bool result) {
    calls += what + (result ? L";" : L"!;");
    return result;
  }
  bool Failing(const char* step) const { return failing == step; }
  // The step's answer: `failure` when it is the failing one, else ok.
  StepResult Fail(const std::wstring& what, bool ok, bool failing_step) {
    bool answer = Note(what, ok && !failing_step);
    if (failing_step) return failure;
    return StepResult(answer);
  }
};

class InstallDriverTest : public ::testing::Test {
 protected:
  void Load(const char* package_data = nullptr, const char* name = "<name><name_xlate lang=\"en\">Widget</name_xlate></name>") {
    MemoryEntrySource source;
    source.Add(L"pkg.xml", std::string("<brx_package><filename>pkg.exe</filename>") + name +
                               "<installation><install><command>setup.exe</command></install>"
                               "</installation></brx_package>");
    if (package_data) source.Add(L"zt_data.xml", package_data);
    ASSERT_TRUE(package_.LoadPackageFrom(&source, L"pkg.exe", L"pkg.xml", L"en"));
  }
  // What the run shows goes into env_.calls, in order with the steps.
  int32_t Run(const wchar_t* target, bool install, bool no_ui) {
    brxtest::RecordingPresenter presenter(!no_ui, &env_.calls);
    InstallContext context;
    context.presenter = &presenter;
    context.log = &log_;
    context.package = &package_;
    context.settings = &settings_;
    context.environment = &env_;
    context.definition_file_name = L"pkg.xml";
    context.stub_file_name = L"pkg.exe";
    return ExtractAndInstall(context, nullptr, target, install);
  }
  std::vector<int> LineNumbers() const {
    std::vector<int> numbers;
    for (const auto& e : log_.entries) numbers.push_back(e.line);
    return numbers;
  }

  RecordingLog log_;
  CPPkg package_;
  InstallSettings settings_;
  FakeEnvironment env_;
};

TEST_F(InstallDriverTest, SilentInstallRunsTheWholeSequence) {
  Load();
  env_.setup_result = 2;
  EXPECT_EQ(2, Run(nullptr, true, true));
  // Nothing is shown: no tray icon either.
  EXPECT_EQ(L"wmi;guest;tpm;tempdir;cd C:\\TEMP\\{GUID};disk;extract C:\\TEMP\\{GUID};config;"
            L"setup;cd C:\\start;sleep;rmtree C:\\TEMP\\{GUID};",
            env_.calls);
  std::vector<int> numbers = LineNumbers();
  std::vector<int> driver_lines(numbers.begin(), numbers.end());
  // The driver's own lines, in order, between the header and the footer.
  std::vector<int> expected = {156, 193, 240, 269, 304, 311, 359, 423, 463, 521, 533};
  std::vector<int> found;
  for (int n : numbers) {
    for (int e : expected) {
      if (n == e) found.push_back(n);
    }
  }
  EXPECT_EQ(expected, found);
  EXPECT_TRUE(log_.Contains(L"Creating extraction directory for Quellin Component [pkg.exe]..."));
  EXPECT_TRUE(log_.Contains(L"Component XML file = [pkg.xml]"));
  EXPECT_TRUE(log_.closed);
}

TEST_F(InstallDriverTest, DisabledInstallOrNoCommandStopsBeforeAnyCheck) {
  Load("<zt_pkg_data><settings><value name=\"DISABLE_INSTALL_BUTTON\" value=\"1\"/></settings></zt_pkg_data>");
  EXPECT_EQ(0, Run(nullptr, true, true));
  EXPECT_EQ(L"", env_.calls);
  EXPECT_TRUE(log_.closed);
  EXPECT_FALSE(log_.Contains(L"Quellin"));
}

TEST_F(InstallDriverTest, UnopenableLog) {
  Load();
  log_.open_result = 103;
  EXPECT_EQ(0, Run(nullptr, true, /*no_ui=*/true));
  EXPECT_EQ(L"", env_.calls);
  EXPECT_TRUE(log_.entries.empty());
  EXPECT_FALSE(log_.closed);

  // With a user interface the user is warned and the install goes on.
  EXPECT_EQ(1, Run(nullptr, true, /*no_ui=*/false));
  EXPECT_EQ(0u, env_.calls.find(L"msg709;wmi;"));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"setup;"));

  // In the preinstallation environment it goes on without a word.
  env_.calls.clear();
  env_.preinstall = true;
  EXPECT_EQ(1, Run(nullptr, true, true));
  EXPECT_EQ(0u, env_.calls.find(L"wmi;"));
}

TEST_F(InstallDriverTest, FailedCheckStopsWithZeroAndFooter) {
  Load();
  env_.guest = false;
  EXPECT_EQ(0, Run(nullptr, true, true));
  EXPECT_EQ(L"wmi;guest!;", env_.calls);
  EXPECT_TRUE(log_.closed);
}

// The session record gets each check's outcome; checks after a failed one,
// and the ones an extraction does not run, stay skipped.
TEST_F(InstallDriverTest, ChecksOutcomesGoIntoTheSessionRecord) {
  using record::Outcome;
  const Outcome P = Outcome::kPassed, F = Outcome::kFailed, W = Outcome::kWarning, S = Outcome::kSkipped;
  struct Case {
    bool install, wmi, guest, tpm, tpm_caution, disk;
    Outcome expected[record::kCheckCount];
    bool tpm_bypassed = false;
  } cases[] = {
      {true, true, true, true, false, true, {P, P, P, P}},
      {true, true, true, true, true, true, {P, P, W, P}},
      // A caution /tpmbypass let through without a word is still a warning.
      {true, true, true, true, false, true, {P, P, W, P}, true},
      {true, true, false, true, false, true, {P, F, S, S}},
      {true, true, true, true, false, false, {P, P, P, F}},
      {false, true, true, true, false, true, {S, S, S, P}},
  };
  Load();
  for (const Case& c : cases) {
    FakeEnvironment env;
    env.wmi = c.wmi;
    env.guest = c.guest;
    env.tpm = c.tpm;
    env.tpm_caution = c.tpm_caution;
    env.tpm_bypassed = c.tpm_bypassed;
    env.disk = c.disk;
    env.log = &log_;
    SessionRecord session;
    log_.AttachRecord(&session);
    InstallContext context;
    context.log = &log_;
    context.package = &package_;
    context.settings = &settings_;
    context.environment = &env;
    ExtractAndInstall(context, nullptr, c.install ? nullptr : L"C:\\out", c.install);
    log_.AttachRecord(nullptr);
    for (size_t i = 0; i < record::kCheckCount; ++i) {
      EXPECT_EQ(c.expected[i], session.checks[i]) << env.calls << " check " << record::kCheckNames[i];
    }
  }
}

// Each step's failure reaches the session record as the run's error: its
// step, Windows error and kind, and reason, the first one only.
TEST_F(InstallDriverTest, EachFailedStepIsTheRecordsError) {
  using record::ErrorKind;
  struct Case {
    const char* failing;  // the seam that fails
    uint32_t error;
    ErrorKind kind;
    const wchar_t* reason;
    int32_t completion;  // what the setup program's step answers
    const char* step;    // the record's error.step
    int32_t result;
  } cases[] = {
      {"wmi", 5, ErrorKind::kWin32, L"access_denied", 1, "checks", 0},
      {"wmi", 1060, ErrorKind::kWin32, L"no_such_service", 1, "checks", 0},
      {"tpm", 0, ErrorKind::kWin32, L"tpm_caution", 1, "checks", 0},
      {"tempdir", 5, ErrorKind::kWin32, L"is a junction, symbolic link or other reparse point", 1,
       "extraction_directory", 0},
      {"cd", 3, ErrorKind::kWin32, L"", 1, "enter_target", 0},
      {"disk", 21, ErrorKind::kWin32, L"free_space_unknown", 1, "disk_space", 0},
      {"extract", 0x80070070u, ErrorKind::kHresult, L"", 1, "extract", 0},
      {"config", 32, ErrorKind::kWin32, L"", 1, "configuration_file", 0},
      // The launcher names its own step; the code it answers stands.
      {"setup", 2, ErrorKind::kWin32, L"", 0, "launch", 0},
      {"setup", 5, ErrorKind::kWin32, L"definition_copy_failed", 1, "inventory", 1},
  };
  Load();
  for (const Case& c : cases) {
    FakeEnvironment env;
    env.failing = c.failing;
    env.failure = StepFailed(nullptr, c.error, c.reason);
    env.failure.kind = c.kind;
    if (std::string(c.step) == "inventory") env.failure.step = record::kStepInventory;
    env.setup_result = c.completion;
    SessionRecord session;
    log_.AttachRecord(&session);
    InstallContext context;
    context.log = &log_;
    context.package = &package_;
    context.settings = &settings_;
    context.environment = &env;
    EXPECT_EQ(c.result, ExtractAndInstall(context, nullptr, nullptr, true)) << c.failing;
    log_.AttachRecord(nullptr);
    ASSERT_TRUE(session.has_error) << c.failing;
    EXPECT_EQ(c.step, session.error.step) << c.failing;
    EXPECT_EQ(c.error, session.error.code) << c.failing;
    EXPECT_EQ(c.kind, session.error.kind) << c.failing;
    EXPECT_EQ(c.reason, session.error.reason) << c.failing;
  }

  // A run that only stopped (no install command) says so in its own words.
  MemoryEntrySource source;
  source.Add(L"pkg.xml", "<brx_package><filename>pkg.exe</filename></brx_package>");
  ASSERT_TRUE(package_.LoadPackageFrom(&source, L"pkg.exe", L"pkg.xml", L"en"));
  SessionRecord session;
  log_.AttachRecord(&session);
  EXPECT_EQ(0, Run(nullptr, true, true));
  log_.AttachRecord(nullptr);
  EXPECT_EQ("prepare", session.error.step);
  EXPECT_EQ(L"no_install_command", session.error.reason);
}

TEST_F(InstallDriverTest, ExtractionFailureRemovesTheDirectory) {
  Load();
  env_.extract_ok = false;
  EXPECT_EQ(0, Run(nullptr, true, /*no_ui=*/false));
  // The saved directory is current again before the removal: Windows keeps
  // a current directory until the next boot.
  EXPECT_NE(std::wstring::npos,
            env_.calls.find(L"extract C:\\TEMP\\{GUID}!;msg1005;destroy;cd C:\\start;rmtree C:\\TEMP\\{GUID};"));
  EXPECT_TRUE(log_.Has(L"338:2:Package Setup was unable to extract the package properly.  Installation will not "
                       L"continue.\r\n"));
  // Which entry and why, in the verbose log only.
  ASSERT_EQ(1u, log_.Count(339));
  for (const brxtest::LogEntry& e : log_.entries) {
    if (e.line != 339) continue;
    EXPECT_EQ(static_cast<unsigned>(LOG_VERBOSE_TAGGED), e.target);
    EXPECT_EQ(L"Extraction stopped at [C:\\TEMP\\{GUID}\\setup.exe]: result -3, Windows error 5.\r\n\r\n", e.message);
  }
  EXPECT_TRUE(log_.Contains(L"344:0:Installation Halted...ERROR CODE (0)...\r\n\r\n"));
  EXPECT_EQ(std::wstring::npos, env_.calls.find(L"setup;"));
}

// The package's configuration that cannot be written, and a configuration
// file the administrator named that cannot be placed (copy failed, path too
// long), all stop the install before the setup program runs.
TEST_F(InstallDriverTest, ConfigurationFailureRemovesTheDirectory) {
  Load();
  struct Case {
    bool config_ok, copy_ok, named, too_long;
  };
  for (const Case& c : {Case{false, true, false, false}, Case{true, false, true, false}, Case{true, true, false, true}}) {
    SCOPED_TRACE(c.named ? "copy fails" : c.too_long ? "too long" : "package's own");
    env_.calls.clear();
    env_.config_ok = c.config_ok;
    env_.copy_ok = c.copy_ok;
    settings_.config_file.Assign(c.named ? L"D:\\cfg\\site.cfg" : L"");
    settings_.config_file_found = c.named;
    settings_.config_file_too_long = c.too_long;
    EXPECT_EQ(0, Run(nullptr, true, true));
    // The saved directory is current again before the removal: Windows
    // keeps a current directory until the next boot.
    EXPECT_NE(std::wstring::npos, env_.calls.find(L"cd C:\\start;rmtree C:\\TEMP\\{GUID};")) << env_.calls;
    EXPECT_EQ(std::wstring::npos, env_.calls.find(L"setup;")) << env_.calls;
    EXPECT_TRUE(log_.Contains(L"444:2:OV Package Setup was unable to extract the configuration file properly.  "
                              L"Installation will not continue.\r\n\r\n"));
  }
  EXPECT_TRUE(log_.Contains(L"408:0:Copy CFG file returncode[0] copyFileName[D:\\cfg\\site.cfg]"));
  // The cause of each, in the verbose log.
  EXPECT_TRUE(log_.Has(L"445:2:Writing the configuration file to [C:\\TEMP\\{GUID}]: result 0, Windows error 0.\r\n\r\n"));
  EXPECT_TRUE(log_.Has(L"445:2:Copying the CFG file to [C:\\TEMP\\{GUID}\\site.cfg]: result 0, Windows error 0.\r\n\r\n"));
  EXPECT_TRUE(log_.Contains(L": result 0, Windows error 206.\r\n\r\n"));
}

TEST_F(InstallDriverTest, ConfigFileOptionIsCopiedInsteadOfThePackagesOwn) {
  Load();
  settings_.config_file.Assign(L"D:\\cfg\\site.cfg");
  settings_.config_file_found = true;
  EXPECT_EQ(1, Run(nullptr, true, true));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"copy D:\\cfg\\site.cfg>C:\\TEMP\\{GUID}\\site.cfg;"));
  EXPECT_EQ(std::wstring::npos, env_.calls.find(L"config;"));
  EXPECT_TRUE(log_.Contains(
      L"408:0:Copy CFG file returncode[1] copyFileName[D:\\cfg\\site.cfg] newPath[C:\\TEMP\\{GUID}\\site.cfg]\r\n\r\n"));
}

// Whatever separators the option's path uses, the copy keeps only the file
// name and stays in the extraction directory.
TEST_F(InstallDriverTest, ConfigFileCopyStaysInTheExtractionDirectory) {
  Load();
  settings_.config_file.Assign(L"../site.cfg");
  settings_.config_file_found = true;
  EXPECT_EQ(1, Run(nullptr, true, true));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"copy ../site.cfg>C:\\TEMP\\{GUID}\\site.cfg;")) << env_.calls;
  env_.calls.clear();
  settings_.config_file.Assign(L"D:other.cfg");
  EXPECT_EQ(1, Run(nullptr, true, true));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"copy D:other.cfg>C:\\TEMP\\{GUID}\\other.cfg;")) << env_.calls;
}

TEST_F(InstallDriverTest, InstPathThatExistedIsKept) {
  Load();
  settings_.inst_path = true;
  settings_.inst_path_dir.Assign(L"D:\\Keep");
  env_.dir_exists = true;
  EXPECT_EQ(1, Run(nullptr, true, true));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"mkdirs D:\\Keep;"));
  EXPECT_EQ(std::wstring::npos, env_.calls.find(L"rmtree"));

  // One the run created is removed like a temporary one.
  env_.calls.clear();
  env_.dir_exists = false;
  EXPECT_EQ(1, Run(nullptr, true, true));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"rmtree D:\\Keep;"));

  env_.create_dir_ok = false;
  EXPECT_EQ(0, Run(nullptr, true, true));
  EXPECT_TRUE(log_.Contains(L"170:2:Unable to create extraction directory for Quellin Component [pkg.exe]..."));

  // A value too long to hold is refused before any folder is made.
  env_.calls.clear();
  settings_.inst_path_dir.Clear();
  settings_.inst_path_too_long = true;
  EXPECT_EQ(0, Run(nullptr, true, true));
  EXPECT_EQ(std::wstring::npos, env_.calls.find(L"mkdirs")) << env_.calls;
  EXPECT_TRUE(log_.Contains(L"166:2:The /instpath: folder is longer than 260 characters"));
  // After the line scripts look for when the folder cannot be created.
  std::vector<int> numbers = LineNumbers(), order = {156, 170, 166, 175};
  EXPECT_NE(numbers.end(), std::search(numbers.begin(), numbers.end(), order.begin(), order.end()));
}

// The run's result stands when its directory cannot be removed; what stayed
// and why is in the verbose log.
TEST_F(InstallDriverTest, WhatStaysOfTheTargetIsReported) {
  Load();
  struct Case {
    int32_t code;
    const wchar_t* line;
  } cases[] = {
      {kTreeLeftForBoot, L"536:2:Left for removal at the next boot [C:\\TEMP\\{GUID}\\a.dll]: result 1, Windows error 32."},
      {kTreeNotRemoved, L"536:2:Could not remove or leave for the next boot [C:\\TEMP\\{GUID}\\a.dll]: result 2, Windows error 5."},
      {kTreeNotListed, L"536:2:Could not list, left in place [C:\\TEMP\\{GUID}\\a.dll]: result 3, Windows error 5."},
  };
  for (const Case& c : cases) {
    log_.Clear();
    env_.removal = StepResult(false, c.code == kTreeLeftForBoot ? 32 : 5);
    env_.removal.code = c.code;
    env_.removal.subject.Assign(L"C:\\TEMP\\{GUID}\\a.dll");
    EXPECT_EQ(1, Run(nullptr, true, true));
    EXPECT_TRUE(log_.Has(std::wstring(c.line) + L"\r\n\r\n")) << c.line;
  }
}

TEST_F(InstallDriverTest, TooltipFallsBackToThePackageFileName) {
  Load(nullptr, "");
  EXPECT_EQ(1, Run(nullptr, true, /*no_ui=*/false));
  EXPECT_NE(std::wstring::npos, env_.calls.find(L"tray pkg.exe;"));
}

TEST_F(InstallDriverTest, ExtractOnlyMode) {
  Load();
  EXPECT_EQ(1, Run(L"C:\\out", false, true));
  EXPECT_EQ(L"cd C:\\out;disk;extract C:\\out;config;cd C:\\start;", env_.calls);
  EXPECT_TRUE(log_.entries.empty());

  env_.calls.clear();
  env_.set_dir_ok = false;  // a directory that does not exist
  EXPECT_EQ(0, Run(L"C:\\missing", false, true));
  EXPECT_EQ(L"cd C:\\missing!;", env_.calls);

  env_.calls.clear();
  env_.set_dir_ok = true;
  env_.browse_ok = false;
  EXPECT_EQ(0, Run(nullptr, false, false));
  EXPECT_EQ(L"browse!;", env_.calls);
}

}  // namespace
}  // namespace brx
