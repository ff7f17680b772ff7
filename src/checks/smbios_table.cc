#include "checks/smbios_table.h"

#include <string.h>

#include <new>

namespace brx {
namespace checks {

namespace {
constexpr size_t kHeaderSize = 4;  // type, length, handle
}  // namespace

bool SmbiosTableReader::Allocate(size_t size) {
  Clear();
  if (size == 0 || size > kMaxTableSize) return false;
  buffer_.reset(new (std::nothrow) uint8_t[size + 1]);
  if (!buffer_) return false;
  memset(buffer_.get(), 0, size + 1);
  size_ = size;
  return true;
}

bool SmbiosTableReader::Assign(const uint8_t* bytes, size_t size) {
  if (!bytes || !Allocate(size)) return false;
  memcpy(buffer_.get(), bytes, size);
  return true;
}

void SmbiosTableReader::Clear() {
  buffer_.reset();
  size_ = 0;
}

SmbiosStructure SmbiosTableReader::FindStructure(uint8_t type) const {
  if (!buffer_) return {};
  const uint8_t* pos = buffer_.get();
  // The zero byte behind the table belongs to the walk: a table cut right
  // after a structure's last string still ends its string set.
  const uint8_t* const end = pos + size_ + 1;
  if (*pos == kSmbiosEndOfTable) return {};

  while (pos < end) {
    if (*pos == type) return SmbiosStructure(pos, static_cast<size_t>(end - pos));
    size_t left = static_cast<size_t>(end - pos);
    if (left < 2) return {};
    uint8_t length = pos[1];
    if (length < kHeaderSize || length > left) return {};
    pos += length;
    // The string set ends with the first pair of zero bytes.
    while (end - pos >= 2 && !(pos[0] == 0 && pos[1] == 0)) ++pos;
    if (end - pos < 2) return {};
    pos += 2;
    if (pos < end && *pos == kSmbiosEndOfTable) return {};
  }
  return {};
}

}  // namespace checks
}  // namespace brx
