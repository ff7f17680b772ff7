#include "platform/held_directory.h"

#include <windows.h>
#include <winternl.h>
#include <sddl.h>

#include <utility>

#include "platform/append_file.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/scoped_handle_win.h"
#include "platform/scoped_local_memory_win.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc, PVOID apc_context,
                                               PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS info_class, BOOLEAN single,
                                               PUNICODE_STRING mask, BOOLEAN restart);

namespace brx {
namespace platform {
namespace {

const NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
const NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);
const NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
const NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103);
const NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);

const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// No FILE_SHARE_DELETE: while this handle is open Windows refuses every
// open for deleting or renaming the folder, so a checked level cannot be
// swapped for a link.
const ULONG kShareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;
// No DELETE access either: the process's current directory is opened
// without FILE_SHARE_DELETE, and the driver makes a held folder current.
const ACCESS_MASK kHeldAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const ULONG kNoFollow = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;

bool IsPlainName(const wchar_t* name) {
  if (!name || !*name) return false;
  std::wstring n(name);
  if (n == L"." || n == L"..") return false;
  // ':' would open a stream; the wildcards would turn the lookup of one
  // directory entry into a search.
  return n.find_first_of(L"\\/:*?<>\"") == std::wstring::npos && n.size() < 256;
}

HoldResult FromStatus(NTSTATUS status) {
  switch (status) {
    case kNameNotFound:
    case kPathNotFound:
    case kNoSuchFile:
      return HoldResult::kMissing;
    case kNameCollision: return HoldResult::kExists;
    case kNotADirectory: return HoldResult::kNotDirectory;
    default: return HoldResult::kFailed;
  }
}

// NtCreateFile on `name` relative to `parent`; an empty name reopens parent.
NTSTATUS OpenRelative(HANDLE parent, const wchar_t* name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, PSECURITY_DESCRIPTOR descriptor, HANDLE* out) {
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name);
  text.Length = text.MaximumLength = static_cast<USHORT>(wcslen(name) * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, descriptor);
  IO_STATUS_BLOCK io;
  *out = nullptr;
  NTSTATUS status = NtCreateFile(out, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                 disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status < 0) *out = nullptr;
  return status;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.volume = info.dwVolumeSerialNumber;
  id.file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return id;
}

// The directory entry `name` of `parent`, as its folder lists it. Wine
// follows a Unix symbolic link even when asked not to, but its listing marks
// one that leads to a folder as a reparse point; on Windows the listing and
// the handle agree. Read through a fresh handle so the parent's own listing
// state is left alone.
NTSTATUS QueryEntry(HANDLE parent, const wchar_t* name, FILE_ID_BOTH_DIR_INFO* entry, size_t size) {
  ScopedHandle lister;
  NTSTATUS status = OpenRelative(parent, L"", FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE,
                                 nullptr, lister.receive());
  if (status < 0) return status;
  UNICODE_STRING mask;
  mask.Buffer = const_cast<PWSTR>(name);
  mask.Length = mask.MaximumLength = static_cast<USHORT>(wcslen(name) * sizeof(wchar_t));
  IO_STATUS_BLOCK io;
  return NtQueryDirectoryFile(lister.get(), nullptr, nullptr, nullptr, &io, entry, static_cast<ULONG>(size),
                              FileIdBothDirectoryInformation, TRUE, &mask, TRUE);
}

// The path of an open file or folder on its volume ("\dir\name"); false
// when it does not fit or cannot be read.
bool VolumePath(HANDLE handle, std::wstring* path) {
  alignas(8) unsigned char buffer[sizeof(FILE_NAME_INFO) + 1024 * sizeof(wchar_t)];
  FILE_NAME_INFO* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof(buffer))) return false;
  path->assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
  return true;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// Whether `handle` is the object at `name` (or at the long name `listed` of
// the entry `name` matched) in `parent`, by the paths the system keeps for
// both. Wine opens what a Unix symbolic link to a file points to, shows no
// sign of the link in the handle or the listing, and deletes the target when
// the handle is used to delete: only the path the handle was opened at gives
// the link away. On Windows a file opened by its name (or by any of its hard
// links) has that path.
bool OpenedAt(HANDLE parent, const wchar_t* name, const wchar_t* listed, size_t listed_length, HANDLE handle) {
  std::wstring folder, opened;
  if (!VolumePath(parent, &folder) || !VolumePath(handle, &opened)) return false;
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
  return SameName(opened, folder + name) || SameName(opened, folder + std::wstring(listed, listed_length));
}

