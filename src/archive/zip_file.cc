#include "archive/zip_file.h"

#include <algorithm>
#include <new>
#include <utility>

#include "archive/certificate_table.h"
#include "archive/end_record.h"
#include "archive/header_reader.h"
#include "archive/zip64.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace brxzip {

namespace {

const uint32_t kEndSignature = 0x06054b50;
const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kLocalSignature = 0x04034b50;
const uint32_t kDescriptorSignature = 0x08074b50;
const uint32_t kDataDescriptorFlag = 0x0008;
const uint32_t kLocalHeaderSize = 30;
const uint32_t kEndRecordSize = 22;
const uint32_t kCentralRecordSize = 46;
const uint32_t kZip64Version = 45;
// The signer aligns the certificate table to eight bytes with zeros.
const uint64_t kMaxSignerPadding = 7;
// Central records are read sequentially; local headers forward with gaps.
const uint32_t kCentralWindow = 64 * 1024;
const uint32_t kLocalWindow = 64 * 1024;

// Text up to its first zero byte; an empty field gives no text at all.
void StoreText(const std::string& bytes, std::string* text, bool* present) {
  *present = !bytes.empty();
  text->assign(bytes.c_str());
}

// A record's fixed part, read in one copy rather than field by field (a
// listing reads thousands), each field decoded as the header rules say: one
// whose bytes do not all exist reads as 0.
class RecordFields {
 public:
  RecordFields(HeaderReader* reader, uint32_t length)
      : length_(reader->ReadRecord(length < sizeof(bytes_) ? length : sizeof(bytes_), bytes_)) {}
  uint32_t U16(uint32_t at) const { return at + 2 <= length_ ? bytes_[at] | (bytes_[at + 1] << 8) : 0; }
  uint32_t U32(uint32_t at) const {
    return at + 4 <= length_ ? U16(at) | (static_cast<uint32_t>(U16(at + 2)) << 16) : 0;
  }

 private:
  unsigned char bytes_[kCentralRecordSize];
  uint32_t length_;
};

// A local header value agrees when it equals the central one, or is zero in a
// header written before the data (the data descriptor carries the value).
bool AgreesWithCentral(uint64_t local, uint64_t central, bool descriptor) {
  return local == central || (descriptor && local == 0);
}

// The length of the data descriptor at `position` (12 bytes, or 16 with its
// optional signature; 20 or 24 with the 8-byte sizes of a ZIP64 entry) when
// it repeats the central CRC and sizes; 0 when it does not, for a reader that
// trusts the descriptor would read other data.
uint32_t DescriptorLength(HeaderReader* reader, uint64_t position, uint32_t crc, uint64_t compressed,
                          uint64_t uncompressed, bool zip64) {
  reader->Seek(position);
  uint32_t words[6];
  for (uint32_t& w : words) w = reader->ReadU32();
  const uint32_t size_words = zip64 ? 2 : 1;
  auto matches = [&](uint32_t at) {
    uint64_t c = words[at + 1], u = words[at + 1 + size_words];
    if (zip64) {
      c |= static_cast<uint64_t>(words[at + 2]) << 32;
      u |= static_cast<uint64_t>(words[at + 4]) << 32;
    }
    return words[at] == crc && c == compressed && u == uncompressed;
  };
  if (words[0] == kDescriptorSignature && matches(1)) return 8 + 8 * size_words;
  if (matches(0)) return 4 + 8 * size_words;
  return 0;
}

}  // namespace

ZIP_File::ZIP_File() = default;

ZIP_File::~ZIP_File() { CloseArchive(); }

void ZIP_File::CloseArchive() {
  entries_.clear();
  comment_.clear();
  has_comment_ = false;
  file_.reset();
  central_directory_offset_ = 0;
}

ZIP_Result ZIP_File::OpenArchive(const wchar_t* path, unsigned char read_only) {
  CloseArchive();
  std::unique_ptr<brx::platform::File> file(new (std::nothrow) brx::platform::File);
  if (!file) return ZIP_ERR_NO_MEMORY;
  brx::platform::FileMode mode = read_only ? brx::platform::FileMode::kReadShared
                                           : brx::platform::FileMode::kReadWriteExclusive;
  if (!path || !file->Open(path, mode)) return ZIP_ERR_OPEN;
  file_ = std::move(file);
  ZIP_Result result = ReadDirectory();
  if (result != ZIP_OK) CloseArchive();
  return result;
}

