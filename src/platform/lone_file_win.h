// Opening a file for writing only when the name is the file's one and only
// name: not a junction or symbolic link (by path, as Wine shows them, and
// through the handle), and no other hard link. Writing through such a name
// would change a file elsewhere that the writer never named. Used by
// AppendFile and File.
#ifndef BRX_PLATFORM_LONE_FILE_WIN_H_
#define BRX_PLATFORM_LONE_FILE_WIN_H_

#include <windows.h>

namespace brx {
namespace platform {

// An open handle to the file at `path` (created when missing, never
// truncated), or INVALID_HANDLE_VALUE with the last error set; a link or a
// file with another hard link gives ERROR_CANT_ACCESS_FILE.
inline HANDLE OpenLoneFile(const wchar_t* path, DWORD access, DWORD share) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h = CreateFileW(path, access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || info.nNumberOfLinks != 1) {
    CloseHandle(h);
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_LONE_FILE_WIN_H_
