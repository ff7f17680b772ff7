// The outcome of a run: what a setup program reports as its exit code, and
// what the stub turns into its own exit code.
#ifndef BRX_BASE_COMPLETION_CODE_H_
#define BRX_BASE_COMPLETION_CODE_H_

#include <stdint.h>

namespace brx {

enum CompletionCode : int32_t {
  kCompletionFailed = 0,
  kCompletionInstalled = 1,
  kCompletionRebootNeeded = 2,   // installed; the system must be restarted
  kCompletionNotAttempted = 3,   // e.g. the dialog was closed without action
};

}  // namespace brx

#endif  // BRX_BASE_COMPLETION_CODE_H_
