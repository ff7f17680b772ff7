// Writes a package: a copy of the stub followed by a ZIP archive whose
// offsets are absolute positions in the whole file, so the stub's reader
// finds and reads it without any base offset.
#ifndef BRX_TOOLS_BRXPACK_PACKAGE_WRITER_H_
#define BRX_TOOLS_BRXPACK_PACKAGE_WRITER_H_

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

class PackageWriter {
 public:
  PackageWriter() = default;
  PackageWriter(const PackageWriter&) = delete;
  PackageWriter& operator=(const PackageWriter&) = delete;

  // Creates `output` and copies `stub` into it (a null stub starts the archive
  // at offset 0).
  bool Begin(const wchar_t* output, const wchar_t* stub);
  bool Begin(const wchar_t* output, const std::vector<unsigned char>& stub_bytes);

  void set_transform(EntryTransform transform) { transform_ = std::move(transform); }

  bool AddData(const std::string& name, const std::vector<unsigned char>& data,
               const EntryOptions& options = EntryOptions());
  // A file from disk; its modification time becomes the entry's.
  bool AddFile(const std::string& name, const wchar_t* source, Method method, uint32_t flags = 0);
  // A directory entry: `name` gets a trailing '/'.
  bool AddDirectory(const std::string& name, const EntryOptions& options = EntryOptions());

  // Central directory and end record; closes the file.
  bool Finish(const std::string& comment = std::string());

  const std::string& error() const { return error_; }

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

  brx::platform::File file_;
  uint64_t position_ = 0;
  std::vector<Central> entries_;
  EntryTransform transform_;
  std::string error_;
};

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_PACKAGE_WRITER_H_
