// The raw SMBIOS structure table (no entry point header) and the walk that
// finds a structure by type.
//
// The bytes come from firmware through WMI, so nothing in them is trusted: the
// walk and every read of a found structure stay inside the buffer whatever the
// length bytes and string sets say.
#ifndef BRX_CHECKS_SMBIOS_TABLE_H_
#define BRX_CHECKS_SMBIOS_TABLE_H_

#include <stddef.h>
#include <stdint.h>

#include <memory>

namespace brx {
namespace checks {

constexpr uint8_t kSmbiosEndOfTable = 127;

// A found structure: its first byte and how many bytes of the table follow it.
// Byte() answers 0 for offsets beyond the table, so a structure cut short by
// the end of the table reads as if zero-filled.
class SmbiosStructure {
 public:
  SmbiosStructure() = default;
  SmbiosStructure(const uint8_t* data, size_t available) : data_(data), available_(available) {}

  bool found() const { return data_ != nullptr; }
  uint8_t Byte(size_t offset) const { return offset < available_ ? data_[offset] : 0; }
  uint8_t type() const { return Byte(0); }
  // Length of the formatted area, header included.
  uint8_t length() const { return Byte(1); }

 private:
  const uint8_t* data_ = nullptr;
  size_t available_ = 0;
};

class SmbiosTableReader {
 public:
  // Firmware tables are a few kilobytes; anything claiming more than this is
  // treated as garbage rather than allocated.
  static constexpr size_t kMaxTableSize = 16u << 20;

  SmbiosTableReader() = default;
  SmbiosTableReader(const SmbiosTableReader&) = delete;
  SmbiosTableReader& operator=(const SmbiosTableReader&) = delete;

  // Makes room for a table of `size` bytes, zero-filled, plus one zero byte
  // behind it. False (table left empty) for a size of 0 or above
  // kMaxTableSize, or when the memory is not available.
  bool Allocate(size_t size);
  // The `size` bytes to fill after Allocate (the zero byte behind them is not
  // part of it).
  uint8_t* data() { return buffer_.get(); }
  size_t size() const { return size_; }

  // Allocate plus a copy of the bytes.
  bool Assign(const uint8_t* bytes, size_t size);
  void Clear();

  // The first structure of `type`, or a structure that is not found(). The
  // walk stops at an end-of-table structure, at the end of the data, and at a
  // structure whose length byte is below the 4-byte header (everything after
  // it would be read out of step).
  SmbiosStructure FindStructure(uint8_t type) const;

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  size_t size_ = 0;
};

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_SMBIOS_TABLE_H_
