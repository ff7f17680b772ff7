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

// Codes after which the component is in place: the inventory records them and
// deployment tools count them as success (3 is not: nothing was installed).
constexpr bool IsInstalledCode(int32_t code) {
  return code == kCompletionInstalled || code == kCompletionRebootNeeded;
}

// A short name of a code for reports read by machines (brxlog's JSON).
constexpr const char* CompletionCodeName(int32_t code) {
  return code == kCompletionFailed          ? "failed"
         : code == kCompletionInstalled     ? "installed"
         : code == kCompletionRebootNeeded  ? "installed_restart_needed"
         : code == kCompletionNotAttempted  ? "not_attempted"
                                            : "unknown";
}

}  // namespace brx

#endif  // BRX_BASE_COMPLETION_CODE_H_
