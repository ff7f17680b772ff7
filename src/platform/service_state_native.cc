#include "platform/service_state.h"

namespace brx {
namespace platform {

// No Windows services here: nothing is ever running.
bool IsServiceRunning(const wchar_t*) { return false; }

}  // namespace platform
}  // namespace brx
