// Which archive entries the stub refuses to write to disk, and why.
//
// The stub runs elevated on packages that crossed a network, so every entry
// name is hostile until checked. One set of rules serves the extraction's
// whole-archive pre-check, `brxpack build` (a package the stub would refuse is
// never built) and `brxpack inspect` (which lists each refused entry).
#ifndef BRX_ARCHIVE_ENTRY_NAME_H_
#define BRX_ARCHIVE_ENTRY_NAME_H_

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace brxzip {

class ZIP_File;
class ZIP_FileEntry;

enum class EntryRefusal {
  kNone,
  // No name, an absolute, drive or UNC name, any ':' (an NTFS stream or a
  // device), or a component of dots and blanks with two or more dots
  // ("..", "...", ". .": Windows trims them to the parent).
  kUnsafeName,
  // The attributes mark a symbolic link or reparse point: written as a file
  // and followed later, it would redirect writes.
  kLink,
  // A component Windows opens as a device whatever the directory: CON, PRN,
  // AUX, NUL, COM0-COM9, LPT0-LPT9 (also with the superscript digits 1, 2, 3),
  // CONIN$, CONOUT$; in any letter case, with any extension, with trailing
  // blanks before the extension.
  kDeviceName,
  // A component Windows stores under another name: one ending in a dot or a
  // blank ("a.txt." is "a.txt"). Names in the form of a generated 8.3 short
  // name ("FLASH~1.BIN") are accepted: packages of DOS-era tools carry them.
  // Where one does name a file another entry wrote (the short name of a long
  // name), the extraction finds that through the file's identity and
  // refuses the package then, naming both entries.
  kAliasedName,
  // Equal to an earlier entry's name ignoring letter case, with '/' and '\'
  // alike and empty and "." components dropped: one file would silently
  // replace the other, so the file that was checked may not be the one that
  // stays on disk. Two file entries of one name are refused even when their
  // bytes agree (the archive says nothing a reader can trust about that
  // before reading both); a folder named twice ("drivers/" and "drivers/",
  // which some archivers write) is no duplicate.
  kDuplicateName,
  // General-purpose flag bit 0 (traditional encryption), bit 6 (strong
  // encryption) or bit 13 (encrypted central directory): not supported, and
  // the ciphertext must never land on disk.
  kEncrypted,
  // A character Windows allows in no file name: a control character (U+0001
  // to U+001F) or one of < > " | ? *. The file cannot be created on any
  // server, so the install would fail halfway through every time.
  kInvalidCharacter,
};

// The components of a name, '/' and '\\' alike (empty ones included), and
// the first `count` of them as Windows compares names: upper-cased, empty and
// "." components dropped.
std::vector<std::wstring> EntryNameComponents(const std::wstring& name);
std::wstring EntryNameKey(const std::vector<std::wstring>& components, size_t count);

// A short English reason ("Windows device name"), for logs and tools.
const char* DescribeEntryRefusal(EntryRefusal reason);

// The rules that look at one name alone (kUnsafeName, kDeviceName,
// kAliasedName, kInvalidCharacter), on the decoded name that would be written. A directory
// entry's trailing separator is allowed. The narrow form takes text in the
// ANSI code page.
EntryRefusal CheckEntryName(const wchar_t* name);
EntryRefusal CheckEntryName(const char* name);

// The rules that look at one entry alone: its name, link attributes and
// encryption flags.
EntryRefusal CheckEntry(const ZIP_FileEntry& entry);

// Names as Windows would compare them, for duplicate detection.
class EntryNameSet {
 public:
  // kDuplicateName when an equal name was added before, unless both are
  // folders; kNone otherwise. `earlier` (optional) gets the earlier name.
  EntryRefusal Add(const wchar_t* name, std::wstring* earlier = nullptr);
  EntryRefusal Add(const char* name, std::wstring* earlier = nullptr);  // in the ANSI code page

 private:
  std::map<std::wstring, std::wstring> names_;  // by comparison key
};

struct RefusedEntry {
  uint64_t index;           // zero-based position in the archive
  std::wstring name;        // the entry's decoded name (empty when none)
  EntryRefusal reason;      // never kNone
  std::wstring other_name;  // for kDuplicateName: the earlier entry's name
};

// Entries whose 8.3-form name could be the short name Windows gives a long
// name of another entry in the same folder ("FLASH~1.BIN" and "Flash
// utility.bin"): the extraction refuses such a package on a volume that
// makes short names. For brxpack's warnings.
// Names are the decoded names that would be written.
struct PossibleCollision {
  std::wstring short_form;
  std::wstring long_name;
};
std::vector<PossibleCollision> FindPossibleShortNameCollisions(const std::vector<std::wstring>& names);

// Every entry of an open archive that the stub refuses, in archive order, the
// first reason found for each. Empty when extraction may go ahead.
std::vector<RefusedEntry> FindRefusedEntries(const ZIP_File& archive);

// Shorthands kept for callers that need only a yes or no.
inline bool IsSafeEntryName(const char* name) { return CheckEntryName(name) == EntryRefusal::kNone; }
inline bool IsSafeEntry(const ZIP_FileEntry& entry) { return CheckEntry(entry) == EntryRefusal::kNone; }

}  // namespace brxzip

#endif  // BRX_ARCHIVE_ENTRY_NAME_H_
