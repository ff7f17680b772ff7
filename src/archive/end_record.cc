#include "archive/end_record.h"

#include <new>
#include <memory>

#include "archive/zip64.h"
#include "platform/file.h"

namespace brxzip {

namespace {

const uint32_t kEndRecordSize = 22;
const uint32_t kLocatorSignature = 0x07064b50;

bool IsSignature(const unsigned char* p) { return p[0] == 0x50 && p[1] == 0x4B && p[2] == 0x05 && p[3] == 0x06; }

uint32_t Le16(const unsigned char* p) { return p[0] | (static_cast<uint32_t>(p[1]) << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

// An end record at `record` (file position `position`) that the reader would
// accept on its own: one disk, its directory ending right before it (or
// before its ZIP64 end record, whose locator lies right before it), and a
// comment that reaches past `inner` without running past the file's end.
// `before` bytes of the buffer precede the record.
bool SoundRecordCovering(const unsigned char* record, uint32_t before, uint64_t position, uint64_t inner,
                         uint64_t file_size) {
  uint32_t records_here = Le16(record + 8);
  uint32_t total = Le16(record + 10);
  uint64_t directory_end = static_cast<uint64_t>(Le32(record + 16)) + Le32(record + 12);
  uint64_t record_end = position + kEndRecordSize + Le16(record + 20);
  if (record_end <= inner || record_end > file_size) return false;
  const unsigned char* locator = record - kZip64LocatorSize;
  if (before >= kZip64LocatorSize && Le32(locator) == kLocatorSignature) {
    // Its counts and directory are in the ZIP64 record; that one refers to
    // the locator is enough to make it the archive's own.
    uint64_t zip64_record = Le32(locator + 8) | (static_cast<uint64_t>(Le32(locator + 12)) << 32);
    return zip64_record + kZip64EndRecordSize + kZip64LocatorSize == position;
  }
  return Le16(record + 4) == 0 && Le16(record + 6) == 0 && records_here == total && directory_end == position;
}

}  // namespace

EndRecordSearch LocateEndRecord(brx::platform::File* file, uint64_t file_size,
                                uint64_t* position) {
  const uint32_t kMaxWindow = 65535;
  uint32_t window = file_size < kMaxWindow ? static_cast<uint32_t>(file_size) : kMaxWindow;
  *position = 0;
  // The record must begin at least 4 bytes before the end of the file and
  // after position 0, so a file of 4 bytes or fewer never holds one.
  if (window <= 4) return EndRecordSearch::kNotFound;
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[window]);
  if (!buffer) return EndRecordSearch::kCannotStart;
  uint64_t start = file_size - window;
  uint32_t got = 0;
  if (!file->ReadAt(start, buffer.get(), window, &got) || got != window) {
    return EndRecordSearch::kNotFound;
  }
  // Highest position first: the last occurrence wins.
  uint32_t found = window - 4;
  for (; !IsSignature(buffer.get() + found); --found) {
    if (found == 0) return EndRecordSearch::kNotFound;
  }
  *position = start + found;
  if (*position == 0) return EndRecordSearch::kNotFound;
  // An archive comment may hold a forged end record: readers that take the
  // last signature see the forgery's directory, others the real one, and the
  // package checked with one tool is not the one installed. A sound record
  // whose comment covers the one found makes the archive ambiguous.
  for (uint32_t earlier = found; earlier-- > 0;) {
    if (window - earlier < kEndRecordSize || !IsSignature(buffer.get() + earlier)) continue;
    if (SoundRecordCovering(buffer.get() + earlier, earlier, start + earlier, *position, file_size)) {
      return EndRecordSearch::kInsideComment;
    }
  }
  return EndRecordSearch::kFound;
}

}  // namespace brxzip
