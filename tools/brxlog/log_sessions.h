// Reading brxsetup.log back: the log sessions every stub on a machine appended
// to the one file, each with what a fleet's log collector wants to know.
//
// The file is text for people, so this reader is forgiving about lines it
// does not know and strict about the frame: a session starts with the header
// (rule, "Source:", "Version:", "Log Date:") and ends with the footer ("Log
// Session End.", "Return Code"). Lines are fed one at a time, already turned
// into wide text from the ANSI code page, without their line end.
#ifndef BRX_TOOLS_BRXLOG_LOG_SESSIONS_H_
#define BRX_TOOLS_BRXLOG_LOG_SESSIONS_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace brxlog {

enum class SessionStatus {
  kComplete,     // header, lines, footer
  kIncomplete,   // no footer: the stub was ended (crash, power loss) or still runs
  kInterleaved,  // two or more stubs wrote at once; only the headers are theirs for sure
};

struct Session {
  SessionStatus status = SessionStatus::kComplete;
  size_t line = 0;  // of the header's "Source:" line, from 1
  std::wstring source;
  std::wstring version;
  std::wstring log_date;  // the header's date text: short date, blank, time
  std::wstring end_time;  // the footer's time text
  bool has_return_code = false;
  int32_t return_code = 0;
  std::wstring completion_text;  // what the setup program's raw code means, as logged
  std::wstring setup_program;
  std::wstring command_line;  // as logged: secrets already masked by the stub
  // The checks in the order they ran: name and "passed", "failed", "warning"
  // (a caution that let the run go on) or "unknown" (no verdict logged).
  std::vector<std::pair<const char*, const char*>> checks;
  std::wstring first_error;  // the first error line of a failed or cut-off session
};

class LogReader {
 public:
  // Bytes of the file in the ANSI code page, in pieces of any size.
  void AddBytes(const char* data, size_t length);
  void AddLine(const std::wstring& line);
  // Ends the file: a last line without line end is read, sessions still open are settled.
  void Finish();
  // Sessions in the order of their headers; settled ones only until Finish().
  const std::vector<Session>& sessions() const { return sessions_; }
  // False when no session header was seen: the file is not a component log.
  bool saw_header() const { return saw_header_; }

 private:
  struct Footer {
    std::wstring time;
    bool has_code = false;
    int32_t code = 0;
  };
  struct Open {
    Session session;
    std::vector<std::wstring> lines;  // everything after its header until the next header
  };
  void Settle();

  // Sessions whose headers came before any footer closed them. One entry is
  // the ordinary case; more mean a cut-off session or several stubs at once.
  std::vector<Open> group_;
  std::vector<Footer> footers_;
  std::vector<Session> sessions_;
  std::string pending_;  // bytes of a line not yet ended
  std::wstring previous_;
  size_t line_number_ = 0;
  bool saw_header_ = false;
  bool awaiting_code_ = false;
};

// "complete", "incomplete", "interleaved".
const char* StatusName(SessionStatus status);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_LOG_SESSIONS_H_
