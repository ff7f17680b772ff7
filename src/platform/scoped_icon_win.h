// An icon loaded for the caller (LoadImageW without LR_SHARED) with one
// owner, destroyed when the owner goes.
#ifndef BRX_PLATFORM_SCOPED_ICON_WIN_H_
#define BRX_PLATFORM_SCOPED_ICON_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct IconTraits {
  using Type = HICON;
  static HICON Empty() { return nullptr; }
  static bool IsValid(HICON icon) { return icon != nullptr; }
  static void Free(HICON icon) { DestroyIcon(icon); }
};
using ScopedIcon = ScopedResource<IconTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_ICON_WIN_H_
