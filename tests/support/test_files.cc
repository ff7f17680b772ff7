#include "support/test_files.h"

#include <stdint.h>

#include <gtest/gtest.h>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace brxtest {

std::wstring WriteFile(const std::wstring& path, const std::string& bytes) {
  brx::platform::File f;
  EXPECT_TRUE(f.Open(path.c_str(), brx::platform::FileMode::kCreateAlways)) << Narrow(path);
  EXPECT_TRUE(f.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
  return path;
}

bool ReadFile(const std::wstring& path, std::string* bytes) {
  brx::platform::File f;
  uint64_t size = 0;
  if (!f.Open(path.c_str(), brx::platform::FileMode::kReadShared) || !f.GetSize(&size)) return false;
  bytes->assign(static_cast<size_t>(size), '\0');
  uint32_t got = 0;
  return size == 0 || (f.Read(&(*bytes)[0], static_cast<uint32_t>(size), &got) && got == size);
}

std::string FileBytes(const std::wstring& path, const std::string& missing) {
  std::string bytes;
  return ReadFile(path, &bytes) ? bytes : missing;
}

bool FileExists(const std::wstring& path) {
  brx::platform::File f;
  return f.Open(path.c_str(), brx::platform::FileMode::kReadShared);
}

bool IsDirectory(const std::wstring& path) {
#ifdef _WIN32
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(brx::platform::NativePath(path.c_str()).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

}  // namespace brxtest
