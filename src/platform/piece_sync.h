// The lock, the condition and the thread a PieceWorker runs on: the part of
// it that differs between the platforms (piece_sync_win.cc, _native.cc).
#ifndef BRX_PLATFORM_PIECE_SYNC_H_
#define BRX_PLATFORM_PIECE_SYNC_H_

namespace brx {
namespace platform {

struct PieceSync;

// nullptr when out of memory.
PieceSync* NewPieceSync();
// The thread must have been joined.
void DeletePieceSync(PieceSync* sync);
// Runs body(argument) on a thread of its own; false when none can be made.
bool StartPieceThread(PieceSync* sync, void (*body)(void*), void* argument);
void JoinPieceThread(PieceSync* sync);
void LockPieces(PieceSync* sync);
void UnlockPieces(PieceSync* sync);
// Waits for a wake-up; the lock held, and held again on return.
void WaitPieces(PieceSync* sync);
void WakePieces(PieceSync* sync);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_PIECE_SYNC_H_
