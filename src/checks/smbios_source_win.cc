#include <string.h>

#include <memory>
#include <new>

#include "checks/tpm_state.h"
#include "checks/wmi_client.h"
#include "platform/firmware_table.h"

namespace brx {
namespace checks {
namespace {

bool ReadFromWmi(SmbiosTableReader& table) {
  WmiClient client;
  if (!client.ConnectNamespace(L"ROOT\\WMI")) return false;
  if (!client.QueryClass(L"MSSmBios_RawSMBiosTables")) return false;
  int32_t size = 0;
  if (!client.ReadProperty(L"Size", &size, sizeof size)) return false;
  // A negative or absurd size is refused by Allocate.
  if (size <= 0 || !table.Allocate(static_cast<uint32_t>(size))) return false;
  if (!client.ReadProperty(L"SMBiosData", table.data(), static_cast<unsigned>(table.size()))) {
    table.Clear();
    return false;
  }
  return true;
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

void ReadSmbiosTable(SmbiosTableReader& table) {
  // Wine's WMI has no "Size" for this class; the firmware table holds the
  // same bytes.
  if (ReadFromWmi(table)) return;
  ReadFromFirmware(table);
}

}  // namespace checks
}  // namespace brx
