// What a path is, looked at without following links, and who owns it: what an
// elevated run checks before it writes into a folder that an ordinary user of
// the machine could have prepared.
#ifndef BRX_PLATFORM_PATH_INFO_H_
#define BRX_PLATFORM_PATH_INFO_H_

#include <string>

namespace brx {
namespace platform {

enum class PathKind {
  kMissing,
  kDirectory,
  kFile,
  kLink,     // a junction, symbolic link or other reparse point, never followed
  kUnknown,  // could not be examined
};

// Windows looks by path first (Wine shows its symbolic links only there) and
// then through a handle that does not follow a reparse point.
PathKind KindOf(const wchar_t* path);

// The owner of path itself as text: a SID ("S-1-5-32-544") on Windows,
// "uid:N" natively; empty when it cannot be read.
std::wstring OwnerOf(const wchar_t* path);

// The owner this process gives the objects it creates: on Windows the token's
// default owner (the Administrators group when elevated, SYSTEM under an
// agent), natively "uid:N" of the effective user; empty when unknown.
std::wstring ProcessOwner();

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_PATH_INFO_H_
