// brxlog on logs built here in the exact form the stub writes them: sessions
// whole, cut off by a crash, written by two stubs at once, filtered, and
// files that are no component log at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "brxlog/brxlog_tool.h"
#include "brxlog/record_json.h"
#include "log/cmp_log2.h"
#include "log/session_record.h"
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace brxlog {
namespace {

const std::string kRule(75, '=');

std::string Header(const std::string& source, const std::string& date) {
  return kRule + "\r\nSource:          " + source + "\r\nVersion:         1.2.3.4\r\nLog Date:        " + date +
         "\r\n\r\nLog Session Start...\r\n\r\n";
}

std::string Footer(const std::string& time, int code) {
  return "\r\n\r\nLog Session End. [" + time + "]\r\nReturn Code (" + std::to_string(code) + ")\r\n" + kRule +
         "\r\n\r\n";
}

const std::string kChecksPass =
    "Validating WMI service is available...\r\n\r\nWMI service is available.\r\n\r\n"
    "Checking for virtualized environment...\r\n\r\nVirtualized environment not detected.\r\n\r\n"
    "Checking TPM (Trusted Platform Module) state...\r\n\r\nTPM State determined.\r\n\r\n"
    "TPM (Trusted Platform Module) is in CORRECT setting. Installation will continue.\r\n\r\n"
    "Verifying required disk space for Quellin Component Installation is available...\r\n\r\n"
    "Required disk space is available. Success.\r\n\r\n";
const std::string kLaunch =
    "Setup program = [setup.exe]\r\n\r\nInstallation command line = [setup.exe /s /pw=\xA7****]\r\n\r\n";
const std::string kNotAttempted =
    "Completion Code (0x3) -> The Quellin Component installation was not attempted because the required "
    "hardware was not present,\r\nthe software was current, or there was nothing to install\r\n\r\n";
const std::string kNoWmi =
    "Validating WMI service is available...\r\n\r\n**ERROR** - \r\n\r\nThe WMI service is not running.\r\n\r\n"
    "**ERROR** - No WMI Service Available...FAILURE CODE (0) ...\r\n\r\n";
const std::string kTpmCaution =
    "Checking TPM (Trusted Platform Module) state...\r\n\r\n**WARNING** - \r\n\r\nDisable the TPM.\r\n\r\n"
    "Verifying required disk space for Quellin Component Installation is available...\r\n\r\n";

std::vector<nlohmann::json> Sessions(const std::string& log, const ToolOptions& options = ToolOptions()) {
  std::string out;
  EXPECT_TRUE(ConvertLog(log, options, &out)) << log;
  std::vector<nlohmann::json> sessions;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    sessions.push_back(nlohmann::json::parse(line, nullptr, false));
    EXPECT_FALSE(sessions.back().is_discarded()) << line;
  }
  return sessions;
}

// "status source [return code]" of each session: what a collector keys on.
std::string Outline(const std::vector<nlohmann::json>& sessions) {
  std::string text;
  for (const auto& s : sessions) {
    text += s.value("status", "?") + " " + s.value("source", "?");
    if (s.contains("return_code")) text += " " + std::to_string(s["return_code"].get<int>());
    text += ";";
  }
  return text;
}

TEST(Brxlog, SessionsWholeCutOffAndInterleaved) {
  struct Case {
    const char* what;
    std::string log;
    const char* outline;
  } cases[] = {
      {"two whole sessions", Header("a.exe", "12/8/2026 23:50:01") + kChecksPass + Footer("23:50:09", 1) +
                                 Header("b.exe", "12/9/2026 01:00:00") + kNoWmi + Footer("01:00:01", 0),
       "complete a.exe 1;complete b.exe 0;"},
      // a.exe may have been ended, or may still run and b.exe have been
      // ended: whose footer this is cannot be told.
      {"a stub ended without a trace, then a whole session",
       Header("a.exe", "12/8/2026 10:00:00") + kChecksPass + Header("b.exe", "12/8/2026 10:05:00") + kLaunch +
           Footer("10:06:00", 2),
       "ambiguous a.exe;ambiguous b.exe;"},
      {"cut mid-line, then the next header", Header("a.exe", "12/8/2026 10:00:00") + "Validating WMI serv" +
                                                 Header("b.exe", "12/8/2026 10:05:00") + kLaunch + Footer("10:06:00", 2),
       "incomplete a.exe;complete b.exe 2;"},
      {"power lost, NUL bytes, then a header on a line of its own",
       Header("a.exe", "12/8/2026 10:00:00") + "Validating" + std::string(16, '\0') + "\r\n" +
           Header("b.exe", "12/8/2026 10:05:00") + Footer("10:06:00", 1),
       "incomplete a.exe;complete b.exe 1;"},
      {"a line a running stub finishes later is no cut",
       Header("a.exe", "12/8/2026 10:00:00") + "Changing current directory to extraction directory [C:\\x]... " +
           Header("b.exe", "12/8/2026 10:00:01") + "Success.\r\n\r\n" + Footer("10:00:05", 1) +
           Footer("10:00:07", 0),
       "interleaved a.exe;interleaved b.exe;"},
      // The long install's footer comes while c.exe runs alone in the text:
      // it is never given to c.exe; once every footer is accounted for the
      // next session is read for sure again.
      {"a long install overlaps two others",
       Header("a.exe", "12/8/2026 10:00:00") + Header("b.exe", "12/8/2026 10:01:00") + Footer("10:02:00", 1) +
           Header("c.exe", "12/8/2026 10:03:00") + Footer("10:30:00", 0) + Footer("10:31:00", 1) +
           Header("d.exe", "12/8/2026 11:00:00") + Footer("11:00:01", 3),
       "interleaved a.exe;interleaved b.exe;interleaved c.exe;complete d.exe 3;"},
      {"power lost mid-line", Header("a.exe", "12/8/2026 10:00:00") + "Validating WMI serv" + std::string(16, '\0'),
       "incomplete a.exe;"},
      {"two stubs at once, then one alone",
       Header("a.exe", "12/8/2026 10:00:00") + "Validating WMI service is available...\r\n\r\n" +
           Header("b.exe", "12/8/2026 10:00:01") + kChecksPass + Footer("10:00:05", 1) + kLaunch +
           Footer("10:00:07", 0) + Header("c.exe", "12/8/2026 11:00:00") + Footer("11:00:01", 3),
       "interleaved a.exe;interleaved b.exe;complete c.exe 3;"},
      {"a crash inside two stubs at once",
       Header("a.exe", "12/8/2026 10:00:00") + Header("b.exe", "12/8/2026 10:00:01") +
           Header("c.exe", "12/8/2026 10:00:02") + Footer("10:00:05", 1) + Footer("10:00:07", 1),
       "ambiguous a.exe;ambiguous b.exe;ambiguous c.exe;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Outline(Sessions(c.log)), c.outline) << c.what;
  }
}

TEST(Brxlog, SessionFieldsCarryWhatACollectorNeeds) {
  std::string log = Header("cp0042.exe", "12/8/2026 23:50:01") + kChecksPass + kLaunch + kNotAttempted +
                    Footer("23:50:09", 3) + Header("cp0043.exe", "2026/12/09 1:02:03") + kNoWmi +
                    Footer("1:02:04", 0) + Header("cp0044.exe", "09.12.2026 04:05:06") + kTpmCaution +
                    "Extracting compo" +                          // power lost
                    Header("cp0045.exe", "12/9/2026 5:00:00") +  // no TPM record: no verdict, the run goes on
                    "Checking TPM (Trusted Platform Module) state...\r\n\r\nTPM State determined.\r\n\r\n"
                    "Creating extraction directory for Quellin Component [cp0045.exe]...\r\n\r\n";
  std::vector<nlohmann::json> s = Sessions(log);
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0], nlohmann::json::parse(
            R"({"checks":{"disk_space":"passed","tpm":"passed","virtual_guest":"passed","wmi_service":"passed"},)"
            R"("command_line":"setup.exe /s /pw=\u00a7****","completion_text":"The Quellin Component installation )"
            R"(was not attempted because the required hardware was not present, the software was current, or there )"
            R"(was nothing to install","end_time":"23:50:09","line":2,"log_date":"12/8/2026 23:50:01",)"
            R"("result":"not_attempted","return_code":3,"setup_program":"setup.exe","source":"cp0042.exe",)"
            R"("start":"2026-12-08T23:50:01","status":"complete","version":"1.2.3.4"})"));
  EXPECT_EQ(s[1]["start"], "2026-12-09T01:02:03");
  EXPECT_EQ(s[1]["result"], "failed");
  EXPECT_EQ(s[1]["checks"].dump(), R"({"wmi_service":"failed"})");
  EXPECT_EQ(s[1]["first_error"], "The WMI service is not running.");
  EXPECT_EQ(s[2]["start"], "2026-12-09T04:05:06");
  EXPECT_EQ(s[2]["checks"].dump(), R"({"disk_space":"unknown","tpm":"warning"})");
  EXPECT_FALSE(s[2].contains("return_code"));
  EXPECT_EQ(s[3]["checks"].dump(), R"({"tpm":"passed"})");
}

