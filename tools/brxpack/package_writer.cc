#include "brxpack/package_writer.h"

#include <string.h>

#include <zlib.h>

#include <memory>

#include "platform/utf8.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brxpack {

namespace {

const uint64_t kMaxArchiveEnd = 0x7FFFFFFF;  // the stub passes positions as signed 32-bit
const uint32_t kChunk = 1u << 20;            // what a streamed file is read in
const uint64_t kDeflateProbe = 8u << 20;     // how much must shrink for deflate to go on

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

std::string PathText(const wchar_t* path) { return brx::platform::WideToUtf8(path ? path : L""); }

}  // namespace

std::string SystemErrorText(uint32_t code) {
  if (code == 0) return "unknown error";
#ifdef _WIN32
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
  if (length == 0) return "Windows error " + std::to_string(code);
  return std::string(text, length);
#else
  return strerror(static_cast<int>(code));
#endif
}

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
  if (position_ + length > kMaxArchiveEnd) {
    return Fail("the package " + output_ + " would exceed 2 GiB, the most the stub reads");
  }
  if (!file_.Write(data, static_cast<uint32_t>(length))) {
    return Fail("cannot write the package " + output_ + ": " + SystemErrorText(file_.last_error()));
  }
  position_ += length;
  if (position_ > end_) end_ = position_;
  return true;
}

bool PackageWriter::MoveTo(uint64_t position) {
  if (!file_.Seek(position)) {
    return Fail("cannot write the package " + output_ + ": " + SystemErrorText(file_.last_error()));
  }
  position_ = position;
  return true;
}

bool PackageWriter::Begin(const wchar_t* output, const std::vector<unsigned char>& stub_bytes) {
  entries_.clear();
  error_.clear();
  position_ = end_ = bytes_read_ = 0;
  output_ = PathText(output);
  if (!file_.Open(output, brx::platform::FileMode::kCreateAlways)) {
    return Fail("cannot create the package " + output_ + ": " + SystemErrorText(file_.last_error()));
  }
  return Append(stub_bytes.data(), stub_bytes.size());
}

bool PackageWriter::Begin(const wchar_t* output, const wchar_t* stub) {
  std::vector<unsigned char> bytes;
  if (stub) {
    brx::platform::File file;
    uint64_t size = 0;
    uint32_t got = 0;
    std::string where = "cannot read the stub " + PathText(stub) + ": ";
    if (!file.Open(stub, brx::platform::FileMode::kReadShared) || !file.GetSize(&size)) {
      error_ = where + SystemErrorText(file.last_error());
      return false;
    }
    if (size > kMaxArchiveEnd) {
      error_ = where + "it is larger than 2 GiB";
      return false;
    }
    bytes.resize(static_cast<size_t>(size));
    if (size != 0 && (!file.Read(bytes.data(), static_cast<uint32_t>(size), &got) || got != size)) {
      error_ = where + (got != size ? "it changed while being read" : SystemErrorText(file.last_error()));
      return false;
    }
  }
  return Begin(output, bytes);
}

void PackageWriter::WriteLocalHeader(std::vector<unsigned char>* header, const Central& c) const {
  Put32(header, 0x04034b50);
  Put16(header, c.options.method == Method::kDeflate ? 20 : 10);
  Put16(header, c.options.flags);
  Put16(header, static_cast<uint32_t>(c.options.method));
  Put16(header, c.options.dos_time);
  Put16(header, c.options.dos_date);
  Put32(header, c.crc);
  Put32(header, c.compressed);
  Put32(header, c.size);
  Put16(header, static_cast<uint32_t>(c.name.size()));
  Put16(header, 0);
  header->insert(header->end(), c.name.begin(), c.name.end());
}

bool PackageWriter::AddData(const std::string& name, const std::vector<unsigned char>& data,
                            const EntryOptions& options) {
  if (!file_.IsOpen()) return Fail("package not open");
  if (name.empty() || name.size() > 0xFFFF) return Fail("bad entry name: " + name);
  if (entries_.size() >= 0xFFFF) return Fail("too many entries: a package holds at most 65534");
  const std::vector<unsigned char>* plain = &data;
  std::vector<unsigned char> transformed;
  if (transform_ && (transform_entry_.empty() || transform_entry_ == name)) {
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
    // Deflate that does not pay (random or already compressed data, tiny
    // files) only costs the server time: such an entry is stored.
    if (deflated.size() < plain->size()) {
      stored = &deflated;
    } else {
      c.options.method = Method::kStore;
    }
  }
  c.compressed = static_cast<uint32_t>(stored->size());
  c.offset = static_cast<uint32_t>(position_);

  std::vector<unsigned char> header;
  WriteLocalHeader(&header, c);
  if (!Append(header.data(), header.size()) || !Append(stored->data(), stored->size())) return false;
  entries_.push_back(c);
  return true;
}

bool PackageWriter::CopySource(const std::string& source_text, brx::platform::File* source, uint64_t size,
                               uint32_t* crc, const std::function<bool(const unsigned char*, size_t, bool)>& sink) {
  std::unique_ptr<unsigned char[]> chunk(new unsigned char[kChunk]);
  uLong sum = crc32(0, nullptr, 0);
  uint64_t done = 0;
  if (!source->Seek(0)) return Fail("cannot read " + source_text + ": " + SystemErrorText(source->last_error()));
  while (true) {
    uint32_t got = 0;
    if (!source->Read(chunk.get(), kChunk, &got)) {
      return Fail("cannot read " + source_text + ": " + SystemErrorText(source->last_error()));
    }
    // A file that grows or shrinks meanwhile would be stored with sizes that
    // do not match its data.
    if (done + got > size || (got == 0 && done != size)) {
      return Fail("cannot read " + source_text + ": it changed while being packed");
    }
    sum = crc32(sum, chunk.get(), got);
    done += got;
    bytes_read_ += got;
    if (progress_ && got) progress_(bytes_read_);
    if (!sink(chunk.get(), got, done == size && got < kChunk)) return false;
    if (got < kChunk) break;
  }
  *crc = static_cast<uint32_t>(sum);
  return true;
}

