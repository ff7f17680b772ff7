// Logged installs through the real stub under Wine: the session the component
// log gets, the extraction directory's life, the configuration file placed in
// it, and the runs that must stop early or go on unlogged.
#include <gtest/gtest.h>
#include <stdio.h>

#include "brxpack/definition_check.h"
#include "install_runs.h"

namespace brxe2e {
namespace {

const char kRule[] = "===========================================================================";
const char kSiteCfg[] = "[site]\r\nserver=alpha\r\n";

const char kPlainConfigData[] =
    "<zt_pkg_data><configuration>"
    "<configui><filename lang=\"en\">cfgtool.exe</filename></configui>"
    "<config_file><filename>site.cfg</filename></config_file>"
    "</configuration></zt_pkg_data>";

const char kEncipheredConfigData[] =
    "<zt_pkg_data><configuration>"
    "<configui><filename lang=\"en\">cfgtool.exe</filename></configui>"
    "<config_file><filename encrypt=\"1\">site.cfg</filename></config_file>"
    "</configuration></zt_pkg_data>";

// The test setup program copies what the stub placed in its directory out
// to `to` before the stub removes the directory.
std::wstring CopyOut(const std::wstring& name, const std::wstring& to) { return name + L"|" + to; }

struct InstallRun {
  RunResult result;
  std::string session;    // what this run appended to the log
  std::string directory;  // the extraction directory the session names
};

InstallRun RunInstall(StubRun& run, const std::wstring& pkg, const std::vector<std::wstring>& args,
                      std::vector<brxwatch::Rule> rules = {}) {
  LogTail tail;
  InstallRun out;
  out.result = run.Start(pkg, args, Parent::kTest, std::move(rules));
  out.session = tail.Appended();
  out.directory = ExtractionDirectoryOf(out.session);
  return out;
}

// One silent install, start to end, and a second one appended after it: the
// whole session in order, a fresh GUID-named directory that the setup program
// ran in and that is gone afterwards, and the package's own configuration
// file written there.
TEST(E2eInstallLog, SilentInstallsAppendCompleteSessionsInFreshDirectories) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1,
                                         {{"zt_data.xml", kPlainConfigData}, {"site.cfg", kSiteCfg}});
  ASSERT_FALSE(pkg.empty());
  std::wstring default_verbose = LogDirectory() + L"brxsetup.verbose.log";
  bool default_verbose_existed = FileExists(default_verbose);

  std::wstring record1 = run.dir().File(L"record1.txt");
  std::wstring placed = run.dir().File(L"placed1.cfg");
  InstallRun first;
  {
    ScopedEnv record(L"BRXSAMPLE_RECORD", record1);
    ScopedEnv copy(L"BRXSAMPLE_COPY", CopyOut(L"site.cfg", placed));
    first = RunInstall(run, pkg, {L"/silent"});
  }
  ExpectNoDialog(first.result);
  EXPECT_EQ(first.result.exit_code, 1u) << first.result.Describe();
  std::string dir = first.directory;
  ExpectInOrder(first.session,
                {std::string(kRule) + "\r\nSource:          e2epkg.exe\r\nVersion:         ",
                 "\r\nLog Date:        ", "\r\n\r\nLog Session Start...\r\n\r\n",
                 "Validating WMI service is available...\r\n\r\n", "WMI service is available.\r\n\r\n",
                 "Checking for virtualized environment...\r\n\r\n", "Virtualized environment not detected.\r\n\r\n",
                 "Checking TPM (Trusted Platform Module) state...\r\n\r\n",
                 "Creating extraction directory for Quellin Component [e2epkg.exe]...\r\n\r\n",
                 "Extraction Directory Creation... Success.\r\n\r\n",
                 "Changing current directory to extraction directory [" + dir + "]... Success.\r\n\r\n",
                 "Component XML file = [e2epkg.xml]\r\n\r\n", "Extracting component contents...\r\n\r\n",
                 "Extracting component contents complete. Success.\r\n\r\n",
                 "Extracting configuration file...\r\n\r\n",
                 "Extracting configuration file complete. Success.\r\n\r\n",
                 "Process returned completion code of (0x1).\r\n\r\n",
                 "Restoring current directory [", "]... Done.\r\n",
                 "\r\n\r\nLog Session End. [", "]\r\nReturn Code (1)\r\n" + std::string(kRule) + "\r\n\r\n"});
  // One session: it starts the appended text and closes it.
  EXPECT_EQ(first.session.find(kRule), 0u) << first.session;
  EXPECT_EQ(first.session.find("Log Session Start"), first.session.rfind("Log Session Start")) << first.session;
  EXPECT_EQ(first.session.compare(first.session.size() - 4, 4, "\r\n\r\n"), 0) << first.session;
  EXPECT_EQ(first.session.find("CFG file option passed"), std::string::npos) << first.session;

