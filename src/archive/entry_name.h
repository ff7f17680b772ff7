// Which archive entry names may be written to disk.
#ifndef BRX_ARCHIVE_ENTRY_NAME_H_
#define BRX_ARCHIVE_ENTRY_NAME_H_

#include <stdint.h>

namespace brxzip {

class ZIP_FileEntry;

// True when writing the entry below a destination directory cannot touch
// anything outside it. Refused: no name; absolute names ("/x", "\x"), drive
// names ("C:x"), UNC names ("\\server\share"), any ':' (which on NTFS would
// name an alternate data stream or a device), a component of two or more dots
// and nothing else (".." climbs out; Windows trims "..." and ". ." to it), and
// entries whose attributes mark a symbolic link or reparse point (a link
// written as a file and followed later would redirect writes).
bool IsSafeEntryName(const char* name);
bool IsSafeEntry(const ZIP_FileEntry& entry);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_ENTRY_NAME_H_
