#include "platform/held_directory.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include <utility>

#include "platform/append_file.h"
#include "platform/dir.h"
#include "platform/file.h"

namespace brx {
namespace platform {
namespace {

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.file = static_cast<uint64_t>(st.st_ino);
  return id;
}

// One component: no separator, not "." or "..".
bool IsPlainName(const wchar_t* name) {
  if (!name || !*name) return false;
  std::wstring n(name);
  if (n == L"." || n == L"..") return false;
  for (wchar_t c : n) {
    if (IsPathSeparator(c)) return false;
  }
  return true;
}

HoldResult FromErrno(int error) {
  switch (error) {
    case ENOENT: return HoldResult::kMissing;
    case EEXIST: return HoldResult::kExists;
    case ELOOP: return HoldResult::kLink;
    case ENOTDIR: return HoldResult::kNotDirectory;
    default: return HoldResult::kFailed;
  }
}

// Opens directory `name` below `parent` without following a link; a link
// is reported as such (O_NOFOLLOW fails with ELOOP, or ENOTDIR with
// O_DIRECTORY on some systems: lstat tells which).
HoldResult OpenLevel(int parent, const std::string& name, int* fd, struct stat* st, uint32_t* error) {
  *fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (*fd < 0) {
    *error = static_cast<uint32_t>(errno);
    struct stat link;
    if (fstatat(parent, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode)) {
      return HoldResult::kLink;
    }
    return FromErrno(errno);
  }
  if (fstat(*fd, st) != 0 || !S_ISDIR(st->st_mode)) {
    *error = static_cast<uint32_t>(errno);
    close(*fd);
    *fd = -1;
    return HoldResult::kNotDirectory;
  }
  return HoldResult::kOk;
}

std::string Narrow(const wchar_t* name) { return NativePath(name); }

}  // namespace

bool IdentityOf(const File& file, FileIdentity* identity) {
  struct stat st;
  if (!file.IsOpen() || fstat(file.native_handle(), &st) != 0) return false;
  *identity = IdentityOf(st);
  return true;
}

void HeldDirectory::Close() {
  if (handle_ >= 0) close(handle_);
  handle_ = -1;
  for (int fd : levels_) close(fd);
  levels_.clear();
  identity_ = FileIdentity();
  path_.clear();
}

HoldResult HeldDirectory::Open(const wchar_t* path) {
  Close();
  size_t root = LocalRootLength(path);
  if (root == 0) return HoldResult::kBadPath;
  int fd = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return HoldResult::kFailed;
  }
  std::wstring full(path);
  std::wstring component;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return HoldResult::kFailed;
  }
  for (size_t i = root; i <= full.size(); ++i) {
    if (i < full.size() && !IsPathSeparator(full[i])) {
      component.push_back(full[i]);
      continue;
    }
    if (component.empty()) continue;
    if (component == L"." || component == L"..") {
      close(fd);
      for (int level : levels_) close(level);
      levels_.clear();
      return HoldResult::kBadPath;
    }
    int next = -1;
    HoldResult r = OpenLevel(fd, Narrow(component.c_str()), &next, &st, &last_error_);
    levels_.push_back(fd);
    if (r != HoldResult::kOk) {
      for (int level : levels_) close(level);
      levels_.clear();
      return r;
    }
    fd = next;
    component.clear();
  }
  handle_ = fd;
  identity_ = IdentityOf(st);
  path_ = full;
  while (path_.size() > root && IsPathSeparator(path_.back())) path_.pop_back();
  return HoldResult::kOk;
}

HoldResult HeldDirectory::OpenFollowingLinks(const wchar_t* path) {
  Close();
  if (LocalRootLength(path) == 0) return HoldResult::kBadPath;
  int fd = open(NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    if (fd >= 0) close(fd);
    return FromErrno(errno);
  }
  handle_ = fd;
  identity_ = IdentityOf(st);
  path_ = path;
  while (path_.size() > 1 && IsPathSeparator(path_.back())) path_.pop_back();
  return HoldResult::kOk;
}

