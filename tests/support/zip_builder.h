// Archives for the tests, built byte by byte so a test can damage any field.
#ifndef BRX_TESTS_SUPPORT_ZIP_BUILDER_H_
#define BRX_TESTS_SUPPORT_ZIP_BUILDER_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace brxtest {

struct TestEntry {
  std::string name;
  std::string data;
  uint32_t method = 8;           // 0 stored, 8 deflated; anything else is stored raw under that number
  uint32_t dos_time = 0x6000;    // 12:00:00
  uint32_t dos_date = 0x5821;    // 2024-01-01
  uint32_t external = 0x20;
  uint32_t made_by = 20;
  uint32_t flags = 0;            // general-purpose flags, in both headers
  // 12, or 16 with its signature: a data descriptor follows the data, flag
  // bit 3 is set and the local header's CRC and sizes are zero.
  uint32_t descriptor = 0;
  std::string local_extra = std::string("\xfe\xca\0\0", 4);  // an empty field, as jar writers add
  std::string central_extra;
  // ZIP64 fields, as Python's force_zip64 writes them: the local header's
  // sizes 0xFFFFFFFF with both in a ZIP64 field (zero there before a
  // descriptor, which then holds 8-byte sizes); the central sizes and offset
  // 0xFFFFFFFF with their values in a ZIP64 field after central_extra.
  bool zip64 = false;
};

// An extra field block: id, size, data.
std::string ExtraField(uint32_t id, const std::string& data);
// An Info-ZIP Unicode Path field (version 1) naming `utf8` for the header
// name `stored`.
std::string UnicodePathField(const std::string& stored, const std::string& utf8);

struct BuiltZip {
  std::string bytes;
  std::vector<size_t> local_offsets;    // within bytes
  std::vector<size_t> central_offsets;  // within bytes
  size_t end_offset = 0;
  size_t zip64_end_offset = 0;  // the ZIP64 end record, when written; its locator follows it
};

// Offsets inside the archive count from `base`: the archive is meant to be
// placed after `base` bytes of other data.
// zip64_end: a ZIP64 end record and locator before the end record, whose
// counts, size and offset then hold their sentinels (as Info-ZIP's -fz).
BuiltZip BuildZip(const std::vector<TestEntry>& entries, size_t base = 0,
                  const std::string& comment = std::string(), bool zip64_end = false);

void Put16(std::string* bytes, size_t at, uint32_t value);
void Put32(std::string* bytes, size_t at, uint32_t value);
uint32_t Get32(const std::string& bytes, size_t at);

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_ZIP_BUILDER_H_
