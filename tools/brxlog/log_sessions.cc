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

// Texts taken from a session are cut here: a line may be 64 KiB, and a
// session holds a handful of them.
constexpr size_t kMaxTextChars = 4096;

std::wstring Capped(const std::wstring& text) { return text.size() <= kMaxTextChars ? text : text.substr(0, kMaxTextChars); }

// A line ending in the rule: the header's first line, possibly with the
// start of a line another writer left unfinished in front of it.
bool EndsWithRule(const std::wstring& line) {
  const size_t n = sizeof(kRule) / sizeof(kRule[0]) - 1;
  return line.size() >= n && line.compare(line.size() - n, n, kRule) == 0;
}

// The writer of an unfinished line in front of a header died in the middle
// of a write (power lost): a live stub only ever leaves a line open after
// one of its "... " texts that the next entry completes.
bool IsCutLine(const std::wstring& line) {
  if (!EndsWithRule(line)) return false;
  std::wstring before = line.substr(0, line.size() - (sizeof(kRule) / sizeof(kRule[0]) - 1));
  if (before.empty()) return false;
  return before.size() < 4 || before.compare(before.size() - 4, 4, L"... ") != 0;
}

}  // namespace

std::wstring DecodeLogLine(const std::string& bytes) {
#ifdef _WIN32
  return brx::platform::AnsiToWide(bytes);
#else
  // Most lines are ASCII, the same in every code page.
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::wstring(bytes.begin(), bytes.end());
  return brx::platform::CodePageToWide(kLogCodePage, bytes.data(), bytes.size());
#endif
}

// The lines of the one session being read, turned into its fields as they
// come, so no line is kept.
class LogReader::Body {
 public:
  explicit Body(Session session) : s_(std::move(session)) {}
  Session& session() { return s_; }

  void Feed(const std::wstring& line);
  // Its status and, for a failed or cut-off session, its first error.
  Session Finish(SessionStatus status);

 private:
  Session s_;
  size_t index_ = 0;
  int current_ = -1;  // the check that has started and has no verdict yet
  std::wstring flagged_, halt_, completion_line_;
  bool take_next_as_flagged_ = false;
  bool completion_continues_ = false;
};

void LogReader::Body::Feed(const std::wstring& line) {
  std::wstring text, rest;
  if (index_ < 2) {
    if (StartsWith(line, L"Version:", &rest)) s_.version = Capped(TrimLeft(rest));
    if (StartsWith(line, L"Log Date:", &rest)) s_.log_date = Capped(TrimLeft(rest));
  }
  ++index_;
  // The "not attempted" text goes on over a second line.
  if (completion_continues_) {
    s_.completion_text = Capped(s_.completion_text + L" " + line);
    completion_continues_ = false;
  }
  Level level = SplitLevel(line, &text);
  if (take_next_as_flagged_ && !text.empty()) {
    flagged_ = Capped(text);
    take_next_as_flagged_ = false;
  }
  if (level == Level::kError && flagged_.empty() && !take_next_as_flagged_) {
    // An error message that begins with its own line ends shows on the lines after the prefix.
    if (text.empty()) {
      take_next_as_flagged_ = true;
    } else {
      flagged_ = Capped(text);
    }
  }
  if (halt_.empty() && IsHaltLine(text)) halt_ = Capped(text);

  // A check that logs no verdict when all is well (no TPM record at all)
  // passed when the run went on to the next step.
  bool next_step = StartsWith(text, L"Creating extraction directory for Quellin Component");
  for (const Check& check : kChecks) next_step = next_step || StartsWith(text, check.start);
  if (next_step && current_ >= 0 && strcmp(s_.checks.back().second, "unknown") == 0) {
    s_.checks.back().second = "passed";
  }
  for (int c = 0; c < static_cast<int>(sizeof(kChecks) / sizeof(kChecks[0])); ++c) {
    if (StartsWith(text, kChecks[c].start) && s_.checks.size() < 16) {
      s_.checks.emplace_back(kChecks[c].name, "unknown");
      current_ = c;
    }
  }
  if (current_ >= 0 && !s_.checks.empty()) {
    const char*& outcome = s_.checks.back().second;
    if (StartsWith(text, kChecks[current_].passed)) {
      outcome = "passed";
      current_ = -1;
    } else if (level == Level::kError || IsHaltLine(text)) {
      outcome = "failed";
      current_ = -1;
    } else if (level == Level::kWarning) {
      outcome = "warning";
    }
  }

  if (StartsWith(text, L"Setup program = [", &rest)) s_.setup_program = Capped(Bracketed(rest));
  if (StartsWith(text, L"Installation command line = [", &rest)) s_.command_line = Capped(Bracketed(rest));
  if (StartsWith(text, L"Completion Code (0x")) {
    completion_line_ = Capped(text);
    size_t arrow = text.find(L"-> ");
    s_.completion_text = Capped(arrow == std::wstring::npos ? text : text.substr(arrow + 3));
    completion_continues_ = !s_.completion_text.empty() && s_.completion_text.back() == L',';
  }
}

Session LogReader::Body::Finish(SessionStatus status) {
  s_.status = status;
  bool failed = status == SessionStatus::kIncomplete || (s_.has_return_code && s_.return_code == 0);
  if (failed) {
    if (!flagged_.empty()) {
      s_.first_error = flagged_;
    } else if (!halt_.empty()) {
      s_.first_error = halt_;
    } else if (s_.has_return_code) {
      s_.first_error = completion_line_;
    }
  }
  return std::move(s_);
}

