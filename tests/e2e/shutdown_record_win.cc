// The restart of the recording test build of the stub (brxstub_recording.exe):
// the shutdown's arguments are appended to the file named by
// BRX_SHUTDOWN_RECORD, and nothing restarts, whether the variable is set or
// not. Only this test build links it; the shipped stub calls the system.
#include <string>

#include "base/format.h"
#include "record_file_win.h"
#include "stub/shutdown_win.h"

namespace brx {

BOOL ProductShutdown(const wchar_t* message, DWORD timeout, BOOL force_apps_closed, BOOL reboot) {
  return brxe2e::AppendRecordLine(L"BRX_SHUTDOWN_RECORD",
                                  Format(L"shutdown message=[%s] timeout=%u force=%d reboot=%d\r\n", message,
                                         timeout, static_cast<int>(force_apps_closed), static_cast<int>(reboot)))
             ? TRUE
             : FALSE;
}

}  // namespace brx
