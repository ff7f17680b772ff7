// The watcher and the run harness against showdialogs.exe, without the stub.
#include <gtest/gtest.h>

#include "dialog_template.h"
#include "run_watched.h"
#include "showdialogs.h"

namespace brxe2e {
namespace {

using brxwatch::DialogRecord;

bool ProcessGone(DWORD id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (!process) return true;
  bool gone = WaitForSingleObject(process, 2000) == WAIT_OBJECT_0;
  CloseHandle(process);
  return gone;
}

TEST(E2eWatcher, RecordsAndAnswersByRule) {
  RunOptions run;
  run.program = BinPath(L"showdialogs.exe");
  run.args = {L"/caption:Demo Box", L"/msg:Hello \"there\"", L"/dialog"};
  run.rules = {{L"Watcher Demo", L"", IDC_DEMO_RETRY}};
  RunResult r = RunWatched(run);
  ASSERT_FALSE(r.timed_out) << r.Describe();
  EXPECT_EQ(r.exit_code, static_cast<DWORD>(IDC_DEMO_RETRY)) << r.Describe();
  ASSERT_EQ(r.dialogs.size(), 2u) << r.Describe();

  const DialogRecord& box = r.dialogs[0];
  EXPECT_TRUE(box.IsMessageBox());
  EXPECT_EQ(box.caption, L"Demo Box");
  EXPECT_EQ(box.text, L"Hello \"there\"");
  EXPECT_EQ(box.answered_id, IDOK);  // no rule matched: the default answer

  const DialogRecord& dialog = r.dialogs[1];
  EXPECT_FALSE(dialog.IsMessageBox());
  EXPECT_EQ(dialog.answered_id, IDC_DEMO_RETRY);
  // Text set during WM_INITDIALOG is in the record: it is read after the window settles.
  const brxwatch::ControlRecord* late = dialog.FindControl(IDC_DEMO_LATE);
  ASSERT_NE(late, nullptr) << r.Describe();
  EXPECT_EQ(late->text, DEMO_LATE_TEXT);

  brxwatch::DialogTemplate tmpl;
  ASSERT_TRUE(brxwatch::LoadDialogTemplate(run.program, IDD_DEMO, 0, &tmpl));
  std::wstring why;
  EXPECT_TRUE(brxwatch::MatchesTemplate(dialog, tmpl, &why)) << brxwatch::ToUtf8(why);
  EXPECT_FALSE(brxwatch::MatchesTemplate(box, tmpl, &why));
  EXPECT_FALSE(brxwatch::LoadDialogTemplate(run.program, IDD_DEMO + 1, 0, &tmpl));
}

// Tests run in parallel on one desktop: a run must answer only its own windows.
TEST(E2eWatcher, LeavesOtherProcessesAlone) {
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION other = {};
  std::wstring line = QuoteArgument(BinPath(L"showdialogs.exe")) + L" /style:1 /msg:Other";
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                             &other));
  CloseHandle(other.hThread);
  // Let the other box come up first, so the watched run would see it.
  brxwatch::WatchOptions peek;
  peek.root_process = other.dwProcessId;
  peek.rules = {{L"", L"", brxwatch::kLeaveOpen}};
  brxwatch::Watcher waiting(peek);
  for (int i = 0; i < 200 && waiting.OpenCount() == 0; ++i) {
    waiting.Poll();
    Sleep(10);
  }

  RunResult mine = RunWatched({BinPath(L"showdialogs.exe"), {L"/msg:Mine"}});
  EXPECT_EQ(mine.exit_code, static_cast<DWORD>(IDOK)) << mine.Describe();
  ASSERT_EQ(mine.dialogs.size(), 1u) << mine.Describe();
  EXPECT_EQ(mine.dialogs[0].text, L"Mine");
  EXPECT_EQ(WaitForSingleObject(other.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  brxwatch::WatchOptions answer;
  answer.root_process = other.dwProcessId;
  answer.rules = {{L"", L"Other", IDCANCEL}};
  brxwatch::Watcher closer(answer);
  for (int i = 0; i < 500 && WaitForSingleObject(other.hProcess, 10) == WAIT_TIMEOUT; ++i) closer.Poll();
  DWORD code = 0;
  GetExitCodeProcess(other.hProcess, &code);
  TerminateProcess(other.hProcess, 0);
  CloseHandle(other.hProcess);
  EXPECT_EQ(code, static_cast<DWORD>(IDCANCEL));
}

// Through the launcher: the dialog belongs to a grandchild of the test and the
// launcher hands the child's exit code on.
TEST(E2eWatcher, FollowsChildrenOfTheLauncher) {
  RunOptions run;
  run.launcher = BinPath(L"kelagent.exe");
  run.program = BinPath(L"showdialogs.exe");
  run.args = {L"/style:4", L"/msg:Yes or no?"};  // MB_YESNO
  run.rules = {{L"", L"or no", IDNO}};
  RunResult r = RunWatched(run);
  EXPECT_EQ(r.exit_code, static_cast<DWORD>(IDNO)) << r.Describe();
  ASSERT_EQ(r.dialogs.size(), 1u) << r.Describe();
}

TEST(E2eWatcher, TimeLimitKillsTheWholeTree) {
  RunOptions run;
  run.launcher = BinPath(L"kelagent.exe");
  run.program = BinPath(L"showdialogs.exe");
  run.args = {L"/msg:Stays open"};
  run.rules = {{L"", L"", brxwatch::kLeaveOpen}};
  // Long enough for the box to come up on a loaded machine (normally ~0.2 s).
  run.time_limit_ms = 5000;
  RunResult r = RunWatched(run);
  EXPECT_TRUE(r.timed_out) << r.Describe();
  ASSERT_EQ(r.dialogs.size(), 1u) << r.Describe();
  EXPECT_EQ(r.dialogs[0].answered_id, 0);
  EXPECT_TRUE(ProcessGone(r.dialogs[0].process_id));
}

}  // namespace
}  // namespace brxe2e
