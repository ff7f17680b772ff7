// How long a writer of a shared log waits for the lock that serialises its
// appends with other writers.
//
// Anybody who can open the file can take that lock and keep it. An unbounded
// wait would let one such process hang every install on the machine; a wait
// of a few seconds before each line would still add up to minutes over a
// session. So the first wait is bounded, and once a wait has been spent in
// vain the following writes try only once, until the lock is had again.
#ifndef BRX_PLATFORM_LOCK_WAIT_H_
#define BRX_PLATFORM_LOCK_WAIT_H_

namespace brx {
namespace platform {

class LockWait {
 public:
  static constexpr unsigned kBudgetMs = 3000;
  static constexpr unsigned kStepMs = 50;

  // Calls try_lock() until it answers true or kBudgetMs have passed in
  // pause(kStepMs) calls; true when the lock is held.
  template <typename TryLock, typename Pause>
  bool Acquire(TryLock try_lock, Pause pause) {
    if (try_lock()) return Held();
    if (gave_up_) return false;
    for (unsigned waited = 0; waited < kBudgetMs; waited += kStepMs) {
      pause(kStepMs);
      if (try_lock()) return Held();
    }
    gave_up_ = true;
    return false;
  }

  // Whether the last wait ran out and no lock has been had since.
  bool gave_up() const { return gave_up_; }

 private:
  bool Held() {
    gave_up_ = false;
    return true;
  }

  bool gave_up_ = false;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_LOCK_WAIT_H_
