// Starting the component's setup program and turning its exit code into the
// installation's completion code.
#ifndef BRX_INSTALL_SETUP_LAUNCHER_WIN_H_
#define BRX_INSTALL_SETUP_LAUNCHER_WIN_H_

#include <windows.h>
#include <stdint.h>

#include <string>

#include "base/presenter.h"
#include "install/step_result.h"

class CCmpLog2;
class CPPkg;

namespace brx {

// The texts of the question and the notice the launcher puts to the user
// (through the run's presenter). The stub uses ResourcePrompts(); tests
// give their own.
class LauncherPrompts {
 public:
  virtual ~LauncherPrompts() = default;
  // A string-table entry; empty when it does not exist.
  virtual std::wstring LoadText(UINT id) = 0;
};

// The stub's own string table.
LauncherPrompts& ResourcePrompts();

struct SetupRun {
  HWND owner = nullptr;  // the main dialog, or none
  // What the user sees: the question, the notice, the tray icon's removal.
  // A run nobody watches starts the program hidden with its output piped
  // into the log. Null: such a run.
  Presenter* presenter = nullptr;
  const wchar_t* extraction_dir = nullptr;
  const wchar_t* definition_file_name = nullptr;  // copied into the inventory
  bool silent = false;
  bool dry_run = false;   // with silent: nothing is started, the program counts as installed
  bool* reboot = nullptr;  // the /reboot option; the reboot question overwrites it
  // The stub's complete command line (program path first); null: the process's own.
  const wchar_t* command_line = nullptr;
  LauncherPrompts* prompts = nullptr;  // null: ResourcePrompts()
  // When given, set to the first of the launcher's steps that failed (the
  // output pipe, the command line, the start, the wait, the exit-code read,
  // the setup program's own failure, the inventory), with its Windows error;
  // left ok otherwise.
  StepResult* failure = nullptr;
};

// Builds the command line, runs the setup program in the extraction
// directory and waits for it while this thread's messages keep flowing,
// logs and translates its exit code, and records the component for codes 1
// and 2; removes the presenter's tray icon on every way out. Returns the translated completion code; 0 when the command line
// cannot be built or the output pipe cannot be made.
int32_t RunSetupProgram(CCmpLog2& log, const CPPkg& package, const SetupRun& run);

// Logs the calling thread's last error with the system's text for it:
// "<what> FAILED with error <n>: <text>".
void LogLastError(CCmpLog2& log, const wchar_t* what);

}  // namespace brx

#endif  // BRX_INSTALL_SETUP_LAUNCHER_WIN_H_
