// Asks the service control manager about a service's state.
#ifndef BRX_PLATFORM_SERVICE_STATE_H_
#define BRX_PLATFORM_SERVICE_STATE_H_

#include <stdint.h>

namespace brx {
namespace platform {

// True only when the service `name` on the local machine is in the running
// state. The manager (database "ServicesActive") and the service are opened
// with all-access rights, so a caller without administrator rights, a missing
// service, a failed query and every other state (stopped, pending, paused)
// all answer false.
bool IsServiceRunning(const wchar_t* name);

// Why a service counts as not running, for the record: the service control
// manager or the service refused the all-access open (no administrator
// rights), there is no such service, the query failed, or it is simply in
// another state.
enum class ServiceQuery { kRunning, kNotRunning, kAccessDenied, kNoSuchService, kQueryFailed };

// IsServiceRunning with its cause; *error is the failed call's Win32 error
// (0 for kRunning and kNotRunning).
ServiceQuery QueryServiceRunning(const wchar_t* name, uint32_t* error);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SERVICE_STATE_H_
