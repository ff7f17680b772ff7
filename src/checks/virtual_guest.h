// Refuses to install on a guest of a known hypervisor unless the package
// allows it, judged from the manufacturer names WMI reports.
#ifndef BRX_CHECKS_VIRTUAL_GUEST_H_
#define BRX_CHECKS_VIRTUAL_GUEST_H_

#include "base/bounded_string.h"
#include "checks/check_ui.h"
#include "checks/wmi_source.h"
#include "log/cmp_log2.h"

namespace brx {
namespace checks {

// The manufacturer texts the detection looks at; empty when WMI could not
// tell.
struct VirtualGuestDetector {
  BoundedString<255> system_manufacturer;  // Win32_ComputerSystem.Manufacturer
  BoundedString<255> bios_manufacturer;    // Win32_BIOS.Manufacturer
  // The HRESULT of the WMI step that failed, kWmiOk when both were read.
  WmiResult wmi_result = kWmiOk;
};

struct HypervisorSignature {
  enum Source { kSystemManufacturer, kBiosManufacturer };
  Source source;
  const wchar_t* pattern;
};

// The signatures in the order they are tried.
extern const HypervisorSignature kHypervisorSignatures[3];

// Reads both manufacturers through WMI (ROOT\CIMV2); the BIOS is asked only
// when the computer system answered. Failures leave texts empty and the
// failing step's HRESULT in wmi_result.
void FillVirtualGuestDetector(VirtualGuestDetector& detector, const WmiAccess& wmi = WmiAccess());

// True when a signature occurs in its source text, ignoring ASCII case and
// trailing blanks and line ends of both.
bool DetectVirtualGuest(const VirtualGuestDetector& detector);

// Fills a detector, logs the check and answers true to continue: always when
// virtualization_allowed (the package's virtualization allow="1"), else when
// no signature matched. A guest that is not allowed is logged, shown as
// message 1050 through the presenter, and answers false. A failed WMI query decides
// as "no signature" and is logged with its HRESULT. `install` is unused.
bool CheckVirtualGuest(bool install, Presenter& presenter, bool virtualization_allowed, MessageOwner owner,
                       CCmpLog2& log, const CheckUi& ui, const WmiAccess& wmi = WmiAccess());

// CheckVirtualGuest on a detector already filled.
bool ReportVirtualGuest(const VirtualGuestDetector& detector, Presenter& presenter, bool virtualization_allowed,
                        MessageOwner owner, CCmpLog2& log, const CheckUi& ui);

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_VIRTUAL_GUEST_H_
