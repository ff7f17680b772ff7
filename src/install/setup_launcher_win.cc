#include "install/setup_launcher_win.h"

#include <vector>

#include "install/completion_codes.h"
#include "install/inventory_record_win.h"
#include "install/setup_command_line.h"
#include "install/setup_output.h"
#include "install/step_result.h"
#include "log/cmp_log2.h"
#include "log/session_record.h"
#include "package/ppkg.h"
#include "platform/scoped_handle_win.h"
#include "ui/resource_ids.h"

namespace brx {
namespace {

const wchar_t kModule[] = L"extract";
constexpr DWORD kWaitSliceMs = 100;
// A program that never stops printing must not keep the thread from its
// messages: at most this much output is read between two message pumps.
constexpr size_t kDrainPerSlice = 1024 * 1024;
// The pipe's buffer size asked of the system.
constexpr DWORD kPipeBuffer = 1024 * 1024;
// The first wait after output stopped arriving; it doubles up to a slice.
constexpr DWORD kFirstIdleWaitMs = 1;
// After the program ended, whatever is still in the pipe is read; a child it
// left behind could go on writing, so this read is bounded too.
constexpr size_t kDrainAfterExit = 64 * 1024 * 1024;

using platform::ScopedHandle;

// A failed system call as a step's result: its name and the thread's last error.
StepResult CallFailed(const wchar_t* call) {
  StepResult result(false, GetLastError());
  result.subject.Assign(call);
  return result;
}

// One anonymous pipe for the program's standard output and error.
struct OutputPipe {
  ScopedHandle read;
  ScopedHandle out_write;
  ScopedHandle err_write;

  // Not ok, with the call that failed and its error, when the pipe or a
  // duplicate of its write end cannot be made.
  StepResult Create() {
    ScopedHandle write;
    HANDLE self = GetCurrentProcess();
    // Room for a burst of output while the wait below is at its longest.
    if (!CreatePipe(read.receive(), write.receive(), nullptr, kPipeBuffer)) return CallFailed(L"CreatePipe");
    if (!DuplicateHandle(self, write.get(), self, out_write.receive(), 0, TRUE, DUPLICATE_SAME_ACCESS) ||
        !DuplicateHandle(self, out_write.get(), self, err_write.receive(), 0, TRUE, DUPLICATE_SAME_ACCESS)) {
      return CallFailed(L"DuplicateHandle");
    }
    return StepResult(true);
  }
  void CloseWriteEnds() {
    out_write.Close();
    err_write.Close();
  }
  void Close() {
    CloseWriteEnds();
    read.Close();
  }
};

// Removes the install driver's tray icon once, at the latest when the
// launcher returns.
class TrayIconRemoval {
 public:
  TrayIconRemoval(Presenter& presenter, HWND owner) : presenter_(presenter), owner_(owner) {}
  ~TrayIconRemoval() { Now(); }
  void Now() {
    if (!done_) presenter_.RemoveTrayIcon(owner_);
    done_ = true;
  }

 private:
  Presenter& presenter_;
  HWND owner_;
  bool done_ = false;
};

std::wstring SystemErrorText(DWORD error) {
  wchar_t text[1024];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, ARRAYSIZE(text), nullptr);
  return std::wstring(text, n);
}

// Reads what is waiting in the pipe without ever blocking; true when
// anything was read.
bool DrainPipe(HANDLE pipe, SetupOutputLog* output, size_t budget) {
  char buffer[65536];
  bool any = false;
  while (budget > 0) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
    DWORD want = available < sizeof(buffer) ? available : static_cast<DWORD>(sizeof(buffer));
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, want, &got, nullptr) || got == 0) break;
    output->Add(buffer, got);
    any = true;
    budget -= got < budget ? got : budget;
  }
  return any;
}

// Dispatches this thread's pending messages. A WM_QUIT is remembered so it
// can be posted again once the wait is over, instead of being swallowed.
void PumpMessages(bool* quit, WPARAM* quit_code) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      *quit = true;
      *quit_code = msg.wParam;
      continue;
    }
    DispatchMessageW(&msg);
  }
}

void ShowOwner(HWND owner) {
  if (!owner) return;
  ShowWindow(owner, SW_SHOW);
  ShowWindow(owner, SW_RESTORE);
}

bool AskReboot(LauncherPrompts& prompts, Presenter& presenter, HWND owner) {
  std::wstring text =
      RebootQuestionText(prompts.LoadText(IDS_REBOOT_REQUIRED), prompts.LoadText(IDS_REBOOT_QUESTION));
  ShowOwner(owner);
  int answer = presenter.ShowText(owner, text.c_str(), IDS_REBOOT_CAPTION, MB_YESNO);
  if (owner) ShowWindow(owner, SW_HIDE);
  return answer == IDYES;
}

