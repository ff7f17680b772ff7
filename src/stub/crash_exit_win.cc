#include "stub/crash_exit_win.h"

#include <windows.h>
#include <signal.h>

namespace brx {
namespace {

volatile LONG g_exit_code = 0;
CrashRecorder g_recorder = nullptr;
volatile LONG g_crashing = 0;

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
  DWORD code = pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;
  EndAfterCrash("unhandled_exception", code, record::ErrorKind::kNtstatus);
}

void AbortSignal(int) { EndAfterCrash("abort"); }

}  // namespace

void SetCrashExit(int exit_code, CrashRecorder recorder) {
  InterlockedExchange(&g_exit_code, exit_code);
  g_recorder = recorder;
}

void InstallCrashHandlers() {
  SetUnhandledExceptionFilter(CrashFilter);
  signal(SIGABRT, AbortSignal);
}

void EndAfterCrash(const char* reason, uint32_t code, record::ErrorKind kind) {
  int exit_code = static_cast<int>(g_exit_code);
  // A second crash (in the record's writing, or on another thread) ends at
  // once: the first one is writing what there is to say.
  if (InterlockedExchange(&g_crashing, 1) == 0 && g_recorder) g_recorder(exit_code, reason, code, kind);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exit_code));
  // TerminateProcess does not return for the own process; should it, no
  // runtime exit code is left to speak instead.
  for (;;) ExitProcess(static_cast<UINT>(exit_code));
}

}  // namespace brx
