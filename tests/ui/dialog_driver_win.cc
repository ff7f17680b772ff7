#include "dialog_driver_win.h"

namespace brxtest {
namespace {

DialogDriver* g_driver = nullptr;

BOOL CALLBACK FindActive(HWND window, LPARAM result) {
  wchar_t cls[16];
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  if (!GetClassNameW(window, cls, 16) || wcscmp(cls, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(result) = window;
  return FALSE;
}

BOOL CALLBACK CloseAll(HWND window, LPARAM) {
  wchar_t cls[16];
  if (GetClassNameW(window, cls, 16) && wcscmp(cls, L"#32770") == 0) EndDialog(window, 0);
  return TRUE;
}

struct Search {
  const std::wstring* part;
  std::wstring found;
};

BOOL CALLBACK FindStatic(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t cls[16];
  if (!GetClassNameW(child, cls, 16) || _wcsicmp(cls, L"Static") != 0) return TRUE;
  std::wstring text = WindowText(child);
  if (text.find(*search->part) == std::wstring::npos) return TRUE;
  search->found = text;
  return FALSE;
}

}  // namespace

DialogDriver::DialogDriver(std::vector<Step> steps, DWORD timeout_ms)
    : steps_(std::move(steps)), deadline_(GetTickCount() + timeout_ms) {
  g_driver = this;
  timer_ = SetTimer(nullptr, 0, 40, OnTimer);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  g_driver = nullptr;
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_driver) g_driver->Tick();
}

void DialogDriver::Tick() {
  // A step may run a nested modal loop; its ticks must not reenter the script.
  if (busy_) return;
  busy_ = true;
  if (static_cast<LONG>(GetTickCount() - deadline_) > 0) {
    timed_out_ = true;
    next_ = steps_.size();
    EnumThreadWindows(GetCurrentThreadId(), CloseAll, 0);
  } else if (next_ < steps_.size() && steps_[next_](ActiveDialog())) {
    ++next_;
  }
  busy_ = false;
}

HWND ActiveDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindActive, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(length + 1, L'\0');
  text.resize(GetWindowTextW(window, &text[0], length + 1));
  return text;
}

std::wstring ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void PostCommand(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(UINT key) {
  HWND focus = GetFocus();
  PostMessageW(focus, WM_KEYDOWN, key, 1);
  PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

RECT ItemRect(HWND dialog, int id) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring FindStaticText(HWND dialog, const std::wstring& part) {
  Search search = {&part, std::wstring()};
  EnumChildWindows(dialog, FindStatic, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace brxtest
