// A directory search of FindFirstFileW with one owner, ended by FindClose
// when the owner goes.
#ifndef BRX_PLATFORM_SCOPED_FIND_HANDLE_WIN_H_
#define BRX_PLATFORM_SCOPED_FIND_HANDLE_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct FindHandleTraits {
  using Type = HANDLE;
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { FindClose(h); }
};
using ScopedFindHandle = ScopedResource<FindHandleTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_FIND_HANDLE_WIN_H_
