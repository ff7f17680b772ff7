#include "archive/directory_path.h"

#include <wchar.h>

#include <string>

#include "platform/dir.h"

namespace brxzip {

namespace {

using brx::platform::MakeDirectoryResult;

const size_t kEnsureCapacity = 263;       // one character is kept for the appended separator
const size_t kCreateCapacity = 16383;

// An existing name, or one too long to create, is not an error for a caller
// that only needs the directory to be there (the file creation after it
// reports the real problem).
bool Acceptable(MakeDirectoryResult r) {
  return r == MakeDirectoryResult::kCreated || r == MakeDirectoryResult::kExists ||
         r == MakeDirectoryResult::kNameTooLong;
}

}  // namespace

bool MakeDirectoryChain(const wchar_t* path, size_t start) {
  if (!path || !*path) return false;
  if (Acceptable(brx::platform::MakeDirectory(path))) return true;
  std::wstring work(path);
  if (!brx::platform::IsPathSeparator(work.back())) work.push_back(L'\\');
  for (size_t i = start; i < work.size(); ++i) {
    if (!brx::platform::IsPathSeparator(work[i]) || i == 0) continue;
    std::wstring prefix = work.substr(0, i);
    if (!Acceptable(brx::platform::MakeDirectory(prefix.c_str()))) return false;
  }
  return true;
}

bool EnsureDirectoryPath(const wchar_t* path) {
  if (!path) return false;
  size_t root = brx::platform::LocalRootLength(path);
  if (root == 0) return false;
  if (wcslen(path) >= kEnsureCapacity) return false;
  return MakeDirectoryChain(path, root);
}

namespace {

MakeDirectoryResult MakeOne(const wchar_t* path, const wchar_t* sddl) {
  return sddl ? brx::platform::MakeDirectory(path, sddl) : brx::platform::MakeDirectory(path);
}

}  // namespace

int CreateDirectoryPath(const wchar_t* path, const wchar_t* sddl) {
  if (!path || !*path || wcslen(path) > kCreateCapacity) return 0;
  MakeDirectoryResult r = MakeOne(path, sddl);
  if (r == MakeDirectoryResult::kCreated || r == MakeDirectoryResult::kExists) return 1;
  if (r != MakeDirectoryResult::kPathNotFound) return 0;

  std::wstring parent(path);
  if (brx::platform::IsPathSeparator(parent.back())) parent.pop_back();
  size_t last = parent.find_last_of(L"\\/");
  // Nothing above is left to create: the top component itself cannot be
  // created (a drive that does not exist).
  if (last == std::wstring::npos) return 0;
  parent.resize(last + 1);
  if (parent.size() >= wcslen(path)) return 0;
  if (!CreateDirectoryPath(parent.c_str(), sddl)) return 0;
  // Once, not recursively: a parent that "exists" but still does not let the
  // child be created must end the walk instead of repeating it.
  r = MakeOne(path, sddl);
  return r == MakeDirectoryResult::kCreated || r == MakeDirectoryResult::kExists ? 1 : 0;
}

}  // namespace brxzip
