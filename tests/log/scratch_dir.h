// A fresh directory per test, removed afterwards.
#ifndef BRX_TESTS_LOG_SCRATCH_DIR_H_
#define BRX_TESTS_LOG_SCRATCH_DIR_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace brx {
namespace testing {

class ScratchDir {
 public:
  ScratchDir() {
    static int counter = 0;
    std::filesystem::path base;
    const char* env = getenv("BRX_TEST_TMP");
    base = env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path();
    std::error_code ec;
    for (int i = 0; i < 1000; ++i) {
      path_ = base / ("brx-" + std::to_string(Pid()) + "-" + std::to_string(counter++));
      std::filesystem::create_directories(base, ec);
      if (std::filesystem::create_directory(path_, ec)) break;
    }
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  // The directory with a trailing separator, as the log keeps it.
  std::wstring dir() const { return path_.wstring() + static_cast<wchar_t>(std::filesystem::path::preferred_separator); }

 private:
  static long Pid();
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace testing
}  // namespace brx

#ifdef _WIN32
#include <windows.h>
inline long brx::testing::ScratchDir::Pid() { return static_cast<long>(GetCurrentProcessId()); }
#else
#include <unistd.h>
inline long brx::testing::ScratchDir::Pid() { return static_cast<long>(getpid()); }
#endif

#endif  // BRX_TESTS_LOG_SCRATCH_DIR_H_
