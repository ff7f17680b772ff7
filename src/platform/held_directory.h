// Folders held open while an elevated run works in them.
//
// A folder is opened level by level from the root of its drive, each level
// relative to the handle of the one above and without following a junction,
// symbolic link or mount point, then checked through its handle (a
// directory, not a reparse point, on the root's volume). Every level stays
// open without FILE_SHARE_DELETE for as long as the object lives: Windows
// refuses to rename or delete a directory while such a handle to it is open,
// so nobody can swap a level for a link once it has been checked. Files and
// child folders are created and deleted relative to a held folder, so no
// name is ever resolved again through a path somebody else could change.
//
// Natively the same is done with openat(O_NOFOLLOW | O_DIRECTORY); Unix has
// no share modes, so there a held level only keeps its checked identity.
#ifndef BRX_PLATFORM_HELD_DIRECTORY_H_
#define BRX_PLATFORM_HELD_DIRECTORY_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace brx {
namespace platform {

class AppendFile;
class File;

// What a file is, whatever name reaches it: the volume serial and the file
// ID on Windows, st_dev and st_ino natively.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity& o) const { return volume == o.volume && file == o.file; }
  bool operator!=(const FileIdentity& o) const { return !(*this == o); }
  bool operator<(const FileIdentity& o) const { return volume != o.volume ? volume < o.volume : file < o.file; }
};

enum class HoldResult {
  kOk,
  kMissing,       // no such file or folder
  kExists,        // a create-new found the name taken
  kLink,          // a junction, symbolic link or other reparse point
  kNotDirectory,  // a level is a file
  kOtherVolume,   // a level lies on another volume than the root
  kMultipleLinks, // a file with more than one hard link
  kChanged,       // the name no longer leads to the object that was checked
  kBadPath,       // not an absolute local path, or a bad component
  kFailed,        // anything else; last_error() tells the platform's reason
};

// The identity of an open file; false when the platform cannot tell.
bool IdentityOf(const File& file, FileIdentity* identity);

// A short English reason ("is a junction, symbolic link or other reparse
// point"), for logs.
const char* DescribeHoldResult(HoldResult result);

// One entry of a held folder, as its directory lists it.
struct HeldEntry {
  std::wstring name;
  bool directory = false;
  bool link = false;       // a reparse point (or a Unix symbolic link)
  bool read_only = false;
};

class HeldDirectory {
 public:
  HeldDirectory() = default;
  ~HeldDirectory() { Close(); }
  HeldDirectory(HeldDirectory&& other) noexcept;
  HeldDirectory& operator=(HeldDirectory&& other) noexcept;
  HeldDirectory(const HeldDirectory&) = delete;
  HeldDirectory& operator=(const HeldDirectory&) = delete;

  // Opens the existing folder `path` (absolute, local) and holds it and
  // every level above it up to the root.
  HoldResult Open(const wchar_t* path);
  // The same, creating the levels that are missing as new, each with the
  // access list `sddl` (SDDL text; null: inherited). `created` (optional):
  // whether the folder itself was created by this call.
  HoldResult Create(const wchar_t* path, const wchar_t* sddl, bool* created = nullptr);
  // Opens the folder `path` leads to, links followed, and holds that one
  // level: for a folder whose path the machine's configuration chose (the
  // temporary folder, which may be redirected), where only what is created
  // below it must never be swapped.
  HoldResult OpenFollowingLinks(const wchar_t* path);
  // Opens the existing folder `name` (one component) of this folder and holds
  // it. The parent must stay held as long as the child is used.
  HoldResult OpenChild(const wchar_t* name, HeldDirectory* child) const;
  // Creates folder `name` as new (an existing name is kExists, never
  // opened) with the access list `sddl` (SDDL text; null: inherited) and
  // holds it.
  HoldResult CreateChild(const wchar_t* name, const wchar_t* sddl, HeldDirectory* child) const;

  // Creates file `name` as new for writing, not shared; never opens or
  // truncates an existing file, whatever it is.
  HoldResult CreateNewFile(const wchar_t* name, File* file) const;
  // A new file under a fresh temporary name of this folder, for writing; the
  // caller writes it and then moves it over the name it replaces with
  // ReplaceWith, or deletes it with DeleteChild.
  HoldResult CreateTemporaryFile(File* file, std::wstring* temp_name) const;
  // Opens file `name` for appending, creating it when missing (it then gets
  // this folder's inheritable access list), shared for reading and writing
  // with other processes; a link is never followed (kLink) and an existing
  // file with another hard link is kMultipleLinks: either would have the
  // writer append to a file somebody else chose.
  HoldResult OpenAppendFile(const wchar_t* name, AppendFile* file) const;
  // Moves `file`, still open, from its temporary name `from` over child
  // `to`, replacing what `to` names (a file or a link, never followed). An
  // existing file is replaced as a whole, so a second hard link or a link in
  // its place is never written through.
  HoldResult ReplaceWith(File* file, const wchar_t* from, const wchar_t* to) const;

  // What child `name` is, without following a link: its identity and
  // directory entry. kLink for a link (identity then unknown).
  HoldResult Inspect(const wchar_t* name, FileIdentity* identity, HeldEntry* entry) const;
  // Every entry of this folder but "." and "..".
  HoldResult List(std::vector<HeldEntry>* entries) const;
  // Deletes child `name` (a file, an empty folder or a link itself, never
  // what a link points to) through a handle opened relative to this folder.
  // With `expected`, only when the child is still that object (kChanged
  // otherwise). A child folder must not be held by this process.
  HoldResult DeleteChild(const wchar_t* name, const FileIdentity* expected = nullptr) const;

  // Makes `child` (held below this folder) the folder held, this one a level
  // above it: a walk that checks each level before it goes on holds them all.
  void Descend(HeldDirectory* child);

  bool valid() const;
  void Close();
#ifdef _WIN32
  // The folder's own handle, owned by this object, for what the class does
  // not cover (its owner and access list, through a handle reopened from it).
  void* native_handle() const { return handle_; }
#else
  int native_handle() const { return handle_; }
#endif
  // The folder's identity, read when it was opened.
  const FileIdentity& identity() const { return identity_; }
  // The path it was opened by (the parent's path and the name for children).
  const std::wstring& path() const { return path_; }
  // The platform's error code of the last failure (Win32 error or errno).
  uint32_t last_error() const { return last_error_; }

 private:
#ifdef _WIN32
  using Handle = void*;
  static constexpr Handle kNoHandle = nullptr;
#else
  using Handle = int;
  static constexpr Handle kNoHandle = -1;
#endif
  // OpenChild and CreateChild.
  HoldResult Child(const wchar_t* name, bool create, const wchar_t* sddl, HeldDirectory* child) const;
  // Handles of the levels above, outermost first (Open only); the folder's
  // own handle is handle_.
  std::vector<Handle> levels_;
  Handle handle_ = kNoHandle;
  FileIdentity identity_;
  std::wstring path_;
  mutable uint32_t last_error_ = 0;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_HELD_DIRECTORY_H_
