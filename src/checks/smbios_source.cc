#include <string.h>

#include <memory>
#include <new>

#include "checks/tpm_state.h"
#include "checks/wmi_client.h"
#include "platform/firmware_table.h"

namespace brx {
namespace checks {
namespace {

// kWmiOk when the table was read; otherwise the failing step's HRESULT, or
// kWmiNotAvailable when WMI answered without a usable size.
WmiResult ReadFromWmi(SmbiosTableReader& table, const WmiAccess& wmi) {
  WmiClient client(wmi);
  int32_t size = 0;
  if (!client.ConnectNamespace(L"ROOT\\WMI") || !client.QueryClass(L"MSSmBios_RawSMBiosTables") ||
      !client.ReadProperty(L"Size", &size, sizeof size)) {
    return client.last_result() != kWmiOk ? client.last_result() : kWmiNotAvailable;
  }
  // A negative or absurd size is refused by Allocate.
  if (size <= 0 || !table.Allocate(static_cast<uint32_t>(size))) return kWmiNotAvailable;
  if (!client.ReadProperty(L"SMBiosData", table.data(), static_cast<unsigned>(table.size()))) {
    table.Clear();
    return client.last_result();
  }
  return kWmiOk;
}

// The firmware table carries an 8-byte header before the structures; its
// length field is trusted only as far as the bytes actually returned.
bool ReadFromFirmware(SmbiosTableReader& table) {
  constexpr size_t kHeaderSize = 8;
  size_t needed = platform::GetRawSmbiosFirmwareTable(nullptr, 0);
  if (needed <= kHeaderSize || needed > SmbiosTableReader::kMaxTableSize + kHeaderSize) return false;
  std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[needed]);
  if (!raw) return false;
  size_t got = platform::GetRawSmbiosFirmwareTable(raw.get(), needed);
  if (got <= kHeaderSize || got > needed) return false;
  uint32_t length = 0;
  memcpy(&length, raw.get() + 4, sizeof length);
  size_t available = got - kHeaderSize;
  if (length > available) length = static_cast<uint32_t>(available);
  return table.Assign(raw.get() + kHeaderSize, length);
}

}  // namespace

WmiResult ReadSmbiosTable(SmbiosTableReader& table, const WmiAccess& wmi) {
  // Wine's WMI has no "Size" for this class; the firmware table holds the
  // same bytes.
  WmiResult result = ReadFromWmi(table, wmi);
  if (result != kWmiOk) ReadFromFirmware(table);
  return result;
}

}  // namespace checks
}  // namespace brx