bool ZIP_File::OnlySignerPadding(uint64_t from, uint64_t to) const {
  if (to - from > kMaxSignerPadding) return false;
  unsigned char padding[kMaxSignerPadding] = {};
  uint32_t length = static_cast<uint32_t>(to - from);
  uint32_t got = 0;
  if (length != 0 && (!file_->ReadAt(from, padding, length, &got) || got != length)) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (padding[i] != 0) return false;
  }
  return true;
}

ZIP_Result ZIP_File::ReadDirectory() {
  uint64_t file_size = 0;
  if (!file_->GetSize(&file_size)) return ZIP_ERR_SEEK;
  // In a signed package the archive lies before the certificate table, which
  // the signature does not cover: an archive hidden inside the table (its
  // length grown to hold one) would install under a valid signature. Nothing
  // of the table is ever read as archive bytes; every read below is bounded by
  // `end`.
  uint64_t end = file_size;
  uint64_t table_offset = 0;
  CertificateTable table = FindCertificateTable(file_.get(), file_size, &table_offset);
  if (table == CertificateTable::kMalformed) return ZIP_ERR_FORMAT;
  if (table == CertificateTable::kPresent) end = table_offset;

  uint64_t end_position = 0;
  EndRecordSearch search = LocateEndRecord(file_.get(), end, &end_position);
  if (search == EndRecordSearch::kCannotStart) return ZIP_ERR_SEEK;
  if (search == EndRecordSearch::kInsideComment) return ZIP_ERR_FORMAT;

  ZIP_Result status = ZIP_ERR_FAILED;
  EndRecordFields fields;
  // Where the directory must end: at the ZIP64 end record when there is one,
  // else at the end record.
  uint64_t directory_end = end_position;
  HeaderReader central(file_.get(), end, kCentralWindow);
  if (search == EndRecordSearch::kFound) {
    central.Seek(end_position);
    if (central.ReadU32() != kEndSignature) {
      status = ZIP_ERR_FORMAT;
    } else {
      fields.this_disk = central.ReadU16();
      fields.directory_disk = central.ReadU16();
      fields.disk_records = central.ReadU16();
      fields.total = central.ReadU16();
      fields.directory_size = central.ReadU32();
      fields.directory_offset = central.ReadU32();
      uint32_t comment_length = central.ReadU16();
      if (comment_length != 0) {
        std::string bytes;
        central.ReadBytes(comment_length, &bytes);
        StoreText(bytes, &comment_, &has_comment_);
      }
      uint64_t archive_end = end_position + kEndRecordSize + comment_length;
      Zip64End zip64 = ReadZip64End(&central, end_position, &fields, &directory_end);
      if (zip64 == Zip64End::kNone) directory_end = end_position;
      central_directory_offset_ = fields.directory_offset;
      if (archive_end > end || (table == CertificateTable::kPresent && !OnlySignerPadding(archive_end, end))) {
        // A record cut off by the end of the file (or of the archive's part
        // of it) is damaged, not an empty archive; and in a signed package
        // only the signer's alignment may lie between archive and table.
        central_directory_offset_ = 0;
        status = ZIP_ERR_FORMAT;
      } else if (zip64 == Zip64End::kMalformed || fields.disk_records != fields.total || fields.this_disk != 0 ||
                 fields.directory_disk != 0) {
        central_directory_offset_ = 0;
        status = ZIP_ERR_FORMAT;
      } else {
        status = ZIP_OK;
      }
    }
  }
  if (central_directory_offset_ == 0) {
    // Nothing to read, and nothing to disagree about, only when the record
    // promises no entries.
    return status == ZIP_OK && (fields.total != 0 || fields.directory_size != 0) ? ZIP_ERR_FORMAT : status;
  }
  // The directory ends where the end record (or its ZIP64 form) begins:
  // tools that find it by its size (and shift every offset by the
  // difference) and tools that take its offset then read the same records.
  if (central_directory_offset_ > directory_end ||
      fields.directory_size != directory_end - central_directory_offset_) {
    return ZIP_ERR_FORMAT;
  }
  // Every record takes at least its fixed part, so the directory's size
  // bounds the count before anything is allocated for it.
  if (fields.total > fields.directory_size / kCentralRecordSize) return ZIP_ERR_FORMAT;
  const size_t total = static_cast<size_t>(fields.total);

  HeaderReader local(file_.get(), end, kLocalWindow);
  entries_.reserve(total);
  // Every entry's bytes, from its local header to the end of its data.
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  spans.reserve(total);
  central.Seek(central_directory_offset_);
  std::string central_name, central_extra, local_name, local_extra;
  for (size_t i = 0; i < total; ++i) {
    RecordFields c(&central, kCentralRecordSize);
    if (c.U32(0) != kCentralSignature) return ZIP_ERR_FORMAT;
    uint32_t made_by = c.U16(4);
    uint32_t needed = c.U16(6);
    uint32_t flags = c.U16(8);
    uint32_t method = c.U16(10);
    uint32_t time = c.U16(12);
    uint32_t date = c.U16(14);
    uint32_t crc = c.U32(16);
    EntryFields sizes;
    sizes.compressed = c.U32(20);
    sizes.uncompressed = c.U32(24);
    uint32_t name_length = c.U16(28);
    uint32_t extra_length = c.U16(30);
    uint32_t comment_length = c.U16(32);
    sizes.disk_start = c.U16(34);
    uint32_t internal = c.U16(36);
    uint32_t external = c.U32(38);
    sizes.local_offset = c.U32(42);
    central.ReadBytes(name_length, &central_name);
    central.ReadBytes(extra_length, &central_extra);
    central.Skip(comment_length);
    // A record reaching past the directory's size is one other tools do not
    // see (or see cut).
    if (central.position() > directory_end) return ZIP_ERR_FORMAT;
    // A central record that needs ZIP64 only for itself (an entry that
    // begins past 4 GiB) says so with version 4.5, which its local header,
    // written before the offset mattered, need not repeat.
    const bool central_zip64 = sizes.compressed == 0xFFFFFFFF || sizes.uncompressed == 0xFFFFFFFF ||
                               sizes.local_offset == 0xFFFFFFFF;
    if (!WidenCentralFields(central_extra, &sizes)) return ZIP_ERR_FORMAT;
    const uint64_t compressed = sizes.compressed;
    const uint64_t uncompressed = sizes.uncompressed;
    const uint64_t local_offset = sizes.local_offset;

    std::unique_ptr<ZIP_FileEntry> entry(new (std::nothrow) ZIP_FileEntry);
    if (!entry) return ZIP_ERR_NO_MEMORY;
    local.Seek(local_offset);
    RecordFields l(&local, kLocalHeaderSize);
    if (l.U32(0) != kLocalSignature) return ZIP_ERR_FORMAT;
    entry->version_needed_ = l.U16(4);
    entry->flags_ = l.U16(6);
    entry->method_ = l.U16(8);
    entry->dos_time_ = l.U16(10);
    entry->dos_date_ = l.U16(12);
    uint32_t local_crc = l.U32(14);
    EntryFields local_sizes;
    local_sizes.compressed = l.U32(18);
    local_sizes.uncompressed = l.U32(22);
    uint32_t local_name_length = l.U16(26);
    uint32_t local_extra_length = l.U16(28);
    local.ReadBytes(local_name_length, &local_name);
    local.ReadBytes(local_extra_length, &local_extra);
    bool local_zip64 = false;
    if (!WidenLocalFields(local_extra, &local_sizes, &local_zip64)) return ZIP_ERR_FORMAT;
    StoreText(local_name, &entry->name_, &entry->has_name_);

    entry->version_made_by_ = made_by;
    entry->crc32_ = crc;
    entry->compressed_size_ = compressed;
    entry->uncompressed_size_ = uncompressed;
    entry->disk_number_start_ = sizes.disk_start;
    entry->internal_attributes_ = internal;
    entry->external_attributes_ = external;
    entry->local_header_offset_ = local_offset;
    entry->data_offset_ = local_offset + kLocalHeaderSize + local_name_length + local_extra_length;
    entry->file_ = file_.get();

    // A local header that disagrees with its central record means the archive
    // was altered: a reader that streams local headers would see another
    // archive. Only a header written before its data's CRC and sizes were
    // known (flag bit 3) may leave them zero.
    bool descriptor = (flags & kDataDescriptorFlag) != 0;
    bool versions_agree = entry->version_needed_ == needed ||
                          (central_zip64 && needed == kZip64Version && entry->version_needed_ < needed);
    if (!versions_agree || entry->flags_ != flags || entry->method_ != method ||
        entry->dos_time_ != time || entry->dos_date_ != date || local_name != central_name ||
        !AgreesWithCentral(local_crc, crc, descriptor) ||
        !AgreesWithCentral(local_sizes.compressed, compressed, descriptor) ||
        !AgreesWithCentral(local_sizes.uncompressed, uncompressed, descriptor)) {
      return ZIP_ERR_FORMAT;
    }
    if (!DecodeEntryName(flags, central_name, central_extra, name_code_page_, &entry->target_name_,
                         &entry->name_encoding_)) {
      return ZIP_ERR_FORMAT;
    }
    // A Unicode Path field in the local header that names another file than
    // the central one: unzip and a streaming reader would write different files.
    if (!(flags & kUtf8NameFlag) && HasUnicodePathField(local_extra)) {
      std::wstring local_target;
      NameEncoding local_encoding = NameEncoding::kCodePage;
      if (!DecodeEntryName(flags, local_name, local_extra, name_code_page_, &local_target, &local_encoding)) {
        return ZIP_ERR_FORMAT;
      }
      if (local_encoding == NameEncoding::kUnicodePathField &&
          (entry->name_encoding_ != local_encoding || local_target != entry->target_name_)) {
        return ZIP_ERR_FORMAT;
      }
    }

    // Every entry lies before the directory. The directory lies before `end`,
    // so this also keeps entry data out of a certificate table, where it would
    // be read from bytes the signature does not cover. (Compared by what is
    // left: a 64-bit size must not wrap the sum around.)
    if (entry->data_offset_ > central_directory_offset_ ||
        compressed > central_directory_offset_ - entry->data_offset_) {
      return ZIP_ERR_FORMAT;
    }
    uint64_t data_end = entry->data_offset_ + compressed;
    if (descriptor) {
      uint32_t length = DescriptorLength(&local, data_end, crc, compressed, uncompressed, local_zip64);
      if (length == 0) return ZIP_ERR_FORMAT;
      data_end += length;
    }
    if (data_end > central_directory_offset_) return ZIP_ERR_FORMAT;
    spans.emplace_back(local_offset, data_end);
    entries_.push_back(std::move(entry));
  }
  // The records must fill the directory exactly: a count below what its size
  // holds hides records that other tools list.
  if (central.position() != directory_end) return ZIP_ERR_FORMAT;
  // Entries sharing bytes are a decompression bomb (hundreds of names for one
  // large stream pass any size check of the archive) or one entry's data
  // posing as another's header. Sorted by start, each must begin at or after
  // the end of the one before.
  // (Archivers write entries in order: most directories need no sort.)
  if (!std::is_sorted(spans.begin(), spans.end())) std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) return ZIP_ERR_FORMAT;
  }
  return status;
}

ZIP_FileEntry* ZIP_File::FindEntry(const wchar_t* name) const {
  if (!name) return nullptr;
  std::wstring wanted = brx::platform::UpperCaseForNames(name);
  for (const auto& entry : entries_) {
    const wchar_t* entry_name = entry->GetTargetName();
    if (entry_name && brx::platform::UpperCaseForNames(entry_name) == wanted) return entry.get();
  }
  return nullptr;
}

ZIP_FileEntry* ZIP_File::GetEntryAt(uint64_t index) const {
  return index < entries_.size() ? entries_[static_cast<size_t>(index)].get() : nullptr;
}

ZIP_Enumeration* ZIP_File::BeginEnumeration() const {
  return new (std::nothrow) ZIP_Enumeration;
}

ZIP_FileEntry* ZIP_File::NextEntry(ZIP_Enumeration* cursor) const {
  if (!cursor || cursor->next >= entries_.size()) return nullptr;
  return entries_[cursor->next++].get();
}

void ZIP_File::EndEnumeration(ZIP_Enumeration* cursor) const { delete cursor; }

}  // namespace brxzip
