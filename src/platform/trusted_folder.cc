#include "platform/trusted_folder.h"

#include <algorithm>

#include "platform/dir.h"

namespace brx {
namespace platform {

const wchar_t kSystemFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

FolderLevel JudgeFolderLevel(PathKind kind, const std::wstring& owner, const std::vector<std::wstring>& trusted) {
  if (kind == PathKind::kMissing) return FolderLevel::kCreate;
  // A junction or symbolic link would redirect the writes anywhere; a file
  // cannot hold the log; what cannot be examined is not trusted.
  if (kind != PathKind::kDirectory) return FolderLevel::kRefuse;
  if (owner.empty()) return FolderLevel::kRefuse;
  return std::find(trusted.begin(), trusted.end(), owner) != trusted.end() ? FolderLevel::kUse
                                                                            : FolderLevel::kRefuse;
}

bool EnsureTrustedFolder(const wchar_t* path, const wchar_t* sddl) {
  size_t root = LocalRootLength(path);
  if (root == 0) return false;
  std::wstring full(path);
  if (!IsPathSeparator(full.back())) full.push_back(L'\\');
  std::vector<std::wstring> trusted = TrustedOwners(path);
  for (size_t i = root; i < full.size(); ++i) {
    if (!IsPathSeparator(full[i]) || IsPathSeparator(full[i - 1])) continue;
    std::wstring level = full.substr(0, i);
    FolderLevel verdict = JudgeFolderLevel(KindOf(level.c_str()), OwnerOf(level.c_str()), trusted);
    if (verdict == FolderLevel::kCreate) {
      MakeDirectoryResult made = MakeDirectory(level.c_str(), sddl);
      if (made == MakeDirectoryResult::kCreated) continue;
      // Someone made it in the meantime: judged like any existing level.
      if (made != MakeDirectoryResult::kExists) return false;
      verdict = JudgeFolderLevel(KindOf(level.c_str()), OwnerOf(level.c_str()), trusted);
    }
    if (verdict != FolderLevel::kUse) return false;
  }
  return true;
}

}  // namespace platform
}  // namespace brx
