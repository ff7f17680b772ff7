// Windows Application events under the stub's own source, for Windows Event
// Forwarding and monitoring agents: a machine's fleet tooling sees a run's
// outcome, or a folder the stub refused, without reading the stub's files.
//
// No message file is registered: the stub's file moves and goes away with the
// package, so a registration would point at nothing. Viewers show the event's
// strings under "the description cannot be found"; agents read them as the
// event's data.
#ifndef BRX_PLATFORM_EVENT_LOG_H_
#define BRX_PLATFORM_EVENT_LOG_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace brx {
namespace platform {

// The event source every event of the stub is reported under.
constexpr wchar_t kEventSourceName[] = L"brxstub";

enum class EventType { kInformation, kWarning, kError };

// The longest insertion string Windows takes, in UTF-16 code units.
constexpr size_t kMaxEventStringChars = 31839;
// What ends a string that was cut to fit.
constexpr wchar_t kEventStringCutMark[] = L"...[cut]";

// `text` as an insertion string: unchanged when it fits, else cut so that it
// ends in kEventStringCutMark within kMaxEventStringChars (never between the
// two halves of a surrogate pair), so a reader sees it is not whole.
std::wstring EventInsertionString(const std::wstring& text);

// Reports one event with these insertion strings (%1, %2, ...), each through
// EventInsertionString. False when
// the system refused it; callers go on either way, an event is a second
// trace and never a reason to stop.
bool ReportApplicationEvent(EventType type, uint32_t id, const std::vector<std::wstring>& strings);

#ifndef _WIN32
// The native build has no event log: events are kept in the process, and
// tests take them from here.
struct ReportedEvent {
  EventType type;
  uint32_t id;
  std::vector<std::wstring> strings;
};
std::vector<ReportedEvent> TakeReportedEvents();
#endif

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_EVENT_LOG_H_
