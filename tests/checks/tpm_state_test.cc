#include "checks/tpm_state.h"

#include <gtest/gtest.h>

#include "check_recorder.h"
#include "smbios_builder.h"

namespace brx {
namespace checks {
namespace {

class TpmStateTest : public ::testing::Test {
 protected:
  void SetUp() override { MessageRecorder::Reset(); }

  // A table with a BIOS structure (with strings), a memory structure
  // (without), then type 224 with `body` from offset 4 on.
  void UseRecord(std::initializer_list<uint8_t> body) {
    auto bytes = TableBuilder().Add(0, {1, 2}, {"Vendor", "1.0"}).Add(16, {0, 0}).Add(224, body).End().bytes();
    ASSERT_TRUE(table_.Assign(bytes.data(), bytes.size()));
  }

  bool Run(const wchar_t* type, bool no_ui, bool bypass) {
    log_.Clear();
    MessageRecorder::Reset();
    return ReportTpmState(table_, MessageRecorder::NoUi(no_ui), bypass, type, nullptr, log_, MessageRecorder::Ui());
  }

  SmbiosTableReader table_;
  RecordingLog log_;
};

TEST_F(TpmStateTest, Tpm20OnSystemFirmwareCautionsHaltsOrIsBypassed) {
  UseRecord({0x01, 0x00, 0x02});

  EXPECT_TRUE(Run(L"firmware:system", false, false));
  std::vector<std::wstring> expected = {
      L"Retrieving SMBIOS table via WMI query of MSSmBios_RawSMBiosTables...\r\n\r\n",
      L"SMBIOS table access via WMI query... Success.\r\n\r\n",
      L"Reading TPM (Trusted Platform Module) state from SMBIOS...\r\n\r\n",
      L"Retrieving SMBIOS Type 224 record... length is [7] bytes.\r\n\r\n",
      L"SMBIOS Type 224 record found in UEFI format.\r\n\r\n",
      L"btTMState is [01]...\r\n\r\n",
      L"btTMState is 0x01...\r\n\r\n",
      L"SMBIOS Type 224 record - (UEFI) TMState is [1]...\r\n\r\n",
      L"SMBIOS Type 224 record - (UEFI) TM TPM Type is [2]...\r\n\r\n",
      L"SMBIOS Type 224 record - (UEFI) TM Type is [0]...\r\n\r\n",
      L"SMBIOS Type 224 record - (UEFI) Option ROM status is [0]...\r\n\r\n",
      L"SMBIOS Type 224 record - (UEFI) TM State is active...\r\n\r\n",
      L"SMBIOS Type 224 record - (UEFI) TPM 2.0 is installed\r\n\r\n",
      L"TPM State determined.\r\n\r\n",
  };
  std::vector<std::wstring> texts = log_.Texts();
  ASSERT_EQ(expected.size() + 1, texts.size());
  EXPECT_EQ(expected, std::vector<std::wstring>(texts.begin(), texts.end() - 1));
  const LogEntry& caution = log_.entries.back();
  EXPECT_EQ(LEVEL_WARNING, caution.level);
  EXPECT_EQ(0u, caution.message.find(L"\r\n\r\nCAUTION: A Trusted Platform Module (TPM) has been detected"));
  for (const LogEntry& l : log_.entries) EXPECT_EQ(unsigned(LOG_BOTH_TAGGED), l.target);
  ASSERT_EQ(1u, MessageRecorder::shown().size());
  EXPECT_EQ(3050u, MessageRecorder::shown()[0].text_id);
  EXPECT_EQ(1u, MessageRecorder::shown()[0].caption_id);
  EXPECT_EQ(0x30u, MessageRecorder::shown()[0].style);

  EXPECT_FALSE(Run(L"firmware:system", true, false));
  EXPECT_TRUE(MessageRecorder::shown().empty());
  ASSERT_EQ(expected.size() + 2, log_.entries.size());
  const LogEntry& message = log_.entries[log_.entries.size() - 2];
  EXPECT_EQ(LEVEL_ERROR, message.level);
  EXPECT_EQ(L"(null)", message.module);
  EXPECT_EQ(0, message.line);
  EXPECT_EQ(L"TPM (Trusted Platform Module) is enabled, and needs to be disabled. Installation halted. FAILURE "
            L"CODE (0).\r\n\r\n",
            log_.entries.back().message);
  EXPECT_EQ(LEVEL_ERROR, log_.entries.back().level);

  EXPECT_TRUE(Run(L"firmware:system", true, true));
  EXPECT_TRUE(MessageRecorder::shown().empty());
  EXPECT_EQ(expected, log_.Texts());

  // Not a caution type, no option ROM: continue whatever the mode.
  EXPECT_TRUE(Run(L"software:driver", true, false));
  EXPECT_EQ(L"TPM (Trusted Platform Module) is in CORRECT setting. Installation will continue.\r\n\r\n",
            log_.entries.back().message);
}

TEST_F(TpmStateTest, TrustedModuleIsLoggedAndTheOptionRomBitDecides) {
  UseRecord({0x01, 0x04, 0x03});
  EXPECT_FALSE(Run(L"firmware:other", true, false));
  bool tm_logged = false;
  for (const LogEntry& l : log_.entries) {
    if (l.message.find(L"CAUTION:  A Trusted Module (TM)") == std::wstring::npos) continue;
    tm_logged = true;
    EXPECT_EQ(LEVEL_ERROR, l.level);
    EXPECT_EQ(L"(null)", l.module);
    EXPECT_EQ(0, l.line);
  }
  EXPECT_TRUE(tm_logged);
  EXPECT_TRUE(log_.HasMessage(L"btTMType is 0x01...\r\n\r\n"));
  EXPECT_TRUE(log_.HasMessage(L"SMBIOS Type 224 record - (UEFI) TM 1.0 is installed\r\n\r\n"));

  // A TM is not a TPM: a list type without the option ROM bit goes on.
  UseRecord({0x01, 0x00, 0x03});
  EXPECT_TRUE(Run(L"firmware:system", true, false));
  EXPECT_TRUE(MessageRecorder::shown().empty());
}

TEST_F(TpmStateTest, InactiveStateIgnoresTheOptionRomBit) {
  UseRecord({0x00, 0x04, 0x02});
  EXPECT_TRUE(Run(L"firmware:system", true, false));
  EXPECT_TRUE(log_.HasMessage(L"SMBIOS Type 224 record - (UEFI) Option ROM status is [0]...\r\n\r\n"));
  EXPECT_TRUE(log_.HasMessage(L"SMBIOS Type 224 record - (UEFI) TM State is NOT active...\r\n\r\n"));
}

TEST_F(TpmStateTest, LegacyLayoutReadsOptionRomBeyondItsFormattedArea) {
  // Length 5: offset 5 is the string set's first byte.
  auto bytes = TableBuilder().Add(224, {0x00}, {"\x04"}).End().bytes();
  ASSERT_TRUE(table_.Assign(bytes.data(), bytes.size()));
  EXPECT_TRUE(Run(L"firmware:other", false, false));
  ASSERT_EQ(1u, MessageRecorder::shown().size());
  EXPECT_TRUE(log_.HasMessage(L"SMBIOS Type 224 record found in legacy BIOS format.\r\n\r\n"));
  EXPECT_TRUE(log_.HasMessage(L"SMBIOS Type 224 record - (Legacy) Opt ROM is [1]...\r\n\r\n"));
  EXPECT_FALSE(Run(L"firmware:other", true, false));
  EXPECT_TRUE(Run(L"software:other", true, false));

  // An active legacy TPM on a list type.
  bytes = TableBuilder().Add(224, {0x01}).End().bytes();
  ASSERT_TRUE(table_.Assign(bytes.data(), bytes.size()));
  EXPECT_FALSE(Run(L"FIRMWARE:SD:sata", true, false));
  EXPECT_TRUE(Run(L"firmware:other", true, false));

  // A record at the very end of the table: offset 5 lies past the data.
  const uint8_t cut[] = {224, 4, 0, 0, 1};
  ASSERT_TRUE(table_.Assign(cut, sizeof cut));
  EXPECT_TRUE(Run(L"firmware:other", true, false));
  EXPECT_TRUE(log_.HasMessage(L"SMBIOS Type 224 record - (Legacy) TPM Status is active...\r\n\r\n"));
}

TEST_F(TpmStateTest, NoRecordContinuesAfterTwoLines) {
  auto bytes = TableBuilder().End().Add(224, {0x01, 0x00, 0x02}).bytes();
  ASSERT_TRUE(table_.Assign(bytes.data(), bytes.size()));
  EXPECT_TRUE(Run(L"firmware:system", true, false));
  EXPECT_EQ(2u, log_.entries.size());
  SmbiosTableReader empty;
  log_.Clear();
  EXPECT_TRUE(ReportTpmState(empty, MessageRecorder::NoUi(true), false, nullptr, nullptr, log_, MessageRecorder::Ui()));
  EXPECT_EQ(2u, log_.entries.size());
}

TEST(TpmCautionList, ContainsRuleForMgxEqualityForTheRest) {
  EXPECT_TRUE(IsTpmCautionType(L"Firmware:System"));
  EXPECT_TRUE(IsTpmCautionType(L"xfirmware:mgxy"));
  EXPECT_TRUE(IsTpmCautionType(L"firmware:sas"));
  EXPECT_FALSE(IsTpmCautionType(L"firmware:system2"));
  EXPECT_FALSE(IsTpmCautionType(L"xfirmware:nic"));
  EXPECT_FALSE(IsTpmCautionType(L""));
  EXPECT_FALSE(IsTpmCautionType(nullptr));
}

}  // namespace
}  // namespace checks
}  // namespace brx
