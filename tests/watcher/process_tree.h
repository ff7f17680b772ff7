// Answers "is this process one of ours?" for the watcher: a root process and
// every descendant, found through the process list's parent ids.
#ifndef BRX_TOOLS_WATCHER_PROCESS_TREE_H_
#define BRX_TOOLS_WATCHER_PROCESS_TREE_H_

#include <windows.h>

#include <map>
#include <vector>

namespace brxwatch {

class ProcessTree {
 public:
  void AddRoot(DWORD process_id) { roots_.push_back(process_id); }
  bool empty() const { return roots_.empty(); }

  // True for a root or a descendant of one. Answers are cached per process id;
  // a new id takes one snapshot of the process list.
  bool Contains(DWORD process_id);

 private:
  std::vector<DWORD> roots_;
  std::map<DWORD, bool> known_;
};

}  // namespace brxwatch

#endif  // BRX_TOOLS_WATCHER_PROCESS_TREE_H_
