// The setup dialog (templates 101 and 115): the package's name, version,
// configuration date and description, with Install, Extract and Close and a
// "View Contents" entry in the system menu.
#ifndef BRX_UI_MAIN_DIALOG_WIN_H_
#define BRX_UI_MAIN_DIALOG_WIN_H_

#include <windows.h>

#include "ui/main_dialog_command_win.h"

namespace brx {

// System-menu command of the View Contents entry. The system uses the low
// four bits of system commands, so 4080 to 4095 all mean this entry.
const UINT kViewContentsCommand = 0xFF0;

// What the dialog offers, from the package data settings and the definition.
struct MainDialogPermissions {
  bool view_contents = true;
  bool extract = true;
  bool install = true;
};
MainDialogPermissions GetMainDialogPermissions(const CPPkg& package);

// Template 115 when the package asks for the large window, else 101.
UINT MainDialogTemplate(const CPPkg& package);

// The dialog procedure; WM_INITDIALOG's lparam is the MainDialogContext.
INT_PTR CALLBACK MainDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Runs the dialog modally with the template the package asks for.
// context.package must be set; the completion code is left in
// *context.completion_code (3 when closed, the install's or extraction's
// result otherwise, 0 when the dialog cannot be created).
void ShowMainDialog(HWND owner, const MainDialogContext& context);

}  // namespace brx

#endif  // BRX_UI_MAIN_DIALOG_WIN_H_
