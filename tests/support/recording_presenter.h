// A presenter that stands for the screen in tests. Attended, it keeps what a
// person would see, in order, and answers every box with `answer`;
// unattended it shows nothing, like the silent presenter the stub gives a
// run nobody watches.
#ifndef BRX_TESTS_SUPPORT_RECORDING_PRESENTER_H_
#define BRX_TESTS_SUPPORT_RECORDING_PRESENTER_H_

#include <string>
#include <vector>

#include "base/presenter.h"

namespace brxtest {

struct ShownBox {
  brx::OwnerWindow owner;
  unsigned text_id;  // 0 for a finished text
  unsigned caption_id;
  unsigned style;
  std::wstring text;  // the finished text, else empty
};

class RecordingPresenter : public brx::Presenter {
 public:
  // journal, when given, gets one word per thing shown: "msg<id>;",
  // "text;", "progress;", "finish;", "destroy;", "tray <tooltip>;", "untray;".
  explicit RecordingPresenter(bool attended = true, std::wstring* journal = nullptr)
      : attended(attended), journal(journal) {}

  bool Attended() const override { return attended; }
  int ShowMessage(brx::OwnerWindow owner, unsigned text_id, unsigned caption_id, unsigned style) override {
    if (!attended) return 0;
    shown.push_back({owner, text_id, caption_id, style, std::wstring()});
    Note(L"msg" + std::to_wstring(text_id));
    return answer;
  }
  int ShowText(brx::OwnerWindow owner, const wchar_t* text, unsigned caption_id, unsigned style) override {
    if (!attended) return 0;
    shown.push_back({owner, 0, caption_id, style, text ? text : L""});
    Note(L"text");
    return answer;
  }
  void OpenProgress(brx::OwnerWindow) override { Note(L"progress"); }
  void SetProgress(int percent) override {
    if (attended) last_percent = percent;
  }
  void FinishProgress(brx::OwnerWindow, bool) override { Note(L"finish"); }
  void CloseWindows(brx::OwnerWindow) override { Note(L"destroy"); }
  void AddTrayIcon(brx::OwnerWindow, const wchar_t* tooltip) override {
    Note(L"tray " + std::wstring(tooltip ? tooltip : L""));
  }
  void RemoveTrayIcon(brx::OwnerWindow) override {
    if (attended) ++tray_removals;
    Note(L"untray");
  }

  bool attended;
  std::wstring* journal;
  int answer = 1;
  std::vector<ShownBox> shown;
  int last_percent = -1;
  int tray_removals = 0;

 private:
  void Note(const std::wstring& word) {
    if (attended && journal) *journal += word + L";";
  }
};

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_RECORDING_PRESENTER_H_
