// The licence agreement (template 114, English in every language).
#ifndef BRX_UI_LICENSE_DIALOG_WIN_H_
#define BRX_UI_LICENSE_DIALOG_WIN_H_

#include <windows.h>
#include <stdint.h>

#include <string>

class CPPkg;

namespace brx {

// Shows the package's licence text modally. Returns 1 when accepted, 0 when
// declined (Cancel, Enter, Esc, the close box; *completion_code becomes 3),
// -1 when the dialog cannot be created.
INT_PTR LicenseDialog(HWND owner, const CPPkg& package, int32_t* completion_code);

// The text as the edit control shows it: every line feed becomes CR LF (a CR
// already before it stays, giving CR CR LF). Stops at the first zero byte.
std::string LicenseDisplayText(const char* text, size_t length);

}  // namespace brx

#endif  // BRX_UI_LICENSE_DIALOG_WIN_H_
