// The TPM state check: flashing system ROM or option-card firmware changes
// the measurements a Trusted Platform Module keeps, which can lock a
// disk-encryption user out of the data. The state comes from the maker's
// SMBIOS structure of type 224.
#ifndef BRX_CHECKS_TPM_STATE_H_
#define BRX_CHECKS_TPM_STATE_H_

#include <stdint.h>

#include "checks/check_log.h"
#include "checks/check_ui.h"
#include "checks/smbios_table.h"
#include "checks/wmi_source.h"
#include "log/cmp_log2.h"

namespace brx {
namespace checks {

constexpr uint8_t kSmbiosTpmStateType = 224;

// Component types (the definition's sw_key_expectedpath) that a TPM makes
// dangerous to flash. The first entry counts when contained anywhere in the
// type, the others only when equal; case is ignored throughout.
extern const wchar_t* const kTpmCautionList[9];
bool IsTpmCautionType(const wchar_t* component_type);

// The raw SMBIOS structure table: WMI's ROOT\WMI MSSmBios_RawSMBiosTables
// ("Size", then "SMBiosData"), or, when WMI gives no data, the system
// firmware table 'RSMB' without its 8-byte header. Leaves the table empty
// when neither has it. Answers how the WMI read went (kWmiOk when it gave
// the table, else the failing step's HRESULT).
WmiResult ReadSmbiosTable(SmbiosTableReader& table, const WmiAccess& wmi = WmiAccess());

// Reads the table, logs what it finds and decides: true to continue (also
// after a caution box when the presenter's run is attended, and in an
// unattended run with tpm_bypass),
// false to halt. `component_type` may be null (taken as empty). `install` is
// unused. A table that cannot be read holds no TPM (the check passes); the
// log says so, with WMI's HRESULT in the verbose log.
// cause, when given, is marked caution when /tpmbypass let a caution through.
bool CheckTpmState(bool install, Presenter& presenter, bool tpm_bypass, const wchar_t* component_type, MessageOwner owner,
                   CCmpLog2& log, const CheckUi& ui, const WmiAccess& wmi = WmiAccess(),
                   CheckCause* cause = nullptr);

// CheckTpmState from the point where the table has been read.
bool ReportTpmState(const SmbiosTableReader& table, Presenter& presenter, bool tpm_bypass, const wchar_t* component_type,
                    MessageOwner owner, CCmpLog2& log, const CheckUi& ui, CheckCause* cause = nullptr);

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_TPM_STATE_H_
