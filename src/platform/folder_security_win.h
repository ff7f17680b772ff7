// A held folder's kind, owner and access list, read and set through its
// handle, so that what is judged is the folder that is held and not
// whatever a name points to a moment later.
#ifndef BRX_PLATFORM_FOLDER_SECURITY_WIN_H_
#define BRX_PLATFORM_FOLDER_SECURITY_WIN_H_

#include <windows.h>

#include <string>

#include "platform/trusted_folder.h"

namespace brx {
namespace platform {

// A SID as text ("S-1-5-32-544"); empty when it cannot be converted.
std::wstring SidText(PSID sid);

// `folder` needs READ_CONTROL and FILE_READ_ATTRIBUTES. Whatever cannot be
// read is left as FolderFacts has it by default (unknown, unread).
FolderFacts ReadFolderFacts(HANDLE folder);

// Replaces the access list with `sddl` (which says whether it is
// protected); `folder` needs WRITE_DAC. False when the system refused.
bool SetFolderList(HANDLE folder, const wchar_t* sddl);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_FOLDER_SECURITY_WIN_H_
