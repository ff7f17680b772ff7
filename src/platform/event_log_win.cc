#include "platform/event_log.h"

#include <windows.h>

#include "platform/scoped_event_source_win.h"

namespace brx {
namespace platform {
namespace {

// ReportEventW takes at most this many strings of at most 31,839 characters
// each; longer ones are cut (and marked) rather than have the whole event
// refused.
constexpr size_t kMaxStrings = 256;

WORD SystemType(EventType type) {
  switch (type) {
    case EventType::kWarning: return EVENTLOG_WARNING_TYPE;
    case EventType::kError: return EVENTLOG_ERROR_TYPE;
    case EventType::kInformation: break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

bool ReportApplicationEvent(EventType type, uint32_t id, const std::vector<std::wstring>& strings) {
  ScopedEventSource source(RegisterEventSourceW(nullptr, kEventSourceName));
  if (!source.valid()) return false;
  std::vector<std::wstring> cut;
  std::vector<const wchar_t*> pointers;
  size_t count = strings.size() < kMaxStrings ? strings.size() : kMaxStrings;
  cut.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    cut.push_back(EventInsertionString(strings[i]));
    pointers.push_back(cut.back().c_str());
  }
  return ReportEventW(source.get(), SystemType(type), 0, id, nullptr, static_cast<WORD>(count), 0,
                      pointers.empty() ? nullptr : pointers.data(), nullptr) != FALSE;
}

}  // namespace platform
}  // namespace brx
