// Which existing system-drive folder the stub writes through, and how it puts
// right one of its own: over folder facts as the system reports them and a
// table of which accounts administer the machine.
#include "platform/trusted_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

using brx::platform::AccessEntry;
using brx::platform::FolderFacts;
using brx::platform::FolderRefusal;
using brx::platform::FolderUse;
using brx::platform::Membership;
using brx::platform::PathKind;

const wchar_t kSystem[] = L"S-1-5-18";
const wchar_t kAdmins[] = L"S-1-5-32-544";
const wchar_t kInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const wchar_t kUsers[] = L"S-1-5-32-545";
const wchar_t kAuthenticated[] = L"S-1-5-11";
const wchar_t kCreatorOwner[] = L"S-1-3-0";
const wchar_t kOtherAdmin[] = L"S-1-5-21-1-2-3-500";
const wchar_t kUser[] = L"S-1-5-21-1-2-3-1001";
const wchar_t kDomainUsers[] = L"S-1-5-21-1-2-3-513";
const wchar_t kReaders[] = L"S-1-5-21-1-2-3-1200";
const wchar_t kUnnamed[] = L"S-1-5-21-9-9-9-1234";

// Rights as the system stores them.
constexpr uint32_t kFull = 0x1F01FF;
constexpr uint32_t kReadExecute = 0x1200A9;
constexpr uint32_t kAddSubfolder = 0x4;
constexpr uint32_t kAddFile = 0x2;
constexpr uint32_t kWriteDac = 0x40000;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kModify = 0x1301BF;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint8_t kOiCi = 0x3, kCi = 0x2, kOiCiIo = 0xB, kOiIo = 0x9, kInherited = 0x10;

class TableAccounts : public brx::platform::AccountLookup {
 public:
  Membership MembershipOf(const std::wstring& sid) override {
    asked.push_back(sid);
    auto it = table_.find(sid);
    return it == table_.end() ? Membership::kUnknown : it->second;
  }
  std::vector<std::wstring> asked;

 private:
  std::map<std::wstring, Membership> table_ = {
      {kOtherAdmin, Membership::kAdministrator}, {kUser, Membership::kOther},
      {kUsers, Membership::kOther},              {kAuthenticated, Membership::kOther},
      {kDomainUsers, Membership::kOther},        {kReaders, Membership::kOther},
  };
};

AccessEntry Allow(const wchar_t* sid, uint32_t mask, uint8_t flags = kOiCi) {
  return AccessEntry{AccessEntry::kAllow, flags, mask, sid};
}
AccessEntry Deny(const wchar_t* sid, uint32_t mask) { return AccessEntry{AccessEntry::kDeny, kOiCi, mask, sid}; }

FolderFacts Folder(const wchar_t* owner, std::vector<AccessEntry> entries, PathKind kind = PathKind::kDirectory) {
  FolderFacts facts;
  facts.kind = kind;
  facts.owner = owner;
  facts.list_read = true;
  facts.entries = std::move(entries);
  return facts;
}

// What the stub's own folders carry, and what a folder made under C:\ by an
// elevated tool that set no list inherits from the root of a server's drive.
std::vector<AccessEntry> OwnList() { return {Allow(kSystem, kFull), Allow(kAdmins, kFull), Allow(kUsers, kReadExecute)}; }
std::vector<AccessEntry> DriveRootInherited() {
  return {Allow(kAdmins, kFull, kOiCi | kInherited), Allow(kSystem, kFull, kOiCi | kInherited),
          Allow(kUsers, kReadExecute, kOiCi | kInherited), Allow(kUsers, kAddSubfolder, kCi | kInherited),
          Allow(kUsers, kAddFile, kCi | kInherited), Allow(kCreatorOwner, kGenericAll, kOiCiIo | kInherited)};
}

