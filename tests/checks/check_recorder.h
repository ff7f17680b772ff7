// The shared recording log, and a presenter that keeps the boxes it shows.
#ifndef BRX_TESTS_CHECKS_CHECK_RECORDER_H_
#define BRX_TESTS_CHECKS_CHECK_RECORDER_H_

#include <string>
#include <vector>

#include "checks/check_ui.h"
#include "support/recording_log.h"
#include "support/recording_presenter.h"

namespace brx {
namespace checks {

using brxtest::LogEntry;
using brxtest::RecordingLog;

// Message boxes go into shown(); call Reset() before each case.
class MessageRecorder {
 public:
  static CheckUi Ui() { return CheckUi(); }
  // The presenter of a run with (no_ui false) or without a user interface:
  // only the first shows anything.
  static Presenter& NoUi(bool no_ui) {
    presenter().attended = !no_ui;
    return presenter();
  }
  static void Reset() { shown().clear(); }
  static std::vector<brxtest::ShownBox>& shown() { return presenter().shown; }

 private:
  static brxtest::RecordingPresenter& presenter() {
    static brxtest::RecordingPresenter recorder;
    return recorder;
  }
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_TESTS_CHECKS_CHECK_RECORDER_H_
