// The launcher with the test setup program, under Wine.
#include "install/setup_launcher_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "log/cmp_log2.h"
#include "package/entry_source.h"
#include "package/ppkg.h"
#include "support/recording_log.h"
#include "support/recording_presenter.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "ui/resource_ids.h"

namespace brx {
namespace {

using brxtest::RecordingLog;
using brxtest::RecordingPresenter;

class FakePrompts : public LauncherPrompts {
 public:
  std::wstring LoadText(UINT id) override {
    if (id == IDS_SETUP_NOT_STARTED) {
      return L"Package Setup was unable to start the installation program - %s.  Installation will not continue.";
    }
    return L"<" + std::to_wstring(id) + L">";
  }
};

std::wstring BinDirectory() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L'\\'));
}

void LoadPackage(CPPkg* package, const char* return_map, const char* command = "setup.exe") {
  MemoryEntrySource source;
  // No sw_key: these runs must never touch the inventory.
  source.Add(L"p.xml", std::string("<brx_package><filename>p.exe</filename><installation><install><command>") +
                           command + "</command><command_params>/component test</command_params>"
                           "</install></installation></brx_package>");
  source.Add(L"zt_data.xml", std::string("<zt_pkg_data><installation><install><returncode_map>") + return_map +
                                 "</returncode_map></install></installation></zt_pkg_data>");
  ASSERT_TRUE(package->LoadPackageFrom(&source, L"p.exe", L"p.xml", L"en"));
}

class SetupLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = brxtest::ScratchDir("install");
    ASSERT_TRUE(CopyFileW((BinDirectory() + L"\\brxtest_setup.exe").c_str(), (dir_ + L"\\setup.exe").c_str(),
                          FALSE));
    LoadPackage(&package_, "<map source=\"3010\" dest=\"2\"/><map source=\"5\" dest=\"1\"/>");
    run_.extraction_dir = dir_.c_str();
    run_.definition_file_name = L"p.xml";
    run_.presenter = &unattended_;
    run_.silent = true;
    run_.reboot = &reboot_;
    run_.prompts = &prompts_;
    screen_.answer = IDNO;
  }

  int32_t Run(const std::wstring& stub_arguments, const CPPkg* package = nullptr) {
    command_line_ = L"\"C:\\dl\\stub.exe\" " + stub_arguments;
    run_.command_line = command_line_.c_str();
    return RunSetupProgram(log_, package ? *package : package_, run_);
  }

  std::wstring dir_, command_line_;
  CPPkg package_;
  RecordingLog log_;
  FakePrompts prompts_;
  RecordingPresenter screen_{true}, unattended_{false};
  bool reboot_ = false;
  SetupRun run_;
};

TEST_F(SetupLauncherTest, RawCodesAreLoggedTranslatedAndReturned) {
  struct Case {
    int raw, expected, line;
  } cases[] = {{1, 1, 791}, {3010, 2, 812}};
  for (const Case& c : cases) {
    log_.Clear();
    EXPECT_EQ(c.expected, Run(L"/silent /exitcode:" + std::to_wstring(c.raw))) << c.raw;
    EXPECT_EQ(1u, log_.Count(769)) << c.raw;  // run time
    EXPECT_TRUE(log_.Has(Format(L"775:0:Process returned completion code of (0x%X).\r\n\r\n", c.raw))) << c.raw;
    EXPECT_EQ(1u, log_.Count(c.line)) << c.raw;
    EXPECT_EQ(c.raw == c.expected ? 1u : 0u, log_.Count(909)) << c.raw;
    EXPECT_TRUE(log_.Has(L"939:0:Done.\r\n\r\n"));
  }
  EXPECT_TRUE(log_.Has(L"812:0:Completion Code (0xBC2) -> The Quellin Component returned an unknown completion "
                       L"code.\r\n\r\n"));
}

