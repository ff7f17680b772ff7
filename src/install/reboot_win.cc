#include "install/reboot_win.h"

#include "platform/scoped_handle_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

// Keeps "insert a disk" boxes from appearing while empty drives are probed.
class CriticalErrorsOff {
 public:
  CriticalErrorsOff() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~CriticalErrorsOff() { SetErrorMode(previous_); }
  CriticalErrorsOff(const CriticalErrorsOff&) = delete;
  CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;

 private:
  UINT previous_;
};

bool MediaInRemovableDrives(const RebootHooks& hooks) {
  if (!hooks.drive_type || !hooks.root_accessible) return false;
  CriticalErrorsOff quiet;
  bool found = false;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    wchar_t root[] = {letter, L':', L'\\', L'\0'};
    UINT type = hooks.drive_type(root);
    bool floppy = type == DRIVE_REMOVABLE && letter < L'C';
    if ((floppy || type == DRIVE_CDROM) && hooks.root_accessible(root)) found = true;
  }
  return found;
}

UINT SystemDriveType(const wchar_t* root) { return GetDriveTypeW(root); }

bool SystemRootAccessible(const wchar_t* root) {
  ULARGE_INTEGER free_bytes;
  return GetDiskFreeSpaceExW(root, &free_bytes, nullptr, nullptr) != FALSE;
}

std::wstring SystemLoadText(UINT id) { return ui::LoadResourceString(id, 511); }

bool SystemEnableShutdownPrivilege() {
  platform::ScopedHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive())) return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
                 AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;
  DWORD error = GetLastError();
  token.Close();
  SetLastError(error);  // the caller reports why
  return enabled;
}

}  // namespace

StepResult RebootSystem(const RebootRequest& request, const RebootHooks& hooks) {
  if (request.presenter && MediaInRemovableDrives(hooks)) {
    request.presenter->ShowMessage(nullptr, IDS_REMOVE_DISKS, IDS_DISKS_FOUND, MB_ICONWARNING);
  }
  StepResult result(true);
  if (!hooks.enable_shutdown_privilege || !hooks.enable_shutdown_privilege()) {
    result = StepResult(false, hooks.enable_shutdown_privilege ? GetLastError() : 0);
    result.subject.Assign(L"SeShutdownPrivilege");
    return result;
  }

  std::wstring message;
  if (request.message && *request.message) {
    message = request.message;
  } else if (hooks.load_text) {
    message = hooks.load_text(IDS_REBOOT_NOTICE);
  }
  if (message.size() > 511) message.resize(511);
  // A negative countdown would reach the system as a count of about 136
  // years, which it refuses: the restart the user asked for would silently
  // not happen. It means "no countdown".
  DWORD timeout = request.timeout_seconds < 0 ? 0 : static_cast<DWORD>(request.timeout_seconds);
  if (!hooks.shutdown || !hooks.shutdown(message.c_str(), timeout, TRUE, TRUE)) {
    result = StepResult(false, hooks.shutdown ? GetLastError() : 0);
    result.subject.Assign(L"InitiateSystemShutdown");
  }
  return result;
}

RebootHooks SystemRebootHooksWithoutShutdown() {
  RebootHooks hooks;
  hooks.drive_type = SystemDriveType;
  hooks.root_accessible = SystemRootAccessible;
  hooks.load_text = SystemLoadText;
  hooks.enable_shutdown_privilege = SystemEnableShutdownPrivilege;
  return hooks;
}

}  // namespace brx
