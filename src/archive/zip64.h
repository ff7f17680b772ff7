// ZIP64: the 64-bit forms of the end record's and the headers' fields.
//
// Producers write ZIP64 structures on small archives too (Info-ZIP's -fz,
// Python's force_zip64, streaming writers that cannot know a size in
// advance), so they are read whatever the sizes. A field that holds its
// sentinel (0xFFFF, 0xFFFFFFFF) takes its value from the ZIP64 structure, as
// every common reader does. Where a 32-bit field and its 64-bit form both hold
// a value they must be equal: a reader that takes one and a reader that
// takes the other would otherwise see different archives.
#ifndef BRX_ARCHIVE_ZIP64_H_
#define BRX_ARCHIVE_ZIP64_H_

#include <stdint.h>

#include <string>

namespace brxzip {

class HeaderReader;

const uint32_t kZip64LocatorSize = 20;
const uint32_t kZip64EndRecordSize = 56;

// The end record's fields, widened.
struct EndRecordFields {
  uint64_t this_disk = 0;
  uint64_t directory_disk = 0;
  uint64_t disk_records = 0;
  uint64_t total = 0;
  uint64_t directory_size = 0;
  uint64_t directory_offset = 0;
};

enum class Zip64End {
  kNone,       // no locator before the end record: a 32-bit archive
  kFound,      // *fields hold the ZIP64 record's values; it begins at *record_position
  kMalformed,  // a locator, but no sound record, or one that disagrees with the end record
};

// Reads the ZIP64 locator that would lie right before the end record at
// end_position and the ZIP64 end record it points to. That record must lie
// right before the locator and carry no extensible data: readers that find it
// by the locator's offset and readers that step back from the locator then
// read the same one. `fields` holds the end record's values on entry.
Zip64End ReadZip64End(HeaderReader* reader, uint64_t end_position, EndRecordFields* fields,
                      uint64_t* record_position);

// What a header says about an entry's size and place, widened.
struct EntryFields {
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint64_t local_offset = 0;  // central records only
  uint32_t disk_start = 0;    // central records only
};

// A central record's fields: each that holds its sentinel comes from the
// ZIP64 extra field (uncompressed size, compressed size, local header offset,
// disk number, in that order, only those that hold it). False when such a
// value is missing or the extra data holds two ZIP64 fields.
bool WidenCentralFields(const std::string& extra, EntryFields* fields);

// A local header's sizes. Its ZIP64 field holds both sizes whatever the
// 32-bit fields say; a sentinel takes the field's value, any other value must
// equal it. *zip64 tells whether the header has the field: its data
// descriptor then holds 8-byte sizes.
bool WidenLocalFields(const std::string& extra, EntryFields* fields, bool* zip64);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_ZIP64_H_
