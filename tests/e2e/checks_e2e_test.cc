// The system checks inside real installs under Wine: a stopped WMI service
// halts the install, and a preinstallation environment lets an install go on
// without its log. Both change machine state other tests rely on, so they run
// alone and restore it whatever happens.
#include <gtest/gtest.h>

#include "install_runs.h"

namespace brxe2e {
namespace {

size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// winmgmt stopped: the install halts with 0 after the two error lines, before
// any directory is made; silently without a message box, and with user
// interface with exactly one message 1051.
TEST(E2eChecksSerial, StoppedWmiServiceHaltsTheInstall) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {});
  ASSERT_FALSE(pkg.empty());
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  RunResult silent, noprompt;
  std::string silent_session, noprompt_session;
  {
    WinmgmtStopped stopped;
    ASSERT_TRUE(stopped.stopped()) << "cannot stop winmgmt";
    LogTail tail;
    silent = run.Start(pkg, {L"/silent"});
    silent_session = tail.Appended();
    LogTail tail2;
    noprompt = run.Start(pkg, {L"/noprompt"}, Parent::kTest, {LeaveProgressOpen()});
    noprompt_session = tail2.Appended();
  }
  ExpectNoDialog(silent);
  EXPECT_EQ(silent.exit_code, 0u) << silent.Describe();
  ExpectInOrder(silent_session,
                {"Log Session Start...\r\n\r\n", "Validating WMI service is available...\r\n\r\n",
                 "**ERROR** - \r\n\r\n" + Narrow(kNoWmiText) + "\r\n\r\n",
                 "**ERROR** - No WMI Service Available...Installation Software requires WMI Service "
                 "Availability...FAILURE CODE (0) ...\r\n\r\n",
                 "\r\n\r\nLog Session End. [", "]\r\nReturn Code (0)\r\n"});
  EXPECT_EQ(silent_session.find("WMI service is available.\r\n"), std::string::npos) << silent_session;
  EXPECT_EQ(silent_session.find("Checking for virtualized environment"), std::string::npos) << silent_session;
  EXPECT_EQ(silent_session.find("Creating extraction directory"), std::string::npos) << silent_session;

  ASSERT_TRUE(noprompt.started && !noprompt.timed_out) << noprompt.Describe();
  EXPECT_EQ(noprompt.exit_code, 0u) << noprompt.Describe();
  ASSERT_EQ(noprompt.dialogs.size(), 1u) << noprompt.Describe();
  EXPECT_TRUE(noprompt.dialogs[0].IsMessageBox()) << noprompt.Describe();
  EXPECT_EQ(noprompt.dialogs[0].caption, kPackageCaption);
  EXPECT_EQ(noprompt.dialogs[0].text, kNoWmiText);
  ExpectInOrder(noprompt_session, {"No WMI Service Available", "Return Code (0)"});
  EXPECT_FALSE(FileExists(record)) << "the setup program ran";
}

// In a preinstallation environment a log that cannot be opened is no reason
// to stop, even silently: the install runs unlogged and exits with the setup
// program's code.
TEST(E2eChecksSerial, PreinstallEnvironmentInstallsWithoutTheLog) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 3, {});
  ASSERT_FALSE(pkg.empty());
  std::wstring record = run.dir().File(L"record.txt");
  ScopedEnv env(L"BRXSAMPLE_RECORD", record);
  LogTail tail;
  RunResult r;
  {
    MiniNtKey minint;
    ASSERT_TRUE(minint.present()) << "cannot create the MiniNT key";
    LogLock lock;
    ASSERT_TRUE(lock.locked());
    r = run.Start(pkg, {L"/silent"});
  }
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 3u) << r.Describe();
  EXPECT_TRUE(FileExists(record)) << "the install did not go on";
  EXPECT_TRUE(tail.Unchanged());
}

// The setup dialog takes one install at a time. With winmgmt stopped, Install
// shows message 1051, which has no owner; a second Install pressed while it is
// up must start nothing: one message, one log session, and the dialog still
// there to be closed afterwards.
TEST(E2eChecksSerial, SecondInstallWhileAMessageIsUpStartsNothing) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {});
  ASSERT_FALSE(pkg.empty());
  WinmgmtStopped stopped;
  ASSERT_TRUE(stopped.stopped()) << "cannot stop winmgmt";
  LogTail tail;

  std::wstring line = QuoteArgument(pkg);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);

  // Everything is left open here; this loop presses the buttons itself.
  brxwatch::WatchOptions watch;
  watch.root_process = pi.dwProcessId;
  watch.rules = {{L"", L"", brxwatch::kLeaveOpen}};
  brxwatch::Watcher watcher(watch);
  HWND dialog = nullptr;
  std::vector<HWND> boxes;
  size_t seen = 0;
  DWORD closed_at = 0;
  DWORD start = GetTickCount();
  bool ended = false;
  while (GetTickCount() - start < 30000) {
    watcher.Poll();
    for (; seen < watcher.records().size(); ++seen) {
      const brxwatch::DialogRecord& r = watcher.records()[seen];
      HWND window = reinterpret_cast<HWND>(r.window);
      if (!r.IsMessageBox() && r.FindControl(1002)) {
        dialog = window;
        PostMessageW(dialog, WM_COMMAND, 1002, 0);
      } else if (r.IsMessageBox()) {
        boxes.push_back(window);
        if (boxes.size() == 1) {
          // The second press, while the message is up; a nested install
          // would show its own message within this second.
          PostMessageW(dialog, WM_COMMAND, 1002, 0);
          for (DWORD t = GetTickCount(); GetTickCount() - t < 1500;) {
            watcher.Poll();
            Sleep(50);
          }
        }
        PostMessageW(window, WM_COMMAND, IDOK, 0);
      }
    }
    if (!boxes.empty() && !closed_at && watcher.OpenCount() == 1) {
      closed_at = GetTickCount();
      PostMessageW(dialog, WM_COMMAND, 1004, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
  }
  if (!ended) TerminateProcess(pi.hProcess, 0xDEAD);
  DWORD exit_code = 0;
  GetExitCodeProcess(pi.hProcess, &exit_code);
  CloseHandle(pi.hProcess);
  std::string session = tail.Appended();

  ASSERT_TRUE(ended) << "the dialog did not close";
  EXPECT_EQ(exit_code, 3u) << "Close after the halted install";
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(CountOf(session, "Log Session Start"), 1u) << session;
  EXPECT_EQ(CountOf(session, "Return Code (0)"), 1u) << session;
}

}  // namespace
}  // namespace brxe2e
