// Asks the service control manager about a service's state.
#ifndef BRX_PLATFORM_SERVICE_STATE_H_
#define BRX_PLATFORM_SERVICE_STATE_H_

namespace brx {
namespace platform {

// True only when the service `name` on the local machine is in the running
// state. The manager (database "ServicesActive") and the service are opened
// with all-access rights, so a caller without administrator rights, a missing
// service, a failed query and every other state (stopped, pending, paused)
// all answer false.
bool IsServiceRunning(const wchar_t* name);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SERVICE_STATE_H_
