#include "platform/firmware_table.h"

namespace brx {
namespace platform {

// The portable build has no firmware provider; the checks that need one run
// on Windows only.
size_t GetRawSmbiosFirmwareTable(void*, size_t) { return 0; }

}  // namespace platform
}  // namespace brx
