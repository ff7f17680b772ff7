#include "support/planted.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"

namespace brxtest {

bool PlantSymlink(const std::wstring& link, const std::wstring& target) {
  return symlink(brx::platform::NativePath(target.c_str()).c_str(), brx::platform::NativePath(link.c_str()).c_str()) ==
         0;
}

bool PlantHardLink(const std::wstring& link, const std::wstring& target) {
  return ::link(brx::platform::NativePath(target.c_str()).c_str(), brx::platform::NativePath(link.c_str()).c_str()) ==
         0;
}

bool GiveToAnotherUser(const std::wstring& path) {
  return chown(brx::platform::NativePath(path.c_str()).c_str(), 4321, static_cast<gid_t>(-1)) == 0;
}

bool OpenToEverybody(const std::wstring& path) { return chmod(brx::platform::NativePath(path.c_str()).c_str(), 0777) == 0; }

bool RemoveLink(const std::wstring& path) { return unlink(brx::platform::NativePath(path.c_str()).c_str()) == 0; }

}  // namespace brxtest
