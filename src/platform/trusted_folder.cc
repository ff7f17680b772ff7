#include "platform/trusted_folder.h"

#include <wchar.h>

#include "platform/dir.h"
#include "platform/event_log.h"

namespace brx {
namespace platform {

const wchar_t kSystemFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";
const wchar_t kLogFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

namespace {

const wchar_t kSystem[] = L"S-1-5-18";
const wchar_t kAdministrators[] = L"S-1-5-32-544";
const wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Rights that let their holder put something of theirs where the stub will
// write, or take the folder away from it: write or append data (add a file
// or subfolder), delete children, delete or rename the folder, change its
// list or owner, and the generic rights that include them.
constexpr uint32_t kChangeRights = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.compare(0, wcslen(prefix), prefix) == 0; }

// CREATOR OWNER and CREATOR GROUP name, on what is created inside, whoever
// created it, who needed a right of their own to do so; OWNER RIGHTS is the
// owner, judged on its own.
bool IsPlaceholder(const std::wstring& sid) {
  return sid == L"S-1-3-0" || sid == L"S-1-3-1" || sid == L"S-1-3-4";
}

// Groups every user, or every user of a kind, belongs to (Everyone, Users,
// Authenticated Users, the logon groups...): every SID but the accounts and
// groups of a domain or of this machine, and of those a domain's Users,
// Guests and Computers.
bool IsEverybodyGroup(const std::wstring& sid) {
  if (!StartsWith(sid, L"S-1-5-21-")) return !IsPlaceholder(sid);
  std::wstring rid = sid.substr(sid.rfind(L'-') + 1);
  return rid == L"513" || rid == L"514" || rid == L"515";
}

}  // namespace

Membership ClassifyAccount(const std::wstring& sid, AccountLookup& accounts) {
  if (sid == kSystem || sid == kAdministrators || sid == kTrustedInstaller) return Membership::kAdministrator;
  if (sid.empty()) return Membership::kUnknown;
  return accounts.MembershipOf(sid);
}

FolderVerdict JudgeFolder(const FolderFacts& facts, AccountLookup& accounts) {
  FolderVerdict verdict;
  // A junction or symbolic link would redirect the writes anywhere; a file
  // cannot hold the log; what cannot be examined is not trusted.
  if (facts.kind == PathKind::kLink) {
    verdict.refusal = FolderRefusal::kLink;
  } else if (facts.kind == PathKind::kFile) {
    verdict.refusal = FolderRefusal::kNotFolder;
  } else if (facts.kind != PathKind::kDirectory || facts.owner.empty() || !facts.list_read) {
    verdict.refusal = FolderRefusal::kUnexaminable;
  }
  if (!verdict.ok()) return verdict;

  // The owner may always change the list, so an owner who is not an
  // administrator (a user who made the folder first) is refused, and so is
  // one whose membership the system could not tell.
  Membership owner = ClassifyAccount(facts.owner, accounts);
  if (owner != Membership::kAdministrator) {
    verdict.refusal = owner == Membership::kOther ? FolderRefusal::kForeignOwner : FolderRefusal::kOwnerUnknown;
    verdict.who = facts.owner;
    return verdict;
  }
  if (!facts.has_list) {
    verdict.refusal = FolderRefusal::kNoList;
    return verdict;
  }
  for (const AccessEntry& entry : facts.entries) {
    // A deny entry only takes rights away, and whether it does depends on
    // its place and on each user's groups: it is not counted, so a list is
    // never trusted for what a deny entry seems to forbid.
    if (entry.kind == AccessEntry::kDeny || IsPlaceholder(entry.sid)) continue;
    if (entry.kind == AccessEntry::kOther) {
      verdict.refusal = FolderRefusal::kUnknownEntry;
      verdict.who = entry.sid;
      return verdict;
    }
    // Inherit-only entries count too: they are the rights on the log files
    // and subfolders created inside.
    if (!(entry.mask & kChangeRights)) continue;
    if (ClassifyAccount(entry.sid, accounts) != Membership::kAdministrator) {
      verdict.refusal = FolderRefusal::kOpenToOthers;
      verdict.who = entry.sid;
      return verdict;
    }
  }
  return verdict;
}

std::wstring RefusalText(const FolderVerdict& verdict) {
  // Fixed texts with the account they are about appended.
  const wchar_t* text = L"it may be used";
  switch (verdict.refusal) {
    case FolderRefusal::kNone: break;
    case FolderRefusal::kLink: text = L"it is a junction or symbolic link"; break;
    case FolderRefusal::kNotFolder: text = L"it is not a folder"; break;
    case FolderRefusal::kUnexaminable: text = L"its owner or access list cannot be read"; break;
    case FolderRefusal::kForeignOwner: text = L"its owner is not an administrator: "; break;
    case FolderRefusal::kOwnerUnknown: text = L"its owner cannot be looked up: "; break;
    case FolderRefusal::kNoList: text = L"it has no access list"; break;
    case FolderRefusal::kOpenToOthers: text = L"a non-administrator may change it: "; break;
    case FolderRefusal::kUnknownEntry: text = L"its access list has an unknown entry: "; break;
    case FolderRefusal::kNotCreated: text = L"it cannot be created"; break;
    case FolderRefusal::kNotLocal: text = L"it is not on a local drive"; break;
  }
  return text + verdict.who;
}

bool NeedsOwnList(const FolderFacts& facts, FolderUse use, AccountLookup& accounts) {
  // Only an elevated process or the system can have given a folder to
  // SYSTEM or Administrators: such a folder is the stub's own kind, made by
  // an earlier run or a tool, and it may be put right. Anybody else's folder
  // is judged as it stands.
  if (facts.owner != kSystem && facts.owner != kAdministrators) return false;
  FolderRefusal refusal = JudgeFolder(facts, accounts).refusal;
  if (refusal == FolderRefusal::kNoList || refusal == FolderRefusal::kOpenToOthers ||
      refusal == FolderRefusal::kUnknownEntry) {
    return true;
  }
  if (use != FolderUse::kPrivateLog) return false;
  for (const AccessEntry& entry : facts.entries) {
    if (entry.kind == AccessEntry::kAllow && IsEverybodyGroup(entry.sid) &&
        ClassifyAccount(entry.sid, accounts) != Membership::kAdministrator) {
      return true;
    }
  }
  return false;
}

namespace {

// What the held-folder primitive's answer means for the decision.
PathKind KindOfRefused(HoldResult r) {
  switch (r) {
    case HoldResult::kLink:
    case HoldResult::kOtherVolume: return PathKind::kLink;  // a mount point leads to another volume
    case HoldResult::kNotDirectory: return PathKind::kFile;
    default: return PathKind::kUnknown;
  }
}

}  // namespace

FolderCheck HoldTrustedFolder(const wchar_t* path, const wchar_t* sddl, FolderUse use, HeldDirectory* held) {
  FolderCheck check;
  check.level = path ? path : L"";
  size_t root = LocalRootLength(path);
  if (root == 0 || held->Open(check.level.substr(0, root).c_str()) != HoldResult::kOk) {
    check.verdict.refusal = FolderRefusal::kNotLocal;
  } else {
    std::wstring full(path);
    if (!IsPathSeparator(full.back())) full.push_back(L'\\');
    SystemAccounts accounts;
    size_t start = root;
    for (size_t i = root; i < full.size() && check.ok(); ++i) {
      if (!IsPathSeparator(full[i])) continue;
      std::wstring name = full.substr(start, i - start);
      start = i + 1;
      if (name.empty()) continue;
      bool last = i + 1 == full.size();
      check.level = full.substr(0, i);
      const wchar_t* own = last ? sddl : kSystemFolderSddl;
      HeldDirectory level;
      HoldResult r = held->OpenChild(name.c_str(), &level);
      if (r == HoldResult::kMissing) {
        r = held->CreateChild(name.c_str(), own, &level);
        // Someone made it in the meantime: it is judged like any other.
        if (r == HoldResult::kExists) r = held->OpenChild(name.c_str(), &level);
        if (r != HoldResult::kOk && r != HoldResult::kLink && r != HoldResult::kNotDirectory) {
          check.verdict.refusal = FolderRefusal::kNotCreated;
          break;
        }
      }
      FolderFacts facts;
      facts.kind = KindOfRefused(r);
      if (r == HoldResult::kOk) facts = FolderFactsOf(level);
      if (r == HoldResult::kOk && NeedsOwnList(facts, last ? use : FolderUse::kShared, accounts) &&
          SetFolderListOf(level, own)) {
        facts = FolderFactsOf(level);
      }
      check.verdict = JudgeFolder(facts, accounts);
      if (check.ok()) held->Descend(&level);
    }
  }
  // A fleet's monitoring sees the refusal even when no log could be opened
  // to say so.
  if (!check.ok()) {
    held->Close();
    ReportApplicationEvent(EventType::kWarning, kFolderRefusedEvent, {check.level, RefusalText(check.verdict)});
  }
  return check;
}

}  // namespace platform
}  // namespace brx
