#include <pthread.h>

#include <new>

#include "platform/piece_worker.h"

namespace brx {
namespace platform {

struct PieceWorker::Shared {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
  pthread_t thread;
  PieceWork work = nullptr;
  void* argument = nullptr;
  const void* data = nullptr;
  uint32_t length = 0;
  bool pending = false;  // a piece waits or is in work
  bool failed = false;
  bool stop = false;

  ~Shared() {
    pthread_cond_destroy(&changed);
    pthread_mutex_destroy(&mutex);
  }
  // Until no piece is pending; the mutex held.
  void WaitIdle() {
    while (pending) pthread_cond_wait(&changed, &mutex);
  }
  static void* Run(void* self) {
    Shared& s = *static_cast<Shared*>(self);
    pthread_mutex_lock(&s.mutex);
    for (;;) {
      while (!s.pending && !s.stop) pthread_cond_wait(&s.changed, &s.mutex);
      if (!s.pending) break;
      const void* data = s.data;
      uint32_t length = s.length;
      pthread_mutex_unlock(&s.mutex);
      bool ok = s.work(s.argument, data, length);
      pthread_mutex_lock(&s.mutex);
      if (!ok) s.failed = true;
      s.pending = false;
      pthread_cond_broadcast(&s.changed);
    }
    pthread_mutex_unlock(&s.mutex);
    return nullptr;
  }
};

PieceWorker::PieceWorker(PieceWork work, void* argument) : work_(work), argument_(argument) {}

PieceWorker::~PieceWorker() {
  if (!shared_) return;
  pthread_mutex_lock(&shared_->mutex);
  shared_->WaitIdle();
  shared_->stop = true;
  pthread_cond_broadcast(&shared_->changed);
  pthread_mutex_unlock(&shared_->mutex);
  pthread_join(shared_->thread, nullptr);
}

bool PieceWorker::Start() {
  if (shared_) return true;
  std::unique_ptr<Shared> shared(new (std::nothrow) Shared);
  if (!shared) return false;
  shared->work = work_;
  shared->argument = argument_;
  shared->failed = failed_;
  if (pthread_create(&shared->thread, nullptr, &Shared::Run, shared.get()) != 0) return false;
  shared_ = std::move(shared);
  return true;
}

bool PieceWorker::Submit(const void* data, uint32_t length) {
  if (!shared_) {
    if (!failed_ && !work_(argument_, data, length)) failed_ = true;
    return !failed_;
  }
  Shared& s = *shared_;
  pthread_mutex_lock(&s.mutex);
  s.WaitIdle();
  bool ok = !s.failed;
  if (ok) {
    s.data = data;
    s.length = length;
    s.pending = true;
    pthread_cond_broadcast(&s.changed);
  }
  pthread_mutex_unlock(&s.mutex);
  return ok;
}

bool PieceWorker::Finish() {
  if (!shared_) return !failed_;
  pthread_mutex_lock(&shared_->mutex);
  shared_->WaitIdle();
  bool ok = !shared_->failed;
  pthread_mutex_unlock(&shared_->mutex);
  return ok;
}

}  // namespace platform
}  // namespace brx
