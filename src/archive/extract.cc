#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "platform/codepage.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/held_directory.h"
#include "platform/piece_worker.h"

namespace brxzip {

namespace {

using brx::platform::File;
using brx::platform::FileIdentity;
using brx::platform::HeldDirectory;
using brx::platform::HeldEntry;
using brx::platform::HoldResult;

const size_t kMaxTargetPath = 260;
// One write per this much of an entry: few calls, and never the whole entry
// in memory.
const uint32_t kCopyChunk = 256 * 1024;
// From this size on an entry is written (and its CRC-32 summed) on a thread
// of its own while the next piece inflates into a second buffer; a smaller
// one is not worth the thread.
const uint64_t kOverlapFrom = 2 * kCopyChunk;

// What is done with each inflated piece: its CRC-32 summed, then written.
struct Output {
  File* file;
  uint32_t crc;
  static bool Work(void* self, const void* data, uint32_t length) {
    Output& o = *static_cast<Output*>(self);
    o.crc = static_cast<uint32_t>(crc32(o.crc, static_cast<const Bytef*>(data), length));
    return o.file->Write(data, length);
  }
};

std::wstring TargetPath(const wchar_t* destination, const wchar_t* name) {
  std::wstring path;
  if (destination) {
    path.assign(destination);
    path.push_back(L'\\');
  }
  path += name;
  return path;
}

// The components of an entry name; empty and "." components name the folder
// they are in.
std::vector<std::wstring> NameParts(const wchar_t* name) {
  std::vector<std::wstring> parts;
  for (std::wstring& part : EntryNameComponents(name ? name : L"")) {
    if (!part.empty() && part != L".") parts.push_back(std::move(part));
  }
  return parts;
}

// One extraction below a held destination. Every folder it enters or
// creates stays open, held, until the extraction ends, and every file is
// created relative to its held folder: a junction or symbolic link planted
// at a folder or file name while the extraction runs is never followed, and a
// folder already entered cannot be swapped for one.
class Extraction {
 public:
  Extraction(const std::vector<std::unique_ptr<ZIP_FileEntry>>& entries, const HeldDirectory& destination, bool fresh,
             ExtractReport* report)
      : entries_(entries), destination_(destination), fresh_(fresh), report_(report) {}

  // Holds every folder the entries name that exists already, so a link at
  // one is refused before the first byte is written.
  ZIP_Result HoldExistingFolders() {
    for (size_t i = 0; i < entries_.size(); ++i) {
      std::vector<std::wstring> parts = NameParts(entries_[i]->GetTargetName());
      size_t folders = IsDirectoryEntry(i) ? parts.size() : parts.size() - (parts.empty() ? 0 : 1);
      const Folder* folder = nullptr;
      ZIP_Result result = Enter(i, parts, folders, false, &folder);
      if (result != ZIP_OK) return result;
    }
    return ZIP_OK;
  }

  ZIP_Result Extract(size_t index, const std::wstring& target) {
    std::vector<std::wstring> parts = NameParts(entries_[index]->GetTargetName());
    const Folder* folder = nullptr;
    if (IsDirectoryEntry(index)) {
      ZIP_Result entered = Enter(index, parts, parts.size(), true, &folder);
      return entered == ZIP_OK ? ZIP_OK : ZIP_ERR_FAILED;
    }
    if (parts.empty()) return Refuse(index, target, "no file name", ZIP_ERR_CREATE, 0);
    ZIP_Result entered = Enter(index, parts, parts.size() - 1, true, &folder);
    if (entered != ZIP_OK) return entered;
    return WriteFile(index, *folder, parts.back(), target);
  }

 private:
  struct Folder {
    std::wstring key;
    HeldDirectory held;
    bool fresh = false;  // created by this extraction (or its destination is)
  };

  // A package has few folders: a list is smaller code than a tree.
  Folder* Find(const std::wstring& key) const {
    for (const auto& folder : folders_) {
      if (folder->key == key) return folder.get();
    }
    return nullptr;
  }
  static bool Contains(const std::vector<FileIdentity>& list, const FileIdentity& id) {
    return std::find(list.begin(), list.end(), id) != list.end();
  }

  bool IsDirectoryEntry(size_t index) const {
    const wchar_t* name = entries_[index]->GetTargetName();
    size_t length = name ? wcslen(name) : 0;
    return length > 0 && (name[length - 1] == L'/' || name[length - 1] == L'\\');
  }

  // `what` (optional) goes before the reason: "the folder" + " is a link".
  ZIP_Result Refuse(size_t index, const std::wstring& path, const char* reason, ZIP_Result result, uint32_t error,
                    const char* what = nullptr) {
    if (report_) {
      const wchar_t* name = entries_[index]->GetTargetName();
      report_->entry = name ? name : L"";
      report_->path = path;
      report_->reason = what ? what : "";
      report_->reason += reason;
      report_->error = error;
    }
    return result;
  }

