#include "zip_builder.h"

#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/dir.h"
#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace brxtest {

namespace {

void Append16(std::string* b, uint32_t v) {
  b->push_back(static_cast<char>(v & 0xFF));
  b->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Append32(std::string* b, uint32_t v) {
  Append16(b, v & 0xFFFF);
  Append16(b, v >> 16);
}

std::string RawDeflate(const std::string& in) {
  z_stream z;
  memset(&z, 0, sizeof(z));
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, in.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

#ifdef _WIN32
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = dir + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}
#endif

}  // namespace

void Put16(std::string* bytes, size_t at, uint32_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string* bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

BuiltZip BuildZip(const std::vector<TestEntry>& entries, size_t base, const std::string& comment) {
  BuiltZip zip;
  std::string central;
  for (const TestEntry& e : entries) {
    std::string payload = e.method == 8 ? RawDeflate(e.data) : e.data;
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    size_t local = zip.bytes.size();
    zip.local_offsets.push_back(local);
    std::string& b = zip.bytes;
    Append32(&b, 0x04034b50);
    Append16(&b, 20);
    Append16(&b, 0);
    Append16(&b, e.method);
    Append16(&b, e.dos_time);
    Append16(&b, e.dos_date);
    Append32(&b, crc);
    Append32(&b, static_cast<uint32_t>(payload.size()));
    Append32(&b, static_cast<uint32_t>(e.data.size()));
    Append16(&b, static_cast<uint32_t>(e.name.size()));
    Append16(&b, 4);
    b += e.name;
    b += std::string("\xfe\xca\0\0", 4);  // an empty extra field, as jar writers add
    b += payload;

    std::string c;
    Append32(&c, 0x02014b50);
    Append16(&c, e.made_by);
    Append16(&c, 20);
    Append16(&c, 0);
    Append16(&c, e.method);
    Append16(&c, e.dos_time);
    Append16(&c, e.dos_date);
    Append32(&c, crc);
    Append32(&c, static_cast<uint32_t>(payload.size()));
    Append32(&c, static_cast<uint32_t>(e.data.size()));
    Append16(&c, static_cast<uint32_t>(e.name.size()));
    Append16(&c, 0);
    Append16(&c, 3);
    Append16(&c, 0);
    Append16(&c, 0);
    Append32(&c, e.external);
    Append32(&c, static_cast<uint32_t>(base + local));
    c += e.name;
    c += "abc";  // file comment
    zip.central_offsets.push_back(central.size());
    central += c;
  }
  size_t directory = zip.bytes.size();
  for (size_t& offset : zip.central_offsets) offset += directory;
  zip.bytes += central;
  zip.end_offset = zip.bytes.size();
  std::string& b = zip.bytes;
  Append32(&b, 0x06054b50);
  Append16(&b, 0);
  Append16(&b, 0);
  Append16(&b, static_cast<uint32_t>(entries.size()));
  Append16(&b, static_cast<uint32_t>(entries.size()));
  Append32(&b, static_cast<uint32_t>(central.size()));
  Append32(&b, static_cast<uint32_t>(base + directory));
  Append16(&b, static_cast<uint32_t>(comment.size()));
  b += comment;
  return zip;
}

std::wstring TestDirectory() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string leaf = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : leaf) {
    if (c == '/') c = '_';
  }
  std::wstring wleaf(leaf.begin(), leaf.end());
#ifdef _WIN32
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp, n) + L"brxarchive\\" + wleaf;
  RemoveTree(dir);
#else
  const char* root = getenv("BRX_TEST_TMP");
  std::string base = root && *root ? root : "/tmp/brx-test-tmp";
  std::wstring dir = std::wstring(base.begin(), base.end()) + L"/archive/" + wleaf;
  std::string cmd = "chmod -R u+w '" + Narrow(dir) + "' 2>/dev/null; rm -rf '" + Narrow(dir) + "'";
  if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
#endif
  // Made with the tool under test's neighbour: any failure shows in the test.
  std::wstring walk;
  for (size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || ((dir[i] == L'\\' || dir[i] == L'/') && i > 2)) {
      brx::platform::MakeDirectory(dir.substr(0, i).c_str());
    }
  }
  return dir;
}

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

std::string Narrow(const std::wstring& path) {
  std::string out;
  for (wchar_t c : path) out.push_back(static_cast<char>(c));
  return out;
}

}  // namespace brxtest
