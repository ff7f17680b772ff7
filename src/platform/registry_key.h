// Presence tests on registry keys.
#ifndef BRX_PLATFORM_REGISTRY_KEY_H_
#define BRX_PLATFORM_REGISTRY_KEY_H_

namespace brx {
namespace platform {

// True when HKEY_LOCAL_MACHINE\`path` can be opened for querying values in
// the 32-bit registry view. The key is closed again at once.
bool LocalMachineKeyExists32(const wchar_t* path);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_REGISTRY_KEY_H_
