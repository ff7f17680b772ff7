// Folders an elevated run writes into where ordinary users of the machine can
// create folders first, such as the root of the system drive: the component
// log's folder and the folder of the definition copies.
//
// A user who creates C:\brxsystem before the first run, turns it into a
// junction, or is allowed to add, rename or re-permission what is in it,
// would otherwise have the elevated stub append to or overwrite a file of the
// user's choosing, read what it writes there, or hold its log so that no
// install on the machine can write one. A folder an administrator made (by
// hand, with another tool, as SYSTEM) is used; one that anybody else owns or
// may change is not.
#ifndef BRX_PLATFORM_TRUSTED_FOLDER_H_
#define BRX_PLATFORM_TRUSTED_FOLDER_H_

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/held_directory.h"
#include "platform/path_info.h"

namespace brx {
namespace platform {

// The access list of the definition-copy folders the stub creates on the
// system drive: SYSTEM and Administrators full control, Users read and
// execute (other tools read the copies), nothing inherited from the parent.
extern const wchar_t kSystemFolderSddl[];
// The log folder's: SYSTEM and Administrators only. Whoever may open the log
// may also hold it or its write lock and so stall or stop installs, and it
// names the packages and arguments of every run.
extern const wchar_t kLogFolderSddl[];

// One entry of a folder's access list as the system stores it.
struct AccessEntry {
  enum Kind { kAllow, kDeny, kOther };
  Kind kind;
  uint8_t flags;  // inheritance flags (object 0x1, container 0x2, no-propagate 0x4, inherit-only 0x8)
  uint32_t mask;
  std::wstring sid;  // "S-1-5-32-544"
};

// What is known of one existing level, read through the handle that holds it.
struct FolderFacts {
  PathKind kind = PathKind::kUnknown;
  std::wstring owner;     // empty: could not be read
  bool list_read = false;
  bool has_list = true;   // false: no access list at all, so everybody may do anything
  std::vector<AccessEntry> entries;
};

enum class Membership { kAdministrator, kOther, kUnknown };

// Whether an account or group administers this machine. The system answers
// on Windows; tests answer from a table.
class AccountLookup {
 public:
  virtual ~AccountLookup() = default;
  // Only asked for SIDs other than SYSTEM, Administrators and
  // TrustedInstaller, which administer every machine.
  virtual Membership MembershipOf(const std::wstring& sid) = 0;
};

// The system's answers, remembered for the object's life. Windows asks for
// the account behind the SID: a user is an administrator when
// Administrators holds it, directly or through a group; a group when
// Administrators holds it directly; anything else (Users, Everyone, a
// service) is not. A SID the system cannot name, or a membership it cannot
// list, is kUnknown. Natively root and the process's own user administer.
class SystemAccounts : public AccountLookup {
 public:
  Membership MembershipOf(const std::wstring& sid) override;

 private:
  std::vector<std::pair<std::wstring, Membership>> known_;
};

// SYSTEM, Administrators and TrustedInstaller without asking; anybody else
// as `accounts` answers.
Membership ClassifyAccount(const std::wstring& sid, AccountLookup& accounts);

enum class FolderRefusal {
  kNone,
  kLink,           // a junction, symbolic link or other reparse point
  kNotFolder,
  kUnexaminable,   // kind, owner or access list could not be read
  kForeignOwner,   // owned by someone who is not an administrator
  kOwnerUnknown,   // whether the owner is an administrator could not be found out
  kNoList,         // no access list: everybody may change it
  kOpenToOthers,   // the list lets a non-administrator change it or what is in it
  kUnknownEntry,   // the list holds an entry of a kind that cannot be judged
  kNotCreated,     // a missing level could not be created
  kNotLocal,       // not an absolute path on a local drive
};

struct FolderVerdict {
  FolderRefusal refusal = FolderRefusal::kNone;
  std::wstring who;  // the owner or the entry's SID the refusal is about
  bool ok() const { return refusal == FolderRefusal::kNone; }
};

// Whether the stub may write through an existing level.
FolderVerdict JudgeFolder(const FolderFacts& facts, AccountLookup& accounts);

// The reason of a refusal in words, for the log and the event.
std::wstring RefusalText(const FolderVerdict& verdict);

enum class FolderUse {
  kShared,      // ordinary users may keep reading
  kPrivateLog,  // ordinary users get nothing
};

// Whether a level owned by SYSTEM or Administrators, which only an elevated
// process or the system can have made (an earlier run, a tool), is to get
// the stub's own list before it is judged: when JudgeFolder would refuse its
// list, and under kPrivateLog also when a group every user is in may get at
// it. A list that only adds readers an administrator named is kept.
bool NeedsOwnList(const FolderFacts& facts, FolderUse use, AccountLookup& accounts);

// Owner and access list of a held folder, read through a handle reopened
// from the one that holds it, so what is judged is the folder held.
// Natively the list is made from the mode bits.
FolderFacts FolderFactsOf(const HeldDirectory& folder);
// Sets the access list of a held folder; false when refused (always
// natively, where nothing is put right).
bool SetFolderListOf(const HeldDirectory& folder, const wchar_t* sddl);

// The event a refused folder leaves in the Application log, with the
// folder and the reason as its strings.
constexpr uint32_t kFolderRefusedEvent = 1010;

struct FolderCheck {
  FolderVerdict verdict;
  std::wstring level;  // the level refused
  bool ok() const { return verdict.ok(); }
};

// Opens `path` (absolute, local) level by level from its root into `held`,
// each level relative to the one above, no link followed: a missing level
// is created (the last with the access list `sddl`, the ones above with
// kSystemFolderSddl), a level of the stub's own kind gets that list when
// NeedsOwnList says so (the last one for `use`, the others kShared), and
// each must then pass JudgeFolder. On success every level stays held, so
// none can be renamed, deleted or swapped for a link while `held` lives. A
// refusal (also of a relative or network path) leaves `held` closed and is
// reported as kFolderRefusedEvent.
FolderCheck HoldTrustedFolder(const wchar_t* path, const wchar_t* sddl, FolderUse use, HeldDirectory* held);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_TRUSTED_FOLDER_H_
