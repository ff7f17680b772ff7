#include "archive/entry_name.h"

#include "archive/zip_file.h"
#include "platform/codepage.h"

namespace brxzip {

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// A component made only of dots and blanks with at least two dots resolves to
// the parent on Windows once trailing dots and blanks are trimmed.
bool IsParentLike(const std::wstring& component) {
  int dots = 0;
  for (wchar_t c : component) {
    if (c == L'.') {
      ++dots;
    } else if (c != L' ') {
      return false;
    }
  }
  return dots >= 2;
}

bool EqualsAsciiIgnoringCase(const std::wstring& text, const char* wanted) {
  size_t i = 0;
  for (; wanted[i]; ++i) {
    if (i >= text.size()) return false;
    wchar_t c = text[i];
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (c != static_cast<wchar_t>(wanted[i])) return false;
  }
  return i == text.size();
}

bool IsDeviceDigit(wchar_t c) {
  // Windows also accepts the superscript digits one, two and three.
  return (c >= L'0' && c <= L'9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

// Windows decides on the part before the first dot, blanks at its end
// trimmed, so "nul.log", "NUL .txt" and "com1.tar.gz" all open a device.
bool IsDeviceName(const std::wstring& component) {
  std::wstring base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsAsciiIgnoringCase(base, device)) return true;
  }
  if (base.size() != 4 || !IsDeviceDigit(base[3])) return false;
  std::wstring prefix = base.substr(0, 3);
  return EqualsAsciiIgnoringCase(prefix, "COM") || EqualsAsciiIgnoringCase(prefix, "LPT");
}

bool IsInvalidNameCharacter(wchar_t c) {
  return (c >= 1 && c < 0x20) || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

EntryRefusal CheckComponent(const std::wstring& component) {
  if (component.empty() || component == L".") return EntryRefusal::kNone;
  if (IsParentLike(component)) return EntryRefusal::kUnsafeName;
  if (IsDeviceName(component)) return EntryRefusal::kDeviceName;
  wchar_t last = component.back();
  if (last == L'.' || last == L' ') return EntryRefusal::kAliasedName;
  return EntryRefusal::kNone;
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

bool IsFolderName(const std::wstring& name) { return !name.empty() && IsSeparator(name.back()); }

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
  if (!name) return EntryRefusal::kUnsafeName;
  std::wstring wide(name);
  if (wide.empty() || IsSeparator(wide[0])) return EntryRefusal::kUnsafeName;
  // A colon names a drive ("C:x"), an NTFS stream ("a:s") or a device ("CON:").
  if (wide.find(L':') != std::wstring::npos) return EntryRefusal::kUnsafeName;
  // Every component is judged; the worst reason found first wins.
  for (const std::wstring& component : EntryNameComponents(wide)) {
    EntryRefusal reason = CheckComponent(component);
    if (reason != EntryRefusal::kNone) return reason;
  }
  for (wchar_t c : wide) {
    if (IsInvalidNameCharacter(c)) return EntryRefusal::kInvalidCharacter;
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
  std::vector<std::wstring> components = EntryNameComponents(name);
  auto inserted = names_.emplace(EntryNameKey(components, components.size()), name);
  if (inserted.second) return EntryRefusal::kNone;
  // The same folder named twice creates it once; nothing is replaced.
  if (IsFolderName(inserted.first->second) && IsFolderName(name)) return EntryRefusal::kNone;
  if (earlier) *earlier = inserted.first->second;
  return EntryRefusal::kDuplicateName;
}

std::vector<RefusedEntry> FindRefusedEntries(const ZIP_File& archive) {
  std::vector<RefusedEntry> refused;
  EntryNameSet names;
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    const ZIP_FileEntry* entry = archive.GetEntryAt(i);
    EntryRefusal reason = CheckEntry(*entry);
    std::wstring earlier;
    EntryRefusal duplicate = names.Add(entry->GetTargetName(), &earlier);
    if (reason == EntryRefusal::kNone) reason = duplicate;
    if (reason == EntryRefusal::kNone) continue;
    const wchar_t* name = entry->GetTargetName();
    refused.push_back({i, name ? name : L"", reason, reason == EntryRefusal::kDuplicateName ? earlier : L""});
  }
  return refused;
}

}  // namespace brxzip
