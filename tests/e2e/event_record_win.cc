// The Application events of the recording test build of the stub
// (brxstub_recording.exe): each event is appended as one line
// "event type=T id=N strings=[s1|s2|...]" to the file named by
// BRX_EVENT_RECORD, and none reaches the system's log (Wine keeps none).
// Only this test build links it; the shipped stub reports to the system.
#include <string>

#include "base/format.h"
#include "platform/event_log.h"
#include "record_file_win.h"

namespace brx {
namespace platform {

bool ReportApplicationEvent(EventType type, uint32_t id, const std::vector<std::wstring>& strings) {
  std::wstring joined;
  for (const std::wstring& s : strings) joined += (joined.empty() ? L"" : L"|") + EventInsertionString(s);
  return brxe2e::AppendRecordLine(
      L"BRX_EVENT_RECORD", Format(L"event type=%d id=%u strings=[%s]\r\n", static_cast<int>(type), id, joined));
}

}  // namespace platform
}  // namespace brx
