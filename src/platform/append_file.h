// A file that is only ever appended to, shared with other processes.
//
// Open creates a missing file and keeps an existing one (never truncates). It
// refuses a name that is a junction or symbolic link, and a file that has
// another hard link.
// Each Append lands at the end of the file as it is at that moment: on
// Windows the handle has append-only data access and writers serialise on a
// byte-range lock beyond the end of the file; natively the file is opened with
// O_APPEND. Two processes appending at once therefore neither overwrite nor
// split each other's writes. The wait for that lock is bounded (LockWait):
// a process that holds it for good delays a writer by a few seconds once,
// after which the writes go out without it.
#ifndef BRX_PLATFORM_APPEND_FILE_H_
#define BRX_PLATFORM_APPEND_FILE_H_

#include <stddef.h>
#include <stdint.h>

#include "platform/lock_wait.h"

namespace brx {
namespace platform {

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { Close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens (creating if missing) with read and append access, shared for
  // reading and writing. Closes a file opened before. False on failure.
  bool Open(const wchar_t* path);
  bool IsOpen() const;
  void Close();
  // Writes all bytes at the end of the file; false when the write failed or
  // was short (the caller decides whether that matters).
  bool Append(const char* data, size_t length);
  // Appends a line (data ending in a line feed) that must stay whole for
  // line readers: when the file does not end in a line feed (a writer cut
  // off by a power loss left half a line), a line feed goes first, in the
  // same write and under the same lock as the line, so the line never
  // continues the cut one and is not lost with it.
  bool AppendLine(const char* data, size_t length);
  // Whether the last Append went out without the lock because another
  // process held it for longer than the wait allows.
  bool lock_given_up() const { return lock_wait_.gave_up(); }

 private:
  // Files it opens relative to a held folder are handed over open.
  friend class HeldDirectory;

  LockWait lock_wait_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_APPEND_FILE_H_
