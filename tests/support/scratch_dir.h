// A fresh, empty directory for the running test, in both builds.
#ifndef BRX_TESTS_SUPPORT_SCRATCH_DIR_H_
#define BRX_TESTS_SUPPORT_SCRATCH_DIR_H_

#include <string>

namespace brxtest {

// <temp>/brx-tests/<area>/<suite>.<test>, emptied first. Windows paths use
// backslashes, native ones slashes; the product's code accepts either natively.
std::wstring ScratchDir(const char* area);

// path + separator + name.
std::wstring JoinPath(const std::wstring& path, const std::wstring& name);

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_SCRATCH_DIR_H_
