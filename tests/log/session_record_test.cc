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
                                       "result", "first_error", "error"};
  EXPECT_EQ(expected, keys);
  EXPECT_EQ(2, j["schema"]);
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
  r.NoteFailure("extract", 5, record::ErrorKind::kWin32, hostile, L"x" + hostile);
  std::string line = SessionRecordLine(r);
  EXPECT_LE(line.size(), kMaxRecordBytes);
  nlohmann::ordered_json j = Parse(line);
  EXPECT_EQ("failed", j["result"]);
  EXPECT_EQ("x", j["first_error"]);
  EXPECT_EQ("extract", j["error"]["step"]);
}

// The error object is the first failure noted; first_error is made from it,
// never from what the log says, and only for a run that failed.
TEST(SessionRecordTest, ErrorAndFirstErrorComeFromTheFirstFailure) {
  using record::ErrorKind;
  struct Note {
    const char* step;
    uint32_t code;
    ErrorKind kind;
    const wchar_t* reason;
    const wchar_t* text;
  };
  struct Case {
    std::vector<Note> notes;
    int32_t completion;
    const char* error_json;  // "null" or the object
    const wchar_t* first_error;
  } cases[] = {
      {{{"extraction_directory", 5, ErrorKind::kWin32, L"is a junction", L""},
        {"extract", 2, ErrorKind::kWin32, L"", L""}},
       0,
       R"({"step":"extraction_directory","code":5,"windows_error":"win32","reason":"is a junction"})",
       L"extraction_directory failed: is a junction (win32 error 5)"},
      {{{"checks", 0x80041003u, ErrorKind::kHresult, L"", L""}},
       0,
       R"({"step":"checks","code":2147749891,"windows_error":"hresult","reason":null})",
       L"checks failed (hresult error 2147749891)"},
      {{{"package", 0, ErrorKind::kWin32, L"no_package", L"\r\nA package definition file was not found.\r\n"}},
       0,
       R"({"step":"package","code":0,"windows_error":null,"reason":"no_package"})",
       L"A package definition file was not found."},
      // A step may fail without failing the run: error names it, first_error stays null.
      {{{"inventory", 5, ErrorKind::kWin32, L"", L""}},
       1,
       R"({"step":"inventory","code":5,"windows_error":"win32","reason":null})",
       L""},
      {{}, 1, "null", L""},
  };
  for (const Case& c : cases) {
    SessionRecord r = Installed();
    for (const Note& n : c.notes) r.NoteFailure(n.step, n.code, n.kind, n.reason, n.text);
    r.completion_code = c.completion;
    EXPECT_EQ(c.first_error, r.FirstError());
    nlohmann::ordered_json j = Parse(SessionRecordLine(r));
    EXPECT_EQ(nlohmann::ordered_json::parse(c.error_json), j["error"]) << c.error_json;
    if (*c.first_error) {
      std::string first_error = j["first_error"].get<std::string>();
      EXPECT_EQ(r.FirstError(), std::wstring(first_error.begin(), first_error.end()));
    }
  }
}

TEST(SessionRecordTest, WarningsCountOnlyWhatReachesTheMainLog) {
  SessionRecord r;
  r.NoteEntry(LOG_VERBOSE_TAGGED, LEVEL_WARNING, L"WMI could not be read.\r\n");
  EXPECT_EQ(0u, r.warnings);
  r.NoteEntry(LOG_BOTH_TAGGED, LEVEL_WARNING, L"caution\r\n");
  EXPECT_EQ(1u, r.warnings);
}

// The log shows every entry to its record, also while no file is open; an
// error line is no failure of its own.
TEST(SessionRecordTest, TheLogShowsItsEntriesToTheRecord) {
  CCmpLog2 log(L"");
  SessionRecord r;
  log.AttachRecord(&r);
  log.Write(LOG_BOTH_TAGGED, LEVEL_WARNING, L"stub", 0, L"A caution.\r\n");
  log.Write(LOG_BOTH_TAGGED, LEVEL_CRITICAL, L"stub", 0, L"A package definition file was not found.\r\n");
  log.AttachRecord(nullptr);
  r.completion_code = 0;
  EXPECT_EQ(1u, r.warnings);
  EXPECT_FALSE(r.has_error);
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
  std::vector<std::wstring> expected = {L"2", r.session_id, L"cp0042.exe", L"1.2.3.4", L"Widget Firmware", L"2.10",
                                        L"CP0042", L"cp0042.xml", r.start, r.end, L"silent",
                                        L"wmi_service=passed virtual_guest=passed tpm=warning disk_space=passed",
                                        L"setup.exe /s /pw=*****", L"1", L"1", L"1", L"not_needed", L"installed",
                                        L"", L"", L"", L"", L""};
  EXPECT_EQ(expected, SessionEventStrings(r));
  // A failure's facts close the list: step, code, kind and reason.
  r.completion_code = r.exit_code = 0;
  r.NoteFailure("launch", 2, record::ErrorKind::kWin32, L"");
  std::vector<std::wstring> strings = SessionEventStrings(r);
  std::vector<std::wstring> tail(strings.end() - 5, strings.end());
  EXPECT_EQ((std::vector<std::wstring>{L"launch failed (win32 error 2)", L"launch", L"2", L"win32", L""}), tail);
}

// An insertion string longer than Windows takes is cut to the limit and
// says so; a surrogate pair is never split.
TEST(SessionRecordTest, LongEventStringsAreCutAndMarked) {
  using platform::EventInsertionString;
  using platform::kMaxEventStringChars;
  const std::wstring mark = platform::kEventStringCutMark;
  std::wstring fits(kMaxEventStringChars, L'a');
  EXPECT_EQ(fits, EventInsertionString(fits));
  std::wstring cut = EventInsertionString(fits + L"b");
  EXPECT_EQ(kMaxEventStringChars, cut.size());
  EXPECT_EQ(mark, cut.substr(cut.size() - mark.size()));
  std::wstring pair(kMaxEventStringChars + 10, L'a');
  pair[kMaxEventStringChars - mark.size() - 1] = static_cast<wchar_t>(0xD83D);
  pair[kMaxEventStringChars - mark.size()] = static_cast<wchar_t>(0xDE00);
  cut = EventInsertionString(pair);
  EXPECT_EQ(std::wstring(kMaxEventStringChars - mark.size() - 1, L'a') + mark, cut);
}

}  // namespace
}  // namespace brx