TEST(Brxlog, SinceAndLastPickSessions) {
  std::string log = Header("a.exe", "3/4/2026 10:00:00") + Footer("10:00:01", 1) +
                    Header("b.exe", "5/4/2026 10:00:00") + Footer("10:00:01", 1) +
                    Header("c.exe", "not a date") + Footer("10:00:01", 1);
  struct Case {
    const char* since;
    bool day_first;
    int last;  // -1: all
    const char* outline;
  } cases[] = {
      {"", false, -1, "complete a.exe 1;complete b.exe 1;complete c.exe 1;"},
      {"", false, 2, "complete b.exe 1;complete c.exe 1;"},
      {"", false, 0, ""},
      {"2026-04-01", false, -1, "complete b.exe 1;"},          // May 4th, month first
      {"2026-04-04T10:00", true, -1, "complete b.exe 1;"},     // 5 April, day first
      {"2026-03-04 10:00:01", false, 1, "complete b.exe 1;"},
  };
  for (const Case& c : cases) {
    ToolOptions options;
    ASSERT_TRUE(c.since[0] == '\0' || ParseSince(c.since, &options.since)) << c.since;
    options.order = c.day_first ? DateOrder::kDayFirst : DateOrder::kMonthFirst;
    options.has_last = c.last >= 0;
    options.last = c.last >= 0 ? static_cast<size_t>(c.last) : 0;
    EXPECT_EQ(Outline(Sessions(log, options)), c.outline) << c.since << " last " << c.last;
  }
  std::string iso;
  for (const char* bad : {"2026-13-01", "yesterday", "2026-01-01T25:00", "2026-01-01X"}) {
    EXPECT_FALSE(ParseSince(bad, &iso)) << bad;
  }
}

