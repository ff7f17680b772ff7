// Loading the stub's own resources in the user interface language.
//
// The loader is explicit about the language (FindResourceExW) because Wine's
// LoadStringW ignores SetThreadUILanguage; English is the fallback for every
// resource that has no translation.
#ifndef BRX_UI_RESOURCES_WIN_H_
#define BRX_UI_RESOURCES_WIN_H_

#include <windows.h>

#include <string>

namespace brx {
namespace ui {

// The module whose resources the stub shows (its own executable).
HMODULE ResourceModule();

// The resource language to try first: the user interface language.
LANGID PreferredResourceLanguage();

// A string-table entry, at most max_chars characters; empty when it does not exist.
std::wstring LoadResourceString(UINT id, size_t max_chars = 32768);
// The entry in exactly that language; empty when that language lacks it.
std::wstring LoadResourceStringIn(UINT id, LANGID language, size_t max_chars = 32768);

// A dialog template in the preferred language, else English, else any; null when missing.
const DLGTEMPLATE* LoadDialogTemplate(UINT id);

// Modal dialog from a template of this module.
INT_PTR ShowModalDialog(UINT template_id, HWND owner, DLGPROC proc, LPARAM param);

}  // namespace ui
}  // namespace brx

#endif  // BRX_UI_RESOURCES_WIN_H_
