#include "brxlog/session_json.h"

#include <stdio.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "base/completion_code.h"
#include "platform/utf8.h"

namespace brxlog {
namespace {

struct Number {
  int value;
  bool four_digits;  // a year
};

// The runs of digits in text (none longer than four) and the character that
// followed the first run; empty when a run is longer.
std::vector<Number> Numbers(const std::wstring& text, wchar_t* separator) {
  std::vector<Number> numbers;
  *separator = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] < L'0' || text[i] > L'9') {
      ++i;
      continue;
    }
    size_t start = i;
    int value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
      if (i - start == 4) return {};
      value = value * 10 + (text[i] - L'0');
    }
    if (numbers.empty() && i < text.size()) *separator = text[i];
    numbers.push_back({value, i - start == 4});
  }
  return numbers;
}

std::string Iso(int y, int mo, int d, int h, int mi, int s) {
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return std::string();
  char text[80];
  snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
  return text;
}

}  // namespace

std::string IsoStart(const std::wstring& log_date, DateOrder order) {
  size_t blank = log_date.find_last_of(L' ');
  if (blank == std::wstring::npos) return std::string();
  wchar_t date_sep = 0, time_sep = 0;
  std::vector<Number> d = Numbers(log_date.substr(0, blank), &date_sep);
  std::vector<Number> t = Numbers(log_date.substr(blank + 1), &time_sep);
  if (d.size() != 3 || t.size() < 2 || t.size() > 3) return std::string();
  int seconds = t.size() == 3 ? t[2].value : 0;
  if (d[0].four_digits) return Iso(d[0].value, d[1].value, d[2].value, t[0].value, t[1].value, seconds);
  if (!d[2].four_digits) return std::string();  // a two-digit year is not guessed
  bool day_first = date_sep != L'/' || order == DateOrder::kDayFirst;
  int month = day_first ? d[1].value : d[0].value;
  int day = day_first ? d[0].value : d[1].value;
  return Iso(d[2].value, month, day, t[0].value, t[1].value, seconds);
}

bool ParseSince(const std::string& text, std::string* iso) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
  int n = sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used);
  if (n != 3 || used != 10) return false;
  std::string rest = text.substr(static_cast<size_t>(used));
  if (!rest.empty()) {
    if (rest[0] != 'T' && rest[0] != ' ') return false;
    int time_used = 0;
    n = sscanf(rest.c_str() + 1, "%2d:%2d%n:%2d%n", &h, &mi, &time_used, &s, &time_used);
    if (n < 2 || static_cast<size_t>(time_used) + 1 != rest.size()) return false;
  }
  *iso = Iso(y, mo, d, h, mi, s);
  return !iso->empty();
}

std::string SessionJson(const Session& session, DateOrder order, const char* origin) {
  using brx::platform::WideToUtf8;
  nlohmann::ordered_json j;
  j["status"] = StatusName(session.status);
  j["line"] = session.line;
  j["source"] = WideToUtf8(session.source);
  j["version"] = WideToUtf8(session.version);
  j["log_date"] = WideToUtf8(session.log_date);
  std::string start = IsoStart(session.log_date, order);
  if (!start.empty()) j["start"] = start;
  if (session.status == SessionStatus::kComplete) {
    j["end_time"] = WideToUtf8(session.end_time);
    if (session.has_return_code) {
      j["return_code"] = session.return_code;
      j["result"] = brx::CompletionCodeName(session.return_code);
    }
  }
  // Interleaved and ambiguous sessions keep only their headers: no line
  // after them is theirs for sure.
  if (session.status == SessionStatus::kComplete || session.status == SessionStatus::kIncomplete) {
    if (!session.completion_text.empty()) j["completion_text"] = WideToUtf8(session.completion_text);
    if (!session.setup_program.empty()) j["setup_program"] = WideToUtf8(session.setup_program);
    if (!session.command_line.empty()) j["command_line"] = WideToUtf8(session.command_line);
    nlohmann::ordered_json checks = nlohmann::ordered_json::object();
    for (const auto& check : session.checks) checks[check.first] = check.second;
    j["checks"] = checks;
    if (!session.first_error.empty()) j["first_error"] = WideToUtf8(session.first_error);
  }
  if (origin) j["origin"] = origin;
  // Replace, never throw, should a text not be valid UTF-8.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace brxlog
