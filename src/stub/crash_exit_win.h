// How the stub ends when it fails on its own: an exception nobody catches,
// the runtime's error exits, abort(), a fault the system reports.
//
// The runtime would end the process with exit code 3 (abort) or the fault's
// code: a deployment tool reads 3 as "not attempted" and counts the host as
// needing nothing, and under /dosretcode 3 is no code at all. A crash ends
// instead with the failure code of the run's exit-code rule, and leaves the
// run's record line saying it crashed.
#ifndef BRX_STUB_CRASH_EXIT_WIN_H_
#define BRX_STUB_CRASH_EXIT_WIN_H_

#include <stdint.h>

#include "log/session_record_fields.h"

namespace brx {

// Writes the crashed run's record and event (error.step "crash") with the
// given exit code; called once, from the crash itself.
using CrashRecorder = void (*)(int exit_code, const char* reason, uint32_t code, record::ErrorKind kind);

// The exit code a crash ends with from now on (0, or 1 for a caller that
// reads DOS-style codes), and who writes its record.
void SetCrashExit(int exit_code, CrashRecorder recorder);

// Installs the handlers: the unhandled-exception filter and SIGABRT.
void InstallCrashHandlers();

// Records the crash (once; a crash inside the record ends at once) and ends
// the process with the crash exit code. Never returns.
[[noreturn]] void EndAfterCrash(const char* reason, uint32_t code = 0,
                                record::ErrorKind kind = record::ErrorKind::kWin32);

}  // namespace brx

#endif  // BRX_STUB_CRASH_EXIT_WIN_H_
