#include "ui/screen_presenter_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "ui/message_box_win.h"
#include "ui/progress_dialog_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

HWND AsWindow(OwnerWindow owner) { return static_cast<HWND>(owner); }

// Icon id 0 on the owner, or on the desktop window when there is none.
NOTIFYICONDATAW TrayIconData(OwnerWindow owner) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = owner ? AsWindow(owner) : GetDesktopWindow();
  data.uID = 0;
  return data;
}

}  // namespace

ScreenPresenter::~ScreenPresenter() {
  if (progress_) DestroyWindow(progress_);
}

int ScreenPresenter::ShowMessage(OwnerWindow owner, unsigned text_id, unsigned caption_id, unsigned style) {
  return ShowResourceMessage(AsWindow(owner), text_id, caption_id, style);
}

int ScreenPresenter::ShowText(OwnerWindow owner, const wchar_t* text, unsigned caption_id, unsigned style) {
  std::wstring caption = ui::LoadResourceString(caption_id);
  return MessageBoxW(AsWindow(owner), text ? text : L"", caption.c_str(), style);
}

void ScreenPresenter::OpenProgress(OwnerWindow owner) {
  if (progress_) DestroyWindow(progress_);
  progress_ = ProgressDialog(AsWindow(owner));
}

void ScreenPresenter::SetProgress(int percent) {
  if (progress_) SendDlgItemMessageW(progress_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void ScreenPresenter::FinishProgress(OwnerWindow owner, bool hide_owner) {
  if (progress_) {
    SendDlgItemMessageW(progress_, IDC_PROGRESS_BAR, PBM_SETPOS, 100, 0);
    ::Sleep(2000);
    DestroyWindow(progress_);
    progress_ = nullptr;
  }
  if (hide_owner && owner) {
    ShowWindow(AsWindow(owner), SW_MINIMIZE);
    ShowWindow(AsWindow(owner), SW_HIDE);
  }
}

void ScreenPresenter::CloseWindows(OwnerWindow owner) {
  if (progress_) DestroyWindow(progress_);
  progress_ = nullptr;
  if (owner) DestroyWindow(AsWindow(owner));
}

void ScreenPresenter::AddTrayIcon(OwnerWindow owner, const wchar_t* tooltip) {
  NOTIFYICONDATAW data = TrayIconData(owner);
  data.uFlags = NIF_ICON | NIF_TIP;
  data.hIcon = tray_image_;
  lstrcpynW(data.szTip, tooltip ? tooltip : L"", ARRAYSIZE(data.szTip));
  Shell_NotifyIconW(NIM_ADD, &data);
}

void ScreenPresenter::RemoveTrayIcon(OwnerWindow owner) {
  NOTIFYICONDATAW data = TrayIconData(owner);
  Shell_NotifyIconW(NIM_DELETE, &data);
}

}  // namespace brx
