// The Application events of the recording test build of the stub
// (brxstub_recording.exe): each event is appended as one line
// "event type=T id=N strings=[s1|s2|...]" to the file named by
// BRX_EVENT_RECORD, and none reaches the system's log (Wine keeps none).
// Only this test build links it; the shipped stub reports to the system.
#include <windows.h>

#include <string>

#include "base/format.h"
#include "platform/codepage.h"
#include "platform/event_log.h"

namespace brx {
namespace platform {

bool ReportApplicationEvent(EventType type, uint32_t id, const std::vector<std::wstring>& strings) {
  wchar_t record[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableW(L"BRX_EVENT_RECORD", record, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return false;
  std::wstring joined;
  for (const std::wstring& s : strings) joined += (joined.empty() ? L"" : L"|") + s;
  std::string bytes = WideToAnsi(Format(L"event type=%d id=%u strings=[%s]\r\n", static_cast<int>(type), id, joined));
  HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok != FALSE;
}

}  // namespace platform
}  // namespace brx
