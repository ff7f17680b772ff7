// The outcome of one install step, and the one way its failure is logged.
#ifndef BRX_INSTALL_STEP_RESULT_H_
#define BRX_INSTALL_STEP_RESULT_H_

#include <stdint.h>

#include "base/bounded_string.h"

class CCmpLog2;

namespace brx {

// A step's outcome: done or not and, when not, the Windows error behind it
// (0 when the step knows none), the step's own result code (an exit code,
// an archive result) and what it was working on.
struct StepResult {
  StepResult(bool done = false, uint32_t win32_error = 0) : ok(done), error(win32_error) {}
  bool ok;
  uint32_t error;
  int32_t code = 0;
  BoundedString<260> subject;  // e.g. the entry an extraction stopped at
};

// What lies behind a failed step, for the verbose log: "<doing> [<subject>]:
// result <code>, Windows error <error>." The main log keeps its own lines;
// this one carries what an administrator needs to find the cause. A null
// subject takes the result's own.
void LogStepFailure(CCmpLog2& log, int line, const wchar_t* doing, const wchar_t* subject, const StepResult& result);

}  // namespace brx

#endif  // BRX_INSTALL_STEP_RESULT_H_
