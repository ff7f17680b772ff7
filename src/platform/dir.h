// Directories as the extraction code uses them.
#ifndef BRX_PLATFORM_DIR_H_
#define BRX_PLATFORM_DIR_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace brx {
namespace platform {

enum class MakeDirectoryResult {
  kCreated,
  kExists,        // a directory or file of that name exists
  kPathNotFound,  // a parent is missing
  kNameTooLong,
  kFailed,        // anything else (access denied, invalid name, ...)
};

// Creates one directory (its parent must exist).
MakeDirectoryResult MakeDirectory(const wchar_t* path);
// The same with the access list `sddl` (SDDL text) given at creation, so the
// directory is never reachable with inherited rights; a list that cannot be
// built fails. Natively the list is not used: the directory gets mode 0755.
MakeDirectoryResult MakeDirectory(const wchar_t* path, const wchar_t* sddl);

// Length of the root of an absolute local path: 3 for "C:\" on Windows, 1 for
// "/" natively; 0 for relative and network paths.
size_t LocalRootLength(const wchar_t* path);

// Both separators are accepted everywhere: archive names use '/', Windows '\\'.
inline bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The process's current directory, without a trailing separator (except a
// root); empty when it cannot be read.
std::wstring CurrentDirectory();

// Bytes available to the caller on the volume of `directory` (the current
// directory when null); false when the query fails.
bool GetFreeDiskSpace(const wchar_t* directory, uint64_t* bytes);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_DIR_H_
