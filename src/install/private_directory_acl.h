// The access list of directories the stub extracts into.
#ifndef BRX_INSTALL_PRIVATE_DIRECTORY_ACL_H_
#define BRX_INSTALL_PRIVATE_DIRECTORY_ACL_H_

#include <string>

namespace brx {

// SDDL of a protected DACL (nothing inherited from the parent) that gives
// full control to SYSTEM, Administrators and, when known, the user whose SID
// text is given, and that everything created inside inherits.
std::wstring PrivateDirectorySddl(const std::wstring& user_sid);

}  // namespace brx

#endif  // BRX_INSTALL_PRIVATE_DIRECTORY_ACL_H_
