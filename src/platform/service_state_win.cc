#include "platform/service_state.h"

#include <windows.h>

#include "platform/scoped_service_handle_win.h"

namespace brx {
namespace platform {
namespace {

ServiceQuery Refused(uint32_t* error) {
  DWORD e = GetLastError();
  *error = e;
  if (e == ERROR_ACCESS_DENIED) return ServiceQuery::kAccessDenied;
  if (e == ERROR_SERVICE_DOES_NOT_EXIST) return ServiceQuery::kNoSuchService;
  return ServiceQuery::kQueryFailed;
}

}  // namespace

ServiceQuery QueryServiceRunning(const wchar_t* name, uint32_t* error) {
  *error = 0;
  if (!name) {
    *error = ERROR_INVALID_PARAMETER;
    return ServiceQuery::kQueryFailed;
  }
  ScopedServiceHandle manager(OpenSCManagerW(L"", L"ServicesActive", SC_MANAGER_ALL_ACCESS));
  if (!manager.valid()) return Refused(error);
  ScopedServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS));
  if (!service.valid()) return Refused(error);
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof status, &needed)) {
    return Refused(error);
  }
  return status.dwCurrentState == SERVICE_RUNNING ? ServiceQuery::kRunning : ServiceQuery::kNotRunning;
}

bool IsServiceRunning(const wchar_t* name) {
  uint32_t error = 0;
  return QueryServiceRunning(name, &error) == ServiceQuery::kRunning;
}

}  // namespace platform
}  // namespace brx
