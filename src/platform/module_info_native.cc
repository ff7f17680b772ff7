#include "platform/module_info.h"

#include <limits.h>
#include <unistd.h>

#include "platform/codepage.h"

namespace brx {
namespace platform {

std::wstring ModuleFilePath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (n <= 0) return std::wstring();
  return AnsiToWide(buffer, static_cast<size_t>(n));
}

bool ModuleFileVersion(uint32_t*, uint32_t*) { return false; }

}  // namespace platform
}  // namespace brx
