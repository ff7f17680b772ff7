#include "archive/end_record.h"

#include <new>
#include <memory>

#include "platform/file.h"

namespace brxzip {

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
  for (uint32_t i = window - 4; ; --i) {
    if (buffer[i] == 0x50 && buffer[i + 1] == 0x4B && buffer[i + 2] == 0x05 && buffer[i + 3] == 0x06) {
      *position = start + i;
      return *position != 0 ? EndRecordSearch::kFound : EndRecordSearch::kNotFound;
    }
    if (i == 0) break;
  }
  return EndRecordSearch::kNotFound;
}

}  // namespace brxzip