// ok: the program ran and ended with exit code `code`. Not started: error
// is CreateProcess's. Started but not ok: subject names the call that failed.
struct Launch {
  bool started = false;
  StepResult result;
  uint64_t elapsed_seconds = 0;
};

// The system's own cmd.exe, for batch setup programs. Never %ComSpec% or a
// search of the PATH: either could be pointed at another program.
bool SystemCommandProcessor(std::wstring* path) {
  wchar_t directory[MAX_PATH];
  UINT n = GetSystemDirectoryW(directory, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  *path = std::wstring(directory, n) + L"\\cmd.exe";
  return true;
}

// application: the program to start, or null to take it from the line.
// unattended: hidden, the output piped.
Launch StartAndWait(CCmpLog2& log, const SetupRun& run, bool unattended, const wchar_t* application,
                    const wchar_t* command_line, OutputPipe* pipe, const std::vector<std::wstring>& hidden) {
  Launch result;
  std::vector<wchar_t> mutable_line(command_line, command_line + wcslen(command_line) + 1);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  DWORD flags = NORMAL_PRIORITY_CLASS;
  BOOL inherit = FALSE;
  if (unattended) {
    flags |= CREATE_NO_WINDOW;
    inherit = TRUE;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = pipe->out_write.get();
    startup.hStdError = pipe->err_write.get();
  } else {
    flags |= CREATE_NEW_CONSOLE;
  }

  uint64_t start = GetTickCount64() / 1000;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(application, mutable_line.data(), nullptr, nullptr, inherit, flags, nullptr,
                      run.extraction_dir, &startup, &info)) {
    result.result.error = GetLastError();
    return result;
  }
  result.started = true;
  ScopedHandle process, thread;
  *process.receive() = info.hProcess;
  *thread.receive() = info.hThread;
  // The program holds its own copies now; ours would keep the pipe from ever
  // reporting that the writers are gone.
  pipe->CloseWriteEnds();

  SetupOutputLog output(log, hidden);
  bool quit = false;
  WPARAM quit_code = 0;
  DWORD waited = WAIT_FAILED;
  DWORD idle_wait = kFirstIdleWaitMs;
  for (;;) {
    bool drained = pipe->read.valid() && DrainPipe(pipe->read.get(), &output, kDrainPerSlice);
    // While the program is printing, read again at once; when the pipe is
    // only momentarily empty, look again after a millisecond, then after
    // twice as long each time up to a slice. A chatty program is never left
    // stalled on a full pipe for a whole slice, and a quiet one costs a
    // wake-up per slice, as before. Messages are pumped on every round.
    if (drained) idle_wait = kFirstIdleWaitMs;
    waited = WaitForSingleObject(process.get(), drained ? 0 : idle_wait);
    if (waited != WAIT_TIMEOUT) break;
    if (!drained) idle_wait = idle_wait * 2 < kWaitSliceMs ? idle_wait * 2 : kWaitSliceMs;
    PumpMessages(&quit, &quit_code);
  }
  // A failed wait would read "still active" (259) as the program's code; an
  // unread code would count as 0. Either is reported instead of taken for
  // the program's answer.
  StepResult ended = waited == WAIT_OBJECT_0 ? StepResult(true) : CallFailed(L"WaitForSingleObject");
  if (!ended.ok) ended.step = record::kStepWait;
  if (pipe->read.valid()) DrainPipe(pipe->read.get(), &output, kDrainAfterExit);
  output.Finish();
  DWORD exit_code = 0;
  if (ended.ok && !GetExitCodeProcess(process.get(), &exit_code)) {
    ended = CallFailed(L"GetExitCodeProcess");
    ended.step = record::kStepExitCode;
  }
  ended.code = ended.ok ? static_cast<int32_t>(exit_code) : kCompletionFailed;
  result.result = ended;
  result.elapsed_seconds = GetTickCount64() / 1000 - start;
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  return result;
}

}  // namespace

