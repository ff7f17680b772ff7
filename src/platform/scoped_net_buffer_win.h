// A buffer the network management calls (NetUser*, NetLocalGroup*) hand
// out, with one owner, released with NetApiBufferFree. receive() gives the
// address such a call writes its pointer to.
#ifndef BRX_PLATFORM_SCOPED_NET_BUFFER_WIN_H_
#define BRX_PLATFORM_SCOPED_NET_BUFFER_WIN_H_

#include <windows.h>
#include <lm.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

template <typename T>
struct NetBufferTraits {
  using Type = T*;
  static T* Empty() { return nullptr; }
  static bool IsValid(T* buffer) { return buffer != nullptr; }
  static void Free(T* buffer) { NetApiBufferFree(buffer); }
};
template <typename T>
using ScopedNetBuffer = ScopedResource<NetBufferTraits<T>>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_NET_BUFFER_WIN_H_