// Checks the object `handle` that `name` of `parent` opened: not a reparse
// point by its handle (Windows) or by its directory entry (Wine), the
// entry's file ID is the handle's, and the handle's path is the name's, so
// the name did not lead elsewhere.
HoldResult CheckOpened(HANDLE parent, const wchar_t* name, HANDLE handle, bool want_directory,
                       BY_HANDLE_FILE_INFORMATION* info, HeldEntry* listed) {
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag)) ||
      !GetFileInformationByHandle(handle, info)) {
    return HoldResult::kFailed;
  }
  if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return HoldResult::kLink;
  alignas(8) unsigned char buffer[sizeof(FILE_ID_BOTH_DIR_INFO) + 512 * sizeof(wchar_t)];
  FILE_ID_BOTH_DIR_INFO* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(buffer);
  NTSTATUS status = QueryEntry(parent, name, entry, sizeof(buffer));
  if (status < 0) return FromStatus(status);
  if (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return HoldResult::kLink;
  uint64_t listed_id = static_cast<uint64_t>(entry->FileId.QuadPart);
  uint64_t opened_id = IdentityOf(*info).file;
  if (listed_id != 0 && listed_id != ~0ull && listed_id != opened_id) return HoldResult::kLink;
  if (!OpenedAt(parent, name, entry->FileName, entry->FileNameLength / sizeof(wchar_t), handle)) {
    return HoldResult::kLink;
  }
  bool directory = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (want_directory && !directory) return HoldResult::kNotDirectory;
  if (listed) {
    listed->name = name;
    listed->directory = directory;
    listed->link = false;
    listed->read_only = (tag.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  }
  return HoldResult::kOk;
}

// Opens (or creates) the folder `name` of `parent` held, checked.
HoldResult OpenLevel(HANDLE parent, const wchar_t* name, ULONG disposition, PSECURITY_DESCRIPTOR descriptor,
                     uint64_t volume, HANDLE* out, FileIdentity* identity, uint32_t* error) {
  HANDLE level = nullptr;
  NTSTATUS status = OpenRelative(parent, name, kHeldAccess, kShareHeld, disposition, FILE_DIRECTORY_FILE | kNoFollow,
                                 descriptor, &level);
  if (status < 0) {
    *error = RtlNtStatusToDosError(status);
    return FromStatus(status);
  }
  BY_HANDLE_FILE_INFORMATION info;
  HoldResult checked = CheckOpened(parent, name, level, true, &info, nullptr);
  if (checked == HoldResult::kOk) {
    *identity = IdentityOf(info);
    // A mount point is a reparse point already; a level on another volume
    // reached any other way is not one this run checked.
    if (identity->volume != volume) checked = HoldResult::kOtherVolume;
  }
  if (checked != HoldResult::kOk) {
    *error = GetLastError();
    CloseHandle(level);
    return checked;
  }
  *out = level;
  return HoldResult::kOk;
}

bool SetDisposition(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

}  // namespace

bool IdentityOf(const File& file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.IsOpen() || !GetFileInformationByHandle(file.native_handle(), &info)) return false;
  *identity = IdentityOf(info);
  return true;
}

void HeldDirectory::Close() {
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
  for (void* level : levels_) CloseHandle(level);
  levels_.clear();
  identity_ = FileIdentity();
  path_.clear();
}

