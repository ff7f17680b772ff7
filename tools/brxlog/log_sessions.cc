#include "brxlog/log_sessions.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "platform/codepage.h"

namespace brxlog {
namespace {

// Lines are cut here: a file that is not text must not make one line hold all of it.
constexpr size_t kMaxLineBytes = 64 * 1024;

const wchar_t kRule[] = L"===========================================================================";

struct Check {
  const char* name;
  const wchar_t* start;
  const wchar_t* passed;
};

// The checks an install runs before it extracts, with the line that starts
// each and the line that lets it pass.
const Check kChecks[] = {
    {"wmi_service", L"Validating WMI service is available...", L"WMI service is available."},
    {"virtual_guest", L"Checking for virtualized environment...", L"Virtualized environment not detected."},
    {"tpm", L"Checking TPM (Trusted Platform Module) state...",
     L"TPM (Trusted Platform Module) is in CORRECT setting."},
    {"disk_space", L"Verifying required disk space for Quellin Component Installation is available...",
     L"Required disk space is available. Success."},
};

enum class Level { kInfo, kWarning, kError };

bool StartsWith(const std::wstring& text, const wchar_t* prefix, std::wstring* rest = nullptr) {
  size_t n = wcslen(prefix);
  if (text.compare(0, n, prefix) != 0) return false;
  if (rest) *rest = text.substr(n);
  return true;
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

std::wstring TrimLeft(const std::wstring& text) {
  size_t at = text.find_first_not_of(L' ');
  return at == std::wstring::npos ? std::wstring() : text.substr(at);
}

// "[text]" at the end of a line: the text, or the rest of the line when the
// closing bracket is missing (a line cut by another writer).
std::wstring Bracketed(const std::wstring& rest) {
  if (!rest.empty() && rest.back() == L']') return rest.substr(0, rest.size() - 1);
  return rest;
}

// Splits off the main log's level prefix. It may follow text on the same
// line: a step that writes "... " and then fails writes its error right after.
Level SplitLevel(const std::wstring& line, std::wstring* text) {
  static const struct {
    const wchar_t* prefix;
    Level level;
  } kPrefixes[] = {{L"**WARNING** - ", Level::kWarning},
                   {L"**ERROR** - ", Level::kError},
                   {L"**CRITICAL** - ", Level::kError}};
  for (const auto& p : kPrefixes) {
    size_t at = line.find(p.prefix);
    if (at == std::wstring::npos) continue;
    *text = line.substr(at + wcslen(p.prefix));
    return p.level;
  }
  *text = line;
  return Level::kInfo;
}

bool IsHaltLine(const std::wstring& text) {
  return Contains(text, L"Installation Halted") || Contains(text, L"FAILURE CODE (0)") ||
         Contains(text, L"ERROR CODE (0)");
}

bool ParseInt(const std::wstring& text, int32_t* value) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  long v = wcstol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != L')' || v < INT32_MIN || v > INT32_MAX) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

void ReadHeaderFields(const std::vector<std::wstring>& lines, Session* s) {
  for (size_t i = 0; i < lines.size() && i < 2; ++i) {
    std::wstring rest;
    if (StartsWith(lines[i], L"Version:", &rest)) s->version = TrimLeft(rest);
    if (StartsWith(lines[i], L"Log Date:", &rest)) s->log_date = TrimLeft(rest);
  }
}

void ReadBody(const std::vector<std::wstring>& lines, Session* s) {
  int current = -1;  // the check that has started and has no verdict yet
  std::wstring flagged, halt, completion_line;
  bool take_next_as_flagged = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::wstring text, rest;
    Level level = SplitLevel(lines[i], &text);
    if (take_next_as_flagged && !text.empty()) {
      flagged = text;
      take_next_as_flagged = false;
    }
    if (level == Level::kError && flagged.empty() && !take_next_as_flagged) {
      // An error message that begins with its own line ends shows on the lines after the prefix.
      if (text.empty()) {
        take_next_as_flagged = true;
      } else {
        flagged = text;
      }
    }
    if (halt.empty() && IsHaltLine(text)) halt = text;

    // A check that logs no verdict when all is well (no TPM record at all)
    // passed when the run went on to the next step.
    bool next_step = StartsWith(text, L"Creating extraction directory for Quellin Component");
    for (const Check& check : kChecks) next_step = next_step || StartsWith(text, check.start);
    if (next_step && current >= 0 && strcmp(s->checks.back().second, "unknown") == 0) {
      s->checks.back().second = "passed";
    }
    for (int c = 0; c < static_cast<int>(sizeof(kChecks) / sizeof(kChecks[0])); ++c) {
      if (StartsWith(text, kChecks[c].start)) {
        s->checks.emplace_back(kChecks[c].name, "unknown");
        current = c;
      }
    }
    if (current >= 0 && !s->checks.empty()) {
      const char*& outcome = s->checks.back().second;
      if (StartsWith(text, kChecks[current].passed)) {
        outcome = "passed";
        current = -1;
      } else if (level == Level::kError || IsHaltLine(text)) {
        outcome = "failed";
        current = -1;
      } else if (level == Level::kWarning) {
        outcome = "warning";
      }
    }

    if (StartsWith(text, L"Setup program = [", &rest)) s->setup_program = Bracketed(rest);
    if (StartsWith(text, L"Installation command line = [", &rest)) s->command_line = Bracketed(rest);
    if (StartsWith(text, L"Completion Code (0x")) {
      completion_line = text;
      size_t arrow = text.find(L"-> ");
      s->completion_text = arrow == std::wstring::npos ? text : text.substr(arrow + 3);
      // The "not attempted" text goes on over a second line.
      if (!s->completion_text.empty() && s->completion_text.back() == L',' && i + 1 < lines.size()) {
        s->completion_text += L" " + lines[i + 1];
      }
    }
  }
  bool failed = s->status == SessionStatus::kIncomplete || (s->has_return_code && s->return_code == 0);
  if (!failed) return;
  if (!flagged.empty()) {
    s->first_error = flagged;
  } else if (!halt.empty()) {
    s->first_error = halt;
  } else if (s->has_return_code) {
    s->first_error = completion_line;
  }
}

}  // namespace

