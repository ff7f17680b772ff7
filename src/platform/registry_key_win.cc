#include "platform/registry_key.h"

#include <windows.h>

namespace brx {
namespace platform {

bool LocalMachineKeyExists32(const wchar_t* path) {
  if (!path) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

}  // namespace platform
}  // namespace brx
