#include "checks/tpm_state.h"

#include "checks/check_log.h"
#include "checks/text_match.h"

namespace brx {
namespace checks {

const wchar_t* const kTpmCautionList[9] = {
    L"firmware:mgx",     L"firmware:intel_nic", L"firmware:netxen_nic",
    L"firmware:nic",     L"firmware:SAS",       L"firmware:SATA",
    L"firmware:sd:SAS",  L"firmware:sd:SATA",   L"firmware:system",
};

bool IsTpmCautionType(const wchar_t* component_type) {
  if (!component_type) return false;
  if (FindTextNoCase(component_type, kTpmCautionList[0])) return true;
  for (size_t i = 1; i < sizeof kTpmCautionList / sizeof kTpmCautionList[0]; ++i) {
    if (EqualTextNoCase(component_type, kTpmCautionList[i])) return true;
  }
  return false;
}

namespace {

// The UEFI layout has a module-type byte at offset 6; anything shorter is the
// legacy BIOS layout.
constexpr uint8_t kUefiMinLength = 6;

struct TpmReading {
  bool tpm_active = false;
  unsigned option_rom = 0;
};

TpmReading ReadUefiLayout(const SmbiosStructure& s, CCmpLog2& log, const CheckUi& ui) {
  TpmReading r;
  LogLine(log, LEVEL_INFO, 1190, L"SMBIOS Type 224 record found in UEFI format.\r\n\r\n");
  unsigned state = s.Byte(4) & 0x01;
  LogLine(log, LEVEL_INFO, 1193, L"btTMState is [0%X]...\r\n\r\n", state);
  unsigned tm_type = 0;
  unsigned tm_tpm_type = 0;
  if (state == 1) {
    LogLine(log, LEVEL_INFO, 1197, L"btTMState is 0x01...\r\n\r\n");
    unsigned module_bits = s.Byte(6) & 0x03;
    if (module_bits == 0x03) {
      tm_type = 1;
      LogLine(log, LEVEL_INFO, 1202, L"btTMType is 0x01...\r\n\r\n");
    } else if (module_bits & 0x01) {
      tm_tpm_type = 1;
    } else if (module_bits & 0x02) {
      tm_tpm_type = 2;
    }
    r.option_rom = (s.Byte(5) >> 2) & 0x01;
  }
  LogLine(log, LEVEL_INFO, 1213, L"SMBIOS Type 224 record - (UEFI) TMState is [%0X]...\r\n\r\n", state);
  LogLine(log, LEVEL_INFO, 1214, L"SMBIOS Type 224 record - (UEFI) TM TPM Type is [%0X]...\r\n\r\n", tm_tpm_type);
  LogLine(log, LEVEL_INFO, 1215, L"SMBIOS Type 224 record - (UEFI) TM Type is [%0X]...\r\n\r\n", tm_type);
  LogLine(log, LEVEL_INFO, 1216, L"SMBIOS Type 224 record - (UEFI) Option ROM status is [%0X]...\r\n\r\n",
          r.option_rom);

  if (state == 1 && (tm_tpm_type == 1 || tm_tpm_type == 2 || tm_type == 1)) {
    LogLine(log, LEVEL_INFO, 1219, L"SMBIOS Type 224 record - (UEFI) TM State is active...\r\n\r\n");
    if (tm_tpm_type == 1) {
      LogLine(log, LEVEL_INFO, 1222, L"SMBIOS Type 224 record - (UEFI) TPM 1.2 is installed\r\n\r\n");
      r.tpm_active = true;
    } else if (tm_tpm_type == 2) {
      LogLine(log, LEVEL_INFO, 1226, L"SMBIOS Type 224 record - (UEFI) TPM 2.0 is installed\r\n\r\n");
      r.tpm_active = true;
    } else {
      // A Trusted Module is only reported; the decision then rests on the
      // option ROM bit.
      LogLine(log, LEVEL_INFO, 1230, L"SMBIOS Type 224 record - (UEFI) TM 1.0 is installed\r\n\r\n");
      MessageText text;
      LoadMessageText(ui, kMessageTmCaution, text);
      LogMessageText(log, LEVEL_ERROR, nullptr, 0, text.get());
    }
  } else {
    LogLine(log, LEVEL_INFO, 1237, L"SMBIOS Type 224 record - (UEFI) TM State is NOT active...\r\n\r\n");
  }
  return r;
}

TpmReading ReadLegacyLayout(const SmbiosStructure& s, CCmpLog2& log) {
  TpmReading r;
  LogLine(log, LEVEL_INFO, 1245, L"SMBIOS Type 224 record found in legacy BIOS format.\r\n\r\n");
  unsigned status = s.Byte(4) & 0x01;
  // Offset 5 lies beyond a formatted area of 5 bytes or less; firmware of this
  // kind keeps the bit there all the same. Byte() reads 0 past the table.
  r.option_rom = (s.Byte(5) >> 2) & 0x01;
  LogLine(log, LEVEL_INFO, 1250, L"SMBIOS Type 224 record - (Legacy) TPM Status is [%0X]...\r\n\r\n", status);
  LogLine(log, LEVEL_INFO, 1251, L"SMBIOS Type 224 record - (Legacy) Opt ROM is [%0X]...\r\n\r\n", r.option_rom);
  if (status == 1) {
    LogLine(log, LEVEL_INFO, 1254, L"SMBIOS Type 224 record - (Legacy) TPM Status is active...\r\n\r\n");
    r.tpm_active = true;
  } else {
    LogLine(log, LEVEL_INFO, 1258, L"SMBIOS Type 224 record - (Legacy) TPM Status is NOT active...\r\n\r\n");
  }
  return r;
}

}  // namespace

bool CheckTpmState(bool install, Presenter& presenter, bool tpm_bypass, const wchar_t* component_type, MessageOwner owner,
                   CCmpLog2& log, const CheckUi& ui, const WmiAccess& wmi, CheckCause* cause) {
  LogLine(log, LEVEL_INFO, 1150, L"Checking TPM (Trusted Platform Module) state...\r\n\r\n");
  SmbiosTableReader table;
  WmiResult result = ReadSmbiosTable(table, wmi);
  if (result != kWmiOk) {
    log.Write(LOG_VERBOSE_TAGGED, LEVEL_WARNING, kLogModule, 1156, kWmiFailedLine, static_cast<unsigned>(result));
  }
  return ReportTpmState(table, presenter, tpm_bypass, component_type, owner, log, ui, cause);
}

bool ReportTpmState(const SmbiosTableReader& table, Presenter& presenter, bool tpm_bypass, const wchar_t* component_type,
                    MessageOwner owner, CCmpLog2& log, const CheckUi& ui, CheckCause* cause) {
  if (!component_type) component_type = L"";
  LogLine(log, LEVEL_INFO, 1158, L"Retrieving SMBIOS table via WMI query of MSSmBios_RawSMBiosTables...\r\n\r\n");
  SmbiosStructure s = table.FindStructure(kSmbiosTpmStateType);
  // An unreadable table holds no TPM and the check passes, but the log must
  // not call the read a success.
  if (table.size() == 0) {
    LogLine(log, LEVEL_WARNING, 1166, L"SMBIOS table access via WMI query... Failed.\r\n\r\n");
  } else {
    LogLine(log, LEVEL_INFO, 1166, L"SMBIOS table access via WMI query... Success.\r\n\r\n");
  }
  if (!s.found()) return true;

  LogLine(log, LEVEL_INFO, 1178, L"Reading TPM (Trusted Platform Module) state from SMBIOS...\r\n\r\n");
  LogLine(log, LEVEL_INFO, 1181, L"Retrieving SMBIOS Type 224 record... length is [%0X] bytes.\r\n\r\n",
          static_cast<unsigned>(s.length()));
  TpmReading r = s.length() >= kUefiMinLength ? ReadUefiLayout(s, log, ui) : ReadLegacyLayout(s, log);
  LogLine(log, LEVEL_INFO, 1265, L"TPM State determined.\r\n\r\n");

  bool caution = (r.tpm_active && IsTpmCautionType(component_type)) ||
                 (r.option_rom == 1 && FindTextNoCase(component_type, L"firmware"));
  if (!caution) {
    LogLine(log, LEVEL_INFO, 1276,
            L"TPM (Trusted Platform Module) is in CORRECT setting. Installation will continue.\r\n\r\n");
    return true;
  }

  if (presenter.Attended()) {
    // With someone at the screen the caution is enough; they decide.
    MessageText text;
    LoadMessageText(ui, kMessageTpmCaution, text);
    LogMessageText(log, LEVEL_WARNING, kLogModule, 1285, text.get());
    ShowMessage(presenter, owner, kMessageTpmCaution, kStyleWarning);
    return true;
  }
  if (tpm_bypass) {
    // Let through, not passed: the record says the caution was there.
    if (cause) cause->caution = true;
    return true;
  }
  if (cause) cause->reason = L"tpm_caution";
  MessageText text;
  LoadMessageText(ui, kMessageTpmCaution, text);
  LogMessageText(log, LEVEL_ERROR, nullptr, 0, text.get());
  LogLine(log, LEVEL_ERROR, 1298,
          L"TPM (Trusted Platform Module) is enabled, and needs to be disabled. Installation halted. FAILURE CODE "
          L"(0).\r\n\r\n");
  return false;
}

}  // namespace checks
}  // namespace brx
