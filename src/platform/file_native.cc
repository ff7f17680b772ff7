#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/utf8.h"

namespace brx {
namespace platform {

std::string NativePath(const wchar_t* path) {
  std::string out = path ? WideToUtf8(path) : std::string();
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::wstring WideFromNative(const char* native) {
  std::wstring out;
  if (!native) return out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(native);
  while (*p) {
    uint32_t c = *p++;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) c &= (0x3Fu >> extra);
    for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i) c = (c << 6) | (*p++ & 0x3F);
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

bool File::Open(const wchar_t* path, FileMode mode) {
  Close();
  if (!path || !*path) {
    last_error_ = ENOENT;
    return false;
  }
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::kReadShared: flags |= O_RDONLY; break;
    case FileMode::kReadWriteExclusive: flags |= O_RDWR; break;
    case FileMode::kCreateAlways: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case FileMode::kReplaceLoneFile: flags |= O_WRONLY | O_CREAT | O_NOFOLLOW; break;
  }
  fd_ = open(NativePath(path).c_str(), flags, 0666);
  if (fd_ < 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    last_error_ = EISDIR;
    Close();
    return false;
  }
  if (mode == FileMode::kReplaceLoneFile && (st.st_nlink != 1 || ftruncate(fd_, 0) != 0)) {
    last_error_ = EMLINK;
    Close();
    return false;
  }
  if (mode == FileMode::kReadShared) posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

bool File::IsOpen() const { return fd_ >= 0; }

void File::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  PositionUnknown();
}

bool File::GetSize(uint64_t* size) {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) {
    last_error_ = fd_ < 0 ? EBADF : static_cast<uint32_t>(errno);
    return false;
  }
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool File::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) return false;
  off_t at = lseek(fd_, static_cast<off_t>(position), SEEK_SET);
  if (at < 0) {
    last_error_ = static_cast<uint32_t>(errno);
    PositionUnknown();
    return false;
  }
  MovedTo(static_cast<uint64_t>(at));
  return static_cast<uint64_t>(at) == position;
}

bool File::Read(void* buffer, uint32_t length, uint32_t* read_count) {
  uint32_t total = 0;
  char* out = static_cast<char*>(buffer);
  while (total < length) {
    ssize_t n = read(fd_, out + total, length - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      last_error_ = static_cast<uint32_t>(errno);
      *read_count = total;
      PositionUnknown();
      return false;
    }
    if (n == 0) break;
    total += static_cast<uint32_t>(n);
  }
  *read_count = total;
  Moved(total);
  return true;
}

bool File::ReadAt(uint64_t position, void* buffer, uint32_t length, uint32_t* read_count) {
  *read_count = 0;
  if (!(position_known_ && position_ == position) && !Seek(position)) return false;
  return Read(buffer, length, read_count);
}

bool File::Write(const void* buffer, uint32_t length) {
  const char* in = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < length) {
    ssize_t n = write(fd_, in + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      last_error_ = static_cast<uint32_t>(errno);
      PositionUnknown();
      return false;
    }
    if (n == 0) {
      last_error_ = ENOSPC;
      return false;
    }
    Moved(static_cast<uint64_t>(n));
    done += static_cast<uint32_t>(n);
  }
  return true;
}

bool File::TruncateHere() {
  off_t at = lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ftruncate(fd_, at) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return false;
  }
  return true;
}

bool File::SetDosTime(uint32_t dos_date, uint32_t dos_time) {
  struct tm local = {};
  local.tm_year = static_cast<int>((dos_date >> 9) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((dos_date >> 5) & 0x0F) - 1;
  local.tm_mday = static_cast<int>(dos_date & 0x1F);
  local.tm_hour = static_cast<int>((dos_time >> 11) & 0x1F);
  local.tm_min = static_cast<int>((dos_time >> 5) & 0x3F);
  local.tm_sec = static_cast<int>(dos_time & 0x1F) * 2;
  local.tm_isdst = -1;
  time_t when = mktime(&local);
  if (when == static_cast<time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  if (futimens(fd_, times) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return false;
  }
  return true;
}

namespace {

// The permission bits an archive entry's attributes give a regular file with
// mode `current`; false when they leave it as it is.
bool ArchiveMode(uint32_t external_attributes, mode_t current, mode_t* mode) {
  uint32_t unix_mode = external_attributes >> 16;
  if ((unix_mode & 0170000) == 0100000) {
    // Set-id bits are never taken from an archive.
    *mode = static_cast<mode_t>(unix_mode & 0777);
    return true;
  }
  if (external_attributes & 0x01) {
    *mode = current & 0555;
    return true;
  }
  return false;
}

}  // namespace

bool SetArchiveAttributes(const wchar_t* path, uint32_t external_attributes) {
  std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode_t mode;
  if (!ArchiveMode(external_attributes, st.st_mode, &mode)) return true;
  return chmod(native.c_str(), mode) == 0;
}

bool File::SetArchiveAttributes(uint32_t external_attributes) {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode_t mode;
  if (!ArchiveMode(external_attributes, st.st_mode, &mode)) return true;
  return fchmod(fd_, mode) == 0;
}


bool File::GetDosTime(uint32_t* dos_date, uint32_t* dos_time) {
  struct stat st;
  struct tm local;
  if (fd_ < 0 || fstat(fd_, &st) != 0 || !localtime_r(&st.st_mtime, &local)) return false;
  if (local.tm_year < 80) {
    *dos_date = (1 << 5) | 1;  // 1980-01-01, the earliest DOS date
    *dos_time = 0;
    return true;
  }
  *dos_date = static_cast<uint32_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  *dos_time = static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return true;
}

}  // namespace platform
}  // namespace brx
