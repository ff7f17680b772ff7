#include "platform/dir_list.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>

#include "platform/file.h"

namespace brx {
namespace platform {

bool ListDirectory(const wchar_t* path, std::vector<std::wstring>* names, uint32_t* error) {
  DIR* dir = opendir(NativePath(path).c_str());
  if (!dir) {
    *error = static_cast<uint32_t>(errno);
    return false;
  }
  errno = 0;
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
      names->push_back(WideFromNative(entry->d_name));
    }
    errno = 0;
  }
  int failed = errno;
  closedir(dir);
  *error = static_cast<uint32_t>(failed);
  return failed == 0;
}

}  // namespace platform
}  // namespace brx
