#include "stub/agent_parent_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/scoped_handle_win.h"

namespace brx {
namespace {

using platform::ScopedHandle;

bool FindProcess(HANDLE snapshot, DWORD pid, PROCESSENTRY32W* found) {
  found->dwSize = sizeof(*found);
  for (BOOL more = Process32FirstW(snapshot, found); more; more = Process32NextW(snapshot, found)) {
    if (found->th32ProcessID == pid) return true;
  }
  return false;
}

}  // namespace

bool IsLaunchedByAgent() {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return false;
  PROCESSENTRY32W self;
  if (!FindProcess(snapshot.get(), GetCurrentProcessId(), &self)) return false;
  PROCESSENTRY32W parent;
  if (!FindProcess(snapshot.get(), self.th32ParentProcessID, &parent)) return false;
  return CompareStringOrdinal(parent.szExeFile, -1, L"kelagent.exe", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace brx
