// The access list of directories the stub extracts into.
#ifndef BRX_INSTALL_PRIVATE_DIRECTORY_ACL_H_
#define BRX_INSTALL_PRIVATE_DIRECTORY_ACL_H_

#include <string>

namespace brx {

// SDDL of a protected DACL (nothing inherited from the parent) that gives
// full control to SYSTEM, Administrators and, when known and not one of
// those, the owner whose SID text is given (the process token's owner), and
// that everything created inside inherits.
std::wstring PrivateDirectorySddl(const std::wstring& owner_sid);

}  // namespace brx

#endif  // BRX_INSTALL_PRIVATE_DIRECTORY_ACL_H_
