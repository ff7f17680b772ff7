// The checks against the real service manager, WMI and firmware tables.
#include <windows.h>

#include <gtest/gtest.h>

#include "check_recorder.h"
#include "checks/tpm_state.h"
#include "checks/virtual_guest.h"
#include "checks/wmi_service.h"

namespace brx {
namespace checks {
namespace {

// Runs "sc.exe <verb> winmgmt" and waits for it.
bool RunSc(const wchar_t* verb) {
  wchar_t command[64];
  swprintf(command, 64, L"sc.exe %ls winmgmt", verb);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    return false;
  }
  DWORD wait = WaitForSingleObject(pi.hProcess, 60000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return wait == WAIT_OBJECT_0;
}

bool WaitForRunning(bool running) {
  for (int i = 0; i < 100; ++i) {
    if (IsWmiServiceRunning() == running) return true;
    Sleep(100);
  }
  return false;
}

// Leaves winmgmt running for the tests after this one, whatever happened.
class WinmgmtRestorer {
 public:
  ~WinmgmtRestorer() {
    if (!IsWmiServiceRunning()) RunSc(L"start");
    WaitForRunning(true);
  }
};

TEST(WmiServiceWine, RunningPassesStoppedHaltsWithOneMessage) {
  WinmgmtRestorer restore;
  CheckUi ui = MessageRecorder::Ui();
  MessageRecorder::Reset();
  RecordingLog log;
  ASSERT_TRUE(WaitForRunning(true));
  EXPECT_TRUE(CheckWmiService(true, MessageRecorder::NoUi(true), nullptr, log, ui));
  EXPECT_EQ(2u, log.entries.size());

  ASSERT_TRUE(RunSc(L"stop"));
  ASSERT_TRUE(WaitForRunning(false));
  log.Clear();
  EXPECT_FALSE(CheckWmiService(true, MessageRecorder::NoUi(true), nullptr, log, ui));
  EXPECT_EQ(3u, log.entries.size());
  EXPECT_TRUE(MessageRecorder::shown().empty());
  EXPECT_FALSE(CheckWmiService(true, MessageRecorder::NoUi(false), nullptr, log, ui));
  ASSERT_EQ(1u, MessageRecorder::shown().size());
  EXPECT_EQ(kMessageNoWmi, MessageRecorder::shown()[0].text_id);

  ASSERT_TRUE(RunSc(L"start"));
  ASSERT_TRUE(WaitForRunning(true));
  EXPECT_TRUE(CheckWmiService(true, MessageRecorder::NoUi(true), nullptr, log, ui));
}

TEST(VirtualGuestWine, ManufacturersComeFromWmi) {
  VirtualGuestDetector detector;
  FillVirtualGuestDetector(detector);
  EXPECT_FALSE(detector.system_manufacturer.empty());
  EXPECT_FALSE(detector.bios_manufacturer.empty());

  // The host decides whether this machine looks like a guest; the check must
  // agree with the detection and always pass when guests are allowed.
  CheckUi ui = MessageRecorder::Ui();
  MessageRecorder::Reset();
  RecordingLog log;
  EXPECT_EQ(!DetectVirtualGuest(detector),
            CheckVirtualGuest(true, MessageRecorder::NoUi(true), false, nullptr, log, ui));
  EXPECT_TRUE(CheckVirtualGuest(true, MessageRecorder::NoUi(true), true, nullptr, log, ui));
  EXPECT_TRUE(MessageRecorder::shown().empty());
}

TEST(TpmStateWine, TableComesFromWmiOrTheFirmwareAndTheCheckRuns) {
  SmbiosTableReader table;
  ReadSmbiosTable(table);
  // Every SMBIOS table starts with the BIOS information structure (type 0),
  // when the system has a table at all.
  if (table.size() > 0) {
    EXPECT_TRUE(table.FindStructure(0).found());
  }
  printf("SMBIOS table: %u bytes\n", static_cast<unsigned>(table.size()));

  RecordingLog log;
  CheckUi ui = MessageRecorder::Ui();
  bool result = CheckTpmState(true, MessageRecorder::NoUi(true), false, L"firmware:system", nullptr, log, ui);
  ASSERT_GE(log.entries.size(), 3u);
  EXPECT_EQ(L"Checking TPM (Trusted Platform Module) state...\r\n\r\n", log.entries[0].message);
  EXPECT_TRUE(log.HasMessage(table.size() > 0 ? L"SMBIOS table access via WMI query... Success.\r\n\r\n"
                                              : L"SMBIOS table access via WMI query... Failed.\r\n\r\n"));
  if (!table.FindStructure(kSmbiosTpmStateType).found()) {
    EXPECT_TRUE(result);
  }
}

TEST(PreinstallWine, MiniNtKeyIsSeenInThe32BitView) {
  EXPECT_FALSE(IsPreinstallEnvironment());
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0,
                                           nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr));
  RegCloseKey(key);
  EXPECT_TRUE(IsPreinstallEnvironment());
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", KEY_WOW64_32KEY, 0);
  EXPECT_FALSE(IsPreinstallEnvironment());
}

}  // namespace
}  // namespace checks
}  // namespace brx
