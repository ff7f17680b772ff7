// The ZIP archive appended to the stub's own executable.
//
// The reader is handed a file path and finds the archive from the end of the
// file, so anything may precede it (the executable image) or follow it. When
// the file is a PE image with a certificate table (a signed package), the
// archive is looked for only before the table, must end there (the signer's
// zero alignment aside), and no header or data may reach into the table.
// Offsets inside the archive are absolute positions in the whole file; no
// base offset is ever added.
//
// Supported: single-disk archives, methods 0 (stored) and 8 (deflated),
// ZIP64 (archive/zip64.h: 64-bit sizes, offsets and counts), no encryption. The archive is read as other ZIP tools read it, and
// anything two tools could read differently rejects the whole archive: a
// local header that disagrees with its central record (one written with a
// data descriptor, flag bit 3, may leave its CRC and sizes zero, and the
// descriptor after the data must then agree), central records that do not
// exactly fill the directory the end record describes, an end record found
// inside another one's comment, names that claim UTF-8 and are not, and
// entries whose bytes overlap each other or the directory.
//
// Entry names are decoded as archive/entry_name_decoding.h says; every name
// check and lookup works on that decoded name, the one written to disk.
//
// All entries share the archive's one file handle. Every data chunk is read
// at its absolute position (the handle seeks when another read moved it), so
// reads of different entries may be interleaved.
// Entries are owned by their archive and are valid until CloseArchive.
#ifndef BRX_ARCHIVE_ZIP_FILE_H_
#define BRX_ARCHIVE_ZIP_FILE_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/entry_name_decoding.h"
#include "platform/held_directory.h"

namespace brx {
namespace platform {
class File;
}  // namespace platform
}  // namespace brx

namespace brxzip {

// Result of every archive operation: 0 is success, failures are negative.
// Callers outside the archive only distinguish zero from non-zero.
enum ZIP_Result : int32_t {
  ZIP_OK = 0,
  ZIP_ERR_FAILED = -1,         // no end record; a data read failed; a directory cannot be created
  ZIP_ERR_END_OF_STREAM = -2,  // the entry's data ended before its size was delivered
  ZIP_ERR_SEEK = -3,           // positioning in the file failed
  ZIP_ERR_CREATE = -4,         // an output file cannot be created (or its path is too long)
  ZIP_ERR_NO_MEMORY = -5,      // an allocation failed
  ZIP_ERR_CRC = -6,            // CRC-32 of the delivered data differs from the entry's
  ZIP_ERR_FORMAT = -7,         // bad headers, multi-disk, unsupported method, corrupt data, unsafe name
  ZIP_ERR_ARGUMENT = -8,       // missing context or buffer, zero length
  ZIP_ERR_OPEN = -9,           // the archive file cannot be opened
};

// Handed to the ExtractAll progress callback before each entry is processed.
struct ExtractProgress {
  uint64_t index;       // 1 for the first entry
  uint64_t total;       // number of entries, directories included
  const wchar_t* path;  // target path of the entry; valid only during the call
};

// Returns true to go on, false to stop extracting (ExtractAll then returns ZIP_OK).
typedef bool (*ExtractProgressCallback)(void* argument, const ExtractProgress* progress);

// What an extraction did and, when it stopped, why: enough for a log line an
// administrator can hand to the packager.
struct ExtractReport {
  std::wstring entry;        // the entry it stopped at, by its decoded name
  std::wstring other_entry;  // for a collision: the earlier entry that wrote the file
  std::wstring path;        // the file or folder it stopped at
  std::string reason;       // short English reason; empty when it did not stop
  uint32_t error = 0;       // the platform's error code, when there was one
  // Every file and folder this extraction created, for a clean-up that
  // removes only what the run made.
  std::vector<brx::platform::FileIdentity> created;
};

// State of one sequential read of one entry, between BeginRead and EndRead.
// Lives on the caller's stack; its destructor releases what EndRead would, so a
// read abandoned on an error path leaks nothing.
class ZIP_ReadContext {
 public:
  ZIP_ReadContext();
  ~ZIP_ReadContext();
  ZIP_ReadContext(const ZIP_ReadContext&) = delete;
  ZIP_ReadContext& operator=(const ZIP_ReadContext&) = delete;

