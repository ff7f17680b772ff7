// A fresh, empty directory for the running test, in both builds.
#ifndef BRX_TESTS_SUPPORT_SCRATCH_DIR_H_
#define BRX_TESTS_SUPPORT_SCRATCH_DIR_H_

#include <string>

namespace brxtest {

// <temp>/brx-tests/<area>/<suite>.<test>, emptied first, left in place
// afterwards for a look at what a failed test wrote. Windows paths use
// backslashes, native ones slashes; the product's code accepts either natively.
// <temp> is $BRX_TEST_TMP natively (ctest sets it to the build tree).
std::wstring ScratchDir(const char* area);
// The same for a program that is not a GoogleTest case: <area>/<leaf>.
std::wstring ScratchDir(const char* area, const char* leaf);

// Removes dir and everything below it, read-only files included.
void RemoveDir(const std::wstring& dir);

// path + separator + name.
std::wstring JoinPath(const std::wstring& path, const std::wstring& name);

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_SCRATCH_DIR_H_
