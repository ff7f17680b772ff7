// Forced into GoogleTest and every test: the Notification GoogleTest's
// thread helper waits on, which its own header builds on std::mutex and
// std::condition_variable, missing from the Win32 thread model of the
// Windows toolchain. Only GoogleTest's own tests start such threads.
#ifndef BRX_CMAKE_GTEST_NOTIFICATION_WIN32_H_
#define BRX_CMAKE_GTEST_NOTIFICATION_WIN32_H_
#ifdef __cplusplus

#include <atomic>

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true, std::memory_order_release); }
  void WaitForNotification() {
    while (!notified_.load(std::memory_order_acquire)) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#endif  // __cplusplus
#endif  // BRX_CMAKE_GTEST_NOTIFICATION_WIN32_H_
