// The session record and event of the real stub under Wine: one JSON line
// per run in brxsetup.jsonl with the run's facts, whole lines when stubs
// finish at once, and the Application event seen where Wine's event log
// traces it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <sstream>

#include "brxlog/brxlog_tool.h"
#include "install_runs.h"

namespace brxe2e {
namespace {

std::vector<nlohmann::json> Records(const std::string& text) {
  std::vector<nlohmann::json> records;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    records.push_back(nlohmann::json::parse(line, nullptr, false));
    EXPECT_TRUE(records.back().is_object()) << "not one JSON object: " << line;
  }
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "the last record is cut: " << text;
  return records;
}

TEST(E2eInstallLog, EachRunLeavesOneRecordWithItsFacts) {
  StubRun run;
  std::wstring installs = BuildInstallPackage(run, L"e2erec1.exe", 2, {});
  std::wstring fails = BuildInstallPackage(run, L"e2erec0.exe", 0, {});
  std::wstring nothing = run.PackageWithTail(std::string(), L"e2erecnone.exe");
  ASSERT_FALSE(installs.empty() || fails.empty() || nothing.empty());
  LogTail records(RecordPath());
  EXPECT_EQ(run.Start(installs, {L"/silent", L"/pass=secret"}, Parent::kTest).exit_code, 2u);
  EXPECT_EQ(run.Start(fails, {L"/silent", L"/dosretcode"}, Parent::kTest).exit_code, 1u);
  ScratchDir out;
  EXPECT_EQ(run.Start(installs, {L"/extract:" + out.path()}, Parent::kTest).exit_code, 1u);
  RunResult none = run.Start(nothing, {L"/silent"}, Parent::kTest);
  EXPECT_EQ(none.exit_code, 0u) << none.Describe();

  // Stubs of tests that run meanwhile append to the same file: only this
  // test's packages count.
  std::vector<nlohmann::json> r;
  for (nlohmann::json& one : Records(records.Appended())) {
    std::string file = one.value("stub_file", "");
    if (file == "e2erec1.exe" || file == "e2erec0.exe" || file == "e2erecnone.exe") r.push_back(std::move(one));
  }
  ASSERT_EQ(r.size(), 4u);
  const nlohmann::json& ok = r[0];
  EXPECT_EQ(ok["schema"], 2);
  EXPECT_EQ(ok["stub_file"], "e2erec1.exe");
  EXPECT_TRUE(ok["stub_version"].is_string());
  EXPECT_EQ(ok["package_name"], "Logged Component");
  EXPECT_EQ(ok["package_version"], "1.0.0.0");
  EXPECT_TRUE(ok["sw_key"].is_null());
  EXPECT_EQ(ok["definition"], "e2epkg.xml");
  EXPECT_EQ(ok["mode"], "silent");
  EXPECT_EQ(ok["checks"], nlohmann::json::parse(R"({"wmi_service":"passed","virtual_guest":"passed",)"
                                                R"("tpm":"passed","disk_space":"passed"})"));
  EXPECT_NE(ok["command_line"].get<std::string>().find("setup.exe"), std::string::npos) << ok;
  EXPECT_EQ(ok["setup_exit_code"], 2);
  EXPECT_EQ(ok["completion_code"], 2);
  EXPECT_EQ(ok["exit_code"], 2);
  EXPECT_EQ(ok["reboot"], "pending");
  EXPECT_EQ(ok["result"], "installed_restart_needed");
  EXPECT_TRUE(ok["first_error"].is_null());
  // Installed, but this definition names no software key: the inventory
  // step failed, and the record says so.
  EXPECT_EQ(ok["error"]["step"], "inventory") << ok;
  EXPECT_EQ(ok["error"]["reason"], "definition_incomplete") << ok;
  EXPECT_EQ(ok["start"].get<std::string>().size(), 25u) << ok["start"];
  EXPECT_LE(ok["start"].get<std::string>(), ok["end"].get<std::string>());

  EXPECT_EQ(r[1]["result"], "failed");
  EXPECT_EQ(r[1]["exit_code"], 1);
  EXPECT_EQ(r[1]["first_error"], "Completion Code (0x0) -> The Quellin Component failed to install");
  EXPECT_EQ(r[1]["error"]["step"], "setup_program");
  EXPECT_EQ(r[2]["mode"], "extract");
  EXPECT_EQ(r[2]["result"], "extracted");
  EXPECT_TRUE(r[2]["package_name"].is_null());
  EXPECT_TRUE(r[2]["setup_exit_code"].is_null());
  EXPECT_EQ(r[2]["checks"]["disk_space"], "passed");
  EXPECT_EQ(r[3]["result"], "failed");
  EXPECT_NE(r[3]["first_error"].get<std::string>().find("not a valid Package"), std::string::npos) << r[3];
  EXPECT_EQ(r[3]["error"]["reason"], "no_package") << r[3];

  std::set<std::string> ids;
  for (const auto& one : r) ids.insert(one["session_id"].get<std::string>());
  EXPECT_EQ(ids.size(), r.size()) << "session ids repeat";

  // brxlog reads them as the exact account.
  std::string text, error;
  ASSERT_EQ(brxlog::ConvertLogFile(Narrow(RecordPath()), brxlog::ToolOptions(), &text, &error), 0) << error;
  std::vector<nlohmann::json> read = Records(text);
  ASSERT_GE(read.size(), 4u);
  const nlohmann::json& last = read.back();
  EXPECT_EQ(last["status"], "complete");
  EXPECT_EQ(last["session_id"], r[3]["session_id"]);
  EXPECT_EQ(read[read.size() - 4]["source"], "e2erec1.exe");
  EXPECT_EQ(read[read.size() - 4]["return_code"], 2);
}

// Stubs that finish at the same moment each append their whole line: none
// lands inside another.
TEST(E2eInstallLog, StubsFinishingAtOnceWriteWholeRecords) {
  StubRun run;
  std::wstring package = BuildInstallPackage(run, L"e2erecpar.exe", 1, {});
  ASSERT_FALSE(package.empty());
  LogTail records(RecordPath());
  const int kStubs = 4;
  std::vector<PROCESS_INFORMATION> started;
  for (int i = 0; i < kStubs; ++i) {
    std::wstring line = QuoteArgument(package) + L" /silent";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, run.dir().path().c_str(), &si,
                               &pi));
    started.push_back(pi);
  }
  for (PROCESS_INFORMATION& pi : started) {
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  std::vector<nlohmann::json> r = Records(records.Appended());
  ASSERT_EQ(r.size(), static_cast<size_t>(kStubs));
  for (const auto& one : r) EXPECT_EQ(one["result"], "installed") << one;
}