  // The first `count` folders of `parts`, entered (and with `create`,
  // created where missing). Without `create` a missing folder ends the walk:
  // nothing below it exists yet.
  ZIP_Result Enter(size_t index, const std::vector<std::wstring>& parts, size_t count, bool create,
                   const Folder** out) {
    const HeldDirectory* parent = &destination_;
    *out = &root_;
    root_.fresh = fresh_;
    for (size_t i = 0; i < count; ++i) {
      // Folders are known by their names as Windows compares them.
      std::wstring key = EntryNameKey(parts, i + 1);
      Folder* known = Find(key);
      if (known) {
        *out = known;
        parent = &known->held;
        continue;
      }
      std::unique_ptr<Folder> folder(new Folder);
      HoldResult r = create ? parent->CreateChild(parts[i].c_str(), nullptr, &folder->held) : HoldResult::kExists;
      if (r == HoldResult::kOk) {
        folder->fresh = true;
        created_folders_.push_back(folder->held.identity());
        if (report_) report_->created.push_back(folder->held.identity());
      } else if (r == HoldResult::kExists) {
        r = parent->OpenChild(parts[i].c_str(), &folder->held);
        // An alias (a short name) of a folder this extraction made is as fresh.
        if (r == HoldResult::kOk) folder->fresh = Contains(created_folders_, folder->held.identity());
      }
      if (!create && r == HoldResult::kMissing) return ZIP_OK;
      std::wstring path = parent->path() + L"\\" + parts[i];
      if (r != HoldResult::kOk) {
        return Refuse(index, path, brx::platform::DescribeHoldResult(r), ZIP_ERR_CREATE, parent->last_error(),
                      "the folder ");
      }
      parent = &folder->held;
      *out = folder.get();
      folder->key = key;
      folders_.push_back(std::move(folder));
    }
    return ZIP_OK;
  }

  const HeldDirectory& Held(const Folder& folder) const { return &folder == &root_ ? destination_ : folder.held; }

  ZIP_Result WriteFile(size_t index, const Folder& folder, const std::wstring& leaf, const std::wstring& target) {
    const HeldDirectory& held = Held(folder);
    File file;
    std::wstring temp;
    HoldResult r = held.CreateNewFile(leaf.c_str(), &file);
    if (r == HoldResult::kExists) {
      FileIdentity existing;
      HeldEntry seen;
      HoldResult what = held.Inspect(leaf.c_str(), &existing, &seen);
      size_t earlier = 0;
      while (what == HoldResult::kOk && earlier < written_.size() && written_[earlier] != existing) ++earlier;
      if (what == HoldResult::kOk && earlier < written_.size()) {
        // Two entries, one file (a short name and the long name it belongs
        // to): the file that was checked would not be the one left on disk.
        const wchar_t* other = entries_[written_entries_[earlier]]->GetTargetName();
        if (report_) report_->other_entry = other ? other : L"";
        return Refuse(index, target, "would overwrite the file another entry of this package wrote", ZIP_ERR_FORMAT,
                      0);
      }
      if (folder.fresh || seen.directory) {
        return Refuse(index, target, "a folder of that name exists", ZIP_ERR_CREATE, 0);
      }
      // A read-only file is never replaced behind its owner's back.
      if (seen.read_only) return Refuse(index, target, "an existing read-only file", ZIP_ERR_CREATE, 0);
      // An existing file in a folder that is older than this run is replaced
      // by a new one, never written in place: it may be a second hard link
      // (or, under Wine, a symbolic link) to a file elsewhere.
      r = held.CreateTemporaryFile(&file, &temp);
    }
    if (r != HoldResult::kOk) {
      return Refuse(index, target, brx::platform::DescribeHoldResult(r), ZIP_ERR_CREATE, held.last_error(),
                    "the file ");
    }
    ZIP_FileEntry& entry = *entries_[index];
    ZIP_Result result = entry.WriteToFile(&file);
    // Stamped even after a failed write: a new file stays as evidence.
    file.SetDosTime(entry.GetDosDate(), entry.GetDosTime());
    if (!temp.empty()) {
      HoldResult moved = result == ZIP_OK ? held.ReplaceWith(&file, temp.c_str(), leaf.c_str()) : HoldResult::kFailed;
      if (moved != HoldResult::kOk) {
        // The old file stays whole; the new one goes.
        file.Close();
        held.DeleteChild(temp.c_str());
        if (result != ZIP_OK) return result;
        return Refuse(index, target, "the existing file cannot be replaced", ZIP_ERR_CREATE, held.last_error());
      }
    }
    FileIdentity identity;
    if (brx::platform::IdentityOf(file, &identity)) {
      written_.push_back(identity);
      written_entries_.push_back(index);
      if (report_) report_->created.push_back(identity);
    }
    file.SetArchiveAttributes(entry.GetExternalAttributes());
    return result;
  }

