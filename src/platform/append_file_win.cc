#include "platform/append_file.h"

#include <windows.h>

namespace brx {
namespace platform {

bool AppendFile::Open(const wchar_t* path) {
  Close();
  if (!path || !*path) return false;
  // FILE_APPEND_DATA without FILE_WRITE_DATA: the system positions every
  // write at the current end of the file, so a writer in another process
  // cannot slip in between a seek and the write and be overwritten.
  HANDLE h = CreateFileW(path, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool AppendFile::IsOpen() const { return handle_ != nullptr; }

void AppendFile::Close() {
  if (!handle_) return;
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool AppendFile::Append(const char* data, size_t length) {
  if (!handle_) return false;
  HANDLE h = static_cast<HANDLE>(handle_);
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

}  // namespace platform
}  // namespace brx