  EXPECT_TRUE(IsGuidDirectoryInTemp(dir)) << dir;
  EXPECT_EQ(RecordValue(record1, "directory"), dir) << "the setup program ran elsewhere";
  EXPECT_FALSE(DirectoryExists(std::wstring(dir.begin(), dir.end()))) << dir << " outlived the run";
  EXPECT_EQ(ReadBinary(placed), kSiteCfg) << "the package's configuration file was not written";
  // Without /verbose_log or the variable no verbose log comes into being, and
  // the setup program is not handed one.
  EXPECT_EQ(FileExists(default_verbose), default_verbose_existed);
  EXPECT_EQ(ReadBinary(record1).find("env:CMPLOG2_VERBOSE_FILENAME"), std::string::npos);

  std::wstring record2 = run.dir().File(L"record2.txt");
  InstallRun second;
  {
    ScopedEnv record(L"BRXSAMPLE_RECORD", record2);
    second = RunInstall(run, pkg, {L"/silent"});
  }
  ExpectNoDialog(second.result);
  EXPECT_EQ(second.result.exit_code, 1u) << second.result.Describe();
  EXPECT_EQ(second.session.find(kRule), 0u) << "the second session does not follow the first";
  ExpectInOrder(second.session, {"Log Session Start...", "Return Code (1)"});
  EXPECT_NE(second.directory, dir) << "two installs shared one directory";
  EXPECT_TRUE(IsGuidDirectoryInTemp(second.directory)) << second.directory;
  EXPECT_EQ(RecordValue(record2, "directory"), second.directory);
  EXPECT_FALSE(DirectoryExists(std::wstring(second.directory.begin(), second.directory.end())));
}

// An enciphered configuration file reaches the setup program deciphered,
// unless /config_file brings another one.
TEST(E2eInstallLog, EncipheredConfigurationFileIsWrittenDeciphered) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1,
                                         {{"zt_data.xml", kEncipheredConfigData}, {"site.cfg", kSiteCfg}},
                                         brxpack::MakeEncipherTransform(L"e2epkg.exe", "site.cfg"));
  ASSERT_FALSE(pkg.empty());
  std::wstring placed = run.dir().File(L"placed.cfg");
  InstallRun r;
  {
    ScopedEnv copy(L"BRXSAMPLE_COPY", CopyOut(L"site.cfg", placed));
    r = RunInstall(run, pkg, {L"/silent"});
  }
  ExpectNoDialog(r.result);
  EXPECT_EQ(r.result.exit_code, 1u) << r.result.Describe();
  ExpectInOrder(r.session, {"Extracting configuration file complete. Success.\r\n\r\n", "Return Code (1)"});
  // Deciphering works in whole 8-byte blocks; the text is followed by at
  // most the padding of its last block.
  std::string written = ReadBinary(placed);
  EXPECT_EQ(written.compare(0, sizeof(kSiteCfg) - 1, kSiteCfg), 0) << written;
  EXPECT_LT(written.size(), sizeof(kSiteCfg) - 1 + 8);

  // /config_file: that file is copied in instead, and the package's entry
  // stays as extracted, still enciphered.
  std::wstring custom = run.dir().File(L"custom.cfg");
  {
    HANDLE file = CreateFileW(custom.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written_bytes = 0;
    WriteFile(file, "custom", 6, &written_bytes, nullptr);
    CloseHandle(file);
  }
  std::wstring copied = run.dir().File(L"copied2.cfg");
  std::wstring placed2 = run.dir().File(L"placed2.cfg");
  InstallRun second;
  {
    ScopedEnv copy(L"BRXSAMPLE_COPY", CopyOut(L"custom.cfg", copied) + L";" + CopyOut(L"site.cfg", placed2));
    second = RunInstall(run, pkg, {L"/silent", L"/config_file", custom});
  }
  ExpectNoDialog(second.result);
  EXPECT_EQ(second.result.exit_code, 1u) << second.result.Describe();
  ExpectInOrder(second.session,
                {"Extracting component contents complete. Success.\r\n\r\n",
                 "CFG file option passed...begin process...\r\n\r\n", "Copying CFG file...\r\n\r\n",
                 "Copy CFG file returncode[1] copyFileName[" + Narrow(custom) + "] newPath[" + second.directory +
                     "\\custom.cfg]\r\n\r\n",
                 "Return Code (1)"});
  EXPECT_EQ(second.session.find("Extracting configuration file"), std::string::npos) << second.session;
  EXPECT_EQ(ReadBinary(copied), "custom");
  std::string raw = ReadBinary(placed2);
  EXPECT_FALSE(raw.empty());
  EXPECT_EQ(raw.find("server=alpha"), std::string::npos) << "the package's configuration file was deciphered";
}

