// What the setup dialog and the dialogs it opens share: the objects they show,
// the run's completion code, the install driver behind Install and Extract,
// and the command handler for Close, Esc, Install and Extract.
#ifndef BRX_UI_MAIN_DIALOG_COMMAND_WIN_H_
#define BRX_UI_MAIN_DIALOG_COMMAND_WIN_H_

#include <windows.h>
#include <stdint.h>

class CPPkg;
namespace brxzip {
class ZIP_File;
}  // namespace brxzip

namespace brx {

// The install driver and the restart, provided by the stub's entry; tests
// substitute their own.
class InstallActions {
 public:
  virtual ~InstallActions() = default;
  // ExtractAndInstall: the completion code of an install, 1 or 0 for an
  // extraction. target_dir null lets the driver choose (install) or ask the
  // user (extract). It may destroy `owner`, which ends the setup dialog.
  virtual int32_t ExtractAndInstall(HWND owner, const wchar_t* target_dir, bool install) = 0;
  virtual void RebootSystem() = 0;
};

// Everything is borrowed from the caller and must outlive the dialogs. Only
// completion_code is needed by the usage dialog; the rest by the setup dialog.
struct MainDialogContext {
  const CPPkg* package = nullptr;
  const brxzip::ZIP_File* archive = nullptr;
  int32_t* completion_code = nullptr;
  // The reboot option; read after an install because the reboot prompt of the
  // launcher may have changed it.
  const bool* reboot = nullptr;
  InstallActions* actions = nullptr;
  HICON small_icon = nullptr;
  HICON large_icon = nullptr;
  // Set while Install or Extract runs. The checks' message boxes have no
  // owner, so the dialog keeps taking commands while one is up.
  mutable bool busy = false;
};

// Handles ids 2 and 1004 (completion 3, ends `window` with 3), 1002 (licence,
// install, reboot when needed and allowed) and 1003 (licence, extract).
// While one of these runs, the dialog is disabled and the four ids do
// nothing. Returns false for every other id.
bool MainDialogCommand(HWND window, UINT id, const MainDialogContext& context);

// WM_COMMAND of a dialog without buttons of its own (contents, usage) whose
// DWLP_USER holds the MainDialogContext: only Esc, the close box and a Close
// button (all id 2) reach the shared handler, so nothing there can start an
// install. TRUE when handled.
INT_PTR CloseOnlyCommand(HWND dialog, WPARAM wparam);

}  // namespace brx

#endif  // BRX_UI_MAIN_DIALOG_COMMAND_WIN_H_
