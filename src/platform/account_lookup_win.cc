// Whether an account administers this machine, as the system tells it.
#include <windows.h>
#include <lm.h>
#include <sddl.h>

#include "platform/scoped_local_memory_win.h"
#include "platform/scoped_net_buffer_win.h"
#include "platform/trusted_folder.h"

namespace brx {
namespace platform {
namespace {

// A SID in binary form from its text; empty when the text is none.
void SidFromText(const wchar_t* text, ScopedLocalMemory<void>* sid) {
  if (!ConvertStringSidToSidW(text, sid->receive())) sid->Close();
}

// The buffers NetUser* and NetLocalGroup* hand out, read as their records.
using NetBuffer = ScopedNetBuffer<BYTE>;
template <typename T>
const T* Records(const NetBuffer& buffer) {
  return reinterpret_cast<const T*>(buffer.get());
}

struct AccountName {
  wchar_t name[257];
  wchar_t domain[257];
  SID_NAME_USE use;
};

bool NameOf(PSID sid, AccountName* account) {
  DWORD name_length = ARRAYSIZE(account->name);
  DWORD domain_length = ARRAYSIZE(account->domain);
  return sid && LookupAccountSidW(nullptr, sid, account->name, &name_length, account->domain, &domain_length,
                                  &account->use) != FALSE;
}

// A user: the local groups it belongs to, through global groups too.
Membership UserMembership(const AccountName& user, const wchar_t* administrators) {
  std::wstring qualified = std::wstring(user.domain) + L"\\" + user.name;
  NetBuffer groups;
  DWORD read = 0, total = 0;
  if (NetUserGetLocalGroups(nullptr, qualified.c_str(), 0, LG_INCLUDE_INDIRECT, groups.receive(),
                            MAX_PREFERRED_LENGTH, &read, &total) != NERR_Success ||
      read != total) {
    return Membership::kUnknown;
  }
  for (DWORD i = 0; i < read; ++i) {
    const wchar_t* group = Records<LOCALGROUP_USERS_INFO_0>(groups)[i].lgrui0_name;
    if (group && CompareStringOrdinal(group, -1, administrators, -1, TRUE) == CSTR_EQUAL) {
      return Membership::kAdministrator;
    }
  }
  return Membership::kOther;
}

// A group: whether Administrators holds it directly (a domain's Domain
// Admins on a member server).
Membership GroupMembership(PSID group, const wchar_t* administrators) {
  NetBuffer members;
  DWORD read = 0, total = 0;
  DWORD_PTR resume = 0;
  if (NetLocalGroupGetMembers(nullptr, administrators, 0, members.receive(), MAX_PREFERRED_LENGTH, &read, &total,
                              &resume) != NERR_Success ||
      read != total) {
    return Membership::kUnknown;
  }
  for (DWORD i = 0; i < read; ++i) {
    PSID member = Records<LOCALGROUP_MEMBERS_INFO_0>(members)[i].lgrmi0_sid;
    if (member && EqualSid(member, group)) return Membership::kAdministrator;
  }
  return Membership::kOther;
}

Membership Ask(const std::wstring& text) {
  ScopedLocalMemory<void> sid, administrators_sid;
  SidFromText(text.c_str(), &sid);
  SidFromText(L"S-1-5-32-544", &administrators_sid);
  AccountName account, administrators;
  // Membership lists go by the group's name, which the system's language
  // decides ("Administratoren").
  if (!NameOf(sid.get(), &account) || !NameOf(administrators_sid.get(), &administrators)) {
    return Membership::kUnknown;
  }
  switch (account.use) {
    case SidTypeUser: return UserMembership(account, administrators.name);
    case SidTypeGroup: return GroupMembership(sid.get(), administrators.name);
    // Other local groups (a local group cannot hold another), the groups
    // every user is in, services, computers.
    default: return Membership::kOther;
  }
}

}  // namespace

Membership SystemAccounts::MembershipOf(const std::wstring& sid) {
  for (const auto& known : known_) {
    if (known.first == sid) return known.second;
  }
  Membership answer = Ask(sid);
  known_.emplace_back(sid, answer);
  return answer;
}

}  // namespace platform
}  // namespace brx
