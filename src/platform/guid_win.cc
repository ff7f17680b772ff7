#include "platform/guid.h"

#include <objbase.h>

namespace brx {
namespace platform {

std::wstring NewGuidText() {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return std::wstring();
  wchar_t text[40];
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters.
  if (StringFromGUID2(guid, text, 40) != 39) return std::wstring();
  return std::wstring(text + 1, 36);
}

}  // namespace platform
}  // namespace brx
