#include "checks/tpm_state.h"

namespace brx {
namespace checks {

// No SMBIOS source here: an empty table holds no TPM.
void ReadSmbiosTable(SmbiosTableReader& table) { table.Clear(); }

}  // namespace checks
}  // namespace brx
