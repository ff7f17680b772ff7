// An automation string (BSTR) with one owner, freed when the owner goes.
// A failed SysAllocString leaves it empty, which the caller reports.
#ifndef BRX_PLATFORM_SCOPED_BSTR_WIN_H_
#define BRX_PLATFORM_SCOPED_BSTR_WIN_H_

#include <windows.h>
#include <oleauto.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct BstrTraits {
  using Type = BSTR;
  static BSTR Empty() { return nullptr; }
  static bool IsValid(BSTR text) { return text != nullptr; }
  static void Free(BSTR text) { SysFreeString(text); }
};
using ScopedBstr = ScopedResource<BstrTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_BSTR_WIN_H_