TEST(Brxlog, FilesThatAreNoLogAreRefused) {
  std::wstring dir = brxtest::ScratchDir("brxlog");
  // Narrow paths, as brxlog takes them from its command line.
  std::string not_log = brxtest::Narrow(brxtest::WriteFile(
      brxtest::JoinPath(dir, L"notes.txt"), "Source:          x.exe\r\nReturn Code (1)\r\n" + kRule + "\r\n"));
  // No line end in 300,000 bytes: one over-long line, cut while reading.
  std::string binary = brxtest::Narrow(brxtest::WriteFile(brxtest::JoinPath(dir, L"random.bin"),
                                                          std::string(300000, '\x01')));
  std::string missing = brxtest::Narrow(brxtest::JoinPath(dir, L"missing.log"));
  for (const std::string& path : {not_log, binary, missing}) {
    std::string out, error;
    EXPECT_EQ(ConvertLogFile(path, ToolOptions(), &out, &error), 1) << path;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_TRUE(out.empty());
  }
}

// A record line as the stub writes it.
std::string RecordLine(const wchar_t* stub, int32_t completion, const wchar_t* start, const wchar_t* end = nullptr) {
  brx::SessionRecord r;
  r.session_id = std::wstring(L"0A1B2C3D-0000-4000-8000-00000000000") + stub[0];
  r.stub_file = stub;
  r.start = start;
  r.end = end ? end : start;
  r.mode = brx::record::Mode::kSilent;
  r.completion_code = completion;
  r.exit_code = completion;
  r.NoteFailure("checks", 0, brx::record::ErrorKind::kWin32, L"service_not_running",
                L"The WMI service is not running.\r\n");
  return brx::SessionRecordLine(r);
}

