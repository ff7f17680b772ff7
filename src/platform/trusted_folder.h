// Folders an elevated run writes into where ordinary users of the machine can
// create folders first, such as the root of the system drive: the component
// log's folder and the folder of the definition copies.
//
// A user who creates C:\brxsystem before the first run, or turns it into a
// junction, would otherwise have the elevated stub append to or overwrite a
// file of the user's choosing, and read what it writes there.
#ifndef BRX_PLATFORM_TRUSTED_FOLDER_H_
#define BRX_PLATFORM_TRUSTED_FOLDER_H_

#include <string>
#include <vector>

#include "platform/path_info.h"

namespace brx {
namespace platform {

// The access list of the folders the stub creates on the system drive:
// SYSTEM and Administrators full control, Users read and execute, nothing
// inherited from the parent.
extern const wchar_t kSystemFolderSddl[];

enum class FolderLevel { kUse, kCreate, kRefuse };

// What to do with one level of such a folder. A missing level is created; an
// existing directory is used as it is (an administrator may have set its
// permissions on purpose) when one of `trusted` owns it. A link, a file, a
// directory anybody else owns (planted by someone else), and anything that
// could not be examined are refused.
FolderLevel JudgeFolderLevel(PathKind kind, const std::wstring& owner, const std::vector<std::wstring>& trusted);

// Walks `path` (absolute, local) level by level below its root: missing
// levels are created with the access list `sddl`, existing ones must be
// judged kUse. False when a level is refused or cannot be created, and for
// relative or network paths.
bool EnsureTrustedFolder(const wchar_t* path, const wchar_t* sddl);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_TRUSTED_FOLDER_H_
