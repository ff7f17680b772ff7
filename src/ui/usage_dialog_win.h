// The command-line usage help (template 108).
#ifndef BRX_UI_USAGE_DIALOG_WIN_H_
#define BRX_UI_USAGE_DIALOG_WIN_H_

#include <windows.h>
#include <stdint.h>

namespace brx {

// Shows the dialog modally; closing it sets *completion_code to 3.
void UsageDialog(HWND owner, int32_t* completion_code);

}  // namespace brx

#endif  // BRX_UI_USAGE_DIALOG_WIN_H_
