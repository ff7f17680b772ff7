#include "platform/path_info.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dir.h"
#include "platform/file.h"

namespace brx {
namespace platform {
namespace {

std::wstring UidText(uid_t uid) { return L"uid:" + std::to_wstring(static_cast<unsigned long>(uid)); }

}  // namespace

PathKind KindOf(const wchar_t* path) {
  if (!path || !*path) return PathKind::kUnknown;
  struct stat st;
  if (lstat(NativePath(path).c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kUnknown;
  }
  if (S_ISLNK(st.st_mode)) return PathKind::kLink;
  return S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kFile;
}

std::wstring OwnerOf(const wchar_t* path) {
  struct stat st;
  if (!path || !*path || lstat(NativePath(path).c_str(), &st) != 0) return std::wstring();
  return UidText(st.st_uid);
}

std::wstring ProcessOwner() { return UidText(geteuid()); }

}  // namespace platform
}  // namespace brx
