// Work on a stream of pieces done on a thread of its own, one piece at a
// time and in order, while the caller makes the next piece: extraction
// writes (and checksums) one buffer while it inflates into the other.
//
// Without Start, or when no thread can be made, Submit does the work itself:
// the same results, without the overlap.
#ifndef BRX_PLATFORM_PIECE_WORKER_H_
#define BRX_PLATFORM_PIECE_WORKER_H_

#include <stdint.h>

#include <memory>

namespace brx {
namespace platform {

// Does one piece's work; false stops the stream (no later piece is worked).
typedef bool (*PieceWork)(void* argument, const void* data, uint32_t length);

class PieceWorker {
 public:
  PieceWorker(PieceWork work, void* argument);
  // Waits for the piece in work, if any.
  ~PieceWorker();
  PieceWorker(const PieceWorker&) = delete;
  PieceWorker& operator=(const PieceWorker&) = delete;

  // Starts the thread; false when there is none (Submit then works inline).
  bool Start();
  // Waits until the previous piece is done, then hands this one over (or,
  // inline, works it). The bytes stay the caller's to keep unchanged until
  // the next Submit or Finish returns. False once a piece has failed; the
  // failed piece and everything after it are not worked.
  bool Submit(const void* data, uint32_t length);
  // Waits until every piece is done; true when all of them succeeded.
  bool Finish();

 private:
  struct Shared;
  PieceWork work_;
  void* argument_;
  bool failed_ = false;  // inline only
  std::unique_ptr<Shared> shared_;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_PIECE_WORKER_H_
