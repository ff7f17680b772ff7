#include "install/reboot_win.h"

#include <gtest/gtest.h>

#include <string>

#include "support/recording_presenter.h"
#include "ui/resource_ids.h"

namespace brx {
namespace {

// What the fake machine has and what happened to it.
struct Machine {
  UINT types[26] = {};
  bool media[26] = {};
  bool privilege = true;
  bool shutdown_starts = true;
  std::wstring events;
};
Machine g_machine;

UINT FakeDriveType(const wchar_t* root) { return g_machine.types[root[0] - L'A']; }
bool FakeAccessible(const wchar_t* root) { return g_machine.media[root[0] - L'A']; }
std::wstring FakeText(UINT id) { return id == IDS_REBOOT_NOTICE ? L"Setup is initiating a reboot of your system." : L""; }
bool FakePrivilege() {
  g_machine.events += L"privilege;";
  if (!g_machine.privilege) SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return g_machine.privilege;
}
BOOL FakeShutdown(const wchar_t* message, DWORD timeout, BOOL force, BOOL reboot) {
  g_machine.events += L"shutdown [" + std::wstring(message) + L"] " + std::to_wstring(timeout) + L" " +
                      std::to_wstring(force) + L" " + std::to_wstring(reboot) + L";";
  if (!g_machine.shutdown_starts) SetLastError(ERROR_SHUTDOWN_IN_PROGRESS);
  return g_machine.shutdown_starts;
}

RebootHooks Hooks() {
  RebootHooks hooks;
  hooks.drive_type = FakeDriveType;
  hooks.root_accessible = FakeAccessible;
  hooks.load_text = FakeText;
  hooks.enable_shutdown_privilege = FakePrivilege;
  hooks.shutdown = FakeShutdown;
  return hooks;
}

class RebootWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_machine = Machine();
    g_machine.types[2] = DRIVE_FIXED;  // C:
    g_machine.media[2] = true;
  }
};

TEST_F(RebootWinTest, RestartsWithDefaultMessageAndCountdown) {
  RebootRequest request;
  request.timeout_seconds = 60;
  RebootSystem(request, Hooks());
  EXPECT_EQ(L"privilege;shutdown [Setup is initiating a reboot of your system.] 60 1 1;", g_machine.events);

  g_machine.events.clear();
  request.message = L"Maintenance restart";
  request.timeout_seconds = 0;
  RebootSystem(request, Hooks());
  EXPECT_EQ(L"privilege;shutdown [Maintenance restart] 0 1 1;", g_machine.events);

  // "/t -5" restarts without a countdown instead of not at all.
  g_machine.events.clear();
  request.timeout_seconds = -5;
  RebootSystem(request, Hooks());
  EXPECT_EQ(L"privilege;shutdown [Maintenance restart] 0 1 1;", g_machine.events);
}

TEST_F(RebootWinTest, MediaInFloppyOrCdromWarnsWhenShown) {
  g_machine.types[3] = DRIVE_CDROM;  // D: with a disc
  g_machine.media[3] = true;
  brxtest::RecordingPresenter screen(true, &g_machine.events);
  RebootRequest request;
  request.presenter = &screen;
  RebootSystem(request, Hooks());
  EXPECT_EQ(0u, g_machine.events.find(L"msg713;privilege;shutdown"));
  ASSERT_EQ(1u, screen.shown.size());
  EXPECT_EQ(712u, screen.shown[0].caption_id);
  EXPECT_EQ(static_cast<unsigned>(MB_ICONWARNING), screen.shown[0].style);

  // A silent run has no presenter for it.
  g_machine.events.clear();
  request.presenter = nullptr;
  RebootSystem(request, Hooks());
  EXPECT_EQ(0u, g_machine.events.find(L"privilege;shutdown"));

  // A floppy drive warns; an empty CD-ROM drive and a USB stick on E: do not.
  request.presenter = &screen;
  g_machine = Machine();
  g_machine.types[0] = DRIVE_REMOVABLE;
  g_machine.media[0] = true;
  RebootSystem(request, Hooks());
  EXPECT_EQ(0u, g_machine.events.find(L"msg713;"));

  g_machine = Machine();
  g_machine.types[3] = DRIVE_CDROM;
  g_machine.types[4] = DRIVE_REMOVABLE;
  g_machine.media[4] = true;
  RebootSystem(request, Hooks());
  EXPECT_EQ(0u, g_machine.events.find(L"privilege;shutdown"));
}

TEST_F(RebootWinTest, NoPrivilegeNoShutdownAndEmptyHooksDoNothing) {
  g_machine.privilege = false;
  StepResult restart = RebootSystem(RebootRequest(), Hooks());
  EXPECT_EQ(L"privilege;", g_machine.events);
  EXPECT_FALSE(restart.ok);
  EXPECT_EQ(L"SeShutdownPrivilege", std::wstring(restart.subject.get()));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_PRIVILEGE_NOT_HELD), restart.error);

  // A shutdown the system refuses is reported too.
  g_machine.privilege = true;
  g_machine.shutdown_starts = false;
  restart = RebootSystem(RebootRequest(), Hooks());
  EXPECT_FALSE(restart.ok);
  EXPECT_EQ(L"InitiateSystemShutdown", std::wstring(restart.subject.get()));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_SHUTDOWN_IN_PROGRESS), restart.error);

  // The default set (and the system set without its shutdown) never restarts.
  RebootSystem(RebootRequest(), RebootHooks());
  RebootHooks system = SystemRebootHooksWithoutShutdown();
  EXPECT_EQ(nullptr, system.shutdown);
}

}  // namespace
}  // namespace brx