const char* StatusName(SessionStatus status) {
  switch (status) {
    case SessionStatus::kComplete: return "complete";
    case SessionStatus::kIncomplete: return "incomplete";
    case SessionStatus::kInterleaved: return "interleaved";
    case SessionStatus::kAmbiguous: return "ambiguous";
  }
  return "unknown";
}

LogReader::LogReader(Sink sink) : sink_(std::move(sink)) {}

LogReader::~LogReader() = default;

Session LogReader::EndCurrent(SessionStatus status) {
  Session s = current_->Finish(status);
  current_.reset();
  return s;
}

void LogReader::AddBytes(const char* data, size_t length) {
  while (length > 0) {
    const char* end = static_cast<const char*>(memchr(data, '\n', length));
    size_t piece = end ? static_cast<size_t>(end - data) : length;
    size_t room = kMaxLineBytes > pending_.size() ? kMaxLineBytes - pending_.size() : 0;
    pending_.append(data, piece < room ? piece : room);
    if (!end) return;
    AddLine(DecodeLogLine(pending_));
    pending_.clear();
    data = end + 1;
    length -= piece + 1;
  }
}

void LogReader::Emit(Session& session) {
  if (sink_) sink_(session);
}

// An overlap has ended: every member gets the same status.
void LogReader::EndOverlap(SessionStatus status) {
  for (Session& s : overlap_) {
    s.status = status;
    Emit(s);
  }
  overlap_.clear();
  overlap_footers_ = 0;
}

void LogReader::StartSession(const std::wstring& source) {
  Session session;
  session.line = line_number_;
  session.source = Capped(source);
  saw_header_ = true;
  if (open_ == 0) {
    current_.reset(new Body(std::move(session)));
    open_ = 1;
    return;
  }
  // Another session may still be running: from here on no line or footer
  // can be given to one of them. The one being read keeps its header.
  if (current_) {
    Session earlier = EndCurrent(SessionStatus::kAmbiguous);
    overlap_.push_back(Session());
    Session& kept = overlap_.back();
    kept.line = earlier.line;
    kept.source = earlier.source;
    kept.version = earlier.version;
    kept.log_date = earlier.log_date;
  }
  overlap_.push_back(std::move(session));
  overlap_header_lines_ = 2;
  ++open_;
  // An overlap that never ends (a stub ended without footer) must not hold
  // the rest of the file: its oldest members are settled as ambiguous,
  // which no later footer can change.
  const size_t kMaxOverlap = 1024;
  while (overlap_.size() > kMaxOverlap) {
    overlap_.front().status = SessionStatus::kAmbiguous;
    Emit(overlap_.front());
    overlap_.erase(overlap_.begin());
  }
}

void LogReader::AddLine(const std::wstring& raw) {
  ++line_number_;
  std::wstring line = raw;
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  std::wstring rest;
  bool awaiting_code = awaiting_code_;
  awaiting_code_ = false;

  // NUL bytes are what a file system leaves where writes were lost when the
  // machine went down.
  if (line.find(L'\0') != std::wstring::npos) machine_went_down_ = true;

  if (EndsWithRule(previous_) && StartsWith(line, L"Source:", &rest)) {
    if (machine_went_down_ || IsCutLine(previous_)) {
      // The writers of the sessions open now died with the machine: none
      // of them writes again.
      if (current_) {
        Session cut = EndCurrent(SessionStatus::kIncomplete);
        Emit(cut);
      }
      EndOverlap(overlap_footers_ == 0 ? SessionStatus::kIncomplete : SessionStatus::kAmbiguous);
      open_ = 0;
    }
    machine_went_down_ = false;
    StartSession(TrimLeft(rest));
  } else if (overlap_header_lines_ > 0 && !current_ && !overlap_.empty()) {
    // "Version:" and "Log Date:" of the newest member of an overlap.
    --overlap_header_lines_;
    if (StartsWith(line, L"Version:", &rest)) overlap_.back().version = Capped(TrimLeft(rest));
    if (StartsWith(line, L"Log Date:", &rest)) overlap_.back().log_date = Capped(TrimLeft(rest));
  } else if (open_ == 0) {
    // Between sessions: the footer's rule and empty lines, or a footer
    // whose header is not in the file.
  } else if (StartsWith(line, L"Log Session End. [", &rest)) {
    if (current_) {
      current_->session().end_time = Capped(Bracketed(rest));
      awaiting_code_ = true;
    } else {
      ++overlap_footers_;
      if (--open_ == 0) EndOverlap(SessionStatus::kInterleaved);
    }
  } else if (awaiting_code && current_ && StartsWith(line, L"Return Code (", &rest)) {
    Session& s = current_->session();
    s.has_return_code = ParseInt(rest, &s.return_code);
    Session done = EndCurrent(SessionStatus::kComplete);
    open_ = 0;
    Emit(done);
  } else if (awaiting_code && current_) {
    // A footer without its code line still ended the session.
    Session done = EndCurrent(SessionStatus::kComplete);
    open_ = 0;
    Emit(done);
  } else if (current_) {
    current_->Feed(line);
  }
  previous_.swap(line);
}

void LogReader::Finish() {
  if (!pending_.empty()) AddLine(DecodeLogLine(pending_));
  pending_.clear();
  if (current_) {
    Session s = EndCurrent(SessionStatus::kIncomplete);
    Emit(s);
  }
  // Sessions of an overlap that did not see as many footers as headers: if
  // none came, none ended; otherwise whose footers they were is unknown.
  EndOverlap(overlap_footers_ == 0 ? SessionStatus::kIncomplete : SessionStatus::kAmbiguous);
  open_ = 0;
}

}  // namespace brxlog
