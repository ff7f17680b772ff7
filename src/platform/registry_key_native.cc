#include "platform/registry_key.h"

namespace brx {
namespace platform {

// There is no registry here; no key exists.
bool LocalMachineKeyExists32(const wchar_t*) { return false; }

}  // namespace platform
}  // namespace brx
