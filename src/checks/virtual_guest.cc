#include "checks/virtual_guest.h"

#include "checks/check_log.h"
#include "checks/text_match.h"
#include "checks/wmi_client.h"

namespace brx {
namespace checks {

const HypervisorSignature kHypervisorSignatures[3] = {
    {HypervisorSignature::kSystemManufacturer, L"Microsoft Corporation"},
    {HypervisorSignature::kSystemManufacturer, L"VMWare"},
    {HypervisorSignature::kBiosManufacturer, L"Xen"},
};

namespace {

// Copies at most max characters of source into a terminated buffer of
// max + 1 characters and trims it.
template <size_t Max>
void CopyTrimmed(const wchar_t* source, wchar_t (&out)[Max + 1]) {
  size_t n = BoundedLength(source, Max);
  for (size_t i = 0; i < n; ++i) out[i] = source[i];
  out[n] = L'\0';
  TrimTrailingSpace(out);
}

bool ReadManufacturer(WmiClient& client, const wchar_t* wmi_class, BoundedString<255>& out) {
  if (!client.QueryClass(wmi_class)) return false;
  wchar_t text[WmiClient::kMaxTextLength + 1] = L"";
  if (!client.ReadProperty(L"Manufacturer", text, sizeof text)) return false;
  out.AssignCut(text);
  return true;
}

}  // namespace

void FillVirtualGuestDetector(VirtualGuestDetector& detector, const WmiAccess& wmi) {
  WmiClient client(wmi);
  if (client.ConnectNamespace(L"ROOT\\CIMV2")) {
    bool read = ReadManufacturer(client, L"Win32_ComputerSystem", detector.system_manufacturer);
    client.ReleaseResults();
    if (read) ReadManufacturer(client, L"Win32_BIOS", detector.bios_manufacturer);
  }
  detector.wmi_result = client.last_result();
}

bool DetectVirtualGuest(const VirtualGuestDetector& detector) {
  for (const HypervisorSignature& row : kHypervisorSignatures) {
    const wchar_t* source = row.source == HypervisorSignature::kSystemManufacturer
                                ? detector.system_manufacturer.get()
                                : detector.bios_manufacturer.get();
    wchar_t text[255];
    wchar_t pattern[255];
    CopyTrimmed<254>(source, text);
    CopyTrimmed<254>(row.pattern, pattern);
    if (FindTextNoCase(text, pattern)) return true;
  }
  return false;
}

bool CheckVirtualGuest(bool install, Presenter& presenter, bool virtualization_allowed, MessageOwner owner,
                       CCmpLog2& log, const CheckUi& ui, const WmiAccess& wmi) {
  // The queries run whatever the package allows; the answer only decides.
  VirtualGuestDetector detector;
  FillVirtualGuestDetector(detector, wmi);
  return ReportVirtualGuest(detector, presenter, virtualization_allowed, owner, log, ui);
}

bool ReportVirtualGuest(const VirtualGuestDetector& detector, Presenter& presenter, bool virtualization_allowed,
                        MessageOwner owner, CCmpLog2& log, const CheckUi& ui) {
  LogLine(log, LEVEL_INFO, 1062, L"Checking for virtualized environment...\r\n\r\n");
  // An unanswered query decides like an unknown manufacturer, but the log
  // must not pass that off as a machine found not to be a guest. A warning:
  // the check goes on, and readers of the log take an error for a halt.
  if (detector.wmi_result != kWmiOk) {
    LogLine(log, LEVEL_WARNING, 1064, kWmiFailedLine, static_cast<unsigned>(detector.wmi_result));
  }
  if (virtualization_allowed || !DetectVirtualGuest(detector)) {
    LogLine(log, LEVEL_INFO, 1066, L"Virtualized environment not detected.\r\n\r\n");
    return true;
  }
  LogMessageText(log, LEVEL_ERROR, nullptr, 0,
                 L"Execution currently not supported in Server Virtualized Guest operating systems.");
  LogLine(log, LEVEL_ERROR, 1074, L"Installation Halted...FAILURE CODE (0)...\r\n\r\n");
  ShowMessage(presenter, owner, kMessageVirtualGuest, kStyleError);
  return false;
}

}  // namespace checks
}  // namespace brx
