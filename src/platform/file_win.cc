#include "platform/file.h"

#include <windows.h>

#include "platform/lone_file_win.h"

namespace brx {
namespace platform {

bool File::Open(const wchar_t* path, FileMode mode) {
  Close();
  DWORD access = GENERIC_READ;
  DWORD share = 0;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileMode::kReadShared:
      share = FILE_SHARE_READ;
      break;
    case FileMode::kReadWriteExclusive:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
    case FileMode::kCreateAlways:
      // Reading the attributes lets SetDosTime keep the last-access time.
      access = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
      disposition = CREATE_ALWAYS;
      break;
    case FileMode::kReplaceLoneFile:
      break;  // OpenLoneFile below
  }
  if (mode == FileMode::kCreateAlways || mode == FileMode::kReplaceLoneFile) {
    // Windows refuses to replace a read-only file; a file system that maps the
    // attribute onto permissions (Wine running as root) might not, and a
    // read-only file must never be overwritten behind its owner's back.
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      last_error_ = ERROR_ACCESS_DENIED;
      return false;
    }
  }
  HANDLE h = INVALID_HANDLE_VALUE;
  if (mode == FileMode::kReplaceLoneFile) {
    // Checked before anything is truncated: emptying a hard link would empty
    // the file behind it.
    h = OpenLoneFile(path, GENERIC_WRITE, 0);
    if (h != INVALID_HANDLE_VALUE && !SetEndOfFile(h)) {
      CloseHandle(h);
      h = INVALID_HANDLE_VALUE;
    }
  } else {
    h = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                    nullptr);
  }
  if (h == INVALID_HANDLE_VALUE) {
    last_error_ = GetLastError();
    return false;
  }
  handle_ = h;
  return true;
}

bool File::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

void File::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  PositionUnknown();
}

bool File::GetSize(uint64_t* size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(handle_, &li)) {
    last_error_ = GetLastError();
    return false;
  }
  *size = static_cast<uint64_t>(li.QuadPart);
  return true;
}

bool File::Seek(uint64_t position) {
  LARGE_INTEGER to, at;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (to.QuadPart < 0 || !SetFilePointerEx(handle_, to, &at, FILE_BEGIN)) {
    last_error_ = GetLastError();
    PositionUnknown();
    return false;
  }
  MovedTo(static_cast<uint64_t>(at.QuadPart));
  return at.QuadPart == to.QuadPart;
}

bool File::Read(void* buffer, uint32_t length, uint32_t* read_count) {
  DWORD n = 0;
  if (!ReadFile(handle_, buffer, length, &n, nullptr)) {
    last_error_ = GetLastError();
    *read_count = n;
    PositionUnknown();
    return false;
  }
  *read_count = n;
  Moved(n);
  return true;
}

bool File::ReadAt(uint64_t position, void* buffer, uint32_t length, uint32_t* read_count) {
  *read_count = 0;
  if (!(position_known_ && position_ == position) && !Seek(position)) return false;
  return Read(buffer, length, read_count);
}

bool File::Write(const void* buffer, uint32_t length) {
  const char* in = static_cast<const char*>(buffer);
  while (length > 0) {
    DWORD n = 0;
    if (!WriteFile(handle_, in, length, &n, nullptr)) {
      last_error_ = GetLastError();
      PositionUnknown();
      return false;
    }
    Moved(n);
    if (n == 0) {
      last_error_ = ERROR_DISK_FULL;
      return false;
    }
    in += n;
    length -= n;
  }
  return true;
}

bool File::TruncateHere() {
  if (!SetEndOfFile(handle_)) {
    last_error_ = GetLastError();
    return false;
  }
  return true;
}

bool File::SetDosTime(uint32_t dos_date, uint32_t dos_time) {
  FILETIME created, accessed, written, local, utc;
  bool have_access = GetFileTime(handle_, &created, &accessed, &written) != 0;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dos_date), static_cast<WORD>(dos_time), &local) ||
      !LocalFileTimeToFileTime(&local, &utc)) {
    last_error_ = GetLastError();
    return false;
  }
  if (!SetFileTime(handle_, &utc, have_access ? &accessed : nullptr, &utc)) {
    last_error_ = GetLastError();
    return false;
  }
  return true;
}

bool SetArchiveAttributes(const wchar_t* path, uint32_t external_attributes) {
  return SetFileAttributesW(path, external_attributes) != 0;
}

bool File::SetArchiveAttributes(uint32_t external_attributes) {
  // What SetFileAttributes accepts of the 32 bits; zero times leave the
  // file's times as they are.
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = external_attributes & 0x31a7;
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof(basic))) {
    last_error_ = GetLastError();
    return false;
  }
  return true;
}


bool File::GetDosTime(uint32_t* dos_date, uint32_t* dos_time) {
  FILETIME written, local;
  WORD date = 0, time = 0;
  if (!GetFileTime(handle_, nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    last_error_ = GetLastError();
    return false;
  }
  *dos_date = date;
  *dos_time = time;
  return true;
}

}  // namespace platform
}  // namespace brx
