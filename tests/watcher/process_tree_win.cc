#include "process_tree.h"

#include <tlhelp32.h>

#include <algorithm>

namespace brxwatch {

namespace {

struct SnapshotHandle {
  HANDLE h;
  ~SnapshotHandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

std::map<DWORD, DWORD> ParentIds() {
  std::map<DWORD, DWORD> parents;
  SnapshotHandle snap{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (snap.h == INVALID_HANDLE_VALUE) return parents;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Process32FirstW(snap.h, &entry); ok; ok = Process32NextW(snap.h, &entry)) {
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  }
  return parents;
}

}  // namespace

bool ProcessTree::Contains(DWORD process_id) {
  if (std::find(roots_.begin(), roots_.end(), process_id) != roots_.end()) return true;
  auto known = known_.find(process_id);
  if (known != known_.end()) return known->second;

  // Walk up the parent chain. A chain can loop when a parent id has been reused
  // by a younger process, so the walk is bounded.
  std::map<DWORD, DWORD> parents = ParentIds();
  bool found = false;
  DWORD id = process_id;
  for (int depth = 0; depth < 64; ++depth) {
    auto it = parents.find(id);
    if (it == parents.end() || it->second == 0 || it->second == id) break;
    id = it->second;
    if (std::find(roots_.begin(), roots_.end(), id) != roots_.end()) {
      found = true;
      break;
    }
  }
  // A "no" is not cached while the process is still unknown to the snapshot:
  // it may simply not be listed yet.
  if (found || parents.count(process_id)) known_[process_id] = found;
  return found;
}

}  // namespace brxwatch
