// What a person sees of a run: message boxes, the extraction's progress
// window and the notification-area icon all reach the screen through one
// Presenter, which the entry builds from the run's mode. The steps show
// through it and never decide themselves whether a window may appear: a run
// started by a deployment agent as SYSTEM has nobody to answer a box, and a
// box there would hold the deployment until the agent's own time-out.
#ifndef BRX_BASE_PRESENTER_H_
#define BRX_BASE_PRESENTER_H_

namespace brx {

// An opaque owner window (HWND on Windows); null for none.
using OwnerWindow = void*;

// String-table caption 1, "Package Setup", which nearly every box carries.
constexpr unsigned kCaptionPackageSetup = 1;

class Presenter {
 public:
  virtual ~Presenter() = default;

  // Whether a person watches this run and can answer it. A step whose
  // outcome depends on that (a TPM caution a person may accept, a log that
  // cannot be opened) asks here.
  virtual bool Attended() const = 0;

  // The string text_id with the string caption_id as caption; the box's
  // answer, 0 when nothing was shown.
  virtual int ShowMessage(OwnerWindow owner, unsigned text_id, unsigned caption_id, unsigned style) = 0;
  // A finished text (placeholders filled) with the string caption_id as caption.
  virtual int ShowText(OwnerWindow owner, const wchar_t* text, unsigned caption_id, unsigned style) = 0;

  // The extraction's progress window over owner (or the screen).
  virtual void OpenProgress(OwnerWindow owner) = 0;
  virtual void SetProgress(int percent) = 0;
  // Bar to 100, a 2 s pause, the progress window gone; with hide_owner the
  // owner is minimised and hidden.
  virtual void FinishProgress(OwnerWindow owner, bool hide_owner) = 0;
  // Takes down the progress window and the owner (which ends the setup dialog).
  virtual void CloseWindows(OwnerWindow owner) = 0;

  // The notification-area icon while the setup program runs.
  virtual void AddTrayIcon(OwnerWindow owner, const wchar_t* tooltip) = 0;
  virtual void RemoveTrayIcon(OwnerWindow owner) = 0;
};

// A run nobody watches (/silent, command-line extraction): nothing reaches
// the screen, and every box answers 0.
class SilentPresenter : public Presenter {
 public:
  bool Attended() const override { return false; }
  int ShowMessage(OwnerWindow, unsigned, unsigned, unsigned) override { return 0; }
  int ShowText(OwnerWindow, const wchar_t*, unsigned, unsigned) override { return 0; }
  void OpenProgress(OwnerWindow) override {}
  void SetProgress(int) override {}
  void FinishProgress(OwnerWindow, bool) override {}
  void CloseWindows(OwnerWindow) override {}
  void AddTrayIcon(OwnerWindow, const wchar_t*) override {}
  void RemoveTrayIcon(OwnerWindow) override {}
};

}  // namespace brx

#endif  // BRX_BASE_PRESENTER_H_
