// Completion codes and what the launcher logs about them.
//
// A completion code is what a setup program reports as its exit code:
// 0 failed, 1 installed, 2 installed and the system must be restarted,
// 3 not attempted. The package's return-code map may translate the raw code;
// only the translated code leaves the launcher. These are the launcher's
// decisions and texts, kept apart from the process handling so they can be
// checked on any platform.
#ifndef BRX_INSTALL_COMPLETION_CODES_H_
#define BRX_INSTALL_COMPLETION_CODES_H_

#include <stdint.h>

#include <string>

#include "base/completion_code.h"

class CCmpLog2;
class CPPkg;

namespace brx {

// The dry run's two lines; the caller then carries on with raw code 1.
void LogDryRun(CCmpLog2& log);

// The lines after the setup program ended: the run time (hours wrap at 24),
// the raw code, and what the raw code means.
void LogSetupFinished(CCmpLog2& log, uint64_t elapsed_seconds, int32_t raw_code);

// The completion-code line LogSetupFinished writes for raw_code, as one line
// without its line ends (the session record's first_error of a failed program).
std::wstring CompletionCodeText(int32_t raw_code);

// Translates the raw code through the package's return-code map and logs
// whether it changed. Returns the translated code.
int32_t TranslateReturnCode(CCmpLog2& log, const CPPkg& package, int32_t raw_code);

// The lines after a setup program that could not be started: the system's
// error with its text, the command that was tried and the failure code.
void LogSetupNotStarted(CCmpLog2& log, uint32_t error, const wchar_t* error_text,
                        const wchar_t* install_command);

// "<what> FAILED with error <n>: <text>" as one critical line of both logs.
void LogLastErrorLine(CCmpLog2& log, const wchar_t* what, uint32_t error, const wchar_t* error_text);

// The reboot question is asked only for a raw 2 in a run that may ask at all.
// It looks at the raw code on purpose: the program said the system needs a
// restart even when the package maps that code to something else.
inline bool ShouldAskReboot(int32_t raw_code, bool silent) {
  return raw_code == kCompletionRebootNeeded && !silent;
}

// The reboot question: the notice, an empty line, the question.
std::wstring RebootQuestionText(const std::wstring& notice, const std::wstring& question);

// The "setup program could not be started" message with its "%s" replaced by
// the program's name. The message comes from the string table; only its first
// "%s" is filled and any other '%' stays as it is, so a translation can never
// make the text read arguments that are not there.
std::wstring FillProgramName(const std::wstring& message, const wchar_t* program);

}  // namespace brx

#endif  // BRX_INSTALL_COMPLETION_CODES_H_
