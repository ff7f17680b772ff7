// A kernel object handle with one owner, closed when the owner goes. Both
// "no handle" values of the Win32 API (null and INVALID_HANDLE_VALUE) count
// as empty, so any creating call's result can be taken as it comes.
#ifndef BRX_PLATFORM_SCOPED_HANDLE_WIN_H_
#define BRX_PLATFORM_SCOPED_HANDLE_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct HandleTraits {
  using Type = HANDLE;
  static HANDLE Empty() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { CloseHandle(h); }
};
using ScopedHandle = ScopedResource<HandleTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_HANDLE_WIN_H_