  const std::vector<std::unique_ptr<ZIP_FileEntry>>& entries_;
  const HeldDirectory& destination_;
  bool fresh_;
  ExtractReport* report_;
  Folder root_;  // stands for destination_
  std::vector<std::unique_ptr<Folder>> folders_;
  std::vector<FileIdentity> written_;   // the files written, and
  std::vector<size_t> written_entries_;  // the entries that wrote them
  std::vector<FileIdentity> created_folders_;
};

// The name rules, before anything is touched.
ZIP_Result RefuseNames(const ZIP_File& archive, ExtractReport* report) {
  std::vector<RefusedEntry> refused = FindRefusedEntries(archive);
  if (refused.empty()) return ZIP_OK;
  if (report) {
    report->entry = refused[0].name;
    report->other_entry = refused[0].other_name;
    report->reason = DescribeEntryRefusal(refused[0].reason);
  }
  return ZIP_ERR_FORMAT;
}

}  // namespace

ZIP_Result ZIP_FileEntry::WriteToFile(brx::platform::File* file) {
  if (!file || !file->IsOpen()) return ZIP_ERR_ARGUMENT;
  ZIP_ReadContext context;
  ZIP_Result result = BeginRead(&context);
  if (result != ZIP_OK) return result;
  const bool large = uncompressed_size_ >= kOverlapFrom;
  std::unique_ptr<unsigned char[]> buffers(new (std::nothrow) unsigned char[large ? 2 * kCopyChunk : kCopyChunk]);
  if (!buffers) return ZIP_ERR_NO_MEMORY;
  Output output = {file, 0};
  // Declared after the buffers: it finishes with them before they go.
  brx::platform::PieceWorker worker(&Output::Work, &output);
  const bool overlap = large && worker.Start();
  // The CRC-32 is summed where the bytes are written: each byte read once.
  context.crc_by_caller_ = true;
  ZIP_Result read = ZIP_OK;
  bool written = true;
  // With the worker, the two buffers take turns: one is written while the
  // other fills (Submit returns only once the piece before is done).
  for (uint32_t turn = 0;; turn = overlap ? 1 - turn : 0) {
    unsigned char* buffer = buffers.get() + static_cast<size_t>(turn) * kCopyChunk;
    uint32_t delivered = 0;
    read = ReadChunk(buffer, kCopyChunk, &context, &delivered);
    if (read != ZIP_OK || delivered == 0) break;
    if (!worker.Submit(buffer, delivered)) {
      written = false;
      break;
    }
  }
  if (!worker.Finish()) written = false;
  context.crc_ = output.crc;
  ZIP_Result end = EndRead(&context);
  if (read != ZIP_OK) return read;
  // A file that could not be written in full was not created.
  if (!written) return ZIP_ERR_CREATE;
  return end;
}

ZIP_Result ZIP_File::ExtractAll(const wchar_t* destination, ExtractProgressCallback callback,
                                void* callback_argument, ExtractReport* report) {
  // Every name is checked before the first byte is written (the destination
  // included), so a hostile entry late in the archive leaves nothing behind.
  ZIP_Result names = RefuseNames(*this, report);
  if (names != ZIP_OK) return names;
  std::wstring where = destination ? destination : brx::platform::CurrentDirectory();
  // Only absolute local paths: network and relative destinations are refused.
  if (brx::platform::LocalRootLength(where.c_str()) == 0 || where.size() >= kMaxTargetPath + 3) return ZIP_ERR_FAILED;
  HeldDirectory held;
  bool created = false;
  HoldResult r = held.Create(where.c_str(), nullptr, &created);
  if (r != HoldResult::kOk) {
    if (report) {
      report->path = where;
      report->reason = std::string("the destination folder ") + brx::platform::DescribeHoldResult(r);
      report->error = held.last_error();
    }
    // A destination that is a link (or passes through one) would receive the
    // package somewhere its name does not say: refused, not a folder that
    // merely cannot be made.
    return r == HoldResult::kLink || r == HoldResult::kOtherVolume ? ZIP_ERR_CREATE : ZIP_ERR_FAILED;
  }
  return ExtractAll(held, created, callback, callback_argument, report);
}

ZIP_Result ZIP_File::ExtractAll(const HeldDirectory& destination, bool fresh, ExtractProgressCallback callback,
                                void* callback_argument, ExtractReport* report) {
  ZIP_Result names = RefuseNames(*this, report);
  if (names != ZIP_OK) return names;
  std::vector<std::wstring> targets;
  targets.reserve(entries_.size());
  for (const auto& entry : entries_) {
    targets.push_back(TargetPath(destination.path().c_str(), entry->GetTargetName()));
    if (targets.back().size() > kMaxTargetPath) {
      if (report) {
        report->entry = entry->GetTargetName() ? entry->GetTargetName() : L"";
        report->path = targets.back();
        report->reason = "the target path is longer than 260 characters";
      }
      return ZIP_ERR_CREATE;
    }
  }
  Extraction extraction(entries_, destination, fresh, report);
  ZIP_Result held = extraction.HoldExistingFolders();
  if (held != ZIP_OK) return held;

  ExtractProgress progress;
  progress.total = entries_.size();
  for (size_t i = 0; i < entries_.size(); ++i) {
    progress.index = i + 1;
    progress.path = targets[i].c_str();
    if (callback && !callback(callback_argument, &progress)) return ZIP_OK;
    ZIP_Result result = extraction.Extract(i, targets[i]);
    if (result != ZIP_OK) return result;
  }
  return ZIP_OK;
}

}  // namespace brxzip