// The verbose log: a stub started with CMPLOG2_VERBOSE_FILENAME writes its
// tagged lines there without being asked; /verbose_log replaces the variable
// with "<package file>.log" in the log directory and hands that to setup.
TEST(E2eInstallLog, VerboseLogFollowsTheVariableAndTheOption) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {});
  ASSERT_FALSE(pkg.empty());
  std::wstring inherited = run.dir().File(L"inherited.log");
  std::wstring own = LogDirectory() + L"e2epkg.exe.log";
  DeleteFileW(own.c_str());

  std::wstring record1 = run.dir().File(L"record1.txt");
  InstallRun first;
  {
    ScopedEnv verbose(L"CMPLOG2_VERBOSE_FILENAME", inherited);
    ScopedEnv record(L"BRXSAMPLE_RECORD", record1);
    first = RunInstall(run, pkg, {L"/silent"});
  }
  ExpectNoDialog(first.result);
  EXPECT_EQ(first.result.exit_code, 1u) << first.result.Describe();
  std::string tagged = ReadBinary(inherited);
  ExpectInOrder(tagged, {"Log Session Start...",
                         "]::extract[156] Creating extraction directory for Quellin Component [e2epkg.exe]...",
                         "Return Code (1)"});
  EXPECT_EQ(first.session.find("]::extract["), std::string::npos) << "tags belong to the verbose log only";
  EXPECT_EQ(first.session.find("Successfully created verbose log file"), std::string::npos);
  EXPECT_EQ(RecordValue(record1, "env:CMPLOG2_VERBOSE_FILENAME"), Narrow(inherited));

  std::wstring record2 = run.dir().File(L"record2.txt");
  InstallRun second;
  {
    ScopedEnv verbose(L"CMPLOG2_VERBOSE_FILENAME", inherited);
    ScopedEnv record(L"BRXSAMPLE_RECORD", record2);
    second = RunInstall(run, pkg, {L"/silent", L"/verbose_log"});
  }
  ExpectNoDialog(second.result);
  EXPECT_EQ(second.result.exit_code, 1u) << second.result.Describe();
  ExpectInOrder(second.session, {"Log Session Start...\r\n\r\n",
                                 "Successfully created verbose log file [e2epkg.exe.log]\r\n\r\n",
                                 "Validating WMI service is available"});
  EXPECT_EQ(RecordValue(record2, "env:CMPLOG2_VERBOSE_FILENAME"), Narrow(own));
  ExpectInOrder(ReadBinary(own), {"Log Session Start...",
                                  "]::extract[90] Successfully created verbose log file [e2epkg.exe.log]",
                                  "Return Code (1)"});
  EXPECT_EQ(ReadBinary(inherited), tagged) << "the replaced variable's file was still written";
  DeleteFileW(own.c_str());
}

