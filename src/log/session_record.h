// The facts of one run of the stub, gathered while it runs and written once
// at its end as a line of brxsetup.jsonl and as an Application event (the
// fields: log/session_record_fields.h).
//
// The entry fills in who ran and how it ended; the steps in between report
// through the component log, which carries the record: every entry the log
// is given (also while its file is closed) is shown to NoteEntry, the
// install driver sets the checks' outcomes and the launcher the command line
// and the setup program's exit code.
#ifndef BRX_LOG_SESSION_RECORD_H_
#define BRX_LOG_SESSION_RECORD_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "log/session_record_fields.h"
#include "platform/event_log.h"

namespace brx {

struct SessionRecord {
  std::wstring session_id;
  std::wstring stub_file;
  std::wstring stub_version;  // empty: none
  // Empty when no definition was loaded.
  std::wstring package_name;
  std::wstring package_version;
  std::wstring sw_key;
  std::wstring definition;
  std::wstring start;
  std::wstring end;
  record::Mode mode = record::Mode::kDialog;
  record::Outcome checks[record::kCheckCount] = {};
  bool has_command_line = false;
  std::wstring command_line;  // masked
  bool setup_ran = false;
  int32_t setup_exit_code = 0;
  int32_t completion_code = 0;
  int exit_code = 0;
  record::Reboot reboot = record::Reboot::kNotNeeded;

  // What the run logged, for first_error: the first error or critical entry,
  // else the first line that halted the installation, else the setup
  // program's completion-code line. Only entries that reach the main log count.
  std::wstring first_error_entry;
  std::wstring first_halt_line;
  std::wstring completion_line;
  size_t warnings = 0;  // warning entries so far

  // Called by the component log for every entry it is given.
  void NoteEntry(unsigned target, int level, const std::wstring& message);
  // An error the run met outside the log (the archive unreadable): kept when
  // nothing was logged before it.
  void NoteError(const std::wstring& text);
  void SetCheck(record::Check check, record::Outcome outcome) { checks[static_cast<size_t>(check)] = outcome; }
  void SetCommandLine(const wchar_t* masked);
  void SetSetupExitCode(int32_t code) {
    setup_ran = true;
    setup_exit_code = code;
  }

  // The result word ("installed", "extracted", ...).
  const char* Result() const;
  // first_error's value: empty unless the run failed.
  std::wstring FirstError() const;
};

// The record as one line of JSON ending in "\n", at most kMaxRecordBytes.
constexpr size_t kMaxRecordBytes = 64 * 1024;
std::string SessionRecordLine(const SessionRecord& record);

// The Application event of the record: its id, type and insertion strings.
uint32_t SessionEventId(const SessionRecord& record);
platform::EventType SessionEventType(const SessionRecord& record);
std::vector<std::wstring> SessionEventStrings(const SessionRecord& record);

}  // namespace brx

#endif  // BRX_LOG_SESSION_RECORD_H_