const char* StatusName(SessionStatus status) {
  switch (status) {
    case SessionStatus::kComplete: return "complete";
    case SessionStatus::kIncomplete: return "incomplete";
    case SessionStatus::kInterleaved: return "interleaved";
  }
  return "unknown";
}

void LogReader::AddBytes(const char* data, size_t length) {
  while (length > 0) {
    const char* end = static_cast<const char*>(memchr(data, '\n', length));
    size_t piece = end ? static_cast<size_t>(end - data) : length;
    size_t room = kMaxLineBytes > pending_.size() ? kMaxLineBytes - pending_.size() : 0;
    pending_.append(data, piece < room ? piece : room);
    if (!end) return;
    AddLine(brx::platform::AnsiToWide(pending_));
    pending_.clear();
    data = end + 1;
    length -= piece + 1;
  }
}

void LogReader::AddLine(const std::wstring& raw) {
  ++line_number_;
  std::wstring line = raw;
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  std::wstring rest;
  bool awaiting_code = awaiting_code_;
  awaiting_code_ = false;

  if (previous_ == kRule && StartsWith(line, L"Source:", &rest)) {
    // A header while footers are pending: what is open now is settled first.
    if (!footers_.empty()) Settle();
    Open open;
    open.session.line = line_number_;
    open.session.source = TrimLeft(rest);
    group_.push_back(std::move(open));
    saw_header_ = true;
  } else if (group_.empty()) {
    // Between sessions: the footer's rule and empty lines.
  } else if (StartsWith(line, L"Log Session End. [", &rest)) {
    footers_.push_back(Footer{Bracketed(rest)});
    awaiting_code_ = true;
  } else if (awaiting_code && StartsWith(line, L"Return Code (", &rest)) {
    Footer& footer = footers_.back();
    footer.has_code = ParseInt(rest, &footer.code);
    if (footers_.size() == group_.size()) Settle();
  } else {
    group_.back().lines.push_back(line);
  }
  previous_.swap(line);
}

void LogReader::Finish() {
  if (!pending_.empty()) AddLine(brx::platform::AnsiToWide(pending_));
  pending_.clear();
  if (!group_.empty()) Settle();
}

// Settles the open group. Every header came before every footer in it, so a
// group of k headers and f footers is read as: the first k - f sessions were
// cut off (their stub ended without a footer, and another stub's session
// followed); with one footer the last session is whole and its lines are its
// own; with more, that many stubs wrote at once and no line can be given to
// one of them for sure, so they keep only their headers.
void LogReader::Settle() {
  size_t ended = footers_.size() < group_.size() ? footers_.size() : group_.size();
  size_t cut = group_.size() - ended;
  for (size_t i = 0; i < group_.size(); ++i) {
    Session s = std::move(group_[i].session);
    ReadHeaderFields(group_[i].lines, &s);
    if (i < cut) {
      s.status = SessionStatus::kIncomplete;
      ReadBody(group_[i].lines, &s);
    } else if (ended == 1) {
      const Footer& footer = footers_[0];
      s.status = SessionStatus::kComplete;
      s.end_time = footer.time;
      s.has_return_code = footer.has_code;
      s.return_code = footer.code;
      ReadBody(group_[i].lines, &s);
    } else {
      s.status = SessionStatus::kInterleaved;
    }
    sessions_.push_back(std::move(s));
  }
  group_.clear();
  footers_.clear();
}

}  // namespace brxlog
