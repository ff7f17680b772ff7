// deskhold.exe: keeps the test bench's virtual desktop alive.
//
// Wine closes a virtual desktop one second after its last user process has
// gone; a program started in that second finds the desktop window destroyed
// and dies with an X error before it shows anything. Tests start programs one
// after another, so the bench runs this for its whole life: a hidden window on
// the desktop and a message loop, until the bench's server is stopped.
//   deskhold READY_FILE   creates READY_FILE once its window exists
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = L"BrxDeskHold";
  if (!RegisterClassW(&wc)) return 1;
  // A top-level window (not message-only), so this process uses the desktop.
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 1;

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc > 1) {
    HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  }
  if (argv) LocalFree(argv);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
