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

  // The first step that failed (the record's "error"), and a text for
  // first_error when the step has one of its own (message 1000, the setup
  // program's completion line).
  struct Error {
    std::string step;  // a step word of session_record_fields.h
    uint32_t code = 0;
    record::ErrorKind kind = record::ErrorKind::kWin32;
    std::wstring reason;  // empty: none
    std::wstring text;    // empty: first_error is made from the others
  };
  bool has_error = false;
  Error error;
  size_t warnings = 0;  // warning entries so far

  // Called by the component log for every entry it is given.
  void NoteEntry(unsigned target, int level, const std::wstring& message);
  // A failed step: kept when no step failed before it, so the record names
  // what went wrong first, not what followed from it.
  void NoteFailure(const char* step, uint32_t code, record::ErrorKind kind, const std::wstring& reason,
                   const std::wstring& text = std::wstring());
  void SetCheck(record::Check check, record::Outcome outcome) { checks[static_cast<size_t>(check)] = outcome; }
  void SetCommandLine(const wchar_t* masked);
  void SetSetupExitCode(int32_t code) {
    setup_ran = true;
    setup_exit_code = code;
  }

  // The result word ("installed", "extracted", ...).
  const char* Result() const;
  // first_error's value: empty unless the run failed. Made from the error
  // (its own text, else "<step> failed: <reason> (<kind> error <code>)"),
  // never from what the log happens to say.
  std::wstring FirstError() const;
  // Whether the run failed (its result word says so).
  bool Failed() const;
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