TEST_F(SetupLauncherTest, ProgramStartsInTheDirectoryWithTheCommandLineAndEnvironment) {
  std::wstring record = dir_ + L"\\record.txt";
  SetEnvironmentVariableW(CMPLOG2_VERBOSE_FILENAME, L"C:\\logs\\v.log");
  EXPECT_EQ(1, Run(L"/f \"two words\" /user secret /record:" + record));
  SetEnvironmentVariableW(CMPLOG2_VERBOSE_FILENAME, nullptr);
  std::string text = brxtest::FileBytes(record);
  std::string dir(dir_.begin(), dir_.end());  // the scratch path is ASCII
  EXPECT_NE(std::string::npos, text.find("commandline=\"" + dir + "\\setup.exe\" /component test /f \"two words\" "
                                         "/user secret /record:"))
      << text;
  EXPECT_NE(std::string::npos, text.find("directory=" + dir + "\n")) << text;
  EXPECT_NE(std::string::npos, text.find("env:CMPLOG2_VERBOSE_FILENAME=C:\\logs\\v.log\n")) << text;

  // With a user interface the program gets a console of its own.
  run_.presenter = &screen_;
  DeleteFileW(record.c_str());
  EXPECT_EQ(3, Run(L"/exitcode:3 /record:" + record));
  EXPECT_NE(std::string::npos, brxtest::FileBytes(record).find("directory=" + dir + "\n"));
}

TEST_F(SetupLauncherTest, RebootQuestionOnlyForRawTwoWithoutSilent) {
  run_.silent = false;
  run_.presenter = &screen_;
  reboot_ = true;
  EXPECT_EQ(2, Run(L"/exitcode:2 /reboot"));
  ASSERT_EQ(1u, screen_.shown.size());
  EXPECT_EQ(L"<701>\r\n\r\n<707>", screen_.shown[0].text);
  EXPECT_EQ(706u, screen_.shown[0].caption_id);
  EXPECT_EQ(static_cast<UINT>(MB_YESNO), screen_.shown[0].style);
  EXPECT_FALSE(reboot_);  // No overrides /reboot

  screen_.answer = IDYES;
  EXPECT_EQ(2, Run(L"/exitcode:2"));
  EXPECT_TRUE(reboot_);

  // The question follows the raw code even when the map turns it into 1; the
  // caller reboots only for a final 2.
  CPPkg mapped;
  LoadPackage(&mapped, "<map source=\"2\" dest=\"1\"/>");
  screen_.shown.clear();
  EXPECT_EQ(1, Run(L"/exitcode:2", &mapped));
  EXPECT_EQ(1u, screen_.shown.size());
  // And a final 2 from another raw code does not ask.
  screen_.shown.clear();
  EXPECT_EQ(2, Run(L"/exitcode:3010"));
  EXPECT_TRUE(screen_.shown.empty());

  // Silent runs never ask and leave /reboot as given.
  run_.silent = true;
  run_.presenter = &unattended_;
  reboot_ = true;
  EXPECT_EQ(2, Run(L"/exitcode:2"));
  EXPECT_TRUE(reboot_);
}

TEST_F(SetupLauncherTest, MissingProgramIsLoggedAndCountsAsFailed) {
  ASSERT_TRUE(DeleteFileW((dir_ + L"\\setup.exe").c_str()));
  EXPECT_EQ(0, Run(L"/silent"));
  ASSERT_FALSE(log_.entries.empty());
  bool error_line = false;
  for (const auto& line : log_.Lines()) {
    error_line = error_line || line.rfind(L"63:3:CreateProcess FAILED with error 2: ", 0) == 0;
  }
  EXPECT_TRUE(error_line);
  EXPECT_TRUE(log_.Has(L"0:3:Install Command was - setup.exe\r\n\r\n"));
  EXPECT_TRUE(log_.Has(L"0:3:Installation Issue...FAILURE CODE (0)\r\n"));
  EXPECT_TRUE(log_.Has(L"909:0:No change (0x0).\r\n\r\n"));
  EXPECT_EQ(0u, log_.Count(769));

  // With a user interface the message names the program.
  run_.presenter = &screen_;
  EXPECT_EQ(0, Run(L""));
  ASSERT_EQ(1u, screen_.shown.size());
  EXPECT_EQ(L"Package Setup was unable to start the installation program - setup.exe.  Installation will not "
            L"continue.",
            screen_.shown[0].text);
  EXPECT_EQ(1u, screen_.shown[0].caption_id);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), screen_.shown[0].style);
  EXPECT_EQ(1, screen_.tray_removals);
}

