#include "platform/service_state.h"

namespace brx {
namespace platform {

// No Windows services here: nothing is ever running.
bool IsServiceRunning(const wchar_t*) { return false; }

ServiceQuery QueryServiceRunning(const wchar_t*, uint32_t* error) {
  *error = 0;
  return ServiceQuery::kNotRunning;
}

}  // namespace platform
}  // namespace brx