int32_t RunSetupProgram(CCmpLog2& log, const CPPkg& package, const SetupRun& run) {
  SilentPresenter nothing_shown;
  Presenter& presenter = run.presenter ? *run.presenter : nothing_shown;
  bool unattended = !presenter.Attended();
  TrayIconRemoval tray_icon(presenter, run.owner);
  LauncherPrompts& prompts = run.prompts ? *run.prompts : ResourcePrompts();
  // The first step that fails is the one the caller hears of.
  auto fail = [&](const char* step, StepResult result) {
    if (!run.failure || !run.failure->ok) return;
    if (!result.step) result.step = step;
    result.ok = false;
    *run.failure = result;
  };

  OutputPipe pipe;
  if (unattended) {
    StepResult piped = pipe.Create();
    if (!piped.ok) {
      LogStepFailure(log, 655, L"The setup program's output pipe could not be made", nullptr, piped);
      fail(record::kStepLaunch, piped);
      log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, 656, L"Installation Halted...ERROR CODE (0)\r\n\r\n");
      return kCompletionFailed;
    }
  }

  SetupCommandLine plain, masked;
  std::vector<std::wstring> hidden;
  const wchar_t* stub_line = run.command_line ? run.command_line : GetCommandLineW();
  if (!BuildSetupCommandLines(log, package, stub_line, run.extraction_dir, &plain, &masked, &hidden)) {
    fail(record::kStepCommandLine, StepFailed(nullptr, 0, L"argument_refused"));
    return kCompletionFailed;
  }
  SessionRecord* record = log.record();
  if (record) record->SetCommandLine(masked.get());

  int32_t raw_code;
  if (run.silent && run.dry_run) {
    LogDryRun(log);
    raw_code = kCompletionInstalled;
  } else {
    // A batch file is started through cmd.exe explicitly, with the line
    // built for it, never by CreateProcess's own handling of batch files.
    std::wstring application, executed = plain.get();
    Launch launch;
    if (IsBatchProgram(package.GetInstallCommand()) && !SystemCommandProcessor(&application)) {
      launch.result.error = GetLastError();
    } else {
      if (!application.empty()) executed = CommandProcessorLine(application.c_str(), plain.get());
      launch = StartAndWait(log, run, unattended, application.empty() ? nullptr : application.c_str(), executed.c_str(), &pipe,
                            hidden);
    }
    if (launch.started && launch.result.ok) {
      raw_code = launch.result.code;
      if (record) record->SetSetupExitCode(raw_code);
      LogSetupFinished(log, launch.elapsed_seconds, raw_code);
      if (ShouldAskReboot(raw_code, unattended)) {
        bool yes = AskReboot(prompts, presenter, run.owner);
        if (run.reboot) *run.reboot = yes;
      }
    } else if (launch.started) {
      // Whatever the program did, its answer is unknown: the install counts
      // as failed rather than as what an unread code would say.
      raw_code = kCompletionFailed;
      LogStepFailure(log, 776, L"The setup program's exit code could not be read", nullptr, launch.result);
      fail(record::kStepExitCode, launch.result);
      log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, 777, L"Installation Issue...FAILURE CODE (0)\r\n");
    } else {
      raw_code = kCompletionFailed;
      DWORD error = launch.result.error;
      LogSetupNotStarted(log, error, SystemErrorText(error).c_str(), package.GetInstallCommand());
      fail(record::kStepLaunch, StepResult(false, error));
      ShowOwner(run.owner);
      std::wstring text = FillProgramName(prompts.LoadText(IDS_SETUP_NOT_STARTED), package.GetInstallCommand());
      presenter.ShowText(run.owner, text.c_str(), IDS_CAPTION, MB_ICONERROR);
    }
  }
  pipe.Close();

  int32_t code = TranslateReturnCode(log, package, raw_code);
  if (!IsInstalledCode(code) && code != kCompletionNotAttempted) {
    // The program ran and answered failure (or a code outside the contract):
    // no Windows error, its own completion line says what it answered.
    StepResult answered = StepFailed(nullptr, 0);
    answered.text = CompletionCodeText(raw_code);
    fail(record::kStepSetupProgram, answered);
  }

  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 931, L"Updating component data... ");
  StepResult recorded = UpdateComponentData(log, package, run.definition_file_name, code);
  // The text log ends the step with "Done." whatever happened, as it always
  // has; the record says the inventory was not written, and why.
  if (!recorded.ok) fail(record::kStepInventory, recorded);
  log.Write(LOG_BOTH, LEVEL_INFO, kModule, 939, L"Done.\r\n\r\n");

  tray_icon.Now();
  presenter.CloseWindows(run.owner);
  return code;
}

void LogLastError(CCmpLog2& log, const wchar_t* what) {
  DWORD error = GetLastError();
  LogLastErrorLine(log, what, error, SystemErrorText(error).c_str());
}

}  // namespace brx