HoldResult HeldDirectory::Child(const wchar_t* name, bool create, const wchar_t* sddl, HeldDirectory* child) const {
  if (!valid() || !child) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  child->Close();
  // No access list natively: private folders are the owner's alone.
  if (create && mkdirat(handle_, Narrow(name).c_str(), sddl ? 0700 : 0777) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  int fd = -1;
  struct stat st;
  HoldResult r = OpenLevel(handle_, Narrow(name), &fd, &st, &last_error_);
  if (r != HoldResult::kOk) return r;
  child->handle_ = fd;
  child->identity_ = IdentityOf(st);
  child->path_ = path_ + L"\\" + name;
  return HoldResult::kOk;
}

HoldResult HeldDirectory::CreateNewFile(const wchar_t* name, File* file) const {
  if (!valid() || !file) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  file->Close();
  int fd = openat(handle_, Narrow(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  file->fd_ = fd;
  return HoldResult::kOk;
}

HoldResult HeldDirectory::CreateTemporaryFile(File* file, std::wstring* temp_name) const {
  if (!temp_name) return HoldResult::kFailed;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    snprintf(name, sizeof(name), ".brx%lx-%u.tmp", static_cast<unsigned long>(getpid()), attempt);
    *temp_name = std::wstring(name, name + strlen(name));
    HoldResult r = CreateNewFile(temp_name->c_str(), file);
    if (r != HoldResult::kExists) return r;
  }
  return HoldResult::kExists;
}

HoldResult HeldDirectory::OpenAppendFile(const wchar_t* name, AppendFile* file) const {
  if (!valid() || !file) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  file->Close();
  int fd = openat(handle_, Narrow(name).c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  struct stat st;
  HoldResult r = HoldResult::kOk;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) r = HoldResult::kFailed;
  if (r == HoldResult::kOk && st.st_nlink != 1) r = HoldResult::kMultipleLinks;
  if (r != HoldResult::kOk) {
    close(fd);
    return r;
  }
  file->fd_ = fd;
  return HoldResult::kOk;
}

HoldResult HeldDirectory::ReplaceWith(File* file, const wchar_t* from, const wchar_t* to) const {
  if (!valid() || !file || !file->IsOpen()) return HoldResult::kFailed;
  if (!IsPlainName(from) || !IsPlainName(to)) return HoldResult::kBadPath;
  if (renameat(handle_, Narrow(from).c_str(), handle_, Narrow(to).c_str()) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  return HoldResult::kOk;
}

HoldResult HeldDirectory::Inspect(const wchar_t* name, FileIdentity* identity, HeldEntry* entry) const {
  if (!valid()) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  struct stat st;
  if (fstatat(handle_, Narrow(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  if (entry) {
    entry->name = name;
    entry->directory = S_ISDIR(st.st_mode);
    entry->link = S_ISLNK(st.st_mode);
    entry->read_only = (st.st_mode & 0222) == 0;
  }
  if (S_ISLNK(st.st_mode)) return HoldResult::kLink;
  if (identity) *identity = IdentityOf(st);
  return HoldResult::kOk;
}

HoldResult HeldDirectory::List(std::vector<HeldEntry>* entries) const {
  if (!valid() || !entries) return HoldResult::kFailed;
  entries->clear();
  int fd = dup(handle_);
  DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
  if (!dir) {
    last_error_ = static_cast<uint32_t>(errno);
    if (fd >= 0) close(fd);
    return HoldResult::kFailed;
  }
  rewinddir(dir);
  while (struct dirent* d = readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    std::wstring wide = WideFromNative(name.c_str());
    HeldEntry entry;
    if (Inspect(wide.c_str(), nullptr, &entry) == HoldResult::kMissing) continue;
    entry.name = wide;
    entries->push_back(entry);
  }
  closedir(dir);
  return HoldResult::kOk;
}

HoldResult HeldDirectory::DeleteChild(const wchar_t* name, const FileIdentity* expected) const {
  if (!valid()) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  struct stat st;
  std::string narrow = Narrow(name);
  if (fstatat(handle_, narrow.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  if (expected && (S_ISLNK(st.st_mode) || IdentityOf(st) != *expected)) return HoldResult::kChanged;
  // unlinkat removes a symbolic link itself, never its target.
  if (unlinkat(handle_, narrow.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0) {
    last_error_ = static_cast<uint32_t>(errno);
    return FromErrno(errno);
  }
  return HoldResult::kOk;
}

}  // namespace platform
}  // namespace brx