TEST(TrustedFolderTest, AdministratorsFoldersAreUsedAndNoFolderOthersCanChange) {
  struct Case {
    const char* name;
    FolderFacts facts;
    FolderRefusal refusal;
    const wchar_t* who;
  };
  FolderFacts unread = Folder(kAdmins, OwnList());
  unread.list_read = false;
  FolderFacts no_list = Folder(kAdmins, {});
  no_list.has_list = false;
  FolderFacts odd_entry = Folder(kAdmins, OwnList());
  odd_entry.entries.push_back(AccessEntry{AccessEntry::kOther, kOiCi, 0, kUser});
  const Case cases[] = {
      {"made by an elevated run", Folder(kAdmins, OwnList()), FolderRefusal::kNone, L""},
      {"made by SYSTEM", Folder(kSystem, OwnList()), FolderRefusal::kNone, L""},
      {"made by the installer service", Folder(kInstaller, OwnList()), FolderRefusal::kNone, L""},
      {"owned by another administrator account", Folder(kOtherAdmin, OwnList()), FolderRefusal::kNone, L""},
      {"an administrator account given full control",
       Folder(kAdmins, {Allow(kOtherAdmin, kGenericAll), Allow(kUsers, kReadExecute)}), FolderRefusal::kNone, L""},
      {"CREATOR OWNER on what is created inside",
       Folder(kAdmins, {Allow(kAdmins, kFull), Allow(kCreatorOwner, kGenericAll, kOiCiIo)}), FolderRefusal::kNone,
       L""},
      {"a deny entry alone", Folder(kAdmins, {Allow(kAdmins, kFull), Deny(kUsers, kFull)}), FolderRefusal::kNone,
       L""},
      {"planted by a user", Folder(kUser, OwnList()), FolderRefusal::kForeignOwner, kUser},
      {"owned by the Users group", Folder(kUsers, OwnList()), FolderRefusal::kForeignOwner, kUsers},
      {"owner the system cannot name", Folder(kUnnamed, OwnList()), FolderRefusal::kOwnerUnknown, kUnnamed},
      {"owner unreadable", Folder(L"", OwnList()), FolderRefusal::kUnexaminable, L""},
      {"list unreadable", unread, FolderRefusal::kUnexaminable, L""},
      // A link's own owner and list are never read.
      {"a link", Folder(L"", {}, PathKind::kLink), FolderRefusal::kLink, L""},
      {"a file", Folder(L"", {}, PathKind::kFile), FolderRefusal::kNotFolder, L""},
      {"not examinable", Folder(kAdmins, OwnList(), PathKind::kUnknown), FolderRefusal::kUnexaminable, L""},
      {"no list at all", no_list, FolderRefusal::kNoList, L""},
      {"inherited from the drive's root", Folder(kAdmins, DriveRootInherited()), FolderRefusal::kOpenToOthers,
       kUsers},
      {"users may re-permission it", Folder(kAdmins, {Allow(kAdmins, kFull), Allow(kUsers, kWriteDac)}),
       FolderRefusal::kOpenToOthers, kUsers},
      {"users may delete or rename it", Folder(kAdmins, {Allow(kAdmins, kFull), Allow(kAuthenticated, kDelete)}),
       FolderRefusal::kOpenToOthers, kAuthenticated},
      {"users may write the files created inside",
       Folder(kAdmins, {Allow(kAdmins, kFull), Allow(kUsers, kGenericWrite, kOiIo)}), FolderRefusal::kOpenToOthers,
       kUsers},
      {"a deny entry does not undo an allow entry",
       Folder(kAdmins, {Deny(kUsers, kAddFile), Allow(kUsers, kModify)}), FolderRefusal::kOpenToOthers, kUsers},
      {"write for an account the system cannot name", Folder(kAdmins, {Allow(kUnnamed, kModify)}),
       FolderRefusal::kOpenToOthers, kUnnamed},
      {"an entry of an unknown kind", odd_entry, FolderRefusal::kUnknownEntry, kUser},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableAccounts accounts;
    brx::platform::FolderVerdict verdict = brx::platform::JudgeFolder(c.facts, accounts);
    EXPECT_EQ(c.refusal, verdict.refusal);
    EXPECT_EQ(std::wstring(c.who), verdict.who);
    // The reason names whom it is about, for the log and the event.
    if (*c.who) {
      EXPECT_NE(brx::platform::RefusalText(verdict).find(c.who), std::wstring::npos);
    }
  }
}

TEST(TrustedFolderTest, OnlyTheStubsOwnKindOfFolderGetsItsList) {
  struct Case {
    const char* name;
    FolderFacts facts;
    FolderUse use;
    bool replaced;
  };
  const Case cases[] = {
      {"an earlier run's log folder, Users reading", Folder(kAdmins, OwnList()), FolderUse::kPrivateLog, true},
      {"an earlier run's copy folder", Folder(kAdmins, OwnList()), FolderUse::kShared, false},
      {"a private log folder", Folder(kSystem, {Allow(kSystem, kFull), Allow(kAdmins, kFull), Allow(kInstaller, kFull)}),
       FolderUse::kPrivateLog, false},
      {"a log folder an administrator let named readers read",
       Folder(kAdmins, {Allow(kAdmins, kFull), Allow(kReaders, kReadExecute), Allow(kOtherAdmin, kFull),
                        Allow(kCreatorOwner, kGenericAll, kOiCiIo)}),
       FolderUse::kPrivateLog, false},
      {"a log folder the domain's users may read", Folder(kAdmins, {Allow(kAdmins, kFull), Allow(kDomainUsers, kReadExecute)}),
       FolderUse::kPrivateLog, true},
      {"made by a tool under the drive's root", Folder(kAdmins, DriveRootInherited()), FolderUse::kShared, true},
      {"named readers who may also write", Folder(kSystem, {Allow(kReaders, kModify)}), FolderUse::kShared, true},
      {"a deny entry for everybody", Folder(kSystem, {Allow(kAdmins, kFull), Deny(kUsers, kFull)}),
       FolderUse::kPrivateLog, false},
      {"another administrator's folder is not the stub's to change", Folder(kOtherAdmin, DriveRootInherited()),
       FolderUse::kShared, false},
      {"a user's folder is not changed", Folder(kUser, DriveRootInherited()), FolderUse::kPrivateLog, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableAccounts accounts;
    EXPECT_EQ(c.replaced, brx::platform::NeedsOwnList(c.facts, c.use, accounts));
  }
}

// SYSTEM, Administrators and TrustedInstaller are known without asking the
// system (which may be slow or unreachable for domain accounts).
TEST(TrustedFolderTest, WellKnownAdministratorsNeedNoLookup) {
  TableAccounts accounts;
  for (const wchar_t* sid : {kSystem, kAdmins, kInstaller}) {
    EXPECT_EQ(Membership::kAdministrator, brx::platform::ClassifyAccount(sid, accounts));
  }
  EXPECT_EQ(Membership::kUnknown, brx::platform::ClassifyAccount(L"", accounts));
  EXPECT_TRUE(accounts.asked.empty());
}

}  // namespace
