#include "install/cleanup_win.h"

#include <windows.h>

#include <string>

#include "install/install_driver.h"
#include "platform/scoped_find_handle_win.h"

namespace brx {
namespace {

void MakeNormal(const std::wstring& path, DWORD attributes) {
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// The retry budget left for one tree, and the first thing that stayed.
class Patience {
 public:
  explicit Patience(const DeleteRetry& retry) : retry_(retry), left_ms_(retry.budget_ms), result_(true) {}

  const StepResult& result() const { return result_; }
  // Keeps the path that stayed worst (first of equals): a file that could not
  // even be left for the next boot matters more than one that was.
  void Stayed(const std::wstring& path, DWORD error, int32_t what) {
    if (!result_.ok && what <= result_.code) return;
    result_.ok = false;
    result_.error = error;
    result_.code = what;
    result_.subject.AssignCut(path.c_str());
  }

  // Tries `remove` until it succeeds or the budget is spent; then schedules
  // the path for deletion at the next boot.
  template <typename Remove>
  void RemoveOrLater(const std::wstring& path, Remove remove) {
    DWORD error = 0;
    for (;;) {
      if (remove(path.c_str())) return;
      error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
      if (left_ms_ < retry_.pause_ms || retry_.pause_ms == 0) break;
      left_ms_ -= retry_.pause_ms;
      if (retry_.sleep) {
        retry_.sleep(retry_.pause_ms);
      } else {
        Sleep(retry_.pause_ms);
      }
    }
    if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      Stayed(path, error, kTreeLeftForBoot);
    } else {
      Stayed(path, GetLastError(), kTreeNotRemoved);
    }
  }

 private:
  const DeleteRetry& retry_;
  unsigned left_ms_;
  StepResult result_;
};

BOOL RemoveFile(const wchar_t* path) { return DeleteFileW(path); }
BOOL RemoveFolder(const wchar_t* path) { return RemoveDirectoryW(path); }

bool DeleteTree(const wchar_t* directory, Patience& patience);

}  // namespace

StepResult DeleteDirectoryTree(const wchar_t* directory, const DeleteRetry& retry) {
  Patience patience(retry);
  DeleteTree(directory, patience);
  return patience.result();
}

namespace {

bool DeleteTree(const wchar_t* directory, Patience& patience) {
  std::wstring base = directory ? directory : L"";
  if (base.empty()) {
    patience.Stayed(base, ERROR_PATH_NOT_FOUND, kTreeNotListed);
    return false;
  }
  std::wstring pattern = base + (base.back() == L'\\' ? L"*" : L"\\*");
  if (base.back() == L'\\') base.pop_back();

  {
    WIN32_FIND_DATAW data;
    platform::ScopedFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.valid()) {
      patience.Stayed(base, GetLastError(), kTreeNotListed);
      return false;
    }
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
