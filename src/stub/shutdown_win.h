// The one place the stub asks Windows to restart.
#ifndef BRX_STUB_SHUTDOWN_WIN_H_
#define BRX_STUB_SHUTDOWN_WIN_H_

#include <windows.h>

namespace brx {

// InitiateSystemShutdownW on this machine. Nothing in the environment, the
// registry or a file changes what it does: a deployment tool must not be able
// to cancel a restart the administrator asked for. The end-to-end tests link a
// recording definition into a test build of the stub instead of this one.
BOOL ProductShutdown(const wchar_t* message, DWORD timeout, BOOL force_apps_closed, BOOL reboot);

}  // namespace brx

#endif  // BRX_STUB_SHUTDOWN_WIN_H_
