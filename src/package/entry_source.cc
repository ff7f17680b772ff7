#include "package/entry_source.h"

#include <string.h>
#include <wctype.h>

#include <new>

namespace brx {

EntryRead ReadWholeEntry(PackageEntrySource* source, const wchar_t* name, EntryBuffer* out) {
  out->data.reset();
  out->size = 0;
  uint64_t size = 0;
  if (!name || !source->FindEntry(name, &size)) return EntryRead::kAbsent;
  if (size == 0) return EntryRead::kRead;
  if (size > SIZE_MAX) return EntryRead::kFailed;
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!data || !source->ReadEntry(name, data.get(), size)) return EntryRead::kFailed;
  out->data = std::move(data);
  out->size = static_cast<size_t>(size);
  return EntryRead::kRead;
}

const std::string* MemoryEntrySource::Find(const wchar_t* name) const {
  for (const auto& entry : entries_) {
    const std::wstring& n = entry.first;
    size_t i = 0;
    while (i < n.size() && name[i] && towlower(n[i]) == towlower(name[i])) ++i;
    if (i == n.size() && name[i] == L'\0') return &entry.second;
  }
  return nullptr;
}

bool MemoryEntrySource::FindEntry(const wchar_t* name, uint64_t* size) {
  const std::string* bytes = Find(name);
  if (!bytes) return false;
  *size = bytes->size();
  return true;
}

bool MemoryEntrySource::ReadEntry(const wchar_t* name, void* destination, uint64_t size) {
  const std::string* bytes = Find(name);
  if (!bytes || size != bytes->size()) return false;
  memcpy(destination, bytes->data(), bytes->size());
  return true;
}

}  // namespace brx
