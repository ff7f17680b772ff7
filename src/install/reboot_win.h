// Restarting the machine after an install that needs it.
#ifndef BRX_INSTALL_REBOOT_WIN_H_
#define BRX_INSTALL_REBOOT_WIN_H_

#include <windows.h>
#include <stdint.h>

#include <string>

#include "base/presenter.h"
#include "install/step_result.h"

namespace brx {

struct RebootRequest {
  Presenter* presenter = nullptr;   // shows the removable-media warning; null shows nothing
  const wchar_t* message = nullptr; // the /reboot_message text; empty or null: string 708
  int32_t timeout_seconds = 0;      // negative means none
};

// Everything RebootSystem does to the machine. A default-constructed set
// scans no drive, shows nothing and never shuts anything down: only the
// stub's entry hands in the real shutdown (ProductRebootHooks), so no test
// binary can restart the machine it runs on.
struct RebootHooks {
  UINT (*drive_type)(const wchar_t* root) = nullptr;
  bool (*root_accessible)(const wchar_t* root) = nullptr;
  std::wstring (*load_text)(UINT id) = nullptr;
  // Enables SeShutdownPrivilege in the process token; false (with the
  // thread's last error set) stops the reboot.
  bool (*enable_shutdown_privilege)() = nullptr;
  // InitiateSystemShutdownW's shape without the machine name.
  BOOL (*shutdown)(const wchar_t* message, DWORD timeout, BOOL force_apps_closed, BOOL reboot) = nullptr;
};

// Warns about media in floppy and CD-ROM drives through the presenter, then starts
// the restart with the message and countdown. Not ok when no restart was
// started: subject says which call failed, error why.
StepResult RebootSystem(const RebootRequest& request, const RebootHooks& hooks);

// The pieces of the real set that are safe anywhere (drive queries, strings,
// the privilege); the shutdown itself is left null.
RebootHooks SystemRebootHooksWithoutShutdown();

}  // namespace brx

#endif  // BRX_INSTALL_REBOOT_WIN_H_
