#include "platform/append_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file.h"

namespace brx {
namespace platform {
bool AppendFile::Open(const wchar_t* path) {
  Close();
  if (!path || !*path) return false;
  // Never through a symbolic link, and never into a file that has another
  // name: the writer would change a file it did not name.
  int fd = open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool AppendFile::IsOpen() const { return fd_ >= 0; }

void AppendFile::Close() {
  lock_wait_ = LockWait();
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
}

namespace {

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// As on Windows: unreadable counts as not ending in a line feed.
bool EndsInLineFeed(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  if (st.st_size == 0) return true;
  char c = 0;
  return pread(fd, &c, 1, st.st_size - 1) == 1 && c == '\n';
}

// Serialises AppendLine's look at the end with its write among writers here.
class FileLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FileLock() { flock(fd_, LOCK_UN); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

bool AppendFile::Append(const char* data, size_t length) {
  if (fd_ < 0) return false;
  return WriteAll(fd_, data, length);
}

bool AppendFile::AppendLine(const char* data, size_t length) {
  if (fd_ < 0) return false;
  FileLock lock(fd_);
  if (EndsInLineFeed(fd_)) return WriteAll(fd_, data, length);
  std::string line = "\n";
  line.append(data, length);
  return WriteAll(fd_, line.data(), line.size());
}

}  // namespace platform
}  // namespace brx
