#include "ui/usage_dialog_win.h"

#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

INT_PTR CALLBACK UsageDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      return TRUE;
    case WM_COMMAND:
      // Close, Esc and the close box all arrive as IDCANCEL.
      if (LOWORD(wparam) == IDCANCEL) {
        auto* completion_code = reinterpret_cast<int32_t*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (completion_code) *completion_code = 3;
        EndDialog(dialog, 3);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void UsageDialog(HWND owner, int32_t* completion_code) {
  ui::ShowModalDialog(IDD_USAGE, owner, UsageDialogProc, reinterpret_cast<LPARAM>(completion_code));
}

}  // namespace brx