// Runs that install nothing: DISABLE_INSTALL_BUTTON stops after the header,
// and /extract: logs nothing, fails on a missing directory without making it
// and fills an existing one.
TEST(E2eInstallLog, DisabledInstallAndExtractionOnlyRuns) {
  StubRun run;
  std::wstring disabled = BuildInstallPackage(
      run, L"e2epkg.exe", 1,
      {{"zt_data.xml",
        "<zt_pkg_data><settings><value name=\"DISABLE_INSTALL_BUTTON\" value=\"1\"/></settings></zt_pkg_data>"}});
  ASSERT_FALSE(disabled.empty());
  std::wstring record = run.dir().File(L"record.txt");
  InstallRun r;
  {
    ScopedEnv env(L"BRXSAMPLE_RECORD", record);
    r = RunInstall(run, disabled, {L"/silent"});
  }
  ExpectNoDialog(r.result);
  EXPECT_EQ(r.result.exit_code, 0u) << r.result.Describe();
  size_t start = r.session.find("Log Session Start...\r\n\r\n");
  ASSERT_NE(start, std::string::npos) << r.session;
  EXPECT_EQ(r.session.substr(start + 24, 22), "\r\n\r\nLog Session End. [") << r.session;
  EXPECT_NE(r.session.find("]\r\nReturn Code (0)\r\n"), std::string::npos) << r.session;
  EXPECT_FALSE(FileExists(record)) << "the setup program ran";

  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {{"data/payload.txt", "payload"}});
  std::wstring existing = run.dir().File(L"out");
  ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
  LogTail tail;
  RunResult extracted = run.Start(pkg, {L"/extract:" + existing});
  ExpectNoDialog(extracted);
  EXPECT_EQ(extracted.exit_code, 1u) << extracted.Describe();
  EXPECT_EQ(ReadBinary(existing + L"\\data\\payload.txt"), "payload");
  EXPECT_TRUE(FileExists(existing + L"\\setup.exe"));

  // A relative directory is the one below where the command was given.
  ASSERT_TRUE(CreateDirectoryW(run.dir().File(L"relative").c_str(), nullptr));
  RunResult relative = run.Start(pkg, {L"/extract:relative"});
  EXPECT_EQ(relative.exit_code, 1u) << relative.Describe();
  EXPECT_EQ(ReadBinary(run.dir().File(L"relative\\data\\payload.txt")), "payload");

  std::wstring missing = run.dir().File(L"missing");
  RunResult refused = run.Start(pkg, {L"/extract:" + missing});
  ExpectNoDialog(refused);
  EXPECT_EQ(refused.exit_code, 0u) << refused.Describe();
  EXPECT_FALSE(DirectoryExists(missing));
  EXPECT_TRUE(tail.Unchanged()) << "an extraction-only run wrote to the log";
}

// /instpath: with a relative folder installs into that folder below where the
// command was given, which the run removes again as it created it.
TEST(E2eInstallLog, RelativeInstallPathIsBelowWhereTheCommandWasGiven) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {{"data/payload.txt", "payload"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring record = run.dir().File(L"record.txt");
  InstallRun r;
  {
    ScopedEnv env(L"BRXSAMPLE_RECORD", record);
    r = RunInstall(run, pkg, {L"/silent", L"/instpath:inst"});
  }
  ExpectNoDialog(r.result);
  EXPECT_EQ(r.result.exit_code, 1u) << r.result.Describe() << r.session;
  ASSERT_GT(r.directory.size(), 5u) << r.session;
  EXPECT_EQ(r.directory.substr(r.directory.size() - 5), "\\inst") << r.directory;
  EXPECT_EQ(RecordValue(record, "directory"), r.directory) << "the setup program ran elsewhere";
  EXPECT_FALSE(DirectoryExists(run.dir().File(L"inst"))) << "the run's folder outlived it";
}

// A corrupt entry: message 1005 with user interface, the two lines, and the
// directory gone at once, with and without user interface: nothing is left
// in the temporary folder and nothing waits for the next boot.
TEST(E2eInstallLog, CorruptEntryStopsTheInstallAndLeavesNoDirectory) {
  StubRun run;
  std::string payload(4096, 'p');
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1,
                                         {{"payload.bin", payload, brxpack::Method::kStore}});
  ASSERT_FALSE(pkg.empty());
  ASSERT_TRUE(CorruptStoredEntry(pkg, "payload.bin"));
  std::wstring record = run.dir().File(L"record.txt");
  InstallRun r;
  {
    ScopedEnv env(L"BRXSAMPLE_RECORD", record);
    r = RunInstall(run, pkg, {L"/noprompt"}, {LeaveProgressOpen()});
  }
  ASSERT_TRUE(r.result.started && !r.result.timed_out) << r.result.Describe();
  EXPECT_EQ(r.result.exit_code, 0u) << r.result.Describe();
  std::vector<brxwatch::DialogRecord> boxes = MessageBoxes(r.result);
  ASSERT_EQ(boxes.size(), 1u) << r.result.Describe();
  EXPECT_EQ(boxes[0].caption, kPackageCaption);
  EXPECT_EQ(boxes[0].text, kExtractFailedText);
  ExpectInOrder(r.session, {"Extracting component contents...\r\n\r\n",
                            "**ERROR** - Package Setup was unable to extract the package properly.  Installation "
                            "will not continue.\r\n",
                            "Installation Halted...ERROR CODE (0)...\r\n\r\n", "Return Code (0)"});
  EXPECT_EQ(r.session.find("Extracting component contents complete"), std::string::npos);
  EXPECT_FALSE(FileExists(record)) << "the setup program ran";
  InstallRun silent = RunInstall(run, pkg, {L"/silent"});
  ASSERT_TRUE(silent.result.started && !silent.result.timed_out) << silent.result.Describe();
  EXPECT_EQ(silent.result.exit_code, 0u) << silent.result.Describe();
  for (const InstallRun* each : {&r, &silent}) {
    ASSERT_TRUE(IsGuidDirectoryInTemp(each->directory)) << each->session;
    std::wstring dir(each->directory.begin(), each->directory.end());
    EXPECT_FALSE(DirectoryExists(dir)) << each->directory << " outlived the run";
    EXPECT_FALSE(PendingDeletionAtBoot(each->directory)) << each->directory << " waits for the next boot";
    RemoveTree(dir);
  }
}

