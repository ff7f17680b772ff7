// Whole files for the tests, read and written through the product's own file
// layer, so paths are taken the way the code under test takes them.
#ifndef BRX_TESTS_SUPPORT_TEST_FILES_H_
#define BRX_TESTS_SUPPORT_TEST_FILES_H_

#include <string>

namespace brxtest {

// Creates or truncates path with bytes (a failure is a test failure); path.
std::wstring WriteFile(const std::wstring& path, const std::string& bytes);
// The whole file; false when it cannot be opened or read whole.
bool ReadFile(const std::wstring& path, std::string* bytes);
// The whole file, or `missing` when it cannot be read.
std::string FileBytes(const std::wstring& path, const std::string& missing = std::string());
bool FileExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// Each character cut to 8 bits: for the ASCII paths of the tests' messages
// and command lines.
std::string Narrow(const std::wstring& text);

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_TEST_FILES_H_
