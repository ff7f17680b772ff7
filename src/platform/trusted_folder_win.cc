#include "platform/trusted_folder.h"

#include <windows.h>

#include "platform/folder_security_win.h"
#include "platform/scoped_handle_win.h"

namespace brx {
namespace platform {
namespace {

// The held folder itself, opened anew from its handle with the access the
// holding handle lacks: the same folder whatever its name leads to now.
HANDLE Reopen(const HeldDirectory& folder, DWORD access) {
  return ReOpenFile(folder.native_handle(), access | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
}

}  // namespace

FolderFacts FolderFactsOf(const HeldDirectory& folder) {
  ScopedHandle handle(Reopen(folder, READ_CONTROL));
  return handle.valid() ? ReadFolderFacts(handle.get()) : FolderFacts();
}

bool SetFolderListOf(const HeldDirectory& folder, const wchar_t* sddl) {
  ScopedHandle handle(Reopen(folder, READ_CONTROL | WRITE_DAC));
  return handle.valid() && SetFolderList(handle.get(), sddl);
}

}  // namespace platform
}  // namespace brx
