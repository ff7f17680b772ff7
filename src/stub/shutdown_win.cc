#include "stub/shutdown_win.h"

namespace brx {

BOOL ProductShutdown(const wchar_t* message, DWORD timeout, BOOL force_apps_closed, BOOL reboot) {
  return InitiateSystemShutdownW(nullptr, const_cast<LPWSTR>(message), timeout, force_apps_closed, reboot);
}

}  // namespace brx
