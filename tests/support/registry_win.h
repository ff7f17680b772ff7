// Registry clean-up for the Windows tests.
#ifndef BRX_TESTS_SUPPORT_REGISTRY_WIN_H_
#define BRX_TESTS_SUPPORT_REGISTRY_WIN_H_

#include <string>

namespace brxtest {

// Deletes HKLM\path with all its subkeys from the 64-bit view; nothing when absent.
void DeleteLocalMachineTree64(const std::wstring& path);

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_REGISTRY_WIN_H_
