// The stub's run modes and its exit-code rule, apart from the Win32 details
// behind them so the order and the codes are tested natively.
#ifndef BRX_STUB_RUN_STUB_H_
#define BRX_STUB_RUN_STUB_H_

#include <stdint.h>

#include "base/completion_code.h"
#include "base/presenter.h"
#include "install/step_result.h"
#include "log/session_record_fields.h"
#include "stub/options.h"

namespace brx {

// String 1000, "A package definition file was not found.  The file is not a
// valid Package.", shown with a stop icon.
constexpr unsigned kMessageNoPackage = 1000;
constexpr unsigned kStyleStop = 0x10;

// How a run ended, for its session record.
struct SessionEnd {
  record::Mode mode = record::Mode::kDialog;
  int32_t completion = kCompletionFailed;
  int exit_code = 0;
  record::Reboot reboot = record::Reboot::kNotNeeded;
  // A restart the stub tried and Windows refused (reboot is then pending:
  // the restart is still the caller's to make).
  StepResult restart = StepResult(true);
};

// What the run modes need from the system. The stub's entry provides the real
// one; tests record the calls.
class StubHost {
 public:
  virtual ~StubHost() = default;
  virtual void ShowUsage() = 0;
  // Opens the process-wide archive on the stub's own file.
  virtual bool OpenArchive() = 0;
  // The presenter of a run a person watches: boxes, progress and tray icon
  // on the screen. RunStub decides which runs get it.
  virtual Presenter& Screen() = 0;
  // The install driver in extract-only mode, no owner, no user interface.
  virtual int32_t ExtractOnly(const wchar_t* directory) = 0;
  // Loads the definition named after the stub, else the first qualifying one.
  virtual bool LoadDefinition() = 0;
  virtual void LoadIcons() = 0;
  // The install driver in install mode, no owner, showing through presenter.
  virtual int32_t Install(Presenter& presenter) = 0;
  // The main dialog, modal; returns the completion code it set.
  virtual int32_t RunMainDialog() = 0;
  // Starts the restart; not ok, with Windows' error, when it did not start.
  virtual StepResult Reboot() = 0;
  virtual bool IsLaunchedByAgent() = 0;
  // The two critical lines for a package without definition.
  virtual void LogNoDefinition() = 0;
  // Writes the run's session record and event: once per run, with the final
  // exit code, right after a restart the stub started (a restart counts
  // down; what the record says is what happened) and before the message of
  // a package that cannot be read (which may wait for a user for good).
  virtual void RecordSession(const SessionEnd& end) = 0;
};

// The mode the options select, for the record.
record::Mode RunMode(const StubOptions& options);

// Whether a run of these options may show windows: every run but a silent
// one. /silent is what deployment agents use, often as SYSTEM in a session
// nobody sees, where a message box would hold the deployment until the
// agent gives up; such a run says why it failed only through its exit code,
// session record and event.
bool RunShowsWindows(const StubOptions& options);

// Runs the mode the options select and returns the process exit code.
// options is not const: the reboot prompt of an install may change `reboot`.
int RunStub(StubHost& host, StubOptions& options);

// The exit code for a completion code: the code itself, or 1 for failure and 0
// for anything else when the caller reads DOS-style codes.
int ExitCodeForCompletion(int32_t completion, bool dos_style);

}  // namespace brx

#endif  // BRX_STUB_RUN_STUB_H_
