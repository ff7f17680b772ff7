#include "platform/environment.h"

#include <windows.h>

namespace brx {
namespace platform {

bool GetEnvVar(const wchar_t* name, std::wstring* value) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(name, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value->clear();  // set, but empty
      return true;
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      *value = buffer;
      return true;
    }
    buffer.resize(n);  // n counts the terminator when the buffer was too small
  }
}

bool SetEnvVar(const wchar_t* name, const wchar_t* value) {
  return SetEnvironmentVariableW(name, value) != FALSE;
}

std::wstring ExpandEnvVars(const wchar_t* text) {
  std::wstring buffer(260, L'\0');
  for (;;) {
    DWORD n = ExpandEnvironmentStringsW(text, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring(text);
    if (n <= buffer.size()) {
      buffer.resize(n - 1);  // n counts the terminator
      return buffer;
    }
    buffer.resize(n);
  }
}

}  // namespace platform
}  // namespace brx
