// A library loaded by the caller (LoadLibraryExW) with one owner, freed
// when the owner goes.
#ifndef BRX_PLATFORM_SCOPED_MODULE_WIN_H_
#define BRX_PLATFORM_SCOPED_MODULE_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct ModuleTraits {
  using Type = HMODULE;
  static HMODULE Empty() { return nullptr; }
  static bool IsValid(HMODULE module) { return module != nullptr; }
  static void Free(HMODULE module) { FreeLibrary(module); }
};
using ScopedModule = ScopedResource<ModuleTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_MODULE_WIN_H_
