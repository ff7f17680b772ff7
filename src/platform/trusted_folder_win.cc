#include "platform/trusted_folder.h"

#include <windows.h>

#include "platform/folder_security_win.h"
#include "platform/scoped_handle_win.h"

namespace brx {
namespace platform {
namespace {

// The path itself: a link is opened, not what it points to.
HANDLE OpenItself(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

FolderFacts FolderFactsOf(const wchar_t* path) {
  FolderFacts facts;
  // By path first: Wine shows its symbolic links only there.
  PathKind kind = KindOf(path);
  if (kind != PathKind::kDirectory) {
    facts.kind = kind;
    return facts;
  }
  ScopedHandle folder(OpenItself(path, READ_CONTROL | FILE_READ_ATTRIBUTES));
  if (folder.valid()) facts = ReadFolderFacts(folder.get());
  return facts;
}

bool SetFolderListOf(const wchar_t* path, const std::wstring& sddl) {
  ScopedHandle folder(OpenItself(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES));
  return folder.valid() && ReadFolderFacts(folder.get()).kind == PathKind::kDirectory &&
         SetFolderList(folder.get(), sddl);
}

}  // namespace platform
}  // namespace brx
