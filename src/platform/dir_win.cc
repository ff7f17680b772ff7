#include "platform/dir.h"

#include <windows.h>
#include <sddl.h>

#include "platform/scoped_local_memory_win.h"

namespace brx {
namespace platform {

namespace {

MakeDirectoryResult MakeDirectoryWith(const wchar_t* path, SECURITY_ATTRIBUTES* attributes) {
  if (!path || !*path) return MakeDirectoryResult::kPathNotFound;
  if (CreateDirectoryW(path, attributes)) return MakeDirectoryResult::kCreated;
  switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return MakeDirectoryResult::kExists;
    case ERROR_PATH_NOT_FOUND:
      return MakeDirectoryResult::kPathNotFound;
    case ERROR_FILENAME_EXCED_RANGE:
      return MakeDirectoryResult::kNameTooLong;
    default:
      return MakeDirectoryResult::kFailed;
  }
}

}  // namespace

MakeDirectoryResult MakeDirectory(const wchar_t* path) { return MakeDirectoryWith(path, nullptr); }

MakeDirectoryResult MakeDirectory(const wchar_t* path, const wchar_t* sddl) {
  ScopedLocalMemory<void> descriptor;
  if (!sddl ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.receive(), nullptr)) {
    return MakeDirectoryResult::kFailed;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  return MakeDirectoryWith(path, &attributes);
}

size_t LocalRootLength(const wchar_t* path) {
  if (!path) return 0;
  wchar_t d = path[0];
  bool letter = (d >= L'A' && d <= L'Z') || (d >= L'a' && d <= L'z');
  return letter && path[1] == L':' && path[2] == L'\\' ? 3 : 0;
}

bool GetFreeDiskSpace(const wchar_t* directory, uint64_t* bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(directory, &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}


std::wstring CurrentDirectory() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return std::wstring();
  std::wstring out(n, L'\0');
  n = GetCurrentDirectoryW(n, &out[0]);
  out.resize(n);
  return out;
}

}  // namespace platform
}  // namespace brx