// The log cannot be opened outside the preinstallation environment: a silent
// install stops at once with 0 and writes nothing; with user interface it
// warns with message 709 and installs unlogged.
TEST(E2eInstallLog, UnopenableLogStopsSilentRunsAndWarnsOthers) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {});
  ASSERT_FALSE(pkg.empty());
  std::wstring record1 = run.dir().File(L"record1.txt");
  std::wstring record2 = run.dir().File(L"record2.txt");
  LogTail tail;
  RunResult silent, noprompt;
  {
    LogLock lock;
    ASSERT_TRUE(lock.locked());
    {
      ScopedEnv env(L"BRXSAMPLE_RECORD", record1);
      silent = run.Start(pkg, {L"/silent"});
    }
    {
      ScopedEnv env(L"BRXSAMPLE_RECORD", record2);
      noprompt = run.Start(pkg, {L"/noprompt"}, Parent::kTest, {LeaveProgressOpen()});
    }
  }
  EXPECT_TRUE(tail.Unchanged()) << "a stub wrote to a log it could not open";
  ExpectNoDialog(silent);
  EXPECT_EQ(silent.exit_code, 0u) << silent.Describe();
  EXPECT_FALSE(FileExists(record1)) << "the silent install went on";

  ASSERT_TRUE(noprompt.started && !noprompt.timed_out) << noprompt.Describe();
  std::vector<brxwatch::DialogRecord> boxes = MessageBoxes(noprompt);
  ASSERT_GE(boxes.size(), 1u) << noprompt.Describe();
  EXPECT_EQ(boxes[0].caption, kPackageCaption);
  EXPECT_EQ(boxes[0].text, kLogNotOpenedText);
  EXPECT_EQ(noprompt.exit_code, 1u) << noprompt.Describe();
  EXPECT_TRUE(FileExists(record2)) << "the install did not go on";
}

// Anybody who may read the log can take the lock its writers serialise on.
// A process that keeps it delays an install by a few seconds once, never for
// good: the session is written whole, and the verbose log says the lock was
// given up on.
TEST(E2eInstallLog, HeldLogLockDelaysAnInstallOnlyBriefly) {
  StubRun run;
  run.set_time_limit_ms(60000);
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {});
  ASSERT_FALSE(pkg.empty());
  std::wstring verbose = LogDirectory() + L"e2epkg.exe.log";
  LogTail tail;
  std::string verbose_before = ReadBinary(verbose);
  RunResult r;
  {
    LogWriteLock lock;
    ASSERT_TRUE(lock.locked());
    r = run.Start(pkg, {L"/silent", L"/verbose_log"});
  }
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_LT(r.elapsed_ms, 30000u) << r.Describe();
  ExpectInOrder(tail.Appended(), {"Log Session Start...", "Process returned completion code of (0x1).",
                                  "Return Code (1)"});
  std::string verbose_after = ReadBinary(verbose);
  ASSERT_GE(verbose_after.size(), verbose_before.size());
  std::string appended = verbose_after.substr(verbose_before.size());
  EXPECT_NE(appended.find("**WARNING** - Another process held the lock of the log [" + Narrow(MainLogPath()) +
                          "] for more than 3 seconds; lines are written without waiting for it."),
            std::string::npos)
      << appended;
}

}  // namespace
}  // namespace brxe2e
