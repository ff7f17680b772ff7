#include "platform/append_file.h"

#include <errno.h>
#include <fcntl.h>
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

bool AppendFile::Append(const char* data, size_t length) {
  if (fd_ < 0) return false;
  while (length > 0) {
    ssize_t n = write(fd_, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace platform
}  // namespace brx