HoldResult HeldDirectory::Open(const wchar_t* path) {
  Close();
  size_t root = LocalRootLength(path);
  if (root == 0) return HoldResult::kBadPath;
  std::wstring full(path);
  // The drive's root is the one level taken by path: a drive letter is the
  // administrator's configuration, not something a user can plant.
  HANDLE current = CreateFileW(full.substr(0, root).c_str(), kHeldAccess, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (current == INVALID_HANDLE_VALUE) {
    last_error_ = GetLastError();
    return HoldResult::kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(current, &info)) {
    last_error_ = GetLastError();
    CloseHandle(current);
    return HoldResult::kFailed;
  }
  FileIdentity identity = IdentityOf(info);
  uint64_t volume = identity.volume;
  std::wstring component;
  for (size_t i = root; i <= full.size(); ++i) {
    if (i < full.size() && !IsPathSeparator(full[i])) {
      component.push_back(full[i]);
      continue;
    }
    if (component.empty()) continue;
    levels_.push_back(current);
    HoldResult r = IsPlainName(component.c_str()) ? OpenLevel(current, component.c_str(), FILE_OPEN, nullptr, volume,
                                                              &current, &identity, &last_error_)
                                                  : HoldResult::kBadPath;
    if (r != HoldResult::kOk) {
      for (void* level : levels_) CloseHandle(level);
      levels_.clear();
      return r;
    }
    component.clear();
  }
  handle_ = current;
  identity_ = identity;
  path_ = full;
  while (path_.size() > root && IsPathSeparator(path_.back())) path_.pop_back();
  return HoldResult::kOk;
}

HoldResult HeldDirectory::OpenFollowingLinks(const wchar_t* path) {
  Close();
  if (LocalRootLength(path) == 0) return HoldResult::kBadPath;
  HANDLE handle = CreateFileW(path, kHeldAccess, kShareHeld, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    last_error_ = GetLastError();
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return last_error_ == ERROR_FILE_NOT_FOUND || last_error_ == ERROR_PATH_NOT_FOUND ? HoldResult::kMissing
                                                                                      : HoldResult::kFailed;
  }
  handle_ = handle;
  identity_ = IdentityOf(info);
  path_ = path;
  while (path_.size() > 3 && IsPathSeparator(path_.back())) path_.pop_back();
  return HoldResult::kOk;
}

HoldResult HeldDirectory::Child(const wchar_t* name, bool create, const wchar_t* sddl, HeldDirectory* child) const {
  if (!valid() || !child) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  child->Close();
  ScopedLocalMemory<void> descriptor;
  if (create && sddl &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.receive(), nullptr)) {
    last_error_ = GetLastError();
    return HoldResult::kFailed;
  }
  HANDLE handle = nullptr;
  HoldResult r = OpenLevel(handle_, name, create ? FILE_CREATE : FILE_OPEN, descriptor.get(), identity_.volume, &handle,
                           &child->identity_, &last_error_);
  descriptor.Close();
  if (r != HoldResult::kOk) return r;
  child->handle_ = handle;
  child->path_ = path_ + L"\\" + name;
  return HoldResult::kOk;
}

HoldResult HeldDirectory::CreateNewFile(const wchar_t* name, File* file) const {
  if (!valid() || !file) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  file->Close();
  HANDLE handle = nullptr;
  // Create-new: a name that exists in any form (a file, a second hard link,
  // a link) is never opened, so nothing that was there is written through.
  // DELETE lets ReplaceWith move the file by its handle.
  NTSTATUS status = OpenRelative(handle_, name, GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0, FILE_CREATE,
                                 FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY | kNoFollow, nullptr, &handle);
  if (status < 0) {
    last_error_ = RtlNtStatusToDosError(status);
    return FromStatus(status);
  }
  file->handle_ = handle;
  return HoldResult::kOk;
}

HoldResult HeldDirectory::CreateTemporaryFile(File* file, std::wstring* temp_name) const {
  if (!temp_name) return HoldResult::kFailed;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[48];
    wsprintfW(name, L".brx%lx-%u.tmp", GetCurrentProcessId(), attempt);
    *temp_name = name;
    HoldResult r = CreateNewFile(name, file);
    if (r != HoldResult::kExists) return r;
  }
  return HoldResult::kExists;
}

HoldResult HeldDirectory::OpenAppendFile(const wchar_t* name, AppendFile* file) const {
  if (!valid() || !file) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  file->Close();
  HANDLE handle = nullptr;
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end
  // of the file (AppendFile).
  NTSTATUS status = OpenRelative(handle_, name, GENERIC_READ | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
                                 FILE_NON_DIRECTORY_FILE | kNoFollow, nullptr, &handle);
  if (status < 0) {
    last_error_ = RtlNtStatusToDosError(status);
    return FromStatus(status);
  }
  BY_HANDLE_FILE_INFORMATION info;
  HoldResult r = CheckOpened(handle_, name, handle, false, &info, nullptr);
  if (r == HoldResult::kOk && info.nNumberOfLinks != 1) r = HoldResult::kMultipleLinks;
  if (r != HoldResult::kOk) {
    CloseHandle(handle);
    return r;
  }
  file->handle_ = handle;
  return HoldResult::kOk;
}