TEST_F(SetupLauncherTest, OutputBeyondThePipeBufferIsDrainedIntoTheVerboseLog) {
  log_.verbose = 1;
  DWORD start = GetTickCount();
  EXPECT_EQ(1, Run(L"/stdout:1048576 /stderr:1048576"));
  EXPECT_LT(GetTickCount() - start, 30000u);
  // Lines of 63 'x' on both streams: 2 MiB / 64 bytes.
  EXPECT_EQ(2u * 1048576 / 64, log_.Count(765));
  EXPECT_TRUE(log_.Has(L"765:0:" + std::wstring(63, L'x') + L"\r\n"));

  // Without a verbose log the output is read and dropped.
  log_.verbose = 0;
  log_.Clear();
  EXPECT_EQ(3, Run(L"/stdout:300000 /exitcode:3"));
  EXPECT_EQ(0u, log_.Count(765));
}

// A program that echoes its arguments: what the masked command line hides
// stays hidden in the verbose log's copy of its output.
TEST_F(SetupLauncherTest, EchoedCredentialsAreMaskedInTheVerboseLog) {
  log_.verbose = 1;
  EXPECT_EQ(1, Run(L"/echo /user s3cret-name --password=pa55word"));
  ASSERT_EQ(1u, log_.Count(765));
  for (const brxtest::LogEntry& e : log_.entries) {
    EXPECT_EQ(std::wstring::npos, e.message.find(L"s3cret-name")) << e.message;
    EXPECT_EQ(std::wstring::npos, e.message.find(L"pa55word")) << e.message;
  }
  EXPECT_TRUE(log_.Contains(L"/echo /user **** --password=****"));
}

TEST_F(SetupLauncherTest, DryRunStartsNothing) {
  std::wstring record = dir_ + L"\\record.txt";
  run_.dry_run = true;
  EXPECT_EQ(1, Run(L"/silent /dryrun /record:" + record));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(record.c_str()));
  EXPECT_TRUE(log_.Has(L"711:0:Dry Run of Installer Component\r\n"));
  EXPECT_TRUE(log_.Has(L"716:0:Dry Run of Installer Component...Returning Completion Code (1)...Success\r\n"));
  EXPECT_TRUE(log_.Has(L"909:0:No change (0x1).\r\n\r\n"));
  EXPECT_EQ(0u, log_.Count(769));

  // Dry run needs /silent as well.
  run_.silent = false;
  EXPECT_EQ(3, Run(L"/dryrun /exitcode:3 /record:" + record));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(record.c_str()));
}

TEST_F(SetupLauncherTest, CommandLineThatCannotBeBuiltStillRemovesTheTrayIcon) {
  CPPkg no_command;
  LoadPackage(&no_command, "", "");
  run_.presenter = &screen_;
  EXPECT_EQ(0, Run(L"/silent", &no_command));
  EXPECT_EQ(1, screen_.tray_removals);
  EXPECT_TRUE(log_.Has(L"673:2:Installation command line failed to build.\r\n\r\n"));
  EXPECT_EQ(0u, log_.Count(931));  // nothing translated, nothing recorded
}

// The first of the launcher's steps that failed reaches the caller with its
// Windows error; the code the run answers stands beside it.
TEST_F(SetupLauncherTest, FirstFailedStepIsReported) {
  struct Case {
    const wchar_t* arguments;
    bool delete_program;
    int32_t completion;
    const char* step;
    uint32_t error;
    const wchar_t* reason;
  } cases[] = {
      {L"/silent /exitcode:0", false, 0, "setup_program", 0, L""},
      // This package names no software key: installed, but not recorded.
      {L"/silent /exitcode:1", false, 1, "inventory", 0, L"definition_incomplete"},
      // Last: the program is gone for good.
      {L"/silent", true, 0, "launch", ERROR_FILE_NOT_FOUND, L""},
  };
  for (const Case& c : cases) {
    if (c.delete_program) ASSERT_TRUE(DeleteFileW((dir_ + L"\\setup.exe").c_str()));
    StepResult failure(true);
    run_.failure = &failure;
    EXPECT_EQ(c.completion, Run(c.arguments)) << c.step;
    EXPECT_FALSE(failure.ok) << c.step;
    EXPECT_STREQ(c.step, failure.step);
    EXPECT_EQ(c.error, failure.error) << c.step;
    EXPECT_EQ(c.reason, failure.reason) << c.step;
  }
}

}  // namespace
}  // namespace brx
