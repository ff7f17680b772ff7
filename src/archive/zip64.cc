#include "archive/zip64.h"

#include "archive/header_reader.h"
#include "archive/little_endian.h"

namespace brxzip {

namespace {

const uint32_t kLocatorSignature = 0x07064b50;
const uint32_t kZip64EndSignature = 0x06064b50;
const uint32_t kZip64ExtraId = 0x0001;
const uint32_t kSentinel16 = 0xFFFF;
const uint32_t kSentinel32 = 0xFFFFFFFF;

// The 32-bit field `narrow` (sentinel `sentinel`) and its 64-bit form: the
// wide value stands for a sentinel; otherwise both must be equal.
bool Merge(uint64_t narrow, uint64_t sentinel, uint64_t wide, uint64_t* out) {
  if (narrow != sentinel && narrow != wide) return false;
  *out = wide;
  return true;
}

// The data of the one ZIP64 field in `extra`; false when there are two, or
// it runs past the end of the extra data (a reader that stops there and one
// that reads on would see different sizes).
bool FindZip64Field(const std::string& extra, bool* present, std::string* data) {
  *present = false;
  for (size_t at = 0; extra.size() - at >= 4;) {
    uint64_t id = ReadLe(extra, at, 2);
    size_t size = static_cast<size_t>(ReadLe(extra, at + 2, 2));
    at += 4;
    if (id == kZip64ExtraId) {
      if (*present || extra.size() - at < size) return false;
      *present = true;
      data->assign(extra, at, size);
    }
    if (extra.size() - at < size) break;
    at += size;
  }
  return true;
}

}  // namespace

Zip64End ReadZip64End(HeaderReader* reader, uint64_t end_position, EndRecordFields* fields,
                      uint64_t* record_position) {
  *record_position = 0;
  if (end_position < kZip64LocatorSize + kZip64EndRecordSize) return Zip64End::kNone;
  uint64_t locator = end_position - kZip64LocatorSize;
  reader->Seek(locator);
  if (reader->ReadU32() != kLocatorSignature) return Zip64End::kNone;
  uint64_t record_disk = reader->ReadU32();
  uint64_t record = reader->ReadU32();
  record |= static_cast<uint64_t>(reader->ReadU32()) << 32;
  uint64_t disks = reader->ReadU32();
  if (record_disk != 0 || disks > 1 || record != locator - kZip64EndRecordSize) return Zip64End::kMalformed;

  reader->Seek(record);
  if (reader->ReadU32() != kZip64EndSignature) return Zip64End::kMalformed;
  uint64_t record_size = reader->ReadU32();
  record_size |= static_cast<uint64_t>(reader->ReadU32()) << 32;
  reader->Skip(4);  // versions made by and needed
  EndRecordFields wide;
  wide.this_disk = reader->ReadU32();
  wide.directory_disk = reader->ReadU32();
  uint64_t* values[] = {&wide.disk_records, &wide.total, &wide.directory_size, &wide.directory_offset};
  for (uint64_t* value : values) {
    *value = reader->ReadU32();
    *value |= static_cast<uint64_t>(reader->ReadU32()) << 32;
  }
  if (record_size != kZip64EndRecordSize - 12) return Zip64End::kMalformed;

  EndRecordFields merged;
  if (!Merge(fields->this_disk, kSentinel16, wide.this_disk, &merged.this_disk) ||
      !Merge(fields->directory_disk, kSentinel16, wide.directory_disk, &merged.directory_disk) ||
      !Merge(fields->disk_records, kSentinel16, wide.disk_records, &merged.disk_records) ||
      !Merge(fields->total, kSentinel16, wide.total, &merged.total) ||
      !Merge(fields->directory_size, kSentinel32, wide.directory_size, &merged.directory_size) ||
      !Merge(fields->directory_offset, kSentinel32, wide.directory_offset, &merged.directory_offset)) {
    return Zip64End::kMalformed;
  }
  *fields = merged;
  *record_position = record;
  return Zip64End::kFound;
}

bool WidenCentralFields(const std::string& extra, EntryFields* fields) {
  bool present = false;
  std::string data;
  if (!FindZip64Field(extra, &present, &data)) return false;
  size_t at = 0;
  auto take = [&](size_t bytes, uint64_t* value) {
    if (data.size() - at < bytes) return false;
    *value = ReadLe(data, at, bytes);
    at += bytes;
    return true;
  };
  if (fields->uncompressed == kSentinel32 && !take(8, &fields->uncompressed)) return false;
  if (fields->compressed == kSentinel32 && !take(8, &fields->compressed)) return false;
  if (fields->local_offset == kSentinel32 && !take(8, &fields->local_offset)) return false;
  if (fields->disk_start == kSentinel16) {
    uint64_t disk = 0;
    if (!take(4, &disk)) return false;
    fields->disk_start = static_cast<uint32_t>(disk);
  }
  return true;
}

bool WidenLocalFields(const std::string& extra, EntryFields* fields, bool* zip64) {
  std::string data;
  if (!FindZip64Field(extra, zip64, &data)) return false;
  if (!*zip64) return true;
  if (data.size() >= 16) {
    return Merge(fields->uncompressed, kSentinel32, ReadLe(data, 0, 8), &fields->uncompressed) &&
           Merge(fields->compressed, kSentinel32, ReadLe(data, 8, 8), &fields->compressed);
  }
  // A field shorter than both sizes is read as a central one is.
  EntryFields central = *fields;
  central.local_offset = 0;
  central.disk_start = 0;
  if (!WidenCentralFields(extra, &central)) return false;
  fields->uncompressed = central.uncompressed;
  fields->compressed = central.compressed;
  return true;
}

}  // namespace brxzip
