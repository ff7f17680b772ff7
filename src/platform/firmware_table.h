// The firmware's raw SMBIOS data as the system hands it out.
#ifndef BRX_PLATFORM_FIRMWARE_TABLE_H_
#define BRX_PLATFORM_FIRMWARE_TABLE_H_

#include <stddef.h>

namespace brx {
namespace platform {

// The 'RSMB' firmware table: an 8-byte header (calling method, SMBIOS major
// and minor version, DMI revision, 32-bit table length) followed by the
// structure table. Copies up to `capacity` bytes into `buffer` (which may be
// null with a capacity of 0) and returns the size the whole table needs; 0
// when the system has none to give.
size_t GetRawSmbiosFirmwareTable(void* buffer, size_t capacity);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_FIRMWARE_TABLE_H_
