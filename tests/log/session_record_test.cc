#include "log/session_record.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "log/cmp_log2.h"
#include "log/json_line.h"

namespace brx {
namespace {

using record::Mode;

SessionRecord Installed() {
  SessionRecord r;
  r.session_id = L"0A1B2C3D-0000-4000-8000-000000000001";
  r.stub_file = L"cp0042.exe";
  r.stub_version = L"1.2.3.4";
  r.package_name = L"Widget Firmware";
  r.package_version = L"2.10";
  r.sw_key = L"CP0042";
  r.definition = L"cp0042.xml";
  r.start = L"2026-12-08T14:03:05+01:00";
  r.end = L"2026-12-08T14:04:00+01:00";
  r.mode = Mode::kSilent;
  for (auto& c : r.checks) c = record::Outcome::kPassed;
  r.SetCommandLine(L"setup.exe /s /pw=*****");
  r.SetSetupExitCode(1);
  r.completion_code = 1;
  r.exit_code = 1;
  return r;
}

nlohmann::ordered_json Parse(const std::string& line) {
  EXPECT_FALSE(line.empty());
  EXPECT_EQ('\n', line.back());
  EXPECT_EQ(line.size() - 1, line.find('\n')) << "one line";
  return nlohmann::ordered_json::parse(line);
}

TEST(SessionRecordTest, EscapesWhatJsonCannotHoldAsIs) {
  struct {
    std::wstring in;
    std::string out;
  } cases[] = {
      {L"plain", "plain"},
      {L"say \"hi\"", "say \\\"hi\\\""},
      {L"C:\\dir\\", "C:\\\\dir\\\\"},
      {L"a\r\nb\tc", "a\\r\\nb\\tc"},
      {std::wstring(L"\x01\x1F") + L"\x7F", "\\u0001\\u001F\x7F"},
      {L"caf\x00E9 \x65E5", "caf\xC3\xA9 \xE6\x97\xA5"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, JsonEscape(c.in));
}

TEST(SessionRecordTest, LineHoldsEveryFieldInOrder) {
  nlohmann::ordered_json j = Parse(SessionRecordLine(Installed()));
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  std::vector<std::string> expected = {"schema", "session_id", "stub_file", "stub_version", "package_name",
                                       "package_version", "sw_key", "definition", "start", "end", "mode", "checks",
                                       "command_line", "setup_exit_code", "completion_code", "exit_code", "reboot",
                                       "result", "first_error"};
  EXPECT_EQ(expected, keys);
  EXPECT_EQ(1, j["schema"]);
  EXPECT_EQ("Widget Firmware", j["package_name"]);
  EXPECT_EQ("2026-12-08T14:03:05+01:00", j["start"]);
  EXPECT_EQ("silent", j["mode"]);
  EXPECT_EQ((nlohmann::ordered_json{{"wmi_service", "passed"}, {"virtual_guest", "passed"}, {"tpm", "passed"},
                                    {"disk_space", "passed"}}),
            j["checks"]);
  EXPECT_EQ("setup.exe /s /pw=*****", j["command_line"]);
  EXPECT_EQ(1, j["setup_exit_code"]);
  EXPECT_EQ("not_needed", j["reboot"]);
  EXPECT_EQ("installed", j["result"]);
  EXPECT_TRUE(j["first_error"].is_null());
}

TEST(SessionRecordTest, UnknownFactsAreNull) {
  SessionRecord r;
  r.stub_file = L"pkg.exe";
  r.mode = Mode::kDialog;
  nlohmann::ordered_json j = Parse(SessionRecordLine(r));
  for (const char* key : {"stub_version", "package_name", "package_version", "sw_key", "definition", "command_line",
                          "setup_exit_code"}) {
    EXPECT_TRUE(j[key].is_null()) << key;
  }
  EXPECT_EQ("skipped", j["checks"]["tpm"]);
}

// However long and hostile the texts, the line stays one bounded line of
// valid JSON.
TEST(SessionRecordTest, HostileTextsStayOneBoundedLine) {
  SessionRecord r = Installed();
  std::wstring hostile(100000, L'\n');
  hostile += L"\"}\r\n{\"result\":\"installed\"}";
  r.package_name = r.command_line = r.stub_file = r.definition = hostile;
  r.completion_code = 0;
  r.NoteError(L"x" + hostile);
  std::string line = SessionRecordLine(r);
  EXPECT_LE(line.size(), kMaxRecordBytes);
  nlohmann::ordered_json j = Parse(line);
  EXPECT_EQ("failed", j["result"]);
  EXPECT_EQ("x", j["first_error"]);
}

TEST(SessionRecordTest, FirstErrorComesFromWhatTheRunLogged) {
  struct Entry {
    unsigned target;
    int level;
    const wchar_t* message;
  };
  struct Case {
    std::vector<Entry> entries;
    int32_t completion;
    const wchar_t* first_error;
  } cases[] = {
      // The first error entry wins; its text is the first line that is not blank.
      {{{LOG_BOTH_TAGGED, LEVEL_INFO, L"Validating...\r\n"},
        {LOG_BOTH_TAGGED, LEVEL_ERROR, L"\r\n\r\nThe WMI service is not running.\r\n\r\n"},
        {LOG_BOTH_TAGGED, LEVEL_ERROR, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n"}},
       0,
       L"The WMI service is not running."},
      // A verbose-only cause does not count.
      {{{LOG_VERBOSE_TAGGED, LEVEL_ERROR, L"Creating the directory [x]: result 0, Windows error 5.\r\n"},
        {LOG_BOTH_TAGGED, LEVEL_INFO, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n"}},
       0,
       L"Installation Halted...FAILURE CODE (0)..."},
      // A setup program that failed logs no error: its completion line says it.
      {{{LOG_BOTH_TAGGED, LEVEL_INFO, L"Completion Code (0x0) -> The Quellin Component failed to install\r\n\r\n"}},
       0,
       L"Completion Code (0x0) -> The Quellin Component failed to install"},
      // A run that succeeded has none, whatever it logged.
      {{{LOG_BOTH_TAGGED, LEVEL_ERROR, L"something\r\n"}}, 1, L""},
      {{{LOG_BOTH_TAGGED, LEVEL_ERROR, L"something\r\n"}}, 3, L""},
      // An unknown completion code is no success.
      {{{LOG_BOTH_TAGGED, LEVEL_INFO, L"Completion Code (0x7) -> unknown\r\n"}}, 7, L"Completion Code (0x7) -> unknown"},
  };
  for (const Case& c : cases) {
    SessionRecord r;
    r.mode = Mode::kSilent;
    for (const Entry& e : c.entries) r.NoteEntry(e.target, e.level, e.message);
    r.completion_code = c.completion;
    EXPECT_EQ(c.first_error, r.FirstError());
  }
}

TEST(SessionRecordTest, WarningsCountOnlyWhatReachesTheMainLog) {
  SessionRecord r;
  r.NoteEntry(LOG_VERBOSE_TAGGED, LEVEL_WARNING, L"WMI could not be read.\r\n");
  EXPECT_EQ(0u, r.warnings);
  r.NoteEntry(LOG_BOTH_TAGGED, LEVEL_WARNING, L"caution\r\n");
  EXPECT_EQ(1u, r.warnings);
}

// The log shows every entry to its record, also while no file is open.
TEST(SessionRecordTest, TheLogShowsItsEntriesToTheRecord) {
  CCmpLog2 log(L"");
  SessionRecord r;
  log.AttachRecord(&r);
  log.Write(LOG_BOTH_TAGGED, LEVEL_CRITICAL, L"stub", 0, L"A package definition file was not found.\r\n");
  log.AttachRecord(nullptr);
  r.completion_code = 0;
  EXPECT_EQ(L"A package definition file was not found.", r.FirstError());
}

TEST(SessionRecordTest, EventIdAndTypeFollowTheResult) {
  using platform::EventType;
  struct {
    Mode mode;
    int32_t completion;
    const char* result;
    uint32_t id;
    EventType type;
  } cases[] = {
      {Mode::kSilent, 1, "installed", 1000, EventType::kInformation},
      {Mode::kNoPrompt, 2, "installed_restart_needed", 1001, EventType::kWarning},
      {Mode::kDialog, 0, "failed", 1002, EventType::kError},
      {Mode::kDialog, 3, "not_attempted", 1003, EventType::kInformation},
      {Mode::kSilent, 7, "unknown", 1002, EventType::kError},
      {Mode::kExtract, 1, "extracted", 1000, EventType::kInformation},
      {Mode::kExtract, 0, "failed", 1002, EventType::kError},
  };
  for (const auto& c : cases) {
    SessionRecord r;
    r.mode = c.mode;
    r.completion_code = c.completion;
    EXPECT_STREQ(c.result, r.Result());
    EXPECT_EQ(c.id, SessionEventId(r)) << c.result;
    EXPECT_EQ(c.type, SessionEventType(r)) << c.result;
  }
}

// The event carries the record's values in the record's field order.
TEST(SessionRecordTest, EventStringsAreTheFieldsInOrder) {
  SessionRecord r = Installed();
  r.checks[2] = record::Outcome::kWarning;
  std::vector<std::wstring> expected = {L"1", r.session_id, L"cp0042.exe", L"1.2.3.4", L"Widget Firmware", L"2.10",
                                        L"CP0042", L"cp0042.xml", r.start, r.end, L"silent",
                                        L"wmi_service=passed virtual_guest=passed tpm=warning disk_space=passed",
                                        L"setup.exe /s /pw=*****", L"1", L"1", L"1", L"not_needed", L"installed",
                                        L""};
  EXPECT_EQ(expected, SessionEventStrings(r));
}

}  // namespace
}  // namespace brx
