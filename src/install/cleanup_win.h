// Removing the extraction directory after a run.
#ifndef BRX_INSTALL_CLEANUP_WIN_H_
#define BRX_INSTALL_CLEANUP_WIN_H_

#include "install/step_result.h"

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

// Removes directory and everything below it. Read-only and system files are
// made normal first; what cannot be removed within the retry budget (a file
// in use, the current directory) is scheduled for removal at the next boot.
// Stops as soon as a directory cannot be listed; entries not yet visited then
// stay. Ok when everything is gone now; otherwise the first path that stayed,
// the Windows error that kept it and what became of it (kTreeLeftForBoot,
// kTreeNotRemoved, kTreeNotListed).
StepResult DeleteDirectoryTree(const wchar_t* directory, const DeleteRetry& retry = DeleteRetry());

}  // namespace brx

#endif  // BRX_INSTALL_CLEANUP_WIN_H_
