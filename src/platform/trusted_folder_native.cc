#include "platform/trusted_folder.h"

#include <sys/stat.h>

#include <string>


namespace brx {
namespace platform {
namespace {

constexpr uint32_t kRead = 0x1200A9;
constexpr uint32_t kAdd = 0x2 | 0x4;
constexpr uint32_t kRemove = 0x40;

// What one class of the mode bits grants, in the system's rights.
uint32_t Rights(mode_t mode, mode_t read, mode_t write, bool sticky) {
  uint32_t rights = (mode & read) ? kRead : 0;
  // In a sticky folder (/tmp) others may add entries but not remove or
  // rename those of others; what they add is judged by its own owner.
  if (mode & write) rights |= sticky ? 0 : (kAdd | kRemove);
  return rights;
}

}  // namespace

FolderFacts FolderFactsOf(const HeldDirectory& folder) {
  FolderFacts facts;
  struct stat st;
  if (!folder.valid() || fstat(folder.native_handle(), &st) != 0) return facts;
  facts.kind = S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kFile;
  bool sticky = (st.st_mode & S_ISVTX) != 0;
  facts.owner = L"uid:" + std::to_wstring(static_cast<unsigned long>(st.st_uid));
  facts.list_read = true;
  facts.entries = {
      {AccessEntry::kAllow, 0x3, 0x1F01FF, facts.owner},
      {AccessEntry::kAllow, 0x3, Rights(st.st_mode, S_IRGRP, S_IWGRP, sticky),
       L"gid:" + std::to_wstring(static_cast<unsigned long>(st.st_gid))},
      {AccessEntry::kAllow, 0x3, Rights(st.st_mode, S_IROTH, S_IWOTH, sticky), L"S-1-1-0"},
  };
  return facts;
}

bool SetFolderListOf(const HeldDirectory& folder, const wchar_t* sddl) { return false; }

}  // namespace platform
}  // namespace brx
