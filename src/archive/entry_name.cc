#include "archive/entry_name.h"

#include <wchar.h>

#include <algorithm>
#include <utility>

#include "archive/zip_file.h"
#include "platform/codepage.h"

namespace brxzip {

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// The rules below look at one component, [begin, end) of a name, in place:
// a listing checks every name of an archive, so a check allocates nothing
// and reads each character a fixed number of times.

// A component made only of dots and blanks with at least two dots resolves to
// the parent on Windows once trailing dots and blanks are trimmed.
bool IsParentLike(const wchar_t* begin, const wchar_t* end) {
  int dots = 0;
  for (const wchar_t* p = begin; p != end; ++p) {
    if (*p == L'.') {
      ++dots;
    } else if (*p != L' ') {
      return false;
    }
  }
  return dots >= 2;
}

bool EqualsAsciiIgnoringCase(const wchar_t* begin, const wchar_t* end, const char* wanted) {
  const wchar_t* p = begin;
  for (; *wanted; ++wanted, ++p) {
    if (p == end) return false;
    wchar_t c = *p;
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (c != static_cast<wchar_t>(*wanted)) return false;
  }
  return p == end;
}

bool IsDeviceDigit(wchar_t c) {
  // Windows also accepts the superscript digits one, two and three.
  return (c >= L'0' && c <= L'9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

// Windows decides on the part before the first dot, blanks at its end
// trimmed, so "nul.log", "NUL .txt" and "com1.tar.gz" all open a device.
bool IsDeviceName(const wchar_t* begin, const wchar_t* end) {
  const wchar_t* base_end = begin;
  while (base_end != end && *base_end != L'.') ++base_end;
  while (base_end != begin && base_end[-1] == L' ') --base_end;
  // Every device name has three, four, six or seven characters.
  const ptrdiff_t length = base_end - begin;
  if (length != 3 && length != 4 && length != 6 && length != 7) return false;
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsAsciiIgnoringCase(begin, base_end, device)) return true;
  }
  if (base_end - begin != 4 || !IsDeviceDigit(begin[3])) return false;
  return EqualsAsciiIgnoringCase(begin, begin + 3, "COM") || EqualsAsciiIgnoringCase(begin, begin + 3, "LPT");
}

bool IsInvalidNameCharacter(wchar_t c) {
  return (c >= 1 && c < 0x20) || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

EntryRefusal CheckComponent(const wchar_t* begin, const wchar_t* end) {
  if (begin == end || (end - begin == 1 && *begin == L'.')) return EntryRefusal::kNone;
  if (IsParentLike(begin, end)) return EntryRefusal::kUnsafeName;
  if (IsDeviceName(begin, end)) return EntryRefusal::kDeviceName;
  wchar_t last = end[-1];
  if (last == L'.' || last == L' ') return EntryRefusal::kAliasedName;
  return EntryRefusal::kNone;
}

bool IsAscii(const wchar_t* name) {
  for (; *name; ++name) {
    if (static_cast<uint32_t>(*name) >= 0x80) return false;
  }
  return true;
}

// Hands each character of a name's comparison key to `emit`, in order: its
// components as EntryNameKey keeps them, joined by '/' (without EntryNameKey's
// closing one: the same names are equal). An ASCII name (nearly every name)
// is upper-cased here, as every mapping of names does it; any other goes
// through the platform's mapping, whole, so both agree on which names are
// one. Nothing is allocated for an ASCII name.
template <typename Emit>
void EmitNameKey(const wchar_t* name, Emit emit) {
  std::wstring mapped;
  if (!IsAscii(name)) {
    mapped = brx::platform::UpperCaseForNames(name);
    name = mapped.c_str();
  }
  bool first = true;
  for (const wchar_t* begin = name;;) {
    const wchar_t* end = begin;
    while (*end && !IsSeparator(*end)) ++end;
    size_t size = static_cast<size_t>(end - begin);
    if (size != 0 && !(size == 1 && *begin == L'.')) {
      if (!first) emit(L'/');
      first = false;
      for (const wchar_t* c = begin; c != end; ++c) {
        emit(*c >= L'a' && *c <= L'z' ? static_cast<wchar_t>(*c - L'a' + L'A') : *c);
      }
    }
    if (!*end) break;
    begin = end + 1;
  }
}

std::wstring NameKey(const wchar_t* name) {
  std::wstring key;
  EmitNameKey(name, [&key](wchar_t c) { key.push_back(c); });
  return key;
}

uint64_t NameKeyHash(const wchar_t* name) {
  uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  EmitNameKey(name, [&hash](wchar_t c) { hash = (hash ^ static_cast<uint32_t>(c)) * 0x100000001b3ull; });
  return hash;
}

}  // namespace

// Components of a name with '/' and '\' alike.
std::vector<std::wstring> EntryNameComponents(const std::wstring& name) {
  std::vector<std::wstring> parts(1);
  for (wchar_t c : name) {
    if (IsSeparator(c)) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}


// A name as Windows compares it: components upper-cased, '/' and '\\'
// alike, empty and "." components dropped.
std::wstring EntryNameKey(const std::vector<std::wstring>& components, size_t count) {
  std::wstring key;
  for (size_t i = 0; i < count && i < components.size(); ++i) {
    if (components[i].empty() || components[i] == L".") continue;
    key += brx::platform::UpperCaseForNames(components[i]);
    key.push_back(L'/');
  }
  return key;
}

namespace {

bool IsFolderName(const wchar_t* name) {
  size_t length = wcslen(name);
  return length != 0 && IsSeparator(name[length - 1]);
}

}  // namespace

const char* DescribeEntryRefusal(EntryRefusal reason) {
  switch (reason) {
    case EntryRefusal::kNone: return "accepted";
    case EntryRefusal::kUnsafeName: return "unsafe name (absolute, drive, stream or parent-directory path)";
    case EntryRefusal::kLink: return "symbolic link or reparse point";
    case EntryRefusal::kDeviceName: return "Windows device name";
    case EntryRefusal::kAliasedName: return "name Windows stores under another name (trailing dot or blank)";
    case EntryRefusal::kDuplicateName: return "same name as an earlier entry, ignoring case and separators";
    case EntryRefusal::kEncrypted: return "encrypted entry";
    case EntryRefusal::kInvalidCharacter:
      return "character Windows allows in no file name (a control character or one of < > \" | ? *)";
  }
  return "refused";
}

EntryRefusal CheckEntryName(const char* name) {
  if (!name) return EntryRefusal::kUnsafeName;
  return CheckEntryName(brx::platform::AnsiToWide(std::string(name)).c_str());
}

EntryRefusal CheckEntryName(const wchar_t* name) {
  if (!name || !*name || IsSeparator(name[0])) return EntryRefusal::kUnsafeName;
  // A colon names a drive ("C:x"), an NTFS stream ("a:s") or a device ("CON:").
  if (wcschr(name, L':')) return EntryRefusal::kUnsafeName;
  // Every component is judged, in order; the first reason found wins.
  const wchar_t* begin = name;
  for (;;) {
    const wchar_t* end = begin;
    while (*end && !IsSeparator(*end)) ++end;
    EntryRefusal reason = CheckComponent(begin, end);
    if (reason != EntryRefusal::kNone) return reason;
    if (!*end) break;
    begin = end + 1;
  }
  for (const wchar_t* c = name; *c; ++c) {
    if (IsInvalidNameCharacter(*c)) return EntryRefusal::kInvalidCharacter;
  }
  return EntryRefusal::kNone;
}

EntryRefusal CheckEntry(const ZIP_FileEntry& entry) {
  const uint32_t kUnixTypeMask = 0170000;
  const uint32_t kUnixSymlink = 0120000;
  const uint32_t kReparsePoint = 0x400;
  const uint32_t kEncryptionFlags = 0x0001 | 0x0040 | 0x2000;
  uint32_t attributes = entry.GetExternalAttributes();
  if (((attributes >> 16) & kUnixTypeMask) == kUnixSymlink) return EntryRefusal::kLink;
  if (attributes & kReparsePoint) return EntryRefusal::kLink;
  if (entry.GetFlags() & kEncryptionFlags) return EntryRefusal::kEncrypted;
  return CheckEntryName(entry.GetTargetName());
}

EntryRefusal EntryNameSet::Add(const char* name, std::wstring* earlier) {
  if (!name) return EntryRefusal::kNone;
  return Add(brx::platform::AnsiToWide(std::string(name)).c_str(), earlier);
}

EntryRefusal EntryNameSet::Add(const wchar_t* name, std::wstring* earlier) {
  if (!name) return EntryRefusal::kNone;
  auto inserted = names_.emplace(NameKey(name), name);
  if (inserted.second) return EntryRefusal::kNone;
  // The same folder named twice creates it once; nothing is replaced.
  if (IsFolderName(inserted.first->second.c_str()) && IsFolderName(name)) return EntryRefusal::kNone;
  if (earlier) *earlier = inserted.first->second;
  return EntryRefusal::kDuplicateName;
}

std::vector<RefusedEntry> FindRefusedEntries(const ZIP_File& archive) {
  std::vector<RefusedEntry> refused;
  // EntryNameSet's rule for a whole archive at once: the named entries sorted
  // by the hash of their key, then the key itself, then position, so equal
  // keys lie together, the earliest entry first. Keys are built only for
  // entries whose hashes are equal, so a listing of many names touches little
  // memory. A sort rather than a hash table: its cost stays bounded whatever
  // names an attacker picks (keys of one hash are merely compared in full).
  const uint64_t count = archive.GetEntryCount();
  typedef std::pair<uint64_t, size_t> Named;  // (hash of the key, entry)
  std::vector<Named> named;
  named.reserve(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count; ++i) {
    if (const wchar_t* name = archive.GetEntryAt(i)->GetTargetName()) {
      named.emplace_back(NameKeyHash(name), static_cast<size_t>(i));
    }
  }
  auto compare_keys = [&archive](size_t a, size_t b) {
    return NameKey(archive.GetEntryAt(a)->GetTargetName()).compare(NameKey(archive.GetEntryAt(b)->GetTargetName()));
  };
  std::sort(named.begin(), named.end(), [&](const Named& a, const Named& b) {
    if (a.first != b.first) return a.first < b.first;
    int order = compare_keys(a.second, b.second);
    return order != 0 ? order < 0 : a.second < b.second;
  });
  std::vector<uint64_t> first_of_key(static_cast<size_t>(count));
  for (size_t k = 0; k < named.size(); ++k) {
    size_t entry = named[k].second;
    bool starts_group =
        k == 0 || named[k - 1].first != named[k].first || compare_keys(named[k - 1].second, entry) != 0;
    first_of_key[entry] = starts_group ? entry : first_of_key[named[k - 1].second];
  }
  for (uint64_t i = 0; i < count; ++i) {
    const ZIP_FileEntry* entry = archive.GetEntryAt(i);
    const wchar_t* name = entry->GetTargetName();
    EntryRefusal reason = CheckEntry(*entry);
    const wchar_t* earlier = nullptr;
    if (name && first_of_key[static_cast<size_t>(i)] != i) {
      const wchar_t* first = archive.GetEntryAt(first_of_key[static_cast<size_t>(i)])->GetTargetName();
      // The same folder named twice creates it once; nothing is replaced.
      if (!(IsFolderName(first) && IsFolderName(name))) {
        earlier = first;
        if (reason == EntryRefusal::kNone) reason = EntryRefusal::kDuplicateName;
      }
    }
    if (reason == EntryRefusal::kNone) continue;
    refused.push_back({i, name ? name : L"", reason,
                       reason == EntryRefusal::kDuplicateName ? std::wstring(earlier) : std::wstring()});
  }
  return refused;
}

}  // namespace brxzip
