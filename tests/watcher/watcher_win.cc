#include "watcher.h"

#include <utility>

namespace brxwatch {

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
// Reading another process's controls sends it messages; a hung target must not
// hang the watcher.
constexpr UINT kTextTimeoutMs = 500;

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                           &length)) {
    return std::wstring();
  }
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied)) {
    return std::wstring();
  }
  text.resize(copied < text.size() ? static_cast<size_t>(copied) : text.size() - 1);
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? n : 0);
}

BOOL CALLBACK AddControl(HWND child, LPARAM param) {
  auto* record = reinterpret_cast<DialogRecord*>(param);
  ControlRecord c;
  c.id = GetDlgCtrlID(child);
  c.window_class = ClassName(child);
  c.text = WindowText(child);
  c.visible = IsWindowVisible(child) != FALSE;
  c.enabled = IsWindowEnabled(child) != FALSE;
  c.style = static_cast<uint32_t>(GetWindowLongW(child, GWL_STYLE));
  record->controls.push_back(std::move(c));
  return TRUE;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<std::vector<HWND>*>(param);
  if (ClassName(window) == kDialogClass) found->push_back(window);
  return TRUE;
}

}  // namespace

DialogRecord ReadDialog(HWND window) {
  DialogRecord record;
  record.window = reinterpret_cast<uintptr_t>(window);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  record.process_id = pid;
  record.caption = WindowText(window);
  EnumChildWindows(window, AddControl, reinterpret_cast<LPARAM>(&record));
  if (const ControlRecord* text = record.FindControl(kMessageBoxTextId)) record.text = text->text;
  return record;
}

Watcher::Watcher(WatchOptions options) : options_(std::move(options)), start_(GetTickCount()) {
  if (options_.root_process != 0) tree_.AddRoot(options_.root_process);
}

int Watcher::Poll() {
  std::vector<HWND> found;
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
  // Forget windows that are gone, so a reused handle value counts as new.
  for (auto it = tracked_.begin(); it != tracked_.end();) {
    it = IsWindow(it->first) ? std::next(it) : tracked_.erase(it);
  }
  new_in_pass_ = 0;
  DWORD now = GetTickCount();
  for (HWND window : found) Visit(window, now);
  return new_in_pass_;
}

void Watcher::Visit(HWND window, DWORD now) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (!tree_.empty() && !tree_.Contains(pid)) return;
  if (!IsWindowVisible(window)) return;

  Tracked& t = tracked_[window];
  if (t.first_visible == 0) {
    t.first_visible = now ? now : 1;
    return;
  }
  if (t.record < 0) {
    if (now - t.first_visible < options_.settle_ms) return;
    DialogRecord record = ReadDialog(window);
    record.seen_ms = t.first_visible - start_;
    records_.push_back(std::move(record));
    t.record = static_cast<int>(records_.size()) - 1;
    ++new_in_pass_;
    if (options_.on_record) options_.on_record(records_[t.record]);
    int command = ChooseAnswer(records_[t.record]);
    if (command != kLeaveOpen) Answer(window, records_[t.record], command, now);
    return;
  }
  DialogRecord& record = records_[t.record];
  if (record.answered_id != 0 && options_.repeat_ms != 0 &&
      now - t.answered_at >= options_.repeat_ms) {
    Answer(window, record, record.answered_id, now);
  }
}

int Watcher::ChooseAnswer(const DialogRecord& record) const {
  int press = kPressDefault;
  for (const Rule& rule : options_.rules) {
    if (!rule.caption.empty() && rule.caption != record.caption) continue;
    if (!rule.text.empty() && record.text.find(rule.text) == std::wstring::npos) continue;
    press = rule.press;
    break;
  }
  if (press != kPressDefault) return press;
  if (record.FindControl(IDOK)) return IDOK;
  // No Cancel button either: a dialog turns a close request into IDCANCEL itself.
  return IDCANCEL;
}

void Watcher::Answer(HWND window, DialogRecord& record, int command, DWORD now) {
  // Posted, not sent: the watched process answers from its own message loop and
  // the watcher never waits on it.
  HWND control = GetDlgItem(window, command);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  record.answered_id = command;
  ++record.answer_count;
  tracked_[window].answered_at = now;
}

int Watcher::OpenCount() const {
  int open = 0;
  for (const auto& entry : tracked_) {
    if (entry.second.record >= 0 && records_[entry.second.record].answered_id == 0) ++open;
  }
  return open;
}

}  // namespace brxwatch
