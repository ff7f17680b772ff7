#include "archive/entry_name_decoding.h"

#include <string.h>

#include <zlib.h>

#include "archive/little_endian.h"
#include "platform/codepage.h"
#include "platform/utf8.h"

namespace brxzip {

namespace {

const uint32_t kUnicodePathId = 0x7075;
const unsigned char kUnicodePathVersion = 1;

// The UTF-8 name of the first Unicode Path field that belongs to `stored`;
// false when there is none. A field cut off by the end of the extra data ends
// the search, as for other readers.
bool FindUnicodePath(const std::string& extra, const std::string& stored, std::string* utf8) {
  for (size_t at = 0; extra.size() - at >= 4;) {
    uint32_t id = ReadLe16(extra, at);
    size_t size = ReadLe16(extra, at + 2);
    at += 4;
    if (extra.size() - at < size) return false;
    if (id == kUnicodePathId && size >= 5) {
      if (static_cast<unsigned char>(extra[at]) != kUnicodePathVersion) return false;
      uint32_t crc = static_cast<uint32_t>(
          crc32(0, reinterpret_cast<const Bytef*>(stored.data()), static_cast<uInt>(stored.size())));
      // A stale field (the entry renamed by a tool that kept it) is ignored.
      if (ReadLe32(extra, at + 1) != crc) return false;
      utf8->assign(extra, at + 5, size - 5);
      return true;
    }
    at += size;
  }
  return false;
}

std::string UpToZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace

bool HasUnicodePathField(const std::string& extra) {
  for (size_t at = 0; extra.size() - at >= 4;) {
    if (ReadLe16(extra, at) == kUnicodePathId) return true;
    at += 4 + ReadLe16(extra, at + 2);
    if (at > extra.size()) return false;
  }
  return false;
}

bool IsAsciiName(const std::string& name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool DecodeEntryName(uint32_t flags, const std::string& stored, const std::string& extra, uint32_t code_page,
                     std::wstring* name, NameEncoding* encoding) {
  std::string utf8;
  if (flags & kUtf8NameFlag) {
    *encoding = NameEncoding::kUtf8Flag;
    utf8 = UpToZero(stored);
  } else if (FindUnicodePath(extra, stored, &utf8)) {
    *encoding = NameEncoding::kUnicodePathField;
    utf8 = UpToZero(utf8);
  } else {
    *encoding = NameEncoding::kCodePage;
    const char* bytes = stored.c_str();
    const size_t length = strlen(bytes);
    // ASCII reads the same in every ANSI code page (the double-byte ones too):
    // most names need no conversion at all.
    size_t ascii = 0;
    while (ascii < length && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
    if (ascii == length) {
      name->resize(length);
      for (size_t i = 0; i < length; ++i) (*name)[i] = static_cast<wchar_t>(bytes[i]);
    } else {
      *name = brx::platform::CodePageToWide(code_page, bytes, length);
    }
    return true;
  }
  // Ill-formed UTF-8 has no one reading: each tool would repair it its own way.
  return brx::platform::Utf8ToWide(utf8.data(), utf8.size(), name);
}

}  // namespace brxzip
