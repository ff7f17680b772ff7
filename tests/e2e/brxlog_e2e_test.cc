// brxlog on the component log as the real stub writes it under Wine: two
// silent installs, one installed and one failed, read back from the machine's
// log file, and the same text cut off before its last footer.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "brxlog/brxlog_tool.h"
#include "install_runs.h"

namespace brxe2e {
namespace {

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> sessions;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) sessions.push_back(nlohmann::json::parse(line, nullptr, false));
  return sessions;
}

TEST(E2eInstallLog, BrxlogReadsTheSessionsTheStubWrote) {
  StubRun run;
  std::wstring installs = BuildInstallPackage(run, L"e2elog1.exe", 1, {});
  std::wstring fails = BuildInstallPackage(run, L"e2elog0.exe", 0, {});
  ASSERT_FALSE(installs.empty() || fails.empty());
  LogTail tail;
  EXPECT_EQ(run.Start(installs, {L"/silent"}, Parent::kTest).exit_code, 1u);
  EXPECT_EQ(run.Start(fails, {L"/silent"}, Parent::kTest).exit_code, 0u);
  std::string appended = tail.Appended();

  // The text these two runs appended: earlier tests share the machine's log,
  // and a stub one of them ended without footer leaves every later session
  // of the file ambiguous (its footer could still come).
  std::string out;
  ASSERT_TRUE(brxlog::ConvertLog(appended, brxlog::ToolOptions(), &out));
  std::vector<nlohmann::json> s = JsonLines(out);
  ASSERT_EQ(s.size(), 2u) << out;
  EXPECT_EQ(s[0]["status"], "complete") << out;
  EXPECT_EQ(s[0]["source"], "e2elog1.exe");
  EXPECT_NE(s[0]["version"], "");
  EXPECT_EQ(s[0].value("start", "").size(), 19u) << "the log date was not read: " << s[0]["log_date"];
  EXPECT_EQ(s[0]["return_code"], 1);
  EXPECT_EQ(s[0]["result"], "installed");
  EXPECT_EQ(s[0]["setup_program"], "setup.exe");
  EXPECT_EQ(s[0]["checks"],
            nlohmann::json::parse(R"({"wmi_service":"passed","virtual_guest":"passed","tpm":"passed",)"
                                  R"("disk_space":"passed"})"));
  EXPECT_FALSE(s[0].contains("first_error"));
  EXPECT_EQ(s[1]["source"], "e2elog0.exe");
  EXPECT_EQ(s[1]["result"], "failed");
  EXPECT_EQ(s[1]["first_error"], "Completion Code (0x0) -> The Quellin Component failed to install") << out;

  // The machine's log with the records beside it: each of these runs is
  // told once, from its record; its text session is matched to the record by
  // the stub's name and the header's time, not told again.
  std::string error;
  ASSERT_EQ(brxlog::ConvertLogFile(Narrow(MainLogPath()), brxlog::ToolOptions(), &out, &error), 0) << error;
  size_t from_records = 0, from_text = 0;
  for (const nlohmann::json& one : JsonLines(out)) {
    if (one.value("source", "") != "e2elog1.exe" && one.value("source", "") != "e2elog0.exe") continue;
    ++(one.contains("origin") ? from_text : from_records);
  }
  EXPECT_GE(from_records, 2u);
  EXPECT_EQ(from_text, 0u) << out;

  // The same two sessions with the second cut off before its footer: a stub
  // that died there. The first stays whole; the second is kept, as incomplete.
  std::string cut = appended.substr(0, appended.rfind("Log Session End."));
  ASSERT_TRUE(brxlog::ConvertLog(cut, brxlog::ToolOptions(), &out));
  s = JsonLines(out);
  ASSERT_EQ(s.size(), 2u) << out;
  EXPECT_EQ(s[0]["status"], "complete");
  EXPECT_EQ(s[1]["status"], "incomplete");
  EXPECT_EQ(s[1]["source"], "e2elog0.exe");
}

// An argument that carries line ends and a footer of its own is logged as
// one line fragment: the session keeps its one footer, and brxlog reports the
// failed install as failed.
TEST(E2eInstallLog, ArgumentCannotForgeASessionFooter) {
  StubRun run;
  std::wstring fails = BuildInstallPackage(run, L"e2eforge.exe", 0, {});
  ASSERT_FALSE(fails.empty());
  const std::wstring rule(75, L'=');
  const std::wstring forged = L"x\r\n\r\nLog Session End. [00:00:00]\r\nReturn Code (1)\r\n" + rule + L"\r\n\r\n";
  LogTail tail;
  EXPECT_EQ(run.Start(fails, {L"/silent", forged}, Parent::kTest).exit_code, 0u);
  std::string appended = tail.Appended();
  size_t footers = 0;  // lines that begin with a footer's code
  for (size_t at = appended.find("\nReturn Code ("); at != std::string::npos;
       at = appended.find("\nReturn Code (", at + 1)) {
    ++footers;
  }
  EXPECT_EQ(footers, 1u) << appended;
  EXPECT_NE(appended.find(" \"x\\r\\n\\r\\nLog Session End. [00:00:00]\\r\\nReturn Code (1)\\r\\n==="),
            std::string::npos)
      << appended;

  std::string out;
  ASSERT_TRUE(brxlog::ConvertLog(appended, brxlog::ToolOptions(), &out));
  std::vector<nlohmann::json> s = JsonLines(out);
  ASSERT_EQ(s.size(), 1u) << out;
  EXPECT_EQ(s[0]["status"], "complete") << out;
  EXPECT_EQ(s[0]["return_code"], 0) << out;
  EXPECT_EQ(s[0]["result"], "failed") << out;
}

}  // namespace
}  // namespace brxe2e
