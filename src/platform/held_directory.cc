#include "platform/held_directory.h"

#include "platform/dir.h"

#include <utility>

namespace brx {
namespace platform {

const char* DescribeHoldResult(HoldResult result) {
  switch (result) {
    case HoldResult::kOk: return "held";
    case HoldResult::kMissing: return "does not exist";
    case HoldResult::kExists: return "already exists";
    case HoldResult::kLink: return "is, or passes through, a junction, symbolic link or other reparse point";
    case HoldResult::kNotDirectory: return "is not a folder";
    case HoldResult::kOtherVolume: return "lies on another volume";
    case HoldResult::kMultipleLinks: return "has more than one hard link";
    case HoldResult::kChanged: return "was replaced by something else";
    case HoldResult::kBadPath: return "is not an absolute local path";
    case HoldResult::kFailed: return "cannot be opened";
  }
  return "cannot be opened";
}

HeldDirectory::HeldDirectory(HeldDirectory&& other) noexcept { *this = std::move(other); }

HeldDirectory& HeldDirectory::operator=(HeldDirectory&& other) noexcept {
  if (this == &other) return *this;
  Close();
  levels_ = std::move(other.levels_);
  other.levels_.clear();
  handle_ = other.handle_;
  other.handle_ = kNoHandle;
  identity_ = other.identity_;
  path_ = std::move(other.path_);
  last_error_ = other.last_error_;
  return *this;
}

bool HeldDirectory::valid() const { return handle_ != kNoHandle; }

void HeldDirectory::Descend(HeldDirectory* child) {
  levels_.push_back(handle_);
  handle_ = child->handle_;
  child->handle_ = kNoHandle;
  identity_ = child->identity_;
  path_ = std::move(child->path_);
  child->Close();
}

HoldResult HeldDirectory::OpenChild(const wchar_t* name, HeldDirectory* child) const {
  return Child(name, false, nullptr, child);
}

HoldResult HeldDirectory::CreateChild(const wchar_t* name, const wchar_t* sddl, HeldDirectory* child) const {
  return Child(name, true, sddl, child);
}

HoldResult HeldDirectory::Create(const wchar_t* path, const wchar_t* sddl, bool* created) {
  if (created) *created = false;
  std::wstring existing(path ? path : L"");
  size_t root = LocalRootLength(existing.c_str());
  if (root == 0) return HoldResult::kBadPath;
  while (existing.size() > root && IsPathSeparator(existing.back())) existing.pop_back();
  const std::wstring asked = existing;
  // The deepest level that exists; the ones below it are made one by one.
  std::vector<std::wstring> missing;
  HoldResult r;
  for (;;) {
    r = Open(existing.c_str());
    if (r != HoldResult::kMissing || existing.size() <= root) break;
    size_t slash = existing.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 < root) break;
    missing.insert(missing.begin(), existing.substr(slash + 1));
    existing.resize(slash < root ? root : slash);
  }
  if (r != HoldResult::kOk) return r;
  for (const std::wstring& name : missing) {
    HeldDirectory child;
    r = CreateChild(name.c_str(), sddl, &child);
    if (r != HoldResult::kOk) {
      uint32_t error = last_error_;
      Close();
      last_error_ = error;
      return r;
    }
    Descend(&child);
  }
  // Known by the path it was asked for, as Open does.
  path_ = asked;
  if (created) *created = !missing.empty();
  return HoldResult::kOk;
}

}  // namespace platform
}  // namespace brx
