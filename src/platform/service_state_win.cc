#include "platform/service_state.h"

#include <windows.h>

#include "platform/scoped_service_handle_win.h"

namespace brx {
namespace platform {

bool IsServiceRunning(const wchar_t* name) {
  if (!name) return false;
  ScopedServiceHandle manager(OpenSCManagerW(L"", L"ServicesActive", SC_MANAGER_ALL_ACCESS));
  if (!manager.valid()) return false;
  ScopedServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS));
  if (!service.valid()) return false;
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof status, &needed)) {
    return false;
  }
  return status.dwCurrentState == SERVICE_RUNNING;
}

}  // namespace platform
}  // namespace brx
