// Facts about the running executable.
#ifndef BRX_PLATFORM_MODULE_INFO_H_
#define BRX_PLATFORM_MODULE_INFO_H_

#include <stdint.h>

#include <string>

namespace brx {
namespace platform {

// Full path of the running executable (empty when the system cannot say).
std::wstring ModuleFilePath();

// The fixed file version of the executable's version resource: most and
// least significant 32 bits. False when there is none. The native build has
// no version resources and always answers false.
bool ModuleFileVersion(uint32_t* most_significant, uint32_t* least_significant);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_MODULE_INFO_H_
