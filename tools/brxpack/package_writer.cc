#include "brxpack/package_writer.h"

#include <string.h>

#include <zlib.h>

#include "platform/utf8.h"

namespace brxpack {

namespace {

const uint64_t kMaxArchiveEnd = 0x7FFFFFFF;  // the stub passes positions as signed 32-bit

void Put16(std::vector<unsigned char>* out, uint32_t v) {
  out->push_back(static_cast<unsigned char>(v));
  out->push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(std::vector<unsigned char>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool Deflate(const std::vector<unsigned char>& in, std::vector<unsigned char>* out) {
  z_stream z;
  memset(&z, 0, sizeof(z));
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out->data();
  z.avail_out = static_cast<uInt>(out->size());
  int status = deflate(&z, Z_FINISH);
  out->resize(z.total_out);
  deflateEnd(&z);
  return status == Z_STREAM_END;
}

bool ReadWhole(const wchar_t* path, std::vector<unsigned char>* data, uint32_t* date, uint32_t* time) {
  brx::platform::File file;
  uint64_t size = 0;
  if (!file.Open(path, brx::platform::FileMode::kReadShared) || !file.GetSize(&size) || size > kMaxArchiveEnd) {
    return false;
  }
  data->resize(static_cast<size_t>(size));
  uint32_t got = 0;
  if (size != 0 && (!file.Read(data->data(), static_cast<uint32_t>(size), &got) || got != size)) return false;
  if (date && time && !file.GetDosTime(date, time)) return false;
  return true;
}

}  // namespace

StoredName EncodeEntryName(const std::wstring& name) {
  StoredName stored;
  stored.bytes = brx::platform::WideToUtf8(name);
  for (char c : stored.bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) stored.flags = 0x0800;
  }
  return stored;
}

bool PackageWriter::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
  file_.Close();
  return false;
}

bool PackageWriter::Append(const void* data, size_t length) {
  if (length == 0) return true;
  if (position_ + length > kMaxArchiveEnd) return Fail("package would exceed 2 GiB");
  if (!file_.Write(data, static_cast<uint32_t>(length))) return Fail("cannot write the package");
  position_ += length;
  return true;
}

bool PackageWriter::Begin(const wchar_t* output, const std::vector<unsigned char>& stub_bytes) {
  entries_.clear();
  error_.clear();
  position_ = 0;
  if (!file_.Open(output, brx::platform::FileMode::kCreateAlways)) return Fail("cannot create the package");
  return Append(stub_bytes.data(), stub_bytes.size());
}

bool PackageWriter::Begin(const wchar_t* output, const wchar_t* stub) {
  std::vector<unsigned char> bytes;
  if (stub && !ReadWhole(stub, &bytes, nullptr, nullptr)) {
    error_ = "cannot read the stub";
    return false;
  }
  return Begin(output, bytes);
}

bool PackageWriter::AddData(const std::string& name, const std::vector<unsigned char>& data,
                            const EntryOptions& options) {
  if (!file_.IsOpen()) return Fail("package not open");
  if (name.empty() || name.size() > 0xFFFF) return Fail("bad entry name: " + name);
  if (entries_.size() >= 0xFFFF) return Fail("too many entries");
  const std::vector<unsigned char>* plain = &data;
  std::vector<unsigned char> transformed;
  if (transform_) {
    transformed = data;
    if (!transform_(name, &transformed)) return Fail("cannot transform " + name);
    plain = &transformed;
  }
  if (plain->size() > kMaxArchiveEnd) return Fail("entry too large: " + name);

  Central c;
  c.name = name;
  c.options = options;
  c.size = static_cast<uint32_t>(plain->size());
  c.crc = static_cast<uint32_t>(crc32(0, plain->data(), static_cast<uInt>(plain->size())));
  std::vector<unsigned char> deflated;
  const std::vector<unsigned char>* stored = plain;
  if (options.method == Method::kDeflate) {
    if (!Deflate(*plain, &deflated)) return Fail("cannot compress " + name);
    stored = &deflated;
  }
  c.compressed = static_cast<uint32_t>(stored->size());
  c.offset = static_cast<uint32_t>(position_);

  std::vector<unsigned char> header;
  Put32(&header, 0x04034b50);
  Put16(&header, options.method == Method::kDeflate ? 20 : 10);
  Put16(&header, options.flags);
  Put16(&header, static_cast<uint32_t>(options.method));
  Put16(&header, options.dos_time);
  Put16(&header, options.dos_date);
  Put32(&header, c.crc);
  Put32(&header, c.compressed);
  Put32(&header, c.size);
  Put16(&header, static_cast<uint32_t>(name.size()));
  Put16(&header, 0);
  header.insert(header.end(), name.begin(), name.end());
  if (!Append(header.data(), header.size()) || !Append(stored->data(), stored->size())) return false;
  entries_.push_back(c);
  return true;
}

bool PackageWriter::AddFile(const std::string& name, const wchar_t* source, Method method, uint32_t flags) {
  std::vector<unsigned char> data;
  EntryOptions options;
  options.method = method;
  options.flags = flags;
  if (!ReadWhole(source, &data, &options.dos_date, &options.dos_time)) return Fail("cannot read " + name);
  return AddData(name, data, options);
}

bool PackageWriter::AddDirectory(const std::string& name, const EntryOptions& options) {
  EntryOptions dir = options;
  dir.method = Method::kStore;
  dir.external_attributes = options.external_attributes | 0x10;  // FILE_ATTRIBUTE_DIRECTORY
  std::string with_slash = name;
  if (with_slash.empty() || with_slash.back() != '/') with_slash.push_back('/');
  EntryTransform saved;
  saved.swap(transform_);
  bool ok = AddData(with_slash, std::vector<unsigned char>(), dir);
  saved.swap(transform_);
  return ok;
}

bool PackageWriter::Finish(const std::string& comment) {
  if (!file_.IsOpen()) return Fail("package not open");
  if (comment.size() > 0xFFFF) return Fail("comment too long");
  uint64_t directory_offset = position_;
  std::vector<unsigned char> out;
  for (const Central& c : entries_) {
    Put32(&out, 0x02014b50);
    // Info-ZIP's unzip reads the names of entries made on DOS in the OEM code
    // page even when they are flagged UTF-8; as made on NTFS (the same
    // attribute bits) every tool reads the flagged name.
    bool utf8 = (c.options.flags & 0x0800) != 0 && (c.options.version_made_by >> 8) == 0;
    Put16(&out, utf8 ? c.options.version_made_by | (11 << 8) : c.options.version_made_by);
    Put16(&out, c.options.method == Method::kDeflate ? 20 : 10);
    Put16(&out, c.options.flags);
    Put16(&out, static_cast<uint32_t>(c.options.method));
    Put16(&out, c.options.dos_time);
    Put16(&out, c.options.dos_date);
    Put32(&out, c.crc);
    Put32(&out, c.compressed);
    Put32(&out, c.size);
    Put16(&out, static_cast<uint32_t>(c.name.size()));
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, 0);
    Put32(&out, c.options.external_attributes);
    Put32(&out, c.offset);
    out.insert(out.end(), c.name.begin(), c.name.end());
  }
  uint32_t directory_size = static_cast<uint32_t>(out.size());
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(entries_.size()));
  Put16(&out, static_cast<uint32_t>(entries_.size()));
  Put32(&out, directory_size);
  Put32(&out, static_cast<uint32_t>(directory_offset));
  Put16(&out, static_cast<uint32_t>(comment.size()));
  out.insert(out.end(), comment.begin(), comment.end());
  if (!Append(out.data(), out.size())) return false;
  file_.Close();
  return true;
}

}  // namespace brxpack
