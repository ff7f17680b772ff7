#include <pthread.h>

#include <new>

#include "platform/piece_sync.h"

namespace brx {
namespace platform {

struct PieceSync {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
  pthread_t thread;
  void (*body)(void*) = nullptr;
  void* argument = nullptr;

  ~PieceSync() {
    pthread_cond_destroy(&changed);
    pthread_mutex_destroy(&mutex);
  }
  static void* Run(void* self) {
    PieceSync& s = *static_cast<PieceSync*>(self);
    s.body(s.argument);
    return nullptr;
  }
};

PieceSync* NewPieceSync() { return new (std::nothrow) PieceSync; }
void DeletePieceSync(PieceSync* sync) { delete sync; }

bool StartPieceThread(PieceSync* sync, void (*body)(void*), void* argument) {
  sync->body = body;
  sync->argument = argument;
  return pthread_create(&sync->thread, nullptr, &PieceSync::Run, sync) == 0;
}

void JoinPieceThread(PieceSync* sync) { pthread_join(sync->thread, nullptr); }
void LockPieces(PieceSync* sync) { pthread_mutex_lock(&sync->mutex); }
void UnlockPieces(PieceSync* sync) { pthread_mutex_unlock(&sync->mutex); }
void WaitPieces(PieceSync* sync) { pthread_cond_wait(&sync->changed, &sync->mutex); }
void WakePieces(PieceSync* sync) { pthread_cond_broadcast(&sync->changed); }

}  // namespace platform
}  // namespace brx
