// The service and virtual-guest checks' reporting, with the facts given.
#include <gtest/gtest.h>

#include "check_recorder.h"
#include "checks/virtual_guest.h"
#include "checks/wmi_service.h"

namespace brx {
namespace checks {
namespace {

VirtualGuestDetector Detector(const wchar_t* system, const wchar_t* bios) {
  VirtualGuestDetector d;
  d.system_manufacturer.AssignCut(system);
  d.bios_manufacturer.AssignCut(bios);
  return d;
}

TEST(VirtualGuest, SignaturesMatchInAnyCaseWithTrailingSpaceAndLaterWords) {
  EXPECT_TRUE(DetectVirtualGuest(Detector(L"MICROSOFT corporation\r\n", L"")));
  EXPECT_TRUE(DetectVirtualGuest(Detector(L"VMware, Inc. \t", L"Phoenix")));
  EXPECT_TRUE(DetectVirtualGuest(Detector(L"Dell Inc.", L"xen ")));
  EXPECT_FALSE(DetectVirtualGuest(Detector(L"", L"")));
  EXPECT_FALSE(DetectVirtualGuest(Detector(L"Orvane", L"Orvane")));
  // Each pattern is looked for only in its own source.
  EXPECT_FALSE(DetectVirtualGuest(Detector(L"Xen", L"VMware")));
  // Only the first 254 characters count.
  std::wstring long_text(254, L'a');
  EXPECT_FALSE(DetectVirtualGuest(Detector((long_text + L"VMWare").c_str(), L"")));
}

TEST(VirtualGuest, GuestHaltsUnlessAllowed) {
  CheckUi ui = MessageRecorder::Ui();
  RecordingLog log;
  MessageRecorder::Reset();
  VirtualGuestDetector guest = Detector(L"VMware, Inc.", L"");
  EXPECT_FALSE(ReportVirtualGuest(guest, MessageRecorder::NoUi(false), false, nullptr, log, ui));
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_EQ(L"Checking for virtualized environment...\r\n\r\n", log.entries[0].message);
  EXPECT_EQ(L"\r\n\r\nExecution currently not supported in Server Virtualized Guest operating systems.\r\n\r\n",
            log.entries[1].message);
  EXPECT_EQ(LEVEL_ERROR, log.entries[1].level);
  EXPECT_EQ(L"(null)", log.entries[1].module);
  EXPECT_EQ(L"Installation Halted...FAILURE CODE (0)...\r\n\r\n", log.entries[2].message);
  ASSERT_EQ(1u, MessageRecorder::shown().size());
  EXPECT_EQ(1050u, MessageRecorder::shown()[0].text_id);
  EXPECT_EQ(0x10u, MessageRecorder::shown()[0].style);

  MessageRecorder::Reset();
  EXPECT_FALSE(ReportVirtualGuest(guest, MessageRecorder::NoUi(true), false, nullptr, log, ui));
  EXPECT_TRUE(MessageRecorder::shown().empty());

  log.Clear();
  EXPECT_TRUE(ReportVirtualGuest(guest, MessageRecorder::NoUi(true), true, nullptr, log, ui));
  ASSERT_EQ(2u, log.entries.size());
  EXPECT_EQ(L"Virtualized environment not detected.\r\n\r\n", log.entries[1].message);
}

int LoadGerman(unsigned id, wchar_t* buffer, int capacity) {
  if (id != kMessageNoWmi || capacity < 4) return 0;
  wcscpy(buffer, L"WMI");
  return 3;
}

TEST(WmiService, StoppedServiceLogsTheMessageAndShowsItOnce) {
  CheckUi ui = MessageRecorder::Ui();
  RecordingLog log;
  MessageRecorder::Reset();
  EXPECT_TRUE(ReportWmiServiceState(true, MessageRecorder::NoUi(false), nullptr, log, ui));
  EXPECT_EQ((std::vector<std::wstring>{L"Validating WMI service is available...\r\n\r\n",
                                       L"WMI service is available.\r\n\r\n"}),
            log.Texts());
  EXPECT_TRUE(MessageRecorder::shown().empty());

  log.Clear();
  EXPECT_FALSE(ReportWmiServiceState(false, MessageRecorder::NoUi(false), nullptr, log, ui));
  ASSERT_EQ(3u, log.entries.size());
  EXPECT_EQ(L"\r\n\r\nWindows Management Instrumentation (WMI) is not installed or has been disabled.  Please "
            L"install or enable this service in order to continue installation of this component.\r\n\r\n",
            log.entries[1].message);
  EXPECT_EQ(LEVEL_ERROR, log.entries[1].level);
  EXPECT_EQ(LEVEL_ERROR, log.entries[2].level);
  ASSERT_EQ(1u, MessageRecorder::shown().size());
  EXPECT_EQ(1051u, MessageRecorder::shown()[0].text_id);
  EXPECT_EQ(0x10u, MessageRecorder::shown()[0].style);

  // Under noUi only the log reports; the loaded string table text is logged.
  MessageRecorder::Reset();
  log.Clear();
  ui.load_text = &LoadGerman;
  EXPECT_FALSE(ReportWmiServiceState(false, MessageRecorder::NoUi(true), nullptr, log, ui));
  EXPECT_TRUE(MessageRecorder::shown().empty());
  EXPECT_EQ(L"\r\n\r\nWMI\r\n\r\n", log.entries[1].message);
}

}  // namespace
}  // namespace checks
}  // namespace brx
