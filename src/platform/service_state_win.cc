#include "platform/service_state.h"

#include <windows.h>

namespace brx {
namespace platform {
namespace {

class ScopedServiceHandle {
 public:
  explicit ScopedServiceHandle(SC_HANDLE h) : h_(h) {}
  ~ScopedServiceHandle() {
    if (h_) CloseServiceHandle(h_);
  }
  ScopedServiceHandle(const ScopedServiceHandle&) = delete;
  ScopedServiceHandle& operator=(const ScopedServiceHandle&) = delete;
  SC_HANDLE get() const { return h_; }

 private:
  SC_HANDLE h_;
};

}  // namespace

bool IsServiceRunning(const wchar_t* name) {
  if (!name) return false;
  ScopedServiceHandle manager(OpenSCManagerW(L"", L"ServicesActive", SC_MANAGER_ALL_ACCESS));
  if (!manager.get()) return false;
  ScopedServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS));
  if (!service.get()) return false;
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
