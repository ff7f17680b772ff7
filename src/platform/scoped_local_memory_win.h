// Memory the system allocated for the caller to release with LocalFree
// (security descriptors, SID texts, decoded certificate structures), with
// one owner. receive() gives the address such a call writes its pointer to.
#ifndef BRX_PLATFORM_SCOPED_LOCAL_MEMORY_WIN_H_
#define BRX_PLATFORM_SCOPED_LOCAL_MEMORY_WIN_H_

#include <windows.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

template <typename T>
struct LocalMemoryTraits {
  using Type = T*;
  static T* Empty() { return nullptr; }
  static bool IsValid(T* memory) { return memory != nullptr; }
  static void Free(T* memory) { LocalFree(const_cast<void*>(static_cast<const void*>(memory))); }
};
template <typename T>
using ScopedLocalMemory = ScopedResource<LocalMemoryTraits<T>>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_LOCAL_MEMORY_WIN_H_
