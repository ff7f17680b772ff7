#include "install/cleanup_win.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install/install_driver.h"

namespace brx {
namespace {

using platform::FileIdentity;
using platform::HeldDirectory;
using platform::HeldEntry;
using platform::HoldResult;

// The retry budget left for one tree, and the first thing that stayed.
class Patience {
 public:
  Patience(const DeleteRetry& retry, const CreatedItems* created)
      : retry_(retry), created_(created), left_ms_(retry.budget_ms), result_(true) {}

  const StepResult& result() const { return result_; }
  // Keeps the path that stayed worst (first of equals): a file that could not
  // even be left for the next boot matters more than one that was.
  void Stayed(const std::wstring& path, DWORD error, int32_t what) {
    if (!result_.ok && what <= result_.code) return;
    result_.ok = false;
    result_.error = error;
    result_.code = what;
    result_.subject.AssignCut(path.c_str());
  }

  // Deletes child `name` of `folder` (with `expected`, only that object)
  // until it goes or the budget is spent; then schedules it for the next
  // boot if this run made it. `held` (optional) is the child itself, held by
  // the caller: it is let go for each try (Windows refuses to delete a
  // folder while a handle without delete sharing is open) and held again,
  // as the same object, for every pause, so waiting opens no window for
  // renaming the folder away and putting a link in its place.
  void RemoveOrLater(const HeldDirectory& folder, const std::wstring& name, const FileIdentity* expected,
                     HeldDirectory* held = nullptr) {
    std::wstring path = folder.path() + L"\\" + name;
    DWORD error = 0;
    for (;;) {
      if (held) held->Close();
      HoldResult r = folder.DeleteChild(name.c_str(), expected);
      if (r == HoldResult::kOk || r == HoldResult::kMissing) return;
      // A link that cannot be removed as a link, or a folder that is no
      // longer the one held, is left where it is: deleting through it would
      // delete something outside the tree.
      if (r == HoldResult::kLink || r == HoldResult::kChanged) {
        Stayed(path, folder.last_error(), kTreeNotRemoved);
        return;
      }
      error = folder.last_error();
      // A folder that still holds something (a link left alone, a file in
      // use) does not empty itself by waiting.
      if (error == ERROR_DIR_NOT_EMPTY) break;
      if (left_ms_ < retry_.pause_ms || retry_.pause_ms == 0) break;
      if (held && (folder.OpenChild(name.c_str(), held) != HoldResult::kOk || held->identity() != *expected)) {
        Stayed(path, folder.last_error(), kTreeNotRemoved);
        return;
      }
      left_ms_ -= retry_.pause_ms;
      if (retry_.sleep) {
        retry_.sleep(retry_.pause_ms);
      } else {
        Sleep(retry_.pause_ms);
      }
    }
    FileIdentity identity;
    if (expected) {
      identity = *expected;
    } else if (folder.Inspect(name.c_str(), &identity, nullptr) != HoldResult::kOk) {
      Stayed(path, error, kTreeNotRemoved);
      return;
    }
    // Deletion at the next boot goes by name, when nothing is held any more:
    // only what this run created is handed over, never a file it merely
    // found in the tree.
    if (created_ && std::find(created_->begin(), created_->end(), identity) == created_->end()) {
      Stayed(path, error, kTreeNotRemoved);
      return;
    }
    if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      Stayed(path, error, kTreeLeftForBoot);
    } else {
      Stayed(path, GetLastError(), kTreeNotRemoved);
    }
  }

 private:
  const DeleteRetry& retry_;
  const CreatedItems* created_;
  unsigned left_ms_;
  StepResult result_;
};

bool DeleteBelow(const HeldDirectory& folder, Patience& patience) {
  std::vector<HeldEntry> entries;
  if (folder.List(&entries) != HoldResult::kOk) {
    patience.Stayed(folder.path(), folder.last_error(), kTreeNotListed);
    return false;
  }
  for (const HeldEntry& entry : entries) {
    if (entry.directory && !entry.link) {
      HeldDirectory child;
      HoldResult opened = folder.OpenChild(entry.name.c_str(), &child);
      if (opened == HoldResult::kOk) {
        FileIdentity identity = child.identity();
        if (!DeleteBelow(child, patience)) return false;
        patience.RemoveOrLater(folder, entry.name, &identity, &child);
        continue;
      }
      if (opened != HoldResult::kLink) {
        patience.Stayed(folder.path() + L"\\" + entry.name, folder.last_error(), kTreeNotListed);
        return false;
      }
    }
    patience.RemoveOrLater(folder, entry.name, nullptr);
  }
  return true;
}

}  // namespace

StepResult DeleteHeldTree(const HeldDirectory& parent, HeldDirectory* folder, const CreatedItems* created,
                          const DeleteRetry& retry) {
  if (!folder || !folder->valid()) return StepResult(false, ERROR_INVALID_HANDLE);
  Patience patience(retry, created);
  std::wstring path = folder->path();
  size_t slash = path.find_last_of(L"\\/");
  if (DeleteBelow(*folder, patience) && slash != std::wstring::npos) {
    FileIdentity identity = folder->identity();
    patience.RemoveOrLater(parent, path.substr(slash + 1), &identity, folder);
  }
  folder->Close();
  return patience.result();
}

}  // namespace brx
