#include "platform/module_info.h"

#include <windows.h>

#include <string.h>

namespace brx {
namespace platform {

std::wstring ModuleFilePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

// The version resource is read from the loaded image rather than through
// version.dll: the VS_FIXEDFILEINFO block is found by its signature, which
// is what VerQueryValue(L"\\") does, without another import.
bool ModuleFileVersion(uint32_t* most_significant, uint32_t* least_significant) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
  if (!info) return false;
  DWORD size = SizeofResource(nullptr, info);
  HGLOBAL loaded = LoadResource(nullptr, info);
  const unsigned char* data = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  if (!data) return false;
  // VS_VERSIONINFO: three WORDs and the key "VS_VERSION_INFO", then the fixed
  // info aligned to 32 bits. Search the first bytes for the aligned signature.
  for (DWORD offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= size && offset < 128; offset += 4) {
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, data + offset, sizeof(fixed));
    if (fixed.dwSignature != 0xFEEF04BD) continue;
    *most_significant = fixed.dwFileVersionMS;
    *least_significant = fixed.dwFileVersionLS;
    return true;
  }
  return false;
}

}  // namespace platform
}  // namespace brx
