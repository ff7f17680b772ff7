// Directory creation used around extraction.
#ifndef BRX_ARCHIVE_DIRECTORY_PATH_H_
#define BRX_ARCHIVE_DIRECTORY_PATH_H_

#include <stddef.h>

namespace brxzip {

// Creates `path` and every missing directory on the way. Only absolute local
// paths are accepted ("C:\..." on Windows, "/..." natively): network and
// relative paths are refused, as are paths over 263 characters. A name that
// already exists counts as success.
bool EnsureDirectoryPath(const wchar_t* path);

// Creates `path` with its missing parents, walking up from the deepest one.
// Non-zero on success (also when it already exists), 0 on failure, including
// a path whose top component can never be created (a drive that does not
// exist). With `sddl`, every directory it creates gets that access list
// (platform::MakeDirectory); existing ones are left as they are.
int CreateDirectoryPath(const wchar_t* path, const wchar_t* sddl = nullptr);

// The work behind EnsureDirectoryPath without its checks on the path: creates
// the whole path at once, or else every prefix ending at a separator from
// position `start` on. Extraction uses it for paths it has already checked
// (and for relative paths when no destination was given).
bool MakeDirectoryChain(const wchar_t* path, size_t start);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_DIRECTORY_PATH_H_
