// Finding the end of central directory record from the end of a file.
#ifndef BRX_ARCHIVE_END_RECORD_H_
#define BRX_ARCHIVE_END_RECORD_H_

#include <stdint.h>

namespace brx {
namespace platform {
class File;
}  // namespace platform
}  // namespace brx

namespace brxzip {

enum class EndRecordSearch {
  kFound,
  kNotFound,
  kCannotStart,
  // The last signature lies inside the comment of an earlier, sound end
  // record: which of the two is the archive's is a matter of the reader.
  kInsideComment,
};

// Searches the last min(file_size, 65,535) bytes (the largest comment an end
// record can carry) for the last occurrence of the record's signature. Trailing
// data such as a code signature is simply searched through. A record at file
// position 0 counts as not found.
EndRecordSearch LocateEndRecord(brx::platform::File* file, uint64_t file_size,
                                uint64_t* position);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_END_RECORD_H_
