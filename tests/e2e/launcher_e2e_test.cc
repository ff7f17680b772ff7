// The setup program as the real stub runs it under Wine: what its exit code
// becomes, the restart question, a program that cannot start, its output, the
// command line it receives and the inventory record it leads to.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "setup_runs.h"
#include "support/registry_win.h"

namespace brxe2e {
namespace {

using namespace setupruns;

const char kDefinition[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<brx_package version=\"2.0.2.0\">\n"
    "  <filename>launch.exe</filename>\n"
    "  <version value=\"1.0.0.0\"/>\n"
    "  <name><name_xlate lang=\"en\">Launcher Component</name_xlate></name>\n"
    "  <installation><install>\n"
    "    <command>setup.exe</command>\n"
    "    <command_params>/component e2e</command_params>\n"
    "  </install></installation>\n"
    "</brx_package>\n";

// The test setup program takes its exit code from /exitcode:N, which the
// stub passes on like any argument, so one package serves every code.
const char kPackageData[] =
    "<zt_pkg_data><installation><install>\n"
    "  <commandline_arg_map>\n"
    "    <map source=\"/silent\" dest=\"-s\"/>\n"
    "    <map source=\"/nolog\" dest=\" \"/>\n"
    "  </commandline_arg_map>\n"
    "  <returncode_map>\n"
    "    <map source=\"3010\" dest=\"2\"/>\n"
    "  </returncode_map>\n"
    "</install></installation></zt_pkg_data>\n";

const wchar_t kRebootCaption[] = L"Reboot Confirmation";
// Runs with a user interface show the progress window; answering it is no
// part of these tests.
const brxwatch::Rule kLeaveProgressOpen{L"Extraction Progress", L"", brxwatch::kLeaveOpen};
constexpr int kProgressBarId = 1011;
constexpr int kInstallButtonId = 1002;

std::string Join(const std::vector<std::wstring>& args) {
  std::wstring s;
  for (const std::wstring& a : args) s += L" " + a;
  return brxwatch::ToUtf8(s);
}

std::wstring LaunchPackage(StubRun& run, const std::string& package_data = kPackageData,
                           const std::wstring& name = L"launch.exe") {
  std::vector<PackageFile> files = {{"launch.xml", kDefinition}, {"setup.exe", SampleSetupBytes()}};
  if (!package_data.empty()) files.push_back({"zt_data.xml", package_data});
  std::wstring base = name.substr(0, name.rfind(L'.'));
  files[0].name = brxwatch::ToUtf8(base) + ".xml";
  return run.Package(files, name);
}

// Every message box of the run with this caption; any other window but the
// progress window fails the test.
std::vector<brxwatch::DialogRecord> BoxesCaptioned(const RunResult& r, const std::wstring& caption) {
  std::vector<brxwatch::DialogRecord> found;
  for (const brxwatch::DialogRecord& d : r.dialogs) {
    if (d.IsMessageBox() && d.caption == caption) {
      found.push_back(d);
    } else if (!d.IsMessageBox() && d.FindControl(kInstallButtonId)) {
      // the setup dialog
    } else {
      // The progress window's caption may read empty: its thread is busy.
      const brxwatch::ControlRecord* bar = d.FindControl(kProgressBarId);
      EXPECT_TRUE(bar && bar->window_class == L"msctls_progress32") << "unexpected window\n" << r.Describe();
    }
  }
  return found;
}

void ExpectInOrder(const std::string& log, const std::vector<std::string>& pieces) {
  size_t at = 0;
  for (const std::string& piece : pieces) {
    size_t found = log.find(piece, at);
    ASSERT_NE(found, std::string::npos) << "missing (in order): " << piece << "\nlog:\n" << log;
    at = found + piece.size();
  }
}

TEST(E2eLauncher, UnknownAndMappedCodesAreLoggedAndBecomeTheExitCode) {
  StubRun run(kRecordingStub);
  RestartRecord restart(run.dir());
  std::wstring pkg = LaunchPackage(run);
  struct Case {
    std::vector<std::wstring> args;
    DWORD exit_code;
    std::vector<std::string> lines;
  };
  const std::string unknown = " -> The Quellin Component returned an unknown completion code.\r\n\r\n";
  const Case cases[] = {
      // Two seconds and a bit: the run time is logged in whole seconds.
      {{L"/silent", L"/exitcode:7", L"/sleep:2100"},
       7,
       {"Setup utility completed in 00hh:00mm:0", "Process returned completion code of (0x7).\r\n\r\n",
        "Completion Code (0x7)" + unknown,
        "Translating return code... No change (0x7).\r\n\r\n", "Return Code (7)\r\n"}},
      {{L"/silent", L"/exitcode:3010"},
       2,
       {"Completion Code (0xBC2)" + unknown, "Changed from 0xBC2 to 0x2.\r\n\r\n", "Return Code (2)\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Join(c.args));
    LogTail log;
    RunResult r = run.Start(pkg, c.args);
    ExpectNoDialog(r);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
    std::string text = log.Appended();
    ExpectInOrder(text, c.lines);
    size_t run_time = text.find("Setup utility completed in 00hh:00mm:0");
    if (c.args.back() == L"/sleep:2100" && run_time != std::string::npos) {
      char seconds = text[run_time + 38];
      EXPECT_TRUE(seconds == '2' || seconds == '3') << text.substr(run_time, 60);
    }
  }
  EXPECT_EQ(restart.Take(), "") << "a final 2 restarted without /reboot";
}

// The question follows the setup program's own code; whether the machine
// restarts follows the translated code and the answer.
TEST(E2eLauncher, RestartQuestionAndRestart) {
  StubRun run(kRecordingStub);
  RestartRecord restart(run.dir());
  std::wstring pkg = LaunchPackage(run);
  std::wstring two_to_one = LaunchPackage(
      run, "<zt_pkg_data><installation><install><returncode_map><map source=\"2\" dest=\"1\"/>"
           "</returncode_map></install></installation></zt_pkg_data>",
      L"twotoone.exe");
  const std::wstring question =
      L"A reboot is required to finish the installation completely.\r\n\r\n"
      L"Do you want to reboot your system now?";
  const std::string default_restart =
      "shutdown message=[Setup is initiating a reboot of your system.] timeout=0 force=1 reboot=1\r\n";
  struct Case {
    std::wstring package;
    std::vector<std::wstring> args;
    int answer;  // 0: no question expected
    DWORD exit_code;
    std::string restart;
  };
  const Case cases[] = {
      // From the setup dialog's Install button: the dialog is gone when the
      // question has been answered, and the restart still follows.
      {pkg, {L"/exitcode:2"}, IDYES, 2, default_restart},
      {pkg, {L"/noprompt", L"/reboot", L"/exitcode:2"}, IDNO, 2, ""},
      {pkg, {L"/noprompt", L"/exitcode:2"}, IDYES, 2, default_restart},
      {two_to_one, {L"/noprompt", L"/reboot", L"/exitcode:2"}, IDYES, 1, ""},
      {pkg, {L"/silent", L"/exitcode:2"}, 0, 2, ""},
      {pkg,
       {L"/silent", L"/reboot", L"/reboot_message", L"Back in a minute", L"/t", L"60", L"/exitcode:2"},
       0,
       2,
       "shutdown message=[Back in a minute] timeout=60 force=1 reboot=1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(brxwatch::ToUtf8(c.package) + Join(c.args));
    std::vector<brxwatch::Rule> rules = {kLeaveProgressOpen};
    if (c.answer) rules.push_back({kRebootCaption, L"", c.answer});
    rules.push_back({kPackageCaption, L"", kInstallButtonId});
    RunResult r = run.Start(c.package, c.args, Parent::kTest, rules);
    ASSERT_TRUE(r.started && !r.timed_out) << r.Describe();
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe();
    std::vector<brxwatch::DialogRecord> asked = BoxesCaptioned(r, kRebootCaption);
    if (c.answer) {
      ASSERT_EQ(asked.size(), 1u) << r.Describe();
      EXPECT_EQ(asked[0].text, question) << r.Describe();
      EXPECT_NE(asked[0].FindControl(IDYES), nullptr) << r.Describe();
      EXPECT_NE(asked[0].FindControl(IDNO), nullptr) << r.Describe();
      EXPECT_EQ(asked[0].answered_id, c.answer) << r.Describe();
    } else {
      ExpectNoDialog(r);
    }
    EXPECT_EQ(restart.Take(), c.restart);
  }
}

// The shipped stub has no restart switch: the variable the recording build
// reads changes nothing (Wine's restart call itself does nothing).
TEST(E2eLauncher, ShippedStubWritesNoRestartRecord) {
  StubRun run(kShippedStub);
  RestartRecord restart(run.dir());
  std::wstring pkg = LaunchPackage(run);
  RunResult r = run.Start(pkg, {L"/silent", L"/reboot", L"/exitcode:2"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 2u) << r.Describe();
  EXPECT_EQ(restart.Take(), "");
}

TEST(E2eLauncher, SetupProgramThatCannotStartFailsTheInstall) {
  StubRun run;
  std::string definition = kDefinition;
  definition.replace(definition.find("setup.exe"), 9, "missing.exe");
  std::wstring pkg = run.Package({{"broken.xml", definition}, {"readme.txt", "no program here"}},
                                 L"broken.exe");

  LogTail log;
  RunResult r = run.Start(pkg, {L"/silent"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  ExpectInOrder(log.Appended(), {"**CRITICAL** - CreateProcess FAILED with error 2: ",
                                 "**CRITICAL** - Install Command was - missing.exe\r\n\r\n",
                                 "**CRITICAL** - Installation Issue...FAILURE CODE (0)\r\n",
                                 "No change (0x0).\r\n\r\n", "Return Code (0)\r\n"});
  // The system's text for the error follows the number on the same line.
  std::string text = log.Appended();
  size_t error_line = text.find("CreateProcess FAILED with error 2: ");
  ASSERT_NE(error_line, std::string::npos);
  EXPECT_NE(text[error_line + 35], '\r') << "no system text for error 2";

  r = run.Start(pkg, {L"/noprompt"}, Parent::kTest, {kLeaveProgressOpen});
  ASSERT_TRUE(r.started && !r.timed_out) << r.Describe();
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  std::vector<brxwatch::DialogRecord> boxes = BoxesCaptioned(r, kPackageCaption);
  ASSERT_EQ(boxes.size(), 1u) << r.Describe();
  EXPECT_EQ(boxes[0].text,
            L"Package Setup was unable to start the installation program - missing.exe.  "
            L"Installation will not continue.");
}

TEST(E2eLauncher, LoudSetupProgramFinishesAndDryRunStartsNothing) {
  StubRun run;
  std::wstring pkg = LaunchPackage(run, "");
  // Two pipe buffers' worth many times over on each stream.
  RunResult r = run.Start(pkg, {L"/silent", L"/stdout:1048576", L"/stderr:1048576"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();

  std::wstring record = run.dir().File(L"dryrun-record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  LogTail log;
  r = run.Start(pkg, {L"/silent", L"/dryrun", L"/exitcode:3"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "the setup program ran in a dry run";
  ExpectInOrder(log.Appended(),
                {"Dry Run of Installer Component\r\n",
                 "Dry Run of Installer Component...Returning Completion Code (1)...Success\r\n",
                 "No change (0x1).\r\n\r\n", "Return Code (1)\r\n"});
}

// The program receives the real arguments; the log only ever shows the
// credential masked.
TEST(E2eLauncher, SetupProgramReceivesTheTranslatedArguments) {
  StubRun run;
  // Blanks in the package's path and in the temporary folder, as under a
  // user profile named "First Last".
  std::wstring pkg = LaunchPackage(run, kPackageData, L"My Package.exe");
  std::wstring temp = run.dir().File(L"temp dir");
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  ScopedEnv tmp(L"TMP", temp), temp_env(L"TEMP", temp);
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  LogTail log;
  RunResult r = run.Start(pkg, {L"/silent", L"/nolog", L"two words", L"/user", L"s3cr3t", L"--password=hunter2",
                                 L"Z\u00fcrich", L"/site:\u65e5\u672c", L"/exitcode:3"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 3u) << r.Describe();

  std::string received = ReadBinary(record);
  size_t dir_at = received.find("directory=");
  ASSERT_NE(dir_at, std::string::npos) << "the setup program did not run\n" << received;
  std::string dir = received.substr(dir_at + 10, received.find('\n', dir_at) - dir_at - 10);
  const std::string program = "\"" + dir + "\\setup.exe\"";
  EXPECT_EQ(dir.rfind(brxwatch::ToUtf8(temp) + "\\", 0), 0u) << "extracted to " << dir;
  // The record is UTF-8: the letters outside ASCII arrive intact.
  EXPECT_NE(received.find("commandline=" + program +
                          " /component e2e -s \"two words\" /user s3cr3t --password=hunter2 Z\xc3\xbcrich "
                          "/site:\xe6\x97\xa5\xe6\x9c\xac /exitcode:3\n"),
            std::string::npos)
      << received;

  std::string text = log.Appended();
  EXPECT_NE(text.find("Installation command line = [" + program + " /component e2e -s \"two words\" /user **** **** Z"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("s3cr3t"), std::string::npos) << text;
  EXPECT_EQ(text.find("hunter2"), std::string::npos) << text;

  // A line too long to pass on whole starts nothing rather than a cut one.
  DeleteFileW(record.c_str());
  log.Mark();
  r = run.Start(pkg, {L"/silent", L"/exitcode:1", L"/long:" + std::wstring(3000, L'a')});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "the setup program ran with a cut command line";
  ExpectInOrder(log.Appended(), {"**ERROR** - Installation command line failed to build.\r\n\r\n",
                                 "Installation Halted...ERROR CODE (0)\r\n\r\n", "Return Code (0)\r\n"});
}

// Packages often keep their setup program in a folder of its own; it still
// starts in the extraction directory, where the package's files are.
TEST(E2eLauncher, SetupProgramInASubfolderStartsInTheExtractionDirectory) {
  StubRun run;
  std::string definition = kDefinition;
  definition.replace(definition.find("setup.exe"), 9, "bin\\Setup Tool.exe");
  std::wstring pkg = run.Package({{"tool.xml", definition},
                                  {"bin/Setup Tool.exe", SampleSetupBytes()},
                                  {"bin/exitcode.txt", "3"}},
                                 L"tool.exe");
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  RunResult r = run.Start(pkg, {L"/silent"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 3u) << r.Describe();
  std::string received = ReadBinary(record);
  size_t dir_at = received.find("directory=");
  ASSERT_NE(dir_at, std::string::npos) << "the setup program did not run\n" << r.Describe();
  std::string dir = received.substr(dir_at + 10, received.find('\n', dir_at) - dir_at - 10);
  EXPECT_NE(received.find("commandline=\"" + dir + "\\bin\\Setup Tool.exe\" /component e2e /silent\n"),
            std::string::npos)
      << received;
}

// A batch setup program runs through cmd.exe, which parses its line again:
// arguments must arrive as data, never as commands of the elevated run. The
// batch file writes %1 to %3 as cmd.exe handed them over, quotes and all.
TEST(E2eLauncher, BatchSetupProgramReceivesArgumentsLiterallyOrNothingRuns) {
  StubRun run;
  std::string definition = kDefinition;
  definition.replace(definition.find("setup.exe"), 9, "setup.cmd");
  definition.replace(definition.find("/component e2e"), 14, "");
  const char batch[] =
      "@echo off\r\n"
      ">> \"%BRXBATCH_RECORD%\" echo one=%1\r\n"
      ">> \"%BRXBATCH_RECORD%\" echo two=%2\r\n"
      ">> \"%BRXBATCH_RECORD%\" echo three=%3\r\n"
      "exit /b 3\r\n";
  std::wstring pkg = run.Package({{"batch.xml", definition}, {"setup.cmd", batch}}, L"batch.exe");
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXBATCH_RECORD", record);
  const std::wstring pwned = SystemDrive() + L"\\pwned.txt";
  DeleteFileW(pwned.c_str());

  LogTail log;
  RunResult r = run.Start(pkg, {L"/silent", L"x&echo>" + pwned, L"a value with blanks"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 3u) << r.Describe();
  EXPECT_FALSE(FileExists(pwned)) << "an argument ran as a command";
  const std::string drive = brxwatch::ToUtf8(SystemDrive());
  EXPECT_EQ("one=/silent\r\ntwo=\"x&echo>" + drive + "\\pwned.txt\"\r\nthree=\"a value with blanks\"\r\n",
            ReadBinary(record));
  EXPECT_NE(log.Appended().find(" /silent \"x&echo>" + drive + "\\pwned.txt\" \"a value with blanks\"]"),
            std::string::npos)
      << log.Appended();

  // cmd.exe would expand %OS% even inside quotes: refused, nothing runs.
  DeleteFileW(record.c_str());
  log.Mark();
  r = run.Start(pkg, {L"/silent", L"100%OS%^x"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "the batch file ran";
  ExpectInOrder(log.Appended(), {"**ERROR** - The batch setup program cannot receive argument 2 [100%OS%^x] safely: ",
                                 "**ERROR** - Installation command line failed to build.\r\n\r\n",
                                 "Installation Halted...ERROR CODE (0)\r\n\r\n", "Return Code (0)\r\n"});

  // The definition's own parameters leaving a quote open would turn the
  // quotes around the caller's argument inside out: refused, nothing runs.
  std::string open_quote = definition;
  const std::string no_params = "<command_params></command_params>";
  open_quote.replace(open_quote.find(no_params), no_params.size(),
                     "<command_params>/logdir:\"C:\\ProgramData\\Acme</command_params>");
  pkg = run.Package({{"batch.xml", open_quote}, {"setup.cmd", batch}}, L"batch.exe");
  log.Mark();
  r = run.Start(pkg, {L"/silent", L"x&echo>" + pwned});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  EXPECT_FALSE(FileExists(record)) << "the batch file ran";
  EXPECT_FALSE(FileExists(pwned)) << "an argument ran as a command";
  ExpectInOrder(log.Appended(),
                {"**ERROR** - The batch setup program cannot receive the definition's parameters "
                 "[/logdir:\"C:\\ProgramData\\Acme] safely: an unbalanced double quote",
                 "**ERROR** - Installation command line failed to build.\r\n\r\n", "Return Code (0)\r\n"});
}

// A component key of this run's own, removed with the definition copy
// however the test ends.
class InventoryCleanup {
 public:
  InventoryCleanup(const std::wstring& sw_key, const std::wstring& definition_name)
      : key_path_(L"Software\\Orvane\\Version Control\\OVRevisionManagement\\" + sw_key),
        copy_(SystemDrive() + L"\\BRXSYSTEM\\ztxml\\" + definition_name) {
    Remove();
  }
  ~InventoryCleanup() { Remove(); }
  InventoryCleanup(const InventoryCleanup&) = delete;
  InventoryCleanup& operator=(const InventoryCleanup&) = delete;

  const std::wstring& key_path() const { return key_path_; }
  const std::wstring& copy() const { return copy_; }

 private:
  void Remove() {
    DeleteFileW(copy_.c_str());
    brxtest::DeleteLocalMachineTree64(key_path_);
  }

  std::wstring key_path_;
  std::wstring copy_;
};

bool KeyExists(const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// The values of a key by name; a value that is not REG_SZ shows as "<type N>".
std::map<std::wstring, std::wstring> StringValues(const std::wstring& path) {
  std::map<std::wstring, std::wstring> values;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD name_chars = 256;
    wchar_t data[1024];
    DWORD data_bytes = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &name_chars, nullptr, &type, reinterpret_cast<BYTE*>(data), &data_bytes) !=
        ERROR_SUCCESS) {
      break;
    }
    data[data_bytes / sizeof(wchar_t)] = L'\0';
    values[std::wstring(name, name_chars)] = type == REG_SZ ? data : L"<type " + std::to_wstring(type) + L">";
  }
  RegCloseKey(key);
  return values;
}

TEST(E2eInventory, InstalledComponentIsRecordedAfterTranslation) {
  StubRun run;
  std::wstring unique = L"BrxE2eLauncher_" + std::to_wstring(GetCurrentProcessId());
  std::string sw_key = brxwatch::ToUtf8(unique);
  std::wstring package_name = L"inv" + std::to_wstring(GetCurrentProcessId());
  InventoryCleanup cleanup(unique, package_name + L".xml");

  const std::string definition =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<brx_package version=\"2.0.2.0\">\n"
      "  <filename>inventory.exe</filename>\n"
      "  <sw_keys><sw_keys_and><sw_key name=\"" + sw_key + "\">\n"
      "    <sw_key_expectedpath>software:e2e</sw_key_expectedpath>\n"
      "  </sw_key></sw_keys_and></sw_keys>\n"
      "  <installation><install><command>setup.exe</command></install></installation>\n"
      "</brx_package>\n";
  std::wstring pkg = run.Package(
      {{brxwatch::ToUtf8(package_name) + ".xml", definition},
       {"setup.exe", SampleSetupBytes()},
       {"zt_data.xml", "<zt_pkg_data><installation><install><returncode_map><map source=\"5\" dest=\"1\"/>"
                       "</returncode_map></install></installation></zt_pkg_data>"}},
      package_name + L".exe");

  RunResult r = run.Start(pkg, {L"/silent", L"/exitcode:0"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  EXPECT_FALSE(KeyExists(cleanup.key_path())) << "a failed install was recorded";
  EXPECT_FALSE(FileExists(cleanup.copy())) << "a failed install left a definition copy";

  // Raw 5 is recorded because the map makes it 1.
  r = run.Start(pkg, {L"/silent", L"/exitcode:5"});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  std::map<std::wstring, std::wstring> values = StringValues(cleanup.key_path() + L"\\0");
  ASSERT_EQ(values.size(), 4u) << "no complete record under " << brxwatch::ToUtf8(cleanup.key_path()) << "\\0";
  EXPECT_EQ(values[L"ComponentXmlPath"], L"\\BRXSYSTEM\\ztxml\\");
  EXPECT_FALSE(values[L"InstallTime"].empty());
  EXPECT_EQ(values[L"ComponentFileName"], L"inventory.exe");
  EXPECT_EQ(values[L"ComponentKeyExpectedPath"], L"software:e2e");
  EXPECT_EQ(ReadBinary(cleanup.copy()), definition);

  // A copy that cannot be written (a folder in its place) is logged as
  // failed, and the component is still recorded: it is installed.
  brxtest::DeleteLocalMachineTree64(cleanup.key_path());
  ASSERT_TRUE(DeleteFileW(cleanup.copy().c_str()));
  ASSERT_TRUE(CreateDirectoryW(cleanup.copy().c_str(), nullptr));
  LogTail tail;
  r = run.Start(pkg, {L"/silent", L"/exitcode:1"});
  RemoveDirectoryW(cleanup.copy().c_str());
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_NE(tail.Appended().find("    - Unable to copy component definition XML to "), std::string::npos)
      << tail.Appended();
  EXPECT_EQ(StringValues(cleanup.key_path() + L"\\0").size(), 4u) << "no record after a failed copy";
}

}  // namespace
}  // namespace brxe2e
