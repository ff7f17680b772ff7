#include "platform/dir_list.h"

#include <windows.h>

#include "platform/scoped_find_handle_win.h"

namespace brx {
namespace platform {

bool ListDirectory(const wchar_t* path, std::vector<std::wstring>* names, uint32_t* error) {
  std::wstring pattern = path;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW found;
  ScopedFindHandle search(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (!search.valid()) {
    *error = GetLastError();
    return false;
  }
  do {
    if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names->push_back(found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  *error = GetLastError();
  if (*error == ERROR_NO_MORE_FILES) *error = 0;
  return *error == 0;
}

}  // namespace platform
}  // namespace brx
