// Removing the extraction directory after a run.
#ifndef BRX_INSTALL_CLEANUP_WIN_H_
#define BRX_INSTALL_CLEANUP_WIN_H_

#include <vector>

#include "install/step_result.h"
#include "platform/held_directory.h"

namespace brx {

// How long a file or folder that is briefly held (a virus scanner or an
// indexer looking at what the setup program left) is waited for before it is
// left for the next boot. The pauses of one tree share one budget, so a
// program that keeps many files open delays the run by this much at most.
struct DeleteRetry {
  unsigned pause_ms = 100;
  unsigned budget_ms = 2000;
  // Null: the system's Sleep. Tests put their own here, so they need not wait.
  void (*sleep)(unsigned milliseconds) = nullptr;
};

// The files and folders a run created; only they may be left to be deleted
// at the next boot, by name, when nobody holds the folders any more.
using CreatedItems = std::vector<platform::FileIdentity>;

// Removes `folder` (held, a child of the held `parent`) and everything below
// it through handles: each entry is opened relative to its held folder
// without following links, a junction or symbolic link is removed as a link
// (or, where the platform cannot open a link itself, left alone) and never
// entered, and the folder itself only while it is still the object that was
// held. Read-only files are made normal first; what cannot be removed within
// the retry budget is scheduled for removal at the next boot when `created`
// holds it (all of the tree when null). `folder` is closed. Stops as soon as
// a folder cannot be listed; entries not yet visited then stay. Ok when
// everything is gone now; otherwise the first path that stayed, the Windows
// error that kept it and what became of it (kTreeLeftForBoot,
// kTreeNotRemoved, kTreeNotListed).
StepResult DeleteHeldTree(const platform::HeldDirectory& parent, platform::HeldDirectory* folder,
                          const CreatedItems* created, const DeleteRetry& retry = DeleteRetry());

}  // namespace brx

#endif  // BRX_INSTALL_CLEANUP_WIN_H_
