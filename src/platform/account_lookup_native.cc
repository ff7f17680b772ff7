// Natively root, its group and this process's own user and group
// administer, as the tests run them.
#include <unistd.h>

#include <string>

#include "platform/trusted_folder.h"

namespace brx {
namespace platform {

Membership SystemAccounts::MembershipOf(const std::wstring& sid) {
  if (sid == L"uid:0" || sid == L"gid:0" || sid == L"uid:" + std::to_wstring(static_cast<unsigned long>(geteuid())) ||
      sid == L"gid:" + std::to_wstring(static_cast<unsigned long>(getegid()))) {
    return Membership::kAdministrator;
  }
  return Membership::kOther;
}

}  // namespace platform
}  // namespace brx
