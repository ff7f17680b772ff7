// Drives this thread's dialogs from a timer while a modal loop of the code
// under test runs: each tick hands the active dialog to the current step.
#ifndef BRX_TESTS_UI_DIALOG_DRIVER_WIN_H_
#define BRX_TESTS_UI_DIALOG_DRIVER_WIN_H_

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace brxtest {

class DialogDriver {
 public:
  // A step gets the active dialog (or null while there is none) and returns
  // true when it is done. Steps that open a nested modal loop must post, not
  // send, their commands.
  using Step = std::function<bool(HWND active)>;

  explicit DialogDriver(std::vector<Step> steps, DWORD timeout_ms = 15000);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  bool finished() const { return next_ == steps_.size(); }
  // True when the time ran out and the driver closed every dialog itself.
  bool timed_out() const { return timed_out_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Tick();

  std::vector<Step> steps_;
  size_t next_ = 0;
  DWORD deadline_;
  bool busy_ = false;
  bool timed_out_ = false;
  UINT_PTR timer_;
};

// The enabled, visible dialog or message box of this thread on top, or null.
HWND ActiveDialog();

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
// Posts a button click, as the dialog manager would deliver it.
void PostCommand(HWND dialog, int id);
// Posts a key press to the focused control, for the dialog manager to translate.
void PostKey(UINT key);
// The control's rectangle in the dialog's client coordinates.
RECT ItemRect(HWND dialog, int id);
// Text of the first static control whose text contains `part`, else empty.
std::wstring FindStaticText(HWND dialog, const std::wstring& part);

}  // namespace brxtest

#endif  // BRX_TESTS_UI_DIALOG_DRIVER_WIN_H_
