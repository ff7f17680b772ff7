#include <windows.h>

#include <new>

#include "platform/piece_worker.h"
#include "platform/scoped_handle_win.h"

namespace brx {
namespace platform {

// A slim lock and a condition variable: nothing to close, so no owner type.
struct PieceWorker::Shared {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  ScopedHandle thread;
  PieceWork work = nullptr;
  void* argument = nullptr;
  const void* data = nullptr;
  uint32_t length = 0;
  bool pending = false;  // a piece waits or is in work
  bool failed = false;
  bool stop = false;

  // Until no piece is pending; the lock held.
  void WaitIdle() {
    while (pending) SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  }
  static DWORD WINAPI Run(void* self) {
    Shared& s = *static_cast<Shared*>(self);
    AcquireSRWLockExclusive(&s.lock);
    for (;;) {
      while (!s.pending && !s.stop) SleepConditionVariableSRW(&s.changed, &s.lock, INFINITE, 0);
      if (!s.pending) break;
      const void* data = s.data;
      uint32_t length = s.length;
      ReleaseSRWLockExclusive(&s.lock);
      bool ok = s.work(s.argument, data, length);
      AcquireSRWLockExclusive(&s.lock);
      if (!ok) s.failed = true;
      s.pending = false;
      WakeAllConditionVariable(&s.changed);
    }
    ReleaseSRWLockExclusive(&s.lock);
    return 0;
  }
};

PieceWorker::PieceWorker(PieceWork work, void* argument) : work_(work), argument_(argument) {}

PieceWorker::~PieceWorker() {
  if (!shared_) return;
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->WaitIdle();
  shared_->stop = true;
  WakeAllConditionVariable(&shared_->changed);
  ReleaseSRWLockExclusive(&shared_->lock);
  WaitForSingleObject(shared_->thread.get(), INFINITE);
}

bool PieceWorker::Start() {
  if (shared_) return true;
  std::unique_ptr<Shared> shared(new (std::nothrow) Shared);
  if (!shared) return false;
  shared->work = work_;
  shared->argument = argument_;
  shared->failed = failed_;
  *shared->thread.receive() = CreateThread(nullptr, 0, &Shared::Run, shared.get(), 0, nullptr);
  if (!shared->thread.valid()) return false;
  shared_ = std::move(shared);
  return true;
}

bool PieceWorker::Submit(const void* data, uint32_t length) {
  if (!shared_) {
    if (!failed_ && !work_(argument_, data, length)) failed_ = true;
    return !failed_;
  }
  Shared& s = *shared_;
  AcquireSRWLockExclusive(&s.lock);
  s.WaitIdle();
  bool ok = !s.failed;
  if (ok) {
    s.data = data;
    s.length = length;
    s.pending = true;
    WakeAllConditionVariable(&s.changed);
  }
  ReleaseSRWLockExclusive(&s.lock);
  return ok;
}

bool PieceWorker::Finish() {
  if (!shared_) return !failed_;
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->WaitIdle();
  bool ok = !shared_->failed;
  ReleaseSRWLockExclusive(&shared_->lock);
  return ok;
}

}  // namespace platform
}  // namespace brx
