#include "platform/append_file.h"

#include <windows.h>

#include <string>

#include "platform/lone_file_win.h"

namespace brx {
namespace platform {

bool AppendFile::Open(const wchar_t* path) {
  Close();
  if (!path || !*path) return false;
  // FILE_APPEND_DATA without FILE_WRITE_DATA: the system positions every
  // write at the current end of the file, so a writer in another process
  // cannot slip in between a seek and the write and be overwritten. A log
  // name that is a link or another name of some file is refused: an elevated
  // writer would append to a file of the planter's choosing.
  HANDLE h = OpenLoneFile(path, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool AppendFile::IsOpen() const { return handle_ != nullptr; }

void AppendFile::Close() {
  lock_wait_ = LockWait();
  if (!handle_) return;
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

namespace {

// Writers of this file in all processes take an exclusive lock on one byte
// far beyond any real end of file for the span of a write. Append-only access
// alone is not enough everywhere (Wine positions such writes in two steps),
// and the lock costs nothing when nobody else writes. The system drops the
// lock with the handle, so a writer that dies cannot block the others; one
// that lives and keeps it (any reader of the file can take it) only costs
// the bounded wait, and the write then goes out without the lock: on Windows
// the append-only handle still lands it at the end.
const DWORD kLockOffsetHigh = 0x7FFFFFFF;

class AppendLock {
 public:
  AppendLock(HANDLE h, LockWait& wait) : handle_(h) {
    locked_ = wait.Acquire(
        [h] {
          OVERLAPPED at = {};
          at.OffsetHigh = kLockOffsetHigh;
          return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
        },
        [](unsigned ms) { Sleep(ms); });
  }
  ~AppendLock() {
    if (!locked_) return;
    OVERLAPPED at = {};
    at.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(handle_, 0, 1, 0, &at);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  HANDLE handle_;
  bool locked_ = false;
};

bool WriteAtEnd(HANDLE h, const char* data, size_t length) {
  LARGE_INTEGER zero = {};
  SetFilePointerEx(h, zero, nullptr, FILE_END);
  while (length > 0) {
    DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(h, data, chunk, &written, nullptr) || written != chunk) return false;
    data += written;
    length -= written;
  }
  return true;
}

// Whether the file is empty or ends in a line feed. When that cannot be
// read, it counts as not: an empty line costs a reader nothing, a line
// glued to a cut one is lost.
bool EndsInLineFeed(HANDLE h) {
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(h, &size)) return false;
  if (size.QuadPart == 0) return true;
  uint64_t last = static_cast<uint64_t>(size.QuadPart) - 1;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(last);
  at.OffsetHigh = static_cast<DWORD>(last >> 32);
  char c = 0;
  DWORD read = 0;
  return ReadFile(h, &c, 1, &read, &at) && read == 1 && c == '\n';
}

}  // namespace

bool AppendFile::Append(const char* data, size_t length) {
  if (!handle_) return false;
  HANDLE h = static_cast<HANDLE>(handle_);
  AppendLock lock(h, lock_wait_);
  return WriteAtEnd(h, data, length);
}

bool AppendFile::AppendLine(const char* data, size_t length) {
  if (!handle_) return false;
  HANDLE h = static_cast<HANDLE>(handle_);
  AppendLock lock(h, lock_wait_);
  if (EndsInLineFeed(h)) return WriteAtEnd(h, data, length);
  std::string line = "\n";
  line.append(data, length);
  return WriteAtEnd(h, line.data(), line.size());
}

}  // namespace platform
}  // namespace brx
