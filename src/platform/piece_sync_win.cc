#include <windows.h>

#include <new>

#include "platform/piece_sync.h"
#include "platform/scoped_handle_win.h"

namespace brx {
namespace platform {

// A slim lock and a condition variable: nothing to close, so no owner type.
struct PieceSync {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  ScopedHandle thread;
  void (*body)(void*) = nullptr;
  void* argument = nullptr;

  static DWORD WINAPI Run(void* self) {
    PieceSync& s = *static_cast<PieceSync*>(self);
    s.body(s.argument);
    return 0;
  }
};

PieceSync* NewPieceSync() { return new (std::nothrow) PieceSync; }
void DeletePieceSync(PieceSync* sync) { delete sync; }

bool StartPieceThread(PieceSync* sync, void (*body)(void*), void* argument) {
  sync->body = body;
  sync->argument = argument;
  *sync->thread.receive() = CreateThread(nullptr, 0, &PieceSync::Run, sync, 0, nullptr);
  return sync->thread.valid();
}

void JoinPieceThread(PieceSync* sync) { WaitForSingleObject(sync->thread.get(), INFINITE); }
void LockPieces(PieceSync* sync) { AcquireSRWLockExclusive(&sync->lock); }
void UnlockPieces(PieceSync* sync) { ReleaseSRWLockExclusive(&sync->lock); }
void WaitPieces(PieceSync* sync) { SleepConditionVariableSRW(&sync->changed, &sync->lock, INFINITE, 0); }
void WakePieces(PieceSync* sync) { WakeAllConditionVariable(&sync->changed); }

}  // namespace platform
}  // namespace brx
