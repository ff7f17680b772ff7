#include "archive/entry_name.h"

#include "archive/zip_file.h"

namespace brxzip {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A component made only of dots and spaces with at least two dots resolves to
// the parent on Windows once trailing dots and spaces are trimmed.
bool IsParentLike(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

bool IsSafeEntryName(const char* name) {
  if (!name || !*name) return false;
  if (IsSeparator(name[0])) return false;
  for (const char* p = name; *p; ++p) {
    if (*p == ':') return false;
  }
  const char* component = name;
  for (const char* p = name;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      if (IsParentLike(component, p)) return false;
      if (*p == '\0') break;
      component = p + 1;
    }
  }
  return true;
}

bool IsSafeEntry(const ZIP_FileEntry& entry) {
  const uint32_t kUnixTypeMask = 0170000;
  const uint32_t kUnixSymlink = 0120000;
  const uint32_t kReparsePoint = 0x400;
  uint32_t attributes = entry.GetExternalAttributes();
  if (((attributes >> 16) & kUnixTypeMask) == kUnixSymlink) return false;
  if (attributes & kReparsePoint) return false;
  return IsSafeEntryName(entry.GetName());
}

}  // namespace brxzip
