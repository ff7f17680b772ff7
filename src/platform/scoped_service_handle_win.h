// A handle of the service control manager (the manager itself or one
// service) with one owner, closed when the owner goes.
#ifndef BRX_PLATFORM_SCOPED_SERVICE_HANDLE_WIN_H_
#define BRX_PLATFORM_SCOPED_SERVICE_HANDLE_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static SC_HANDLE Empty() { return nullptr; }
  static bool IsValid(SC_HANDLE h) { return h != nullptr; }
  static void Free(SC_HANDLE h) { CloseServiceHandle(h); }
};
using ScopedServiceHandle = ScopedResource<ServiceHandleTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_SERVICE_HANDLE_WIN_H_
