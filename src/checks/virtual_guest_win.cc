#include "checks/virtual_guest.h"

#include "checks/wmi_client.h"

namespace brx {
namespace checks {
namespace {

bool ReadManufacturer(WmiClient& client, const wchar_t* wmi_class, BoundedString<255>& out) {
  if (!client.QueryClass(wmi_class)) return false;
  wchar_t text[WmiClient::kMaxTextLength + 1] = L"";
  if (!client.ReadProperty(L"Manufacturer", text, sizeof text)) return false;
  out.AssignCut(text);
  return true;
}

}  // namespace

void FillVirtualGuestDetector(VirtualGuestDetector& detector) {
  WmiClient client;
  if (!client.ConnectNamespace(L"ROOT\\CIMV2")) return;
  bool read = ReadManufacturer(client, L"Win32_ComputerSystem", detector.system_manufacturer);
  client.ReleaseResults();
  if (read) ReadManufacturer(client, L"Win32_BIOS", detector.bios_manufacturer);
}

}  // namespace checks
}  // namespace brx
