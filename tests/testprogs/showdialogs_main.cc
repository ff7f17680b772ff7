// showdialogs.exe: shows message boxes and a dialog in the order of its
// arguments, for testing the watcher without the stub.
//   /caption:TEXT  caption of the following message boxes
//   /style:N       MessageBoxW style of the following message boxes (default 0x10)
//   /msg:TEXT      a message box
//   /dialog        dialog IDD_DEMO (one control's text is set in WM_INITDIALOG)
// Exit code: the answer of the last window shown, 0 with none, 255 for bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "showdialogs.h"

namespace {

INT_PTR CALLBACK DemoProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dialog, IDC_DEMO_LATE, DEMO_LATE_TEXT);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) EndDialog(dialog, LOWORD(wparam));
      return TRUE;
  }
  return FALSE;
}

bool Take(const std::wstring& arg, const wchar_t* prefix, std::wstring* value) {
  size_t n = wcslen(prefix);
  if (arg.compare(0, n, prefix) != 0) return false;
  *value = arg.substr(n);
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 255;
  std::wstring caption = L"Watcher Demo";
  UINT style = MB_ICONSTOP;
  int result = 0;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i], value;
    if (Take(arg, L"/caption:", &value)) {
      caption = value;
    } else if (Take(arg, L"/style:", &value)) {
      style = static_cast<UINT>(wcstoul(value.c_str(), nullptr, 0));
    } else if (Take(arg, L"/msg:", &value)) {
      result = MessageBoxW(nullptr, value.c_str(), caption.c_str(), style);
    } else if (arg == L"/dialog") {
      result = static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_DEMO),
                                                GetDesktopWindow(), DemoProc, 0));
    } else {
      result = 255;
      break;
    }
  }
  LocalFree(argv);
  return result;
}
