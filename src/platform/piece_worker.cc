#include "platform/piece_worker.h"

#include <new>

#include "platform/piece_sync.h"

namespace brx {
namespace platform {

struct PieceWorker::Shared {
  PieceSync* sync = nullptr;
  PieceWork work = nullptr;
  void* argument = nullptr;
  const void* data = nullptr;
  uint32_t length = 0;
  bool pending = false;  // a piece waits or is in work
  bool failed = false;
  bool stop = false;

  ~Shared() {
    if (sync) DeletePieceSync(sync);
  }
  // Until no piece is pending; the lock held.
  void WaitIdle() {
    while (pending) WaitPieces(sync);
  }
  static void Run(void* self) {
    Shared& s = *static_cast<Shared*>(self);
    LockPieces(s.sync);
    for (;;) {
      while (!s.pending && !s.stop) WaitPieces(s.sync);
      if (!s.pending) break;
      const void* data = s.data;
      uint32_t length = s.length;
      UnlockPieces(s.sync);
      bool ok = s.work(s.argument, data, length);
      LockPieces(s.sync);
      if (!ok) s.failed = true;
      s.pending = false;
      WakePieces(s.sync);
    }
    UnlockPieces(s.sync);
  }
};

PieceWorker::PieceWorker(PieceWork work, void* argument) : work_(work), argument_(argument) {}

PieceWorker::~PieceWorker() {
  if (!shared_) return;
  LockPieces(shared_->sync);
  shared_->WaitIdle();
  shared_->stop = true;
  WakePieces(shared_->sync);
  UnlockPieces(shared_->sync);
  JoinPieceThread(shared_->sync);
}

bool PieceWorker::Start() {
  if (shared_) return true;
  std::unique_ptr<Shared> shared(new (std::nothrow) Shared);
  if (!shared) return false;
  shared->sync = NewPieceSync();
  if (!shared->sync) return false;
  shared->work = work_;
  shared->argument = argument_;
  shared->failed = failed_;
  if (!StartPieceThread(shared->sync, &Shared::Run, shared.get())) return false;
  shared_ = std::move(shared);
  return true;
}

bool PieceWorker::Submit(const void* data, uint32_t length) {
  if (!shared_) {
    if (!failed_ && !work_(argument_, data, length)) failed_ = true;
    return !failed_;
  }
  Shared& s = *shared_;
  LockPieces(s.sync);
  s.WaitIdle();
  bool ok = !s.failed;
  if (ok) {
    s.data = data;
    s.length = length;
    s.pending = true;
    WakePieces(s.sync);
  }
  UnlockPieces(s.sync);
  return ok;
}

bool PieceWorker::Finish() {
  if (!shared_) return !failed_;
  LockPieces(shared_->sync);
  shared_->WaitIdle();
  bool ok = !shared_->failed;
  UnlockPieces(shared_->sync);
  return ok;
}

}  // namespace platform
}  // namespace brx
