#include "stub/entry_gate_win.h"

namespace brx {

void BeforeEachEntry(const wchar_t*) {}

}  // namespace brx
