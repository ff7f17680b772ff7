#include "support/zip_builder.h"

#include <string.h>

#include <zlib.h>

namespace brxtest {

namespace {

void Append16(std::string* b, uint32_t v) {
  b->push_back(static_cast<char>(v & 0xFF));
  b->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Append32(std::string* b, uint32_t v) {
  Append16(b, v & 0xFFFF);
  Append16(b, v >> 16);
}

void Append64(std::string* b, uint64_t v) {
  Append32(b, static_cast<uint32_t>(v));
  Append32(b, static_cast<uint32_t>(v >> 32));
}

std::string RawDeflate(const std::string& in) {
  z_stream z;
  memset(&z, 0, sizeof(z));
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, in.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}


}  // namespace

void Put16(std::string* bytes, size_t at, uint32_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string* bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

uint32_t Get32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::string ExtraField(uint32_t id, const std::string& data) {
  std::string b;
  Append16(&b, id);
  Append16(&b, static_cast<uint32_t>(data.size()));
  return b + data;
}

std::string UnicodePathField(const std::string& stored, const std::string& utf8) {
  std::string data(1, '\x01');
  Append32(&data, static_cast<uint32_t>(
                      crc32(0, reinterpret_cast<const Bytef*>(stored.data()), static_cast<uInt>(stored.size()))));
  return ExtraField(0x7075, data + utf8);
}

BuiltZip BuildZip(const std::vector<TestEntry>& entries, size_t base, const std::string& comment, bool zip64_end) {
  BuiltZip zip;
  std::string central;
  for (const TestEntry& e : entries) {
    std::string payload = e.method == 8 ? RawDeflate(e.data) : e.data;
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    size_t local = zip.bytes.size();
    zip.local_offsets.push_back(local);
    uint32_t flags = e.descriptor ? e.flags | 0x0008 : e.flags;
    bool later = e.descriptor != 0;
    std::string& b = zip.bytes;
    Append32(&b, 0x04034b50);
    Append16(&b, 20);
    Append16(&b, flags);
    Append16(&b, e.method);
    Append16(&b, e.dos_time);
    Append16(&b, e.dos_date);
    std::string local_extra = e.local_extra;
    if (e.zip64) {
      std::string sizes;
      Append64(&sizes, later ? 0 : e.data.size());
      Append64(&sizes, later ? 0 : payload.size());
      local_extra += ExtraField(0x0001, sizes);
    }
    Append32(&b, later ? 0 : crc);
    Append32(&b, e.zip64 ? 0xFFFFFFFF : later ? 0 : static_cast<uint32_t>(payload.size()));
    Append32(&b, e.zip64 ? 0xFFFFFFFF : later ? 0 : static_cast<uint32_t>(e.data.size()));
    Append16(&b, static_cast<uint32_t>(e.name.size()));
    Append16(&b, static_cast<uint32_t>(local_extra.size()));
    b += e.name;
    b += local_extra;
    b += payload;
    if (e.descriptor == 16) Append32(&b, 0x08074b50);
    if (later && e.zip64) {
      Append32(&b, crc);
      Append64(&b, payload.size());
      Append64(&b, e.data.size());
    } else if (later) {
      Append32(&b, crc);
      Append32(&b, static_cast<uint32_t>(payload.size()));
      Append32(&b, static_cast<uint32_t>(e.data.size()));
    }

    std::string c;
    Append32(&c, 0x02014b50);
    Append16(&c, e.made_by);
    Append16(&c, 20);
    Append16(&c, flags);
    Append16(&c, e.method);
    Append16(&c, e.dos_time);
    Append16(&c, e.dos_date);
    std::string central_extra = e.central_extra;
    if (e.zip64) {
      std::string values;
      Append64(&values, e.data.size());
      Append64(&values, payload.size());
      Append64(&values, base + local);
      central_extra += ExtraField(0x0001, values);
    }
    Append32(&c, crc);
    Append32(&c, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(payload.size()));
    Append32(&c, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(e.data.size()));
    Append16(&c, static_cast<uint32_t>(e.name.size()));
    Append16(&c, static_cast<uint32_t>(central_extra.size()));
    Append16(&c, 3);
    Append16(&c, 0);
    Append16(&c, 0);
    Append32(&c, e.external);
    Append32(&c, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(base + local));
    c += e.name;
    c += central_extra;
    c += "abc";  // file comment
    zip.central_offsets.push_back(central.size());
    central += c;
  }
  size_t directory = zip.bytes.size();
  for (size_t& offset : zip.central_offsets) offset += directory;
  zip.bytes += central;
  std::string& b = zip.bytes;
  if (zip64_end) {
    zip.zip64_end_offset = b.size();
    Append32(&b, 0x06064b50);
    Append64(&b, 44);
    Append16(&b, 45);
    Append16(&b, 45);
    Append32(&b, 0);
    Append32(&b, 0);
    Append64(&b, entries.size());
    Append64(&b, entries.size());
    Append64(&b, central.size());
    Append64(&b, base + directory);
    Append32(&b, 0x07064b50);
    Append32(&b, 0);
    Append64(&b, base + zip.zip64_end_offset);
    Append32(&b, 1);
  }
  zip.end_offset = zip.bytes.size();
  Append32(&b, 0x06054b50);
  Append16(&b, 0);
  Append16(&b, 0);
  Append16(&b, zip64_end ? 0xFFFF : static_cast<uint32_t>(entries.size()));
  Append16(&b, zip64_end ? 0xFFFF : static_cast<uint32_t>(entries.size()));
  Append32(&b, zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
  Append32(&b, zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(base + directory));
  Append16(&b, static_cast<uint32_t>(comment.size()));
  b += comment;
  return zip;
}

}  // namespace brxtest
