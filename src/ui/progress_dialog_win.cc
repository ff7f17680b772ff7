#include "ui/progress_dialog_win.h"

#include <commctrl.h>

#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  CenterOverParent(dialog);
  return TRUE;
}

}  // namespace

void CenterOverParent(HWND window) {
  RECT own;
  if (!GetWindowRect(window, &own)) return;
  RECT area;
  HWND owner = GetWindow(window, GW_OWNER);
  if (!owner || !GetWindowRect(owner, &area)) {
    area.left = area.top = 0;
    area.right = GetSystemMetrics(SM_CXSCREEN);
    area.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  int width = own.right - own.left;
  int height = own.bottom - own.top;
  int x = area.left + ((area.right - area.left) - width) / 2;
  int y = area.top + ((area.bottom - area.top) - height) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

HWND ProgressDialog(HWND owner) {
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  const DLGTEMPLATE* dialog = ui::LoadDialogTemplate(IDD_PROGRESS);
  if (!dialog) return nullptr;
  return CreateDialogIndirectParamW(ui::ResourceModule(), dialog, owner, ProgressDialogProc, 0);
}

}  // namespace brx
