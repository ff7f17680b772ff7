// The presenter of a run a person watches: message boxes from the stub's
// string table, the extraction's progress window and the notification-area
// icon.
#ifndef BRX_UI_SCREEN_PRESENTER_WIN_H_
#define BRX_UI_SCREEN_PRESENTER_WIN_H_

#include <windows.h>

#include "base/presenter.h"

namespace brx {

class ScreenPresenter : public Presenter {
 public:
  ScreenPresenter() = default;
  ~ScreenPresenter() override;
  ScreenPresenter(const ScreenPresenter&) = delete;
  ScreenPresenter& operator=(const ScreenPresenter&) = delete;

  // The tray icon's image (icon 102 at the small size), loaded with the
  // definition; borrowed, the entry destroys it.
  void SetTrayIconImage(HICON icon) { tray_image_ = icon; }

  bool Attended() const override { return true; }
  int ShowMessage(OwnerWindow owner, unsigned text_id, unsigned caption_id, unsigned style) override;
  int ShowText(OwnerWindow owner, const wchar_t* text, unsigned caption_id, unsigned style) override;
  void OpenProgress(OwnerWindow owner) override;
  void SetProgress(int percent) override;
  void FinishProgress(OwnerWindow owner, bool hide_owner) override;
  void CloseWindows(OwnerWindow owner) override;
  void AddTrayIcon(OwnerWindow owner, const wchar_t* tooltip) override;
  void RemoveTrayIcon(OwnerWindow owner) override;

 private:
  HWND progress_ = nullptr;
  HICON tray_image_ = nullptr;
};

}  // namespace brx

#endif  // BRX_UI_SCREEN_PRESENTER_WIN_H_
