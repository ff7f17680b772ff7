#include "platform/folder_security_win.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/scoped_local_memory_win.h"

namespace brx {
namespace platform {
namespace {

// Allow and deny entries, plain or conditional, share one layout; the
// object-type kinds belong to directory objects and are left unjudged.
AccessEntry EntryOf(const ACE_HEADER* header) {
  AccessEntry entry{AccessEntry::kOther, header->AceFlags, 0, std::wstring()};
  switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: entry.kind = AccessEntry::kAllow; break;
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE: entry.kind = AccessEntry::kDeny; break;
    default: return entry;
  }
  const ACCESS_ALLOWED_ACE* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
  entry.mask = ace->Mask;
  entry.sid = SidText(const_cast<DWORD*>(&ace->SidStart));
  // An entry whose SID cannot be read is judged as one of unknown kind.
  if (entry.sid.empty()) entry.kind = AccessEntry::kOther;
  return entry;
}

}  // namespace

std::wstring SidText(PSID sid) {
  ScopedLocalMemory<wchar_t> text;
  if (!sid || !ConvertSidToStringSidW(sid, text.receive())) return std::wstring();
  return std::wstring(text.get());
}

FolderFacts ReadFolderFacts(HANDLE folder) {
  FolderFacts facts;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info)) return facts;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    facts.kind = PathKind::kLink;
  } else {
    facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory : PathKind::kFile;
  }
  PSID owner = nullptr;
  PACL list = nullptr;
  ScopedLocalMemory<void> descriptor;  // holds what owner and list point into
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, &list, nullptr, descriptor.receive()) != ERROR_SUCCESS) {
    return facts;
  }
  facts.owner = SidText(owner);
  facts.has_list = list != nullptr;
  facts.list_read = true;
  for (DWORD i = 0; list && i < list->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(list, i, &ace)) {
      facts.list_read = false;
      break;
    }
    facts.entries.push_back(EntryOf(static_cast<const ACE_HEADER*>(ace)));
  }
  return facts;
}

bool SetFolderList(HANDLE folder, const wchar_t* sddl) {
  ScopedLocalMemory<void> descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.receive(), nullptr)) {
    return false;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  bool ok = GetSecurityDescriptorDacl(descriptor.get(), &present, &list, &defaulted) && present &&
            GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
  if (ok) {
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION);
    // Through the handle; the system also hands the new inheritable entries
    // down to what the folder holds (the log files), as for any change of a
    // folder's list.
    ok = SetSecurityInfo(folder, SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr) == ERROR_SUCCESS;
  }
  return ok;
}

}  // namespace platform
}  // namespace brx
