#include "platform/append_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace brx {
namespace platform {
namespace {

// UTF-8 path with '\\' as a separator, so portable code may build Windows paths.
std::string PathForSystem(const wchar_t* path) {
  std::string out;
  for (; *path; ++path) {
    unsigned long c = static_cast<unsigned long>(*path);
    if (c == L'\\') c = L'/';
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

bool AppendFile::Open(const wchar_t* path) {
  Close();
  if (!path || !*path) return false;
  // Never through a symbolic link, and never into a file that has another
  // name: the writer would change a file it did not name.
  int fd = open(PathForSystem(path).c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
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
