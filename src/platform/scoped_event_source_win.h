// A registered event source (RegisterEventSourceW) with one owner,
// deregistered when the owner goes.
#ifndef BRX_PLATFORM_SCOPED_EVENT_SOURCE_WIN_H_
#define BRX_PLATFORM_SCOPED_EVENT_SOURCE_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct EventSourceTraits {
  using Type = HANDLE;
  static HANDLE Empty() { return nullptr; }
  static bool IsValid(HANDLE source) { return source != nullptr; }
  static void Free(HANDLE source) { DeregisterEventSource(source); }
};
using ScopedEventSource = ScopedResource<EventSourceTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_EVENT_SOURCE_WIN_H_
