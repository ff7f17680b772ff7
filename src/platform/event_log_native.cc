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
  Reported().push_back(ReportedEvent{type, id, strings});
  return true;
}

std::vector<ReportedEvent> TakeReportedEvents() {
  std::vector<ReportedEvent> taken;
  taken.swap(Reported());
  return taken;
}

}  // namespace platform
}  // namespace brx
