// The outcome of one install step, and the one way its failure is logged
// and reaches the session record.
#ifndef BRX_INSTALL_STEP_RESULT_H_
#define BRX_INSTALL_STEP_RESULT_H_

#include <stdint.h>

#include <string>

#include "base/bounded_string.h"
#include "log/session_record_fields.h"

class CCmpLog2;

namespace brx {

// A step's outcome: done or not and, when not, the Windows error behind it
// (0 when the step knows none) and which kind of error that is, the step's
// own result code (an exit code, an archive result), what it was working on
// and, for a refusal, its reason. A step made of several (the launcher's
// start, wait and exit-code read) names the one that failed in `step`; the
// driver names the others.
struct StepResult {
  StepResult(bool done = false, uint32_t win32_error = 0) : ok(done), error(win32_error) {}
  bool ok;
  uint32_t error;
  int32_t code = 0;
  BoundedString<260> subject;  // e.g. the entry an extraction stopped at
  record::ErrorKind kind = record::ErrorKind::kWin32;
  const char* step = nullptr;  // a step word of the record; null: the caller's step
  std::wstring reason;         // why the step refused; empty: none
  std::wstring text;           // what the step told the user or the log of its failure, when it has one line
  bool caution = false;        // done, after a caution that let the run go on
  explicit operator bool() const { return ok; }
};

// A failed Win32 call's result: its error, the step and reason words.
inline StepResult StepFailed(const char* step, uint32_t error, const wchar_t* reason = nullptr) {
  StepResult result(false, error);
  result.step = step;
  if (reason) result.reason = reason;
  return result;
}

// What lies behind a failed step, for the verbose log: "<doing> [<subject>]:
// result <code>, Windows error <error>." The main log keeps its own lines;
// this one carries what an administrator needs to find the cause. A null
// subject takes the result's own.
void LogStepFailure(CCmpLog2& log, int line, const wchar_t* doing, const wchar_t* subject, const StepResult& result);

// Puts a failed step into the run's session record (when the log carries
// one): the first failure of a run is the one it keeps. step: the result's
// own when it names one, else this. text: first_error's text when the step
// has one of its own (else the result's).
void NoteStepFailure(CCmpLog2& log, const char* step, const StepResult& result,
                     const std::wstring& text = std::wstring());

}  // namespace brx

#endif  // BRX_INSTALL_STEP_RESULT_H_