HoldResult HeldDirectory::ReplaceWith(File* file, const wchar_t* from, const wchar_t* to) const {
  if (!valid() || !file || !file->IsOpen()) return HoldResult::kFailed;
  if (!IsPlainName(from) || !IsPlainName(to)) return HoldResult::kBadPath;
  size_t length = wcslen(to) * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + length);
  FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = handle_;
  rename->FileNameLength = static_cast<DWORD>(length);
  memcpy(rename->FileName, to, length);
  // Moved by its own handle: the file written is the one that gets the name,
  // and the old name's file (or link) is replaced, never opened.
  IO_STATUS_BLOCK io;
  NTSTATUS status = NtSetInformationFile(file->handle_, &io, rename, static_cast<ULONG>(buffer.size()),
                                         FileRenameInformation);
  if (status < 0) {
    last_error_ = RtlNtStatusToDosError(status);
    return HoldResult::kFailed;
  }
  return HoldResult::kOk;
}

HoldResult HeldDirectory::Inspect(const wchar_t* name, FileIdentity* identity, HeldEntry* entry) const {
  if (!valid()) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  ScopedHandle item;
  NTSTATUS status = OpenRelative(handle_, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, kNoFollow, nullptr,
                                 item.receive());
  if (status < 0) {
    last_error_ = RtlNtStatusToDosError(status);
    return FromStatus(status);
  }
  BY_HANDLE_FILE_INFORMATION info;
  HeldEntry seen;
  HoldResult r = CheckOpened(handle_, name, item.get(), false, &info, &seen);
  if (entry) {
    *entry = seen;
    entry->name = name;
    entry->link = r == HoldResult::kLink;
  }
  if (r != HoldResult::kOk) return r;
  if (identity) *identity = IdentityOf(info);
  return HoldResult::kOk;
}

HoldResult HeldDirectory::List(std::vector<HeldEntry>* entries) const {
  if (!valid() || !entries) return HoldResult::kFailed;
  entries->clear();
  ScopedHandle lister;
  NTSTATUS status = OpenRelative(handle_, L"", FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE,
                                 nullptr, lister.receive());
  if (status < 0) {
    last_error_ = RtlNtStatusToDosError(status);
    return HoldResult::kFailed;
  }
  std::vector<unsigned char> buffer(64 * 1024);
  for (BOOLEAN restart = TRUE;; restart = FALSE) {
    IO_STATUS_BLOCK io;
    status = NtQueryDirectoryFile(lister.get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), FileIdBothDirectoryInformation, FALSE, nullptr,
                                  restart);
    if (status == kNoMoreFiles || status == kNoSuchFile) return HoldResult::kOk;
    if (status < 0) {
      last_error_ = RtlNtStatusToDosError(status);
      return HoldResult::kFailed;
    }
    for (size_t offset = 0;;) {
      const FILE_ID_BOTH_DIR_INFO* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + offset);
      std::wstring name(e->FileName, e->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        HeldEntry entry;
        entry.name = name;
        entry.directory = (e->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.link = (e->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.read_only = (e->FileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        entries->push_back(entry);
      }
      if (e->NextEntryOffset == 0) break;
      offset += e->NextEntryOffset;
    }
  }
}

HoldResult HeldDirectory::DeleteChild(const wchar_t* name, const FileIdentity* expected) const {
  if (!valid()) return HoldResult::kFailed;
  if (!IsPlainName(name)) return HoldResult::kBadPath;
  ScopedHandle item;
  NTSTATUS status = OpenRelative(handle_, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                                 FILE_OPEN, kNoFollow, nullptr, item.receive());
  if (status < 0) {
    last_error_ = RtlNtStatusToDosError(status);
    return FromStatus(status);
  }
  BY_HANDLE_FILE_INFORMATION info;
  HeldEntry seen;
  HoldResult r = CheckOpened(handle_, name, item.get(), false, &info, &seen);
  if (r == HoldResult::kLink) {
    // Deleting a link removes the link itself only when the handle is the
    // link's own (Windows). Wine opens what a link points to: deleting through
    // that handle would delete the target, so the link is left in place.
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (expected || !GetFileInformationByHandleEx(item.get(), FileAttributeTagInfo, &tag, sizeof(tag)) ||
        !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return HoldResult::kLink;
    }
  } else if (r != HoldResult::kOk) {
    return r;
  } else if (expected && IdentityOf(info) != *expected) {
    return HoldResult::kChanged;
  }
  // A read-only file cannot be deleted; the attribute goes first.
  if (r == HoldResult::kOk && seen.read_only) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = seen.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(item.get(), FileBasicInfo, &basic, sizeof(basic));
  }
  if (!SetDisposition(item.get())) {
    last_error_ = GetLastError();
    return HoldResult::kFailed;
  }
  return HoldResult::kOk;
}

}  // namespace platform
}  // namespace brx
