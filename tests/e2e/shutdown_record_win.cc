// The restart of the recording test build of the stub (brxstub_recording.exe):
// the shutdown's arguments are appended to the file named by
// BRX_SHUTDOWN_RECORD, and nothing restarts, whether the variable is set or
// not. Only this test build links it; the shipped stub calls the system.
#include <string>

#include "base/format.h"
#include "platform/codepage.h"
#include "stub/shutdown_win.h"

namespace brx {

BOOL ProductShutdown(const wchar_t* message, DWORD timeout, BOOL force_apps_closed, BOOL reboot) {
  wchar_t record[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableW(L"BRX_SHUTDOWN_RECORD", record, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return FALSE;
  std::wstring line = Format(L"shutdown message=[%s] timeout=%u force=%d reboot=%d\r\n", message, timeout,
                             static_cast<int>(force_apps_closed), static_cast<int>(reboot));
  std::string bytes = platform::WideToAnsi(line);
  HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok;
}

}  // namespace brx