bool PackageWriter::StreamFile(const std::string& name, const std::string& source_text, brx::platform::File* source,
                               uint64_t size, const EntryOptions& options) {
  Central c;
  c.name = name;
  c.options = options;
  c.size = static_cast<uint32_t>(size);
  c.offset = static_cast<uint32_t>(position_);
  std::vector<unsigned char> header;
  WriteLocalHeader(&header, c);  // sizes and checksum follow once known
  if (!Append(header.data(), header.size())) return false;
  uint64_t data_start = position_;

  bool deflated = false;
  bool checked = false;  // the deflate pass read the whole file and took its checksum
  if (options.method == Method::kDeflate && size > 0) {
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      return Fail("cannot compress " + name);
    }
    std::unique_ptr<unsigned char[]> out(new unsigned char[kChunk]);
    // Data that has not shrunk after the first pieces (a compressed firmware
    // image, an archive) will not: stop deflating and store it at once.
    bool gave_up = false;
    bool ok = CopySource(source_text, source, size, &c.crc, [&](const unsigned char* data, size_t length, bool last) {
      if (!last && z.total_in >= kDeflateProbe && z.total_out >= z.total_in) {
        gave_up = true;
        return false;
      }
      z.next_in = const_cast<Bytef*>(data);
      z.avail_in = static_cast<uInt>(length);
      int status = Z_OK;
      do {
        z.next_out = out.get();
        z.avail_out = kChunk;
        status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR) return Fail("cannot compress " + name);
        if (!Append(out.get(), kChunk - z.avail_out)) return false;
      } while (z.avail_out == 0 || (last && status != Z_STREAM_END));
      return true;
    });
    deflateEnd(&z);
    if (!ok && !gave_up) return false;
    checked = !gave_up;
    deflated = checked && position_ - data_start < size;
    if (!deflated && !MoveTo(data_start)) return false;
  }
  if (!deflated) {
    uint32_t crc = 0;
    if (!CopySource(source_text, source, size, &crc,
                    [&](const unsigned char* data, size_t length, bool) { return Append(data, length); })) {
      return false;
    }
    if (checked && crc != c.crc) {
      return Fail("cannot read " + source_text + ": it changed while being packed");
    }
    c.crc = crc;
    c.options.method = Method::kStore;
  }
  c.compressed = static_cast<uint32_t>(position_ - data_start);
  uint64_t next = position_;
  header.clear();
  WriteLocalHeader(&header, c);
  if (!MoveTo(c.offset) || !file_.Write(header.data(), static_cast<uint32_t>(header.size())) || !MoveTo(next)) {
    return Fail("cannot write the package " + output_ + ": " + SystemErrorText(file_.last_error()));
  }
  entries_.push_back(c);
  return true;
}

bool PackageWriter::AddFile(const std::string& name, const wchar_t* source, Method method, uint32_t flags) {
  if (!file_.IsOpen()) return Fail("package not open");
  if (name.empty() || name.size() > 0xFFFF) return Fail("bad entry name: " + name);
  if (entries_.size() >= 0xFFFF) return Fail("too many entries: a package holds at most 65534");
  std::string source_text = PathText(source) + " (entry " + name + ")";
  EntryOptions options;
  options.method = method;
  options.flags = flags;
  brx::platform::File file;
  uint64_t size = 0;
  if (!file.Open(source, brx::platform::FileMode::kReadShared) || !file.GetSize(&size)) {
    return Fail("cannot read " + source_text + ": " + SystemErrorText(file.last_error()));
  }
  if (size > kMaxArchiveEnd) return Fail("cannot pack " + source_text + ": it is larger than 2 GiB");
  if (!file.GetDosTime(&options.dos_date, &options.dos_time)) {
    return Fail("cannot read the time of " + source_text + ": " + SystemErrorText(file.last_error()));
  }
  if (!transform_ || (!transform_entry_.empty() && transform_entry_ != name)) {
    return StreamFile(name, source_text, &file, size, options);
  }
  std::vector<unsigned char> data(static_cast<size_t>(size));
  uint32_t got = 0;
  if (size != 0 && (!file.Read(data.data(), static_cast<uint32_t>(size), &got) || got != size)) {
    return Fail("cannot read " + source_text + ": " +
                (got != size ? std::string("it changed while being read") : SystemErrorText(file.last_error())));
  }
  bytes_read_ += size;
  if (progress_) progress_(bytes_read_);
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

uint64_t PackageWriter::total_size() const {
  uint64_t sum = 0;
  for (const Central& c : entries_) sum += c.size;
  return sum;
}

uint64_t PackageWriter::total_stored() const {
  uint64_t sum = 0;
  for (const Central& c : entries_) sum += c.compressed;
  return sum;
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
  // An entry stored after its deflate did not pay leaves what deflate wrote
  // beyond it; the end record must end the file.
  if (end_ > position_ && !file_.TruncateHere()) {
    return Fail("cannot write the package " + output_ + ": " + SystemErrorText(file_.last_error()));
  }
  file_.Close();
  return true;
}

}  // namespace brxpack
