// A kernel object handle with one owner, closed when the owner goes. Both
// "no handle" values of the Win32 API (null and INVALID_HANDLE_VALUE) count
// as empty, so any creating call's result can be taken as it comes.
#ifndef BRX_PLATFORM_SCOPED_HANDLE_WIN_H_
#define BRX_PLATFORM_SCOPED_HANDLE_WIN_H_

#include <windows.h>

namespace brx {
namespace platform {

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  // For a call that writes a new handle: the one held is closed first.
  HANDLE* receive() {
    Close();
    return &handle_;
  }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_HANDLE_WIN_H_
