// Arbitrary SMBIOS tables through the structure walk and the TPM decision.
// Input: one byte of run options (bit 0 no UI, bit 1 bypass, bits 2.. the
// component type), then the table bytes.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "checks/smbios_table.h"
#include "checks/tpm_state.h"
#include "log/cmp_log2.h"

namespace {

class NullLog : public CCmpLog2 {
 public:
  using CCmpLog2::Write;
  void Write(unsigned, int, const wchar_t*, int, const std::wstring&) override {}
};

// A run with a user interface whose boxes are drawn nowhere.
class UnseenScreen : public brx::SilentPresenter {
 public:
  bool Attended() const override { return true; }
};

const wchar_t* const kTypes[] = {L"firmware:system", L"xfirmware:mgxy", L"firmware:other", L"software", L""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t options = data[0];
  brx::checks::SmbiosTableReader table;
  if (!table.Assign(data + 1, size - 1)) return 0;
  for (unsigned type = 0; type < 256; ++type) table.FindStructure(static_cast<uint8_t>(type));

  static NullLog log;
  brx::checks::CheckUi ui;
  brx::SilentPresenter silent;
  UnseenScreen screen;
  brx::Presenter& presenter = options & 1 ? static_cast<brx::Presenter&>(silent) : screen;
  const wchar_t* component = kTypes[(options >> 2) % (sizeof kTypes / sizeof kTypes[0])];
  brx::checks::ReportTpmState(table, presenter, options & 2, component, nullptr, log, ui);
  return 0;
}
