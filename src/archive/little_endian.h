// Little-endian numbers in a ZIP record's bytes already read into memory
// (extra fields, the ZIP64 records). The caller has checked that
// [at, at + bytes) lies within `b`.
#ifndef BRX_ARCHIVE_LITTLE_ENDIAN_H_
#define BRX_ARCHIVE_LITTLE_ENDIAN_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace brxzip {

inline uint64_t ReadLe(const std::string& b, size_t at, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(b[at + i]);
  return value;
}

inline uint32_t ReadLe16(const std::string& b, size_t at) { return static_cast<uint32_t>(ReadLe(b, at, 2)); }
inline uint32_t ReadLe32(const std::string& b, size_t at) { return static_cast<uint32_t>(ReadLe(b, at, 4)); }

}  // namespace brxzip

#endif  // BRX_ARCHIVE_LITTLE_ENDIAN_H_