// A power loss in the middle of a record leaves half a line: the next run's
// record starts a line of its own, so it is read whole and the cut line
// stays a line that readers skip.
TEST(E2eInstallLog, ARecordAfterACutLineIsWhole) {
  StubRun run;
  std::wstring package = BuildInstallPackage(run, L"e2ereccut.exe", 1, {});
  ASSERT_FALSE(package.empty());
  // A first run makes this test's log folder and record file as the stub does.
  EXPECT_EQ(run.Start(package, {L"/silent"}, Parent::kTest).exit_code, 1u);
  LogTail records(RecordPath());
  const std::string cut = "{\"schema\":1,\"session_id\":\"CUT-BY-POWER-LOSS\",\"stub_f";
  FILE* f = _wfopen(RecordPath().c_str(), L"ab");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fwrite(cut.data(), 1, cut.size(), f), cut.size());
  fclose(f);
  EXPECT_EQ(run.Start(package, {L"/silent"}, Parent::kTest).exit_code, 1u);

  std::string appended = records.Appended();
  ASSERT_EQ(appended.compare(0, cut.size() + 1, cut + "\n"), 0) << appended;
  std::vector<nlohmann::json> r = Records(appended.substr(cut.size() + 1));
  ASSERT_EQ(r.size(), 1u) << appended;
  EXPECT_EQ(r[0]["stub_file"], "e2ereccut.exe");
  EXPECT_EQ(r[0]["result"], "installed");
}

// Wine's event log keeps nothing, but traces each reported event to the
// debug output of the reporting process. event_trace.sh runs this case with
// that trace on and checks it for the event's id and facts; run on its own
// it has nothing to look at. The shipped stub is run unchanged.
TEST(E2eEventTrace, FailedInstallReportsItsEvent) {
  if (!getenv("BRX_EVENT_TRACE")) GTEST_SKIP() << "run by event_trace.sh";
  StubRun run(kShippedStub);
  std::wstring package = BuildInstallPackage(run, L"e2erecevt.exe", 0, {});
  ASSERT_FALSE(package.empty());
  EXPECT_EQ(run.Start(package, {L"/silent"}, Parent::kTest).exit_code, 0u);
}

}  // namespace
}  // namespace brxe2e
