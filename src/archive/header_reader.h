// Buffered reads of archive headers.
//
// Header fields are little-endian and are defined byte by byte: a field whose
// bytes cannot all be read (past the end of the file, or a failed read) reads
// as 0. HeaderReader keeps exactly those results while reading the file in
// windows, so a directory of N entries costs O(N) work and a handful of system
// calls instead of one call per header byte.
#ifndef BRX_ARCHIVE_HEADER_READER_H_
#define BRX_ARCHIVE_HEADER_READER_H_

#include <stdint.h>

#include <memory>
#include <string>

namespace brx {
namespace platform {
class File;
}  // namespace platform
}  // namespace brx

namespace brxzip {

class HeaderReader {
 public:
  // `max_window` bounds each read. Reads start small and grow while the
  // caller keeps moving forward (local headers between small entries), and
  // shrink again after a jump (local headers of large entries).
  HeaderReader(brx::platform::File* file, uint64_t file_size, uint32_t max_window);
  ~HeaderReader();

  void Seek(uint64_t position) { position_ = position; }
  uint64_t position() const { return position_; }

  uint32_t ReadU16();
  uint32_t ReadU32();
  // `length` bytes into `out`; bytes that cannot be read are left zero.
  void ReadBytes(uint32_t length, std::string* out);
  // A record's fixed part, `length` bytes into `out`, in one copy; returns
  // how many of them exist (a field that ends beyond that reads as 0).
  uint32_t ReadRecord(uint32_t length, unsigned char* out);
  void Skip(uint32_t length);

 private:
  // Copies `length` bytes at the current position into out and advances;
  // false (out untouched, position clamped to the end) when not all exist.
  bool Take(uint32_t length, unsigned char* out);
  bool Fill(uint64_t position, uint32_t length);
  void Advance(uint32_t length);

  brx::platform::File* file_;
  uint64_t file_size_;
  uint64_t position_ = 0;
  std::unique_ptr<unsigned char[]> window_;
  uint32_t max_window_;
  uint32_t next_window_;
  uint64_t window_start_ = 0;
  uint32_t window_length_ = 0;
};

}  // namespace brxzip

#endif  // BRX_ARCHIVE_HEADER_READER_H_
