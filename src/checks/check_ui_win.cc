#include "checks/check_ui.h"

namespace brx {
namespace checks {

int LoadStubString(unsigned text_id, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  return LoadStringW(GetModuleHandleW(nullptr), text_id, buffer, capacity);
}

}  // namespace checks
}  // namespace brx
