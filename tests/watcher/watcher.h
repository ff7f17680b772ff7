// Watches the dialogs and message boxes (window class "#32770") on the current
// desktop, records each one and answers it with a posted WM_COMMAND.
//
// Single-threaded by design: the owner calls Poll() in its own wait loop, so a
// test can start a process, poll while it runs and never block on the watched
// windows (a sent BM_CLICK would wait on the other process's message loop).
#ifndef BRX_TOOLS_WATCHER_WATCHER_H_
#define BRX_TOOLS_WATCHER_WATCHER_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "process_tree.h"
#include "record.h"

namespace brxwatch {

// Rule answers: a control id to press, or one of these.
constexpr int kLeaveOpen = 0;    // record only; the window stays for someone else
constexpr int kPressDefault = -1;  // IDOK if present, else IDCANCEL, else WM_CLOSE

// The first rule whose caption and text match decides the answer. Empty fields
// match anything; `text` is a substring of the message box text.
struct Rule {
  std::wstring caption;
  std::wstring text;
  int press = kPressDefault;
};

struct WatchOptions {
  // Only windows of this process and its descendants; 0 watches every process
  // (fine for a shell-side watcher, wrong for tests running in parallel).
  DWORD root_process = 0;
  std::vector<Rule> rules;
  // A window is recorded and answered once it has been visible this long, so
  // texts set after WM_INITDIALOG are in the record.
  DWORD settle_ms = 60;
  // A window still there this long after its answer is answered again; 0 never.
  // Off by default: a dialog may rightly stay open after a button (e.g. one that
  // starts work), and a second press would be a second command.
  DWORD repeat_ms = 0;
  // Called with each new record before it is answered (e.g. for a screenshot).
  std::function<void(const DialogRecord&)> on_record;
};

class Watcher {
 public:
  explicit Watcher(WatchOptions options);
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // One pass over the top-level windows. Returns the number of windows newly
  // recorded in this pass.
  int Poll();

  // Later roots join the watched set (e.g. a process started after the watcher).
  void AddRoot(DWORD process_id) { tree_.AddRoot(process_id); }

  const std::vector<DialogRecord>& records() const { return records_; }
  // Watched dialogs that are visible now and have not been answered (left open).
  int OpenCount() const;

 private:
  struct Tracked {
    DWORD first_visible = 0;  // tick count; 0 while not yet visible
    DWORD answered_at = 0;
    int record = -1;          // index into records_, -1 before it is recorded
  };

  void Visit(HWND window, DWORD now);
  int ChooseAnswer(const DialogRecord& record) const;
  void Answer(HWND window, DialogRecord& record, int command, DWORD now);

  WatchOptions options_;
  ProcessTree tree_;
  DWORD start_;
  std::map<HWND, Tracked> tracked_;
  std::vector<DialogRecord> records_;
  int new_in_pass_ = 0;
};

// Reads a window's caption, message box text and controls (works across processes).
DialogRecord ReadDialog(HWND window);

}  // namespace brxwatch

#endif  // BRX_TOOLS_WATCHER_WATCHER_H_
