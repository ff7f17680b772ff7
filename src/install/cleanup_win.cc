#include "install/cleanup_win.h"

#include <windows.h>

#include <string>

namespace brx {
namespace {

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

void MakeNormal(const std::wstring& path, DWORD attributes) {
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

void RemoveDirectoryOrLater(const std::wstring& path) {
  if (!RemoveDirectoryW(path.c_str())) MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

bool DeleteDirectoryTree(const wchar_t* directory) {
  if (!directory || !*directory) return false;
  std::wstring base = directory;
  std::wstring pattern = base + (base.back() == L'\\' ? L"*" : L"\\*");
  if (base.back() == L'\\') base.pop_back();

  {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.valid()) return false;
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = base + L"\\" + name;
      MakeNormal(path, data.dwFileAttributes);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A junction or directory link is removed as a link: following it
        // would delete whatever it points at, outside the extraction directory.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          RemoveDirectoryOrLater(path);
          continue;
        }
        if (!DeleteDirectoryTree(path.c_str())) return false;
        continue;
      }
      if (!DeleteFileW(path.c_str())) MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } while (FindNextFileW(find.get(), &data));
  }

  SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryOrLater(base);
  return true;
}

}  // namespace brx
