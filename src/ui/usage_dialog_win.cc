#include "ui/usage_dialog_win.h"

#include "ui/main_dialog_command_win.h"
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
      return CloseOnlyCommand(dialog, wparam);
    default:
      return FALSE;
  }
}

}  // namespace

void UsageDialog(HWND owner, int32_t* completion_code) {
  MainDialogContext context;
  context.completion_code = completion_code;
  ui::ShowModalDialog(IDD_USAGE, owner, UsageDialogProc, reinterpret_cast<LPARAM>(&context));
}

}  // namespace brx
