#include "brxpack/stub_version.h"

#include <stdint.h>

#include "platform/file.h"

namespace brxpack {

namespace {

const uint32_t kHeaderBytes = 4096;
const uint32_t kMaxResourceBytes = 64 * 1024;
const uint32_t kResourceDirectory = 2;
const uint32_t kVersionType = 16;  // RT_VERSION
const char kLibraryPrefix[] = "Library ";

// Little-endian fields of a buffer; anything past its end reads as 0.
class Bytes {
 public:
  std::string data;
  uint32_t U16(uint64_t at) const { return at + 2 <= data.size() ? Byte(at) | Byte(at + 1) << 8 : 0; }
  uint32_t U32(uint64_t at) const { return at + 4 <= data.size() ? U16(at) | U16(at + 2) << 16 : 0; }

 private:
  uint32_t Byte(uint64_t at) const { return static_cast<unsigned char>(data[at]); }
};

bool ReadAt(brx::platform::File* file, uint64_t at, uint32_t length, Bytes* out) {
  out->data.assign(length, '\0');
  uint32_t got = 0;
  if (!file->ReadAt(at, &out->data[0], length, &got)) return false;
  out->data.resize(got);
  return true;
}

// The UTF-16 text at `at` up to its terminator or `end`, as ASCII ('?' for
// anything else: the strings are version numbers and package names).
std::string Text(const Bytes& b, uint64_t at, uint64_t end, uint64_t* after) {
  std::string text;
  while (at + 2 <= end) {
    uint32_t c = b.U16(at);
    at += 2;
    if (c == 0) break;
    text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  *after = at;
  return text;
}

uint64_t Align4(uint64_t at) { return (at + 3) & ~static_cast<uint64_t>(3); }

// One block of the version resource: { wLength, wValueLength, wType, key,
// padding, value, padding, children }.
struct Block {
  uint64_t start = 0, end = 0, value = 0, children = 0;
  uint32_t value_length = 0, type = 0;
  std::string key;
};

bool ReadBlock(const Bytes& b, uint64_t at, uint64_t limit, Block* block) {
  uint32_t length = b.U16(at);
  if (length < 6 || at + length > limit) return false;
  block->start = at;
  block->end = at + length;
  block->value_length = b.U16(at + 2);
  block->type = b.U16(at + 4);
  uint64_t after = 0;
  block->key = Text(b, at + 6, block->end, &after);
  block->value = Align4(after);
  // Text values count characters, binary ones bytes.
  uint64_t value_bytes = block->type == 1 ? 2ull * block->value_length : block->value_length;
  block->children = Align4(block->value + value_bytes);
  return block->value <= block->end;
}

// The first resource directory entry with `id` (or any, when id is 0), as
// the offset it points at inside the resource section.
bool Entry(const Bytes& rsrc, uint64_t directory, uint32_t id, uint32_t* offset) {
  uint32_t count = rsrc.U16(directory + 12) + rsrc.U16(directory + 14);
  for (uint32_t i = 0; i < count && i < 256; ++i) {
    uint64_t entry = directory + 16 + 8ull * i;
    if (id != 0 && rsrc.U32(entry) != id) continue;
    *offset = rsrc.U32(entry + 4);
    return entry + 8 <= rsrc.data.size();
  }
  return false;
}

}  // namespace

StubVersion ReadStubVersion(brx::platform::File* file) {
  StubVersion result;
  Bytes headers;
  if (!ReadAt(file, 0, kHeaderBytes, &headers) || headers.U16(0) != 0x5A4D) return result;
  uint64_t pe = headers.U32(0x3C);
  if (headers.U32(pe) != 0x00004550) return result;
  uint32_t sections = headers.U16(pe + 6);
  uint32_t optional_size = headers.U16(pe + 20);
  uint64_t optional = pe + 24;
  uint32_t magic = headers.U16(optional);
  uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
  if (magic != 0x20B && magic != 0x10B) return result;
  if (headers.U32(directories - 4) <= kResourceDirectory) return result;
  uint32_t rsrc_rva = headers.U32(directories + 8 * kResourceDirectory);

  // The section holding the resource directory maps its addresses to file offsets.
  Bytes rsrc;
  uint32_t rsrc_base = 0;
  for (uint32_t i = 0; i < sections && i < 96; ++i) {
    uint64_t s = optional + optional_size + 40ull * i;
    uint32_t va = headers.U32(s + 12), raw_size = headers.U32(s + 16), raw = headers.U32(s + 20);
    if (rsrc_rva < va || rsrc_rva >= va + raw_size) continue;
    uint32_t length = raw_size - (rsrc_rva - va);
    if (!ReadAt(file, raw + (rsrc_rva - va), length < kMaxResourceBytes ? length : kMaxResourceBytes, &rsrc)) {
      return result;
    }
    rsrc_base = rsrc_rva;
    break;
  }
  if (rsrc.data.empty()) return result;

  // Type, name and language levels, high bit set on each subdirectory.
  uint32_t at = 0;
  if (!Entry(rsrc, 0, kVersionType, &at) || !(at & 0x80000000u)) return result;
  if (!Entry(rsrc, at & 0x7FFFFFFFu, 0, &at) || !(at & 0x80000000u)) return result;
  if (!Entry(rsrc, at & 0x7FFFFFFFu, 0, &at) || (at & 0x80000000u)) return result;
  uint32_t data_rva = rsrc.U32(at), data_size = rsrc.U32(at + 4);
  if (data_rva < rsrc_base || data_rva - rsrc_base + static_cast<uint64_t>(data_size) > rsrc.data.size()) {
    return result;
  }
  Bytes info;
  info.data = rsrc.data.substr(data_rva - rsrc_base, data_size);

  Block root;
  if (!ReadBlock(info, 0, info.data.size(), &root) || root.key != "VS_VERSION_INFO") return result;
  for (uint64_t a = root.children; a < root.end;) {
    Block file_info;
    if (!ReadBlock(info, a, root.end, &file_info)) break;
    a = Align4(file_info.end);
    if (file_info.key != "StringFileInfo") continue;
    Block table;  // the first string table: the only language the stub has
    if (!ReadBlock(info, file_info.children, file_info.end, &table)) break;
    for (uint64_t s = table.children; s < table.end;) {
      Block string;
      if (!ReadBlock(info, s, table.end, &string)) break;
      s = Align4(string.end);
      uint64_t after = 0;
      std::string value = Text(info, string.value, string.end, &after);
      result.found = true;
      if (string.key == "FileVersion") result.version = value;
      if (string.key.compare(0, sizeof(kLibraryPrefix) - 1, kLibraryPrefix) == 0) {
        result.libraries.emplace_back(string.key.substr(sizeof(kLibraryPrefix) - 1), value);
      }
    }
  }
  return result;
}

}  // namespace brxpack
