#include "platform/event_log.h"

#include <utility>

namespace brx {
namespace platform {
namespace {

std::vector<ReportedEvent>& Reported() {
  static std::vector<ReportedEvent> events;
  return events;
}

}  // namespace

bool ReportApplicationEvent(EventType type, uint32_t id, const std::vector<std::wstring>& strings) {
  std::vector<std::wstring> cut;
  for (const std::wstring& s : strings) cut.push_back(EventInsertionString(s));
  Reported().push_back(ReportedEvent{type, id, cut});
  return true;
}

std::vector<ReportedEvent> TakeReportedEvents() {
  std::vector<ReportedEvent> taken;
  taken.swap(Reported());
  return taken;
}

}  // namespace platform
}  // namespace brx