TEST(Brxlog, RecordsAreReadExactlyInTheSameForm) {
  std::string records = RecordLine(L"a.exe", 1, L"2026-12-08T10:00:00+01:00") + "{\"schema\":1,\"sess" +
                        "\n" + RecordLine(L"b.exe", 0, L"2026-12-09T10:00:00+01:00") + "not json\n";
  std::string out, skipped;
  ASSERT_TRUE(ConvertRecords(records, ToolOptions(), &out, &skipped));
  EXPECT_EQ("2 lines are no session record (lines 2, 4): skipped", skipped);
  std::vector<nlohmann::json> s;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) s.push_back(nlohmann::json::parse(line));
  EXPECT_EQ("complete a.exe 1;complete b.exe 0;", Outline(s));
  EXPECT_EQ("installed", s[0]["result"]);
  EXPECT_TRUE(s[0]["first_error"].is_null());
  EXPECT_EQ("The WMI service is not running.", s[1]["first_error"]);
  EXPECT_EQ("0A1B2C3D-0000-4000-8000-00000000000b", s[1]["session_id"]);
  EXPECT_EQ("skipped", s[1]["checks"]["tpm"]);
  EXPECT_EQ("service_not_running", s[1]["error"]["reason"]);

  ToolOptions since;
  ASSERT_TRUE(ParseSince("2026-12-09", &since.since));
  ASSERT_TRUE(ConvertRecords(records, since, &out, &skipped));
  EXPECT_EQ(1, std::count(out.begin(), out.end(), '\n'));
  EXPECT_FALSE(ConvertRecords("garbage\n\n", ToolOptions(), &out, &skipped));
}

// The records beside a log are the exact account and are read instead of it
// (unless asked not to); a records file without a record leaves the log to be read.
TEST(Brxlog, RecordsBesideTheLogAreReadInstead) {
  std::wstring dir = brxtest::ScratchDir("brxlog");
  std::string log = brxtest::Narrow(brxtest::WriteFile(brxtest::JoinPath(dir, L"server1-brxsetup.log"),
                                                       Header("text.exe", "12/8/2026 10:00:00") +
                                                           Footer("10:00:01", 1)));
  EXPECT_EQ(brxtest::Narrow(brxtest::JoinPath(dir, L"server1-brxsetup.jsonl")), RecordsBeside(log));
  EXPECT_EQ("", RecordsBeside("notes.txt"));
  std::string out, error;
  ASSERT_EQ(0, ConvertLogFile(log, ToolOptions(), &out, &error)) << error;
  EXPECT_NE(std::string::npos, out.find("text.exe"));

  brxtest::WriteFile(brxtest::JoinPath(dir, L"server1-brxsetup.jsonl"), "cut off");
  ASSERT_EQ(0, ConvertLogFile(log, ToolOptions(), &out, &error)) << error;
  EXPECT_NE(std::string::npos, out.find("text.exe"));

  brxtest::WriteFile(brxtest::JoinPath(dir, L"server1-brxsetup.jsonl"),
                     RecordLine(L"text.exe", 2, L"2026-12-08T09:59:58+01:00", L"2026-12-08T10:00:01+01:00"));
  ASSERT_EQ(0, ConvertLogFile(log, ToolOptions(), &out, &error)) << error;
  EXPECT_EQ(1, std::count(out.begin(), out.end(), '\n')) << out;
  EXPECT_NE(std::string::npos, out.find("\"session_id\""));

  ToolOptions text;
  text.text_log_only = true;
  ASSERT_EQ(0, ConvertLogFile(log, text, &out, &error)) << error;
  EXPECT_NE(std::string::npos, out.find("text.exe"));
}

