// A log that keeps its lines and a message seam that keeps its calls.
#ifndef BRX_TESTS_CHECKS_CHECK_RECORDER_H_
#define BRX_TESTS_CHECKS_CHECK_RECORDER_H_

#include <string>
#include <vector>

#include "checks/check_ui.h"
#include "log/cmp_log2.h"

namespace brx {
namespace checks {

struct LoggedLine {
  unsigned target;
  int level;
  std::wstring module;  // "(null)" when the statement names none
  int line;
  std::wstring text;
};

class RecordingLog : public CCmpLog2 {
 public:
  using CCmpLog2::Write;
  void Write(unsigned target, int level, const wchar_t* module, int line, const std::wstring& message) override {
    lines.push_back({target, level, module ? module : L"(null)", line, message});
  }
  bool Logged(const std::wstring& text) const {
    for (const LoggedLine& l : lines) {
      if (l.text == text) return true;
    }
    return false;
  }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> out;
    for (const LoggedLine& l : lines) out.push_back(l.text);
    return out;
  }
  std::vector<LoggedLine> lines;
};

struct ShownMessage {
  MessageOwner owner;
  unsigned text_id;
  unsigned caption_id;
  unsigned style;
};

// Message boxes go into shown(); call Reset() before each case.
class MessageRecorder {
 public:
  static CheckUi Ui() {
    CheckUi ui;
    ui.show_message = &Show;
    return ui;
  }
  static void Reset() { shown().clear(); }
  static std::vector<ShownMessage>& shown() {
    static std::vector<ShownMessage> calls;
    return calls;
  }

 private:
  static int Show(MessageOwner owner, unsigned text_id, unsigned caption_id, unsigned style) {
    shown().push_back({owner, text_id, caption_id, style});
    return 1;
  }
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_TESTS_CHECKS_CHECK_RECORDER_H_
