// Elevated installs on a shared server where ordinary users can change the
// folders an extraction uses while it runs: a destination that is a link, a
// link planted between two entries, a second hard link in an existing folder,
// the extraction directory renamed away before its clean-up. Links are Unix
// links (brxtest::PlantSymlink), planted only where the defence is the
// no-follow open, not the share mode: a Unix process ignores share modes,
// so the renames that the held folders stop are tried from Windows.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "install_runs.h"
#include "platform/scoped_handle_win.h"
#include "support/planted.h"
#include "support/test_files.h"

namespace brxe2e {
namespace {

// A Windows thread running `body`, waited for by Join() or at the latest when
// it goes (the toolchain's Win32 thread model has no std::thread).
class TestThread {
 public:
  explicit TestThread(std::function<void()> body)
      : body_(std::move(body)), handle_(CreateThread(nullptr, 0, &TestThread::Run, this, 0, nullptr)) {
    EXPECT_TRUE(handle_.valid()) << "CreateThread failed: " << GetLastError();
  }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;
  ~TestThread() { Join(); }
  void Join() {
    if (handle_.valid()) WaitForSingleObject(handle_.get(), INFINITE);
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<TestThread*>(self)->body_();
    return 0;
  }
  std::function<void()> body_;
  brx::platform::ScopedHandle handle_;
};

std::wstring MakeDir(const std::wstring& path) {
  CreateDirectoryW(path.c_str(), nullptr);
  EXPECT_TRUE(DirectoryExists(path)) << Narrow(path);
  return path;
}

// /instpath: and /extract: naming a link, or a path through one: nothing is
// written where the link leads, the setup program does not run, and the log
// names the refused folder.
TEST(E2eInstallLog, LinkDestinationsAreRefusedBeforeAnythingIsWritten) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {{"sub/x.dll", "ours"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring elsewhere = MakeDir(run.dir().File(L"elsewhere"));
  std::wstring link = run.dir().File(L"link");
  ASSERT_TRUE(brxtest::PlantSymlink(link, elsewhere));
  std::wstring record = run.dir().File(L"record.txt");
  struct Case {
    std::vector<std::wstring> args;
    std::wstring logged;  // the folder the log names; empty: nothing logged
  } cases[] = {
      {{L"/silent", L"/instpath:" + link}, link},
      {{L"/silent", L"/instpath:" + link + L"\\inst"}, link + L"\\inst"},
      {{L"/extract:" + link}, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.args.back()));
    DeleteFileW(record.c_str());
    LogTail tail;
    RunResult r;
    {
      ScopedEnv env(L"BRXSAMPLE_RECORD", record);
      r = run.Start(pkg, c.args);
    }
    ExpectNoDialog(r);
    EXPECT_EQ(r.exit_code, 0u) << r.Describe();
    EXPECT_TRUE(IsEmptyDirectory(elsewhere)) << "written through the link";
    EXPECT_FALSE(FileExists(record)) << "the setup program ran";
    if (!c.logged.empty()) {
      EXPECT_NE(tail.Appended().find("Refused folder [" + Narrow(c.logged) + "]: it is, or passes through, a junction"),
                std::string::npos)
          << tail.Appended();
    }
  }
}

// In an existing folder a file that is a second hard link (or a symbolic
// link) to a file elsewhere is replaced by the package's file, never
// written through.
TEST(E2eInstallLog, ExistingFolderLinksToFilesAreReplacedNotWrittenThrough) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {{"hard.txt", "package"}, {"soft.txt", "package"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring victim = run.dir().File(L"victim.txt");
  brxtest::WriteFile(victim, "victim");
  std::wstring existing = MakeDir(run.dir().File(L"existing"));
  ASSERT_TRUE(brxtest::PlantHardLink(existing + L"\\hard.txt", victim));
  ASSERT_TRUE(brxtest::PlantSymlink(existing + L"\\soft.txt", victim));
  RunResult r = run.Start(pkg, {L"/extract:" + existing});
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_EQ(ReadBinary(victim), "victim");
  EXPECT_EQ(ReadBinary(existing + L"\\hard.txt"), "package");
  EXPECT_EQ(ReadBinary(existing + L"\\soft.txt"), "package");
}

// The test build of the stub waits before the second entry: the folder being
// extracted into cannot be renamed away then, and a link planted where the
// next entry's folder goes is refused, not followed.
TEST(E2eInstallLog, LinkPlantedDuringTheExtractionIsNotFollowed) {
  StubRun run(kRecordingStub);
  std::wstring pkg =
      BuildInstallPackage(run, L"e2epkg.exe", 1, {{"big.bin", std::string(4 << 20, 'b')}, {"sub/payload.dll", "payload"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring existing = MakeDir(run.dir().File(L"existing"));
  std::wstring elsewhere = MakeDir(run.dir().File(L"elsewhere"));
  std::wstring gate = run.dir().File(L"gate");
  ScopedEnv gate_env(L"BRX_ENTRY_GATE", gate);
  ScopedEnv at_env(L"BRX_ENTRY_GATE_AT", L"payload");
  RunResult r;
  TestThread stub([&] { r = run.Start(pkg, {L"/extract:" + existing}); });
  bool paused = false;
  for (int i = 0; i < 600 && !paused; ++i) {
    paused = FileExists(gate);
    if (!paused) Sleep(100);
  }
  bool moved = false, planted = false;
  if (paused) {
    moved = MoveFileW(existing.c_str(), (existing + L".moved").c_str()) != FALSE;
    planted = brxtest::PlantSymlink(existing + L"\\sub", elsewhere);
  }
  DeleteFileW(gate.c_str());
  stub.Join();
  ASSERT_TRUE(paused) << "the extraction never reached the second entry";
  EXPECT_FALSE(moved) << "the folder being extracted into was renamed";
  EXPECT_TRUE(planted);
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 0u) << r.Describe();
  EXPECT_TRUE(IsEmptyDirectory(elsewhere)) << "written through the link";
  EXPECT_TRUE(FileExists(existing + L"\\big.bin"));
}

// The extraction directory, a /instpath: folder the run creates below a
// folder anybody may change or a {GUID} folder in the temporary directory,
// cannot be renamed away at any time during the run (and so replaced by a
// link for the clean-up to follow); it is gone afterwards, and a folder next
// to it keeps its files.
TEST(E2eInstallLogSerial, ExtractionDirectoryCannotBeSwappedBeforeItsCleanUp) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {{"sub/x.dll", "ours"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring victim = MakeDir(run.dir().File(L"victim"));
  brxtest::WriteFile(victim + L"\\x.dll", "keep");
  std::wstring parent = MakeDir(run.dir().File(L"userparent"));
  wchar_t temp[MAX_PATH + 1];
  ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);

  for (bool guid : {false, true}) {
    SCOPED_TRACE(guid ? "{GUID} folder" : "/instpath: folder");
    std::wstring inst = parent + L"\\new";
    std::set<std::wstring> before;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((std::wstring(temp) + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do before.insert(data.cFileName);
      while (FindNextFileW(find, &data));
      FindClose(find);
    }
    std::atomic<bool> done(false);
    std::atomic<int> tries(0);
    std::vector<std::wstring> moved;  // read after the swapper has ended
    // Tries to rename every folder the run extracts into, all through the run.
    TestThread swapper([&] {
      while (!done) {
        std::vector<std::wstring> targets;
        if (!guid) targets.push_back(inst);
        WIN32_FIND_DATAW found;
        HANDLE f = guid ? FindFirstFileW((std::wstring(temp) + L"*").c_str(), &found) : INVALID_HANDLE_VALUE;
        if (f != INVALID_HANDLE_VALUE) {
          do {
            std::wstring name = found.cFileName;
            if (name[0] == L'{' && name.back() == L'}' && !before.count(name)) targets.push_back(temp + name);
          } while (FindNextFileW(f, &found));
          FindClose(f);
        }
        for (const std::wstring& t : targets) {
          if (!DirectoryExists(t)) continue;
          ++tries;
          if (MoveFileW(t.c_str(), (t + L".away").c_str())) {
            moved.push_back(t + L".away");
            brxtest::PlantSymlink(t, victim);
          }
        }
        Sleep(10);
      }
    });
    RunResult r = guid ? run.Start(pkg, {L"/silent"}) : run.Start(pkg, {L"/silent", L"/instpath:" + inst});
    done = true;
    swapper.Join();
    ExpectNoDialog(r);
    EXPECT_EQ(r.exit_code, 1u) << r.Describe();
    EXPECT_GT(tries.load(), 0) << "the folder was never seen";
    // Windows deletes a folder only through a handle that may delete it, and
    // the held handle may not (the setup program's working directory is
    // opened without delete sharing): the folder is let go for the instant
    // between its emptying and its deletion. A rename in that instant takes
    // an empty folder away, which the clean-up then leaves, since it is no
    // longer the one held; what the link in its place leads to is never
    // touched.
    for (const std::wstring& away : moved) {
      EXPECT_TRUE(IsEmptyDirectory(away)) << "renamed while the run held it: " << brxtest::Narrow(away);
      RemoveDirectoryW(away.c_str());
    }
    EXPECT_EQ(ReadBinary(victim + L"\\x.dll"), "keep");
    if (!guid && moved.empty()) EXPECT_FALSE(DirectoryExists(inst));
  }
}

// Names in the 8.3 short-name form, as packages of DOS-era flash tools carry
// them, and a folder named twice install like any other.
TEST(E2eInstallLog, ShortNameFormsAndARepeatedFolderInstall) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1,
                                         {{"FLASH~1.BIN", "flash"},
                                          {"README~1.TXT", "readme"},
                                          {"UTIL~2/TOOL.EXE", "tool"},
                                          {"drivers/", ""},
                                          {"drivers/", ""},
                                          {"drivers/a.sys", "a"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring record = run.dir().File(L"record.txt");
  std::wstring out = MakeDir(run.dir().File(L"out"));
  RunResult extracted = run.Start(pkg, {L"/extract:" + out});
  EXPECT_EQ(extracted.exit_code, 1u) << extracted.Describe();
  EXPECT_EQ(ReadBinary(out + L"\\UTIL~2\\TOOL.EXE"), "tool");
  EXPECT_EQ(ReadBinary(out + L"\\drivers\\a.sys"), "a");
  RunResult r;
  {
    ScopedEnv env(L"BRXSAMPLE_RECORD", record);
    r = run.Start(pkg, {L"/silent"});
  }
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  EXPECT_TRUE(FileExists(record)) << "the setup program did not run";
}

}  // namespace
}  // namespace brxe2e