 private:
  friend class ZIP_FileEntry;
  void Release();

  std::unique_ptr<unsigned char[]> input_;  // kInputSize bytes while a read is active
  uint32_t input_available_ = 0;            // bytes of input_ not yet consumed
  const unsigned char* input_next_ = nullptr;
  brx::platform::File* file_ = nullptr;     // the archive's handle, shared
  z_stream stream_;
  bool stream_active_ = false;
  uint32_t crc_ = 0;
  bool crc_by_caller_ = false;              // WriteToFile sums the bytes where it writes them
  uint64_t compressed_remaining_ = 0;
  uint64_t uncompressed_remaining_ = 0;
  uint64_t position_ = 0;                   // file position of the next compressed byte
};

class ZIP_FileEntry {
 public:
  ZIP_FileEntry();
  virtual ~ZIP_FileEntry();
  ZIP_FileEntry(const ZIP_FileEntry&) = delete;
  ZIP_FileEntry& operator=(const ZIP_FileEntry&) = delete;

  // Header values; 16-bit fields are zero-extended, sizes and offsets are
  // their ZIP64 values where the header has them. The local header equals
  // the central record for every accepted entry, except that one written
  // before its data (flag bit 3) may hold zero CRC-32 and sizes: those come
  // from the central record, which the data descriptor repeats.
  uint32_t GetVersionMadeBy() const { return version_made_by_; }
  uint32_t GetVersionNeeded() const { return version_needed_; }
  uint32_t GetFlags() const { return flags_; }
  uint32_t GetMethod() const { return method_; }
  uint32_t GetDosTime() const { return dos_time_; }
  uint32_t GetDosDate() const { return dos_date_; }
  uint32_t GetCrc32() const { return crc32_; }
  uint64_t GetCompressedSize() const { return compressed_size_; }
  uint64_t GetUncompressedSize() const { return uncompressed_size_; }
  uint32_t GetDiskNumberStart() const { return disk_number_start_; }
  uint32_t GetInternalAttributes() const { return internal_attributes_; }
  uint32_t GetExternalAttributes() const { return external_attributes_; }
  uint64_t GetLocalHeaderOffset() const { return local_header_offset_; }
  uint64_t GetDataOffset() const { return data_offset_; }
  // The name as stored in the headers, up to its first zero byte; null when
  // the entry has no name. Its bytes mean nothing without GetNameEncoding.
  const char* GetName() const { return has_name_ ? name_.c_str() : nullptr; }
  // The decoded name: what extraction writes and what FindEntry compares;
  // null when the entry has no name.
  const wchar_t* GetTargetName() const { return has_name_ ? target_name_.c_str() : nullptr; }
  NameEncoding GetNameEncoding() const { return name_encoding_; }

  // Sequential read: BeginRead, any number of ReadChunk, then EndRead exactly
  // once whenever BeginRead succeeded. EndRead verifies the CRC-32 only when
  // the whole entry was delivered.
  ZIP_Result BeginRead(ZIP_ReadContext* context);
  // Delivers at most min(length, bytes that remain). Data that ends early or
  // does not decompress is a failure; *delivered then still counts what this
  // call produced.
  ZIP_Result ReadChunk(void* destination, uint64_t length, ZIP_ReadContext* context,
                       uint32_t* delivered = nullptr);
  ZIP_Result EndRead(ZIP_ReadContext* context);

  // The first `length` bytes of the entry (normally its uncompressed size) in
  // one call. ZIP_OK only when all of them were delivered and, for a whole
  // entry, the CRC-32 matched.
  ZIP_Result ReadToMemory(void* destination, uint64_t length);

  // Copies the entry's data to a file open for writing. A failed write is
  // ZIP_ERR_CREATE; a CRC mismatch of a completely written entry ZIP_ERR_CRC.
  ZIP_Result WriteToFile(brx::platform::File* file);

  // Creates the target file (and its missing directories), replacing an
  // existing one, writes the data and stamps the entry's time and attributes.
  ZIP_Result ExtractTo(const wchar_t* target_path);

 private:
  friend class ZIP_File;

