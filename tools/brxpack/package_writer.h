// Writes a package: a copy of the stub followed by a ZIP archive whose
// offsets are absolute positions in the whole file, so the stub's reader
// finds and reads it without any base offset.
#ifndef BRX_TOOLS_BRXPACK_PACKAGE_WRITER_H_
#define BRX_TOOLS_BRXPACK_PACKAGE_WRITER_H_

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace brxpack {

enum class Method { kStore = 0, kDeflate = 8 };

struct EntryOptions {
  Method method = Method::kDeflate;
  uint32_t dos_date = (1 << 5) | 1;  // 1980-01-01
  uint32_t dos_time = 0;
  uint32_t external_attributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
  uint32_t version_made_by = 20;        // DOS host, format 2.0
  uint32_t flags = 0;                   // general-purpose flags (bit 11: the name is UTF-8)
};

// An entry name as written: ASCII as it is, anything else as UTF-8 with flag
// bit 11, so every server reads the name the packager gave whatever its ANSI
// code page.
struct StoredName {
  std::string bytes;
  uint32_t flags = 0;
};
StoredName EncodeEntryName(const std::wstring& name);

// Applied to an entry's bytes before compression; false stops the build.
// The hook for enciphering the configuration file.
using EntryTransform = std::function<bool(const std::string& name, std::vector<unsigned char>* data)>;

// Called as a file's bytes are read: how many bytes of files have been read
// so far, over the whole package.
using ProgressCallback = std::function<void(uint64_t bytes_read)>;

// The platform's error code (errno or Win32 error) as text.
std::string SystemErrorText(uint32_t code);

class PackageWriter {
 public:
  PackageWriter() = default;
  PackageWriter(const PackageWriter&) = delete;
  PackageWriter& operator=(const PackageWriter&) = delete;

  // Creates `output` and copies `stub` into it (a null stub starts the archive
  // at offset 0).
  bool Begin(const wchar_t* output, const wchar_t* stub);
  bool Begin(const wchar_t* output, const std::vector<unsigned char>& stub_bytes);

  // `only_entry` (the stored name), when given, is the one entry the
  // transform can change: every other file is streamed, never held whole.
  void set_transform(EntryTransform transform, std::string only_entry = std::string()) {
    transform_ = std::move(transform);
    transform_entry_ = std::move(only_entry);
  }
  void set_progress(ProgressCallback progress) { progress_ = std::move(progress); }

  // Deflate is kept only when it makes the entry smaller; otherwise, and for
  // kStore, the entry is stored.
  bool AddData(const std::string& name, const std::vector<unsigned char>& data,
               const EntryOptions& options = EntryOptions());
  // A file from disk, read in pieces as it is written; its modification time
  // becomes the entry's.
  bool AddFile(const std::string& name, const wchar_t* source, Method method, uint32_t flags = 0);
  // A directory entry: `name` gets a trailing '/'.
  bool AddDirectory(const std::string& name, const EntryOptions& options = EntryOptions());

  // Central directory and end record; closes the file.
  bool Finish(const std::string& comment = std::string());

  const std::string& error() const { return error_; }

  size_t entry_count() const { return entries_.size(); }
  uint64_t total_size() const;    // the entries' bytes
  uint64_t total_stored() const;  // the same as stored (compressed)
  uint64_t position() const { return position_; }

 private:
  struct Central {
    std::string name;  // as stored
    EntryOptions options;
    uint32_t crc = 0;
    uint32_t compressed = 0;
    uint32_t size = 0;
    uint32_t offset = 0;
  };

  bool Fail(const std::string& message);
  bool Append(const void* data, size_t length);
  bool MoveTo(uint64_t position);
  void WriteLocalHeader(std::vector<unsigned char>* header, const Central& c) const;
  // Streams the open `source` (of `size` bytes) into the package as one entry.
  bool StreamFile(const std::string& name, const std::string& source_text, brx::platform::File* source,
                  uint64_t size, const EntryOptions& options);
  // Reads `size` bytes of `source` from its start, hands each piece to `sink`
  // and checks the checksum against `expected_crc` unless it is null.
  bool CopySource(const std::string& source_text, brx::platform::File* source, uint64_t size, uint32_t* crc,
                  const std::function<bool(const unsigned char*, size_t, bool)>& sink);

  brx::platform::File file_;
  std::string output_;     // the package's path, for messages
  uint64_t position_ = 0;  // where the next byte goes
  uint64_t end_ = 0;       // how far the file has been written
  uint64_t bytes_read_ = 0;
  std::vector<Central> entries_;
  EntryTransform transform_;
  std::string transform_entry_;
  ProgressCallback progress_;
  std::string error_;
};

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_PACKAGE_WRITER_H_
