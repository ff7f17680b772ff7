// Where the package reads its files from. LoadPackage reads them out of the
// appended archive; the same loading steps run over entries held in memory
// when a caller (the package builder's checks, tests, fuzzing) has them
// already.
#ifndef BRX_PACKAGE_ENTRY_SOURCE_H_
#define BRX_PACKAGE_ENTRY_SOURCE_H_

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brx {

class PackageEntrySource {
 public:
  virtual ~PackageEntrySource() = default;
  // The uncompressed size of the entry named `name` (names compare ignoring
  // letter case); false when there is no such entry.
  virtual bool FindEntry(const wchar_t* name, uint64_t* size) = 0;
  // Fills `destination` with the whole entry, exactly `size` bytes.
  virtual bool ReadEntry(const wchar_t* name, void* destination, uint64_t size) = 0;
};

// A whole entry read into memory; allocation failure is a result, not an
// exception.
struct EntryBuffer {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
};

enum class EntryRead { kRead, kAbsent, kFailed };

// Reads the named entry whole. An empty entry reads as an empty buffer.
EntryRead ReadWholeEntry(PackageEntrySource* source, const wchar_t* name, EntryBuffer* out);

// Entries held in memory, in insertion order.
class MemoryEntrySource : public PackageEntrySource {
 public:
  void Add(const std::wstring& name, std::string bytes) {
    entries_.emplace_back(name, std::move(bytes));
  }
  bool FindEntry(const wchar_t* name, uint64_t* size) override;
  bool ReadEntry(const wchar_t* name, void* destination, uint64_t size) override;

 private:
  const std::string* Find(const wchar_t* name) const;
  std::vector<std::pair<std::wstring, std::string>> entries_;
};

}  // namespace brx

#endif  // BRX_PACKAGE_ENTRY_SOURCE_H_
