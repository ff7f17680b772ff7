#include "platform/firmware_table.h"

#include <windows.h>

#include <limits.h>

namespace brx {
namespace platform {

size_t GetRawSmbiosFirmwareTable(void* buffer, size_t capacity) {
  const DWORD kRsmb = 0x52534D42;  // 'RSMB'
  if (capacity > UINT_MAX) capacity = UINT_MAX;
  return GetSystemFirmwareTable(kRsmb, 0, buffer, static_cast<DWORD>(capacity));
}

}  // namespace platform
}  // namespace brx
