// An open registry key with one owner, closed when the owner goes.
#ifndef BRX_PLATFORM_SCOPED_REGISTRY_KEY_WIN_H_
#define BRX_PLATFORM_SCOPED_REGISTRY_KEY_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct RegistryKeyTraits {
  using Type = HKEY;
  static HKEY Empty() { return nullptr; }
  static bool IsValid(HKEY key) { return key != nullptr; }
  static void Free(HKEY key) { RegCloseKey(key); }
};
using ScopedRegistryKey = ScopedResource<RegistryKeyTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_REGISTRY_KEY_WIN_H_
