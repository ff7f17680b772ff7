// What the watcher saw of one dialog or message box, and its text form for logs.
#ifndef BRX_TOOLS_WATCHER_RECORD_H_
#define BRX_TOOLS_WATCHER_RECORD_H_

#include <cstdint>
#include <string>
#include <vector>

namespace brxwatch {

// Message boxes put their text into a static control with this id.
constexpr int kMessageBoxTextId = 0xFFFF;

struct ControlRecord {
  int id = 0;
  std::wstring window_class;
  std::wstring text;
  bool visible = false;
  bool enabled = false;
  uint32_t style = 0;
};

struct DialogRecord {
  uintptr_t window = 0;   // HWND value, for the log only
  uint32_t process_id = 0;
  uint32_t seen_ms = 0;   // since the watcher started
  std::wstring caption;
  std::wstring text;      // message box text (static 0xFFFF), empty for other dialogs
  std::vector<ControlRecord> controls;
  int answered_id = 0;    // command posted to close it; 0 when left open
  int answer_count = 0;   // more than 1 when the first answer was ignored

  // The first control with this id, or null.
  const ControlRecord* FindControl(int id) const;
  bool IsMessageBox() const { return FindControl(kMessageBoxTextId) != nullptr; }
};

// Multi-line, human-readable; control characters escaped so one record stays one block.
std::wstring FormatRecord(const DialogRecord& record);

// UTF-8 for log files and test output.
std::string ToUtf8(const std::wstring& text);

}  // namespace brxwatch

#endif  // BRX_TOOLS_WATCHER_RECORD_H_
