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

// The retry budget left for one tree.
class Patience {
 public:
  explicit Patience(const DeleteRetry& retry) : retry_(retry), left_ms_(retry.budget_ms) {}

  // Tries `remove` until it succeeds or the budget is spent; then schedules
  // the path for deletion at the next boot.
  template <typename Remove>
  void RemoveOrLater(const std::wstring& path, Remove remove) {
    for (;;) {
      if (remove(path.c_str())) return;
      DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
      if (left_ms_ < retry_.pause_ms || retry_.pause_ms == 0) break;
      left_ms_ -= retry_.pause_ms;
      if (retry_.sleep) {
        retry_.sleep(retry_.pause_ms);
      } else {
        Sleep(retry_.pause_ms);
      }
    }
    MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }

 private:
  const DeleteRetry& retry_;
  unsigned left_ms_;
};

BOOL RemoveFile(const wchar_t* path) { return DeleteFileW(path); }
BOOL RemoveFolder(const wchar_t* path) { return RemoveDirectoryW(path); }

bool DeleteTree(const wchar_t* directory, Patience& patience);

}  // namespace

bool DeleteDirectoryTree(const wchar_t* directory, const DeleteRetry& retry) {
  Patience patience(retry);
  return DeleteTree(directory, patience);
}

namespace {

bool DeleteTree(const wchar_t* directory, Patience& patience) {
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
          patience.RemoveOrLater(path, RemoveFolder);
          continue;
        }
        if (!DeleteTree(path.c_str(), patience)) return false;
        continue;
      }
      patience.RemoveOrLater(path, RemoveFile);
    } while (FindNextFileW(find.get(), &data));
  }

  SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
  patience.RemoveOrLater(base, RemoveFolder);
  return true;
}

}  // namespace
}  // namespace brx
