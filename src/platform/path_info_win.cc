#include "platform/path_info.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/dir.h"
#include "platform/folder_security_win.h"
#include "platform/scoped_handle_win.h"
#include "platform/scoped_local_memory_win.h"

namespace brx {
namespace platform {
namespace {

// The path itself: a link is opened, not what it points to.
HANDLE OpenItself(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

PathKind KindOf(const wchar_t* path) {
  if (!path || !*path) return PathKind::kUnknown;
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kMissing : PathKind::kUnknown;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::kLink;
  ScopedHandle handle(OpenItself(path, FILE_READ_ATTRIBUTES));
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info)) return PathKind::kUnknown;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::kLink;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory : PathKind::kFile;
}

std::wstring OwnerOf(const wchar_t* path) {
  if (!path || !*path) return std::wstring();
  ScopedHandle handle(OpenItself(path, READ_CONTROL));
  if (!handle.valid()) return std::wstring();
  PSID owner = nullptr;
  ScopedLocalMemory<void> descriptor;  // holds what owner points into
  if (GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      descriptor.receive()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return SidText(owner);
}

std::wstring ProcessOwner() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return std::wstring();
  ScopedHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenOwner, nullptr, 0, &size);
  if (size == 0) return std::wstring();
  std::string buffer(size, '\0');
  if (!GetTokenInformation(token.get(), TokenOwner, &buffer[0], size, &size)) return std::wstring();
  return SidText(reinterpret_cast<TOKEN_OWNER*>(&buffer[0])->Owner);
}

}  // namespace platform
}  // namespace brx