// Runs that left a header and no record (killed, or cut off by a power loss)
// are reported from the text log beside the records, in the order of their
// starts; the text sessions that have a record are not repeated.
TEST(Brxlog, RunsWithoutARecordAreReportedBesideTheRecords) {
  std::wstring dir = brxtest::ScratchDir("brxlog");
  std::string log = Header("a.exe", "12/8/2026 10:00:05") + kChecksPass + Footer("10:00:20", 1) +
                    Header("cut.exe", "12/8/2026 10:05:00") + "Copying compo" +      // the power went
                    Header("killed.exe", "12/8/2026 10:10:00") + kChecksPass +        // ended by force
                    Header("c.exe", "12/8/2026 10:20:02") + Footer("10:20:09", 1) +
                    Header("e.exe", "8/12/2026 10:30:00") + Footer("10:30:01", 1);  // a day-first server
  std::string records =
      RecordLine(L"a.exe", 1, L"2026-12-08T10:00:00+01:00", L"2026-12-08T10:00:21+01:00") +
      RecordLine(L"c.exe", 1, L"2026-12-08T10:20:00+01:00", L"2026-12-08T10:20:10+01:00") +
      RecordLine(L"e.exe", 1, L"2026-12-08T10:29:59+01:00", L"2026-12-08T10:30:02+01:00");
  std::string path = brxtest::Narrow(brxtest::WriteFile(brxtest::JoinPath(dir, L"brxsetup.log"), log));
  brxtest::WriteFile(brxtest::JoinPath(dir, L"brxsetup.jsonl"), records);

  std::string out, error;
  ASSERT_EQ(0, ConvertLogFile(path, ToolOptions(), &out, &error)) << error;
  std::vector<nlohmann::json> s;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) s.push_back(nlohmann::json::parse(line));
  EXPECT_EQ("complete a.exe 1;incomplete cut.exe;ambiguous killed.exe;complete c.exe 1;complete e.exe 1;", Outline(s));
  ASSERT_EQ(5u, s.size());
  EXPECT_EQ("text_log", s[1]["origin"]);
  EXPECT_EQ("text_log", s[2]["origin"]);
  EXPECT_TRUE(s[3].contains("session_id"));
  EXPECT_TRUE(s[4].contains("session_id"));

  ToolOptions last;
  last.has_last = true;
  last.last = 3;
  ASSERT_EQ(0, ConvertLogFile(path, last, &out, &error)) << error;
  EXPECT_NE(std::string::npos, out.find("killed.exe"));
  EXPECT_EQ(std::string::npos, out.find("cut.exe"));
}

// A line that is no record never stops the reader: not a line nesting 63,000
// arrays (which would exhaust its stack), nor another writer's record.
TEST(Brxlog, LinesThatAreNoRecordAreSkippedAndCounted) {
  std::string deep = std::string(63000, '[') + std::string(63000, ']');
  std::string records = RecordLine(L"a.exe", 1, L"2026-12-08T10:00:00+01:00") + deep + "\n" +
                        "{\"record\":\"bundle\",\"schema\":1,\"session_id\":\"x\"}\n" +
                        "{\"schema\":1,\"session_id\":\"y\",\"deep\":" + deep + "}\n" +
                        RecordLine(L"b.exe", 0, L"2026-12-08T11:00:00+01:00");
  std::string out, skipped;
  ASSERT_TRUE(ConvertRecords(records, ToolOptions(), &out, &skipped));
  EXPECT_EQ(2, std::count(out.begin(), out.end(), '\n')) << out.substr(0, 200);
  EXPECT_EQ("3 lines are no session record (lines 2, 3, 4): skipped", skipped);
  // Brackets inside texts are no nesting.
  EXPECT_TRUE(NestingWithin("{\"a\":\"" + deep + "\\\"[\"}", 2));
  EXPECT_FALSE(NestingWithin("[[[", 2));
}

// The text log is in the server's ANSI code page: natively Windows-1252, so
// the typographic characters it writes are themselves, not C1 controls.
TEST(Brxlog, TheLogIsReadInTheServersCodePage) {
  std::string bytes = "\x92\x85\x80\xE9\x81";
#ifdef _WIN32
  std::wstring expected = brx::platform::AnsiToWide(bytes);
#else
  std::wstring expected = L"\x2019\x2026\x20AC\xE9\x81";  // 0x81 is undefined: as Windows maps it
#endif
  EXPECT_EQ(expected, DecodeLogLine(bytes));
  std::vector<nlohmann::json> s =
      Sessions(Header("caf\xE9\x92s.exe", "12/8/2026 10:00:00") + "Setup program = [\x85\x80.exe]\r\n" +
               Footer("10:00:01", 1));
  ASSERT_EQ(1u, s.size());
  EXPECT_EQ(brx::platform::WideToUtf8(DecodeLogLine("caf\xE9\x92s.exe")), s[0]["source"]);
  EXPECT_EQ(brx::platform::WideToUtf8(DecodeLogLine("\x85\x80.exe")), s[0]["setup_program"]);
}

}  // namespace
}  // namespace brxlog
