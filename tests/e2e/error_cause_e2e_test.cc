// What a default run (no /verbose_log) tells of its failure, through the real
// stub under Wine: the failing step's Windows error in the record and the
// event, the exit code of a run that crashed, and /config_file over a
// package's read-only entry.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>

#include "install_runs.h"

namespace brxe2e {
namespace {

// This test's records among what the runs on the machine appended.
std::vector<nlohmann::json> RecordsOf(const std::string& appended, const std::string& stub_file) {
  std::vector<nlohmann::json> records;
  std::istringstream lines(appended);
  for (std::string line; std::getline(lines, line);) {
    nlohmann::json one = nlohmann::json::parse(line, nullptr, false);
    if (one.is_object() && one.value("stub_file", "") == stub_file) records.push_back(std::move(one));
  }
  return records;
}

TEST(E2eInstallLog, FailedStepsWindowsErrorIsInTheRecordAndTheEvent) {
  StubRun run(kRecordingStub);
  std::wstring pkg = run.Package({{"e2epkg.xml", [] {
                                     std::string d = kInstallDefinition;
                                     d.replace(d.find("setup.exe"), 9, "missing.exe");
                                     return d;
                                   }()},
                                  {"readme.txt", "no program here"}},
                                 L"e2ecause.exe");
  ASSERT_FALSE(pkg.empty());
  std::wstring events = run.dir().File(L"events.txt");
  LogTail records(RecordPath());
  RunResult r;
  {
    ScopedEnv event_record(L"BRX_EVENT_RECORD", events);
    r = run.Start(pkg, {L"/silent"});
  }
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  std::vector<nlohmann::json> mine = RecordsOf(records.Appended(), "e2ecause.exe");
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0]["schema"], 2);
  EXPECT_EQ(mine[0]["error"], nlohmann::json::parse(R"({"step":"launch","code":2,"windows_error":"win32",)"
                                                    R"("reason":null})"))
      << mine[0];
  EXPECT_EQ(mine[0]["first_error"], "launch failed (win32 error 2)");
  std::string event = ReadBinary(events);
  EXPECT_NE(event.find("id=1002 "), std::string::npos) << event;
  EXPECT_NE(event.find("|launch failed (win32 error 2)|launch|2|win32|]"), std::string::npos) << event;
}

// A crash ends with the failure code of the run's exit-code rule, never
// abort()'s 3, and leaves the record saying so.
TEST(E2eInstallLog, CrashEndsAsAFailure) {
  StubRun run(kRecordingStub);
  std::wstring pkg = BuildInstallPackage(run, L"e2ecrash.exe", 1, {});
  ASSERT_FALSE(pkg.empty());
  LogTail records(RecordPath());
  ScopedEnv crash(L"BRX_CRASH_AT", L"exitcode.txt");
  RunResult raw = run.Start(pkg, {L"/silent"});
  EXPECT_EQ(raw.exit_code, 0u) << raw.Describe();
  RunResult dos = run.Start(pkg, {L"/silent", L"/dosretcode"});
  EXPECT_EQ(dos.exit_code, 1u) << dos.Describe();
  std::vector<nlohmann::json> mine = RecordsOf(records.Appended(), "e2ecrash.exe");
  ASSERT_EQ(mine.size(), 2u);
  for (const nlohmann::json& one : mine) {
    EXPECT_EQ(one["result"], "failed") << one;
    EXPECT_EQ(one["error"]["step"], "crash") << one;
    EXPECT_EQ(one["error"]["reason"], "terminate") << one;
  }
  EXPECT_EQ(mine[0]["exit_code"], 0);
  EXPECT_EQ(mine[1]["exit_code"], 1);
}

// The administrator's /config_file replaces the package's entry of the same
// name, also when the package stores that entry read-only.
TEST(E2eInstallLog, ConfigFileOverAReadOnlyEntryIsPlaced) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2ecfgro.exe", 1,
                                         {{"site.cfg", "packaged", brxpack::Method::kDeflate, 0x21}});
  ASSERT_FALSE(pkg.empty());
  ScratchDir admin;
  std::wstring config = admin.File(L"site.cfg");
  brxtest::WriteFile(config, "administrator's");
  LogTail log;
  RunResult r = run.Start(pkg, {L"/silent", L"/config_file", config});
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_NE(log.Appended().find("Copy CFG file returncode[1]"), std::string::npos) << log.Appended();
}

}  // namespace
}  // namespace brxe2e