  uint32_t version_made_by_ = 0;
  uint32_t version_needed_ = 0;
  uint32_t flags_ = 0;
  uint32_t method_ = 0;
  uint32_t dos_time_ = 0;
  uint32_t dos_date_ = 0;
  uint32_t crc32_ = 0;
  uint64_t compressed_size_ = 0;
  uint64_t uncompressed_size_ = 0;
  uint32_t disk_number_start_ = 0;
  uint32_t internal_attributes_ = 0;
  uint32_t external_attributes_ = 0;
  uint64_t local_header_offset_ = 0;
  std::string name_;
  std::wstring target_name_;
  NameEncoding name_encoding_ = NameEncoding::kCodePage;
  bool has_name_ = false;
  brx::platform::File* file_ = nullptr;  // the archive's handle; never closed here
  uint64_t data_offset_ = 0;
};

// Caller-owned cursor of BeginEnumeration/NextEntry/EndEnumeration.
struct ZIP_Enumeration {
  size_t next = 0;
};

class ZIP_File {
 public:
  ZIP_File();
  virtual ~ZIP_File();
  ZIP_File(const ZIP_File&) = delete;
  ZIP_File& operator=(const ZIP_File&) = delete;

  // Discards any previous content, opens the file (read_only: shared for
  // reading; otherwise read/write, not shared) and reads the directory. A
  // failed open leaves the object closed and empty.
  ZIP_Result OpenArchive(const wchar_t* path, unsigned char read_only);
  // Destroys all entries and closes the file; safe to repeat.
  void CloseArchive();

  // The code page of names that are neither flagged UTF-8 nor carry a
  // Unicode Path field, for the next OpenArchive; 0 (the default) is this
  // system's ANSI code page, what the stub uses. Tools set the code page of
  // the server a package is meant for.
  void SetNameCodePage(uint32_t code_page) { name_code_page_ = code_page; }

  // First entry whose decoded name equals `name` ignoring letter case as the
  // file system does; null when there is none.
  ZIP_FileEntry* FindEntry(const wchar_t* name) const;
  uint64_t GetEntryCount() const { return entries_.size(); }
  // Null when index is not below the count.
  ZIP_FileEntry* GetEntryAt(uint64_t index) const;

  ZIP_Enumeration* BeginEnumeration() const;
  ZIP_FileEntry* NextEntry(ZIP_Enumeration* cursor) const;
  void EndEnumeration(ZIP_Enumeration* cursor) const;

  // Archive comment up to its first zero byte, or null when there is none.
  const char* GetComment() const { return has_comment_ ? comment_.c_str() : nullptr; }
  uint64_t GetCentralDirectoryOffset() const { return central_directory_offset_; }
  // The open file every entry reads from; null while closed.
  brx::platform::File* file() const { return file_.get(); }

  // Extracts every entry in archive order below `destination` (or the
  // current directory when null), created when missing. Refused entry names,
  // target paths over 260 characters, a destination that cannot be created
  // or that is or passes through a link, and a link at a folder the
  // extraction would enter fail before anything is written. `callback`
  // (optional) runs before each entry; `report` (optional) says why it
  // stopped.
  ZIP_Result ExtractAll(const wchar_t* destination, ExtractProgressCallback callback,
                        void* callback_argument, ExtractReport* report = nullptr);
  // The same below a folder the caller holds. `fresh`: this run created it,
  // so nothing in it can be older than the extraction and every file is
  // created as new.
  ZIP_Result ExtractAll(const brx::platform::HeldDirectory& destination, bool fresh,
                        ExtractProgressCallback callback, void* callback_argument, ExtractReport* report);

 private:
  ZIP_Result ReadDirectory();
  // True when the bytes from `from` to `to` are at most the signer's zero
  // alignment before a certificate table.
  bool OnlySignerPadding(uint64_t from, uint64_t to) const;

  std::vector<std::unique_ptr<ZIP_FileEntry>> entries_;
  std::string comment_;
  bool has_comment_ = false;
  std::unique_ptr<brx::platform::File> file_;
  uint64_t central_directory_offset_ = 0;
  uint32_t name_code_page_ = 0;
};

}  // namespace brxzip

#endif  // BRX_ARCHIVE_ZIP_FILE_H_
