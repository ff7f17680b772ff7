#include "platform/dir.h"

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/file.h"

namespace brx {
namespace platform {

namespace {

MakeDirectoryResult MakeDirectoryWithMode(const wchar_t* path, mode_t mode) {
  if (!path || !*path) return MakeDirectoryResult::kPathNotFound;
  if (mkdir(NativePath(path).c_str(), mode) == 0) return MakeDirectoryResult::kCreated;
  switch (errno) {
    case EEXIST: return MakeDirectoryResult::kExists;
    case ENOENT: return MakeDirectoryResult::kPathNotFound;
    case ENAMETOOLONG: return MakeDirectoryResult::kNameTooLong;
    default: return MakeDirectoryResult::kFailed;
  }
}

}  // namespace

MakeDirectoryResult MakeDirectory(const wchar_t* path) { return MakeDirectoryWithMode(path, 0777); }

MakeDirectoryResult MakeDirectory(const wchar_t* path, const wchar_t*) { return MakeDirectoryWithMode(path, 0755); }

size_t LocalRootLength(const wchar_t* path) {
  return path && path[0] == L'/' ? 1 : 0;
}

bool GetFreeDiskSpace(const wchar_t* directory, uint64_t* bytes) {
  struct statvfs st;
  std::string native = directory ? NativePath(directory) : std::string(".");
  if (statvfs(native.c_str(), &st) != 0) return false;
  *bytes = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

std::wstring CurrentDirectory() {
  char buffer[PATH_MAX];
  if (!getcwd(buffer, sizeof(buffer))) return std::wstring();
  return WideFromNative(buffer);
}

}  // namespace platform
}  // namespace brx
