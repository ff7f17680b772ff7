// The one place the stub asks Windows to restart.
#ifndef BRX_STUB_SHUTDOWN_WIN_H_
#define BRX_STUB_SHUTDOWN_WIN_H_

#include <windows.h>

namespace brx {

// Name of the environment variable that turns the restart into a record: when
// it names a file, the shutdown's arguments are appended to it instead of
// being handed to the system. End-to-end tests set it; a machine where it is
// set merely does not restart.
#define BRX_SHUTDOWN_RECORD_VARIABLE L"BRX_SHUTDOWN_RECORD"

BOOL ProductShutdown(const wchar_t* message, DWORD timeout, BOOL force_apps_closed, BOOL reboot);

}  // namespace brx

#endif  // BRX_STUB_SHUTDOWN_WIN_H_
