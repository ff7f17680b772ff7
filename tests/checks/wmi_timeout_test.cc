// The checks over a WMI that does not answer: every wait is bounded by the
// client's time-out, the check decides as for a failed query, and the log
// says what failed.
#include <gtest/gtest.h>

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "check_recorder.h"
#include "checks/tpm_state.h"
#include "checks/virtual_guest.h"
#include "checks/wmi_client.h"
#include "platform/firmware_table.h"

namespace brx {
namespace checks {
namespace {

enum class Hang { kConnect, kNext };

// Hangs where told, as a stuck provider does: it gives up only when the
// caller's time-out runs out, and never within ten seconds when the caller
// asked for an unbounded wait. Any other step succeeds.
struct StuckSource : WmiSource {
  static Hang hang;
  static unsigned longest_wait;

  static std::unique_ptr<WmiSource> Make() { return std::unique_ptr<WmiSource>(new StuckSource); }
  static WmiResult Stall(unsigned timeout_ms) {
    longest_wait = timeout_ms > longest_wait ? timeout_ms : longest_wait;
    unsigned ms = timeout_ms < 10000 ? timeout_ms : 10000;
#ifdef _WIN32
    Sleep(ms);
#else
    usleep(ms * 1000);
#endif
    return kWmiTimedOut;
  }
  WmiResult Initialize() override { return kWmiOk; }
  WmiResult Connect(const wchar_t*, unsigned timeout_ms) override {
    return hang == Hang::kConnect ? Stall(timeout_ms) : kWmiOk;
  }
  WmiResult ExecQuery(const wchar_t*) override { return kWmiOk; }
  void Reset() override {}
  WmiResult Next(unsigned timeout_ms, bool* got) override {
    *got = false;
    return Stall(timeout_ms);
  }
  WmiResult Get(const wchar_t*, void*, unsigned) override { return kWmiOk; }
  void ReleaseResults() override {}
  void Close() override {}
};
Hang StuckSource::hang = Hang::kConnect;
unsigned StuckSource::longest_wait = 0;

TEST(WmiTimeout, StuckProviderEndsEachCheckWithinTheBoundAndLogsTheResult) {
  WmiAccess wmi;
  wmi.make_source = StuckSource::Make;
  wmi.timeout_ms = 50;
  EXPECT_EQ(60000u, WmiAccess().timeout_ms);
  for (Hang hang : {Hang::kConnect, Hang::kNext}) {
    SCOPED_TRACE(hang == Hang::kConnect ? "connect" : "next");
    StuckSource::hang = hang;
    StuckSource::longest_wait = 0;
    RecordingLog log;
    auto start = std::chrono::steady_clock::now();

    // The guest check passes, as for a failed query, and says why before its
    // "not detected" line.
    EXPECT_TRUE(
        CheckVirtualGuest(true, MessageRecorder::NoUi(true), false, nullptr, log, MessageRecorder::Ui(), wmi));
    EXPECT_EQ((std::vector<std::wstring>{
                  L"1062:0:Checking for virtualized environment...\r\n\r\n",
                  L"1064:1:WMI could not be read (HRESULT 0x00040004).\r\n\r\n",
                  L"1066:0:Virtualized environment not detected.\r\n\r\n"}),
              log.Lines());

    // The TPM check falls back on the firmware table; where there is none
    // (natively) it passes with an access line that says Failed.
    log.Clear();
    bool firmware = platform::GetRawSmbiosFirmwareTable(nullptr, 0) > 0;
    bool passed = CheckTpmState(true, MessageRecorder::NoUi(true), false, L"firmware:system", nullptr, log,
                                MessageRecorder::Ui(), wmi);
    if (!firmware) {
      EXPECT_TRUE(passed);
      EXPECT_TRUE(log.Has(L"1166:1:SMBIOS table access via WMI query... Failed.\r\n\r\n"));
    }
    EXPECT_TRUE(log.Has(L"1156:1:WMI could not be read (HRESULT 0x00040004).\r\n\r\n"));
    EXPECT_EQ(LOG_VERBOSE_TAGGED, log.entries[1].target);

    EXPECT_EQ(50u, StuckSource::longest_wait);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}

// Answers a scripted sequence of Next results with a text value each.
struct ScriptedSource : WmiSource {
  static std::vector<WmiResult> next_results;
  static size_t position;

  static std::unique_ptr<WmiSource> Make() { return std::unique_ptr<WmiSource>(new ScriptedSource); }
  WmiResult Initialize() override { return kWmiOk; }
  WmiResult Connect(const wchar_t*, unsigned) override { return kWmiOk; }
  WmiResult ExecQuery(const wchar_t*) override { return kWmiOk; }
  void Reset() override { position = 0; }
  WmiResult Next(unsigned, bool* got) override {
    WmiResult r = position < next_results.size() ? next_results[position++] : kWmiFalse;
    *got = r == kWmiOk;
    return r;
  }
  WmiResult Get(const wchar_t*, void* output, unsigned) override {
    wcscpy(static_cast<wchar_t*>(output), (L"Instance " + std::to_wstring(position)).c_str());
    return kWmiOk;
  }
  void ReleaseResults() override {}
  void Close() override {}
};
std::vector<WmiResult> ScriptedSource::next_results;
size_t ScriptedSource::position = 0;

TEST(WmiClient, AnEnumerationThatFailsPartWayIsNotARead) {
  struct Case {
    std::vector<WmiResult> next;
    int read;
    WmiResult result;
  };
  const WmiResult kFailed = static_cast<WmiResult>(0x80041001);  // WBEM_E_FAILED
  for (const Case& c : std::vector<Case>{{{kWmiOk, kWmiOk, kWmiFalse}, 1, kWmiOk},
                                         {{kWmiOk, kFailed}, 0, kFailed},
                                         {{kWmiOk, kWmiTimedOut}, 0, kWmiTimedOut}}) {
    ScriptedSource::next_results = c.next;
    WmiClient client(ScriptedSource::Make(), 50);
    ASSERT_EQ(1, client.ConnectNamespace(L"ROOT\\CIMV2"));
    ASSERT_EQ(1, client.QueryClass(L"Win32_BIOS"));
    wchar_t text[256] = L"";
    EXPECT_EQ(c.read, client.ReadProperty(L"Manufacturer", text, sizeof text));
    EXPECT_EQ(c.result, client.last_result());
    // Each instance overwrites the last one's value.
    if (c.read) {
      EXPECT_STREQ(L"Instance 2", text);
    }
    // A failed read drops the results; the next read fails without asking.
    if (!c.read) {
      EXPECT_EQ(0, client.ReadProperty(L"Manufacturer", text, sizeof text));
    }
  }
}

}  // namespace
}  // namespace checks
}  // namespace brx
