// The shared recording log, and a message seam that keeps its calls.
#ifndef BRX_TESTS_CHECKS_CHECK_RECORDER_H_
#define BRX_TESTS_CHECKS_CHECK_RECORDER_H_

#include <string>
#include <vector>

#include "checks/check_ui.h"
#include "support/recording_log.h"

namespace brx {
namespace checks {

using brxtest::LogEntry;
using brxtest::RecordingLog;

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
