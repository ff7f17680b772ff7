#include "platform/registry_key.h"

#include <windows.h>

#include "platform/scoped_registry_key_win.h"

namespace brx {
namespace platform {

bool LocalMachineKeyExists32(const wchar_t* path) {
  if (!path) return false;
  ScopedRegistryKey key;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.receive()) == ERROR_SUCCESS;
}

}  // namespace platform
}  // namespace brx
