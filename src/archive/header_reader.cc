#include "archive/header_reader.h"

#include <string.h>

#include <algorithm>

#include "platform/file.h"

namespace brxzip {

namespace {
const uint32_t kMinWindow = 4096;
}  // namespace

HeaderReader::HeaderReader(brx::platform::File* file, uint64_t file_size, uint32_t max_window)
    : file_(file),
      file_size_(file_size),
      window_(new unsigned char[max_window]),
      max_window_(max_window),
      next_window_(std::min(kMinWindow, max_window)) {}

HeaderReader::~HeaderReader() = default;

bool HeaderReader::Fill(uint64_t position, uint32_t length) {
  uint64_t window_end = window_start_ + window_length_;
  // Reading on just past the last window means a forward scan: read more at
  // once. A jump means sparse headers: read little.
  if (window_length_ != 0 && position >= window_end && position < window_end + next_window_) {
    next_window_ = std::min(max_window_, next_window_ * 2);
  } else {
    next_window_ = std::min(kMinWindow, max_window_);
  }
  uint64_t available = file_size_ - position;
  uint32_t want = std::max(length, next_window_);
  if (want > available) want = static_cast<uint32_t>(available);
  window_start_ = position;
  window_length_ = 0;
  uint32_t got = 0;
  if (!file_->ReadAt(position, window_.get(), want, &got)) got = 0;
  window_length_ = got;
  return got >= length;
}

void HeaderReader::Advance(uint32_t length) {
  uint64_t to = position_ + length;
  // A byte-wise reader stops at the end of the file.
  position_ = position_ >= file_size_ ? position_ : std::min(to, file_size_);
}

bool HeaderReader::Take(uint32_t length, unsigned char* out) {
  if (position_ >= file_size_ || file_size_ - position_ < length) {
    Advance(length);
    return false;
  }
  bool inside = position_ >= window_start_ &&
                position_ + length <= window_start_ + window_length_;
  if (!inside && (length > max_window_ || !Fill(position_, length))) {
    if (length > max_window_) {
      uint32_t got = 0;
      bool ok = file_->ReadAt(position_, out, length, &got) && got == length;
      Advance(length);
      return ok;
    }
    Advance(length);
    return false;
  }
  memcpy(out, window_.get() + (position_ - window_start_), length);
  Advance(length);
  return true;
}

uint32_t HeaderReader::ReadU16() {
  unsigned char b[2];
  if (!Take(2, b)) return 0;
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8);
}

uint32_t HeaderReader::ReadU32() {
  unsigned char b[4];
  if (!Take(4, b)) return 0;
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

void HeaderReader::ReadBytes(uint32_t length, std::string* out) {
  out->assign(length, '\0');
  if (length == 0) return;
  uint64_t readable = position_ >= file_size_ ? 0 : std::min<uint64_t>(length, file_size_ - position_);
  if (readable > 0) {
    unsigned char* dst = reinterpret_cast<unsigned char*>(&(*out)[0]);
    if (!Take(static_cast<uint32_t>(readable), dst)) out->assign(length, '\0');
  }
  Advance(length - static_cast<uint32_t>(readable));
}

uint32_t HeaderReader::ReadRecord(uint32_t length, unsigned char* out) {
  const uint64_t start = position_;
  uint32_t readable =
      start >= file_size_ ? 0 : static_cast<uint32_t>(std::min<uint64_t>(length, file_size_ - start));
  if (readable > 0 && !Take(readable, out)) readable = 0;
  position_ = start;
  Advance(length);
  return readable;
}

void HeaderReader::Skip(uint32_t length) { Advance(length); }

}  // namespace brxzip
