// Reading brxsetup.log back: the log sessions every stub on a machine appended
// to the one file, each with what a fleet's log collector wants to know.
//
// The file is text for people, so this reader is forgiving about lines it
// does not know and strict about the frame: a session starts with the header
// (rule, "Source:", "Version:", "Log Date:") and ends with the footer ("Log
// Session End.", "Return Code"). Lines are fed one at a time, already turned
// into wide text from the ANSI code page, without their line end.
//
// The lines carry no session identity, so the reader only says what the file
// shows for sure. While one session is open its lines and footer are its
// own. When a header comes while another session may still be running, no
// later line or footer can be told to belong to one of them: those sessions
// keep only their headers, and each is
//   interleaved  when as many footers followed as there were headers (all
//                ended, but whose result is whose is unknown), or
//   ambiguous    when not even that is known (one may have been ended without
//                footer, or may still be running and write a footer later).
// A session that was cut off by a crash or power loss, seen as a line cut in
// the middle (or filled with NUL bytes) right before the next header, is
// incomplete, and the reader starts afresh at that header.
//
// Memory stays bounded whatever the file: a session is handed on as soon as
// it is settled, lines are never kept, and texts taken from a session are cut.
#ifndef BRX_TOOLS_BRXLOG_LOG_SESSIONS_H_
#define BRX_TOOLS_BRXLOG_LOG_SESSIONS_H_

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brxlog {

enum class SessionStatus {
  kComplete,     // header, lines, footer
  kIncomplete,   // no footer: the stub was ended (crash, power loss) or still runs
  kInterleaved,  // two or more stubs wrote at once and all ended; only the headers are theirs for sure
  kAmbiguous,    // overlapped another session that may have ended without footer or still runs
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
  using Sink = std::function<void(const Session&)>;
  // Settled sessions go to sink, in the order of their headers.
  explicit LogReader(Sink sink);
  ~LogReader();
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  // Bytes of the file in the ANSI code page, in pieces of any size.
  void AddBytes(const char* data, size_t length);
  void AddLine(const std::wstring& line);
  // Ends the file: a last line without line end is read, sessions still open are settled.
  void Finish();
  // False when no session header was seen: the file is not a component log.
  bool saw_header() const { return saw_header_; }

 private:
  class Body;
  void StartSession(const std::wstring& source);
  Session EndCurrent(SessionStatus status);
  void EndOverlap(SessionStatus status);
  void Emit(Session& session);

  Sink sink_;
  // The one session whose lines are being read, when there is one for sure.
  std::unique_ptr<Body> current_;
  // Sessions of an overlap, waiting for its end to know their status.
  std::vector<Session> overlap_;
  size_t overlap_footers_ = 0;
  size_t overlap_header_lines_ = 0;  // of the newest member, still to come
  bool machine_went_down_ = false;    // NUL bytes since the last header
  // Sessions begun that may still be running (current_ or overlap members
  // without a footer yet).
  size_t open_ = 0;
  std::string pending_;  // bytes of a line not yet ended
  std::wstring previous_;
  size_t line_number_ = 0;
  bool saw_header_ = false;
  bool awaiting_code_ = false;
};

// A line of the log as wide text. The stub writes the server's ANSI code
// page: the Windows build reads the log in its own, the native build in
// Windows-1252, the code page of the Western servers (so that ’ … € are
// themselves and not C1 controls), undefined bytes as Windows maps them.
constexpr uint32_t kLogCodePage = 1252;
std::wstring DecodeLogLine(const std::string& bytes);

// "complete", "incomplete", "interleaved", "ambiguous".
const char* StatusName(SessionStatus status);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_LOG_SESSIONS_H_
