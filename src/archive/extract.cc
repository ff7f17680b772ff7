#include <wchar.h>

#include <set>
#include <string>
#include <vector>

#include "archive/directory_path.h"
#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path_info.h"

namespace brxzip {

namespace {

const size_t kMaxTargetPath = 260;
const uint32_t kCopyChunk = 16384;

std::wstring TargetPath(const wchar_t* destination, const wchar_t* name) {
  std::wstring path;
  if (destination) {
    path.assign(destination);
    path.push_back(L'\\');
  }
  path += name;
  return path;
}

// In a folder that existed before (a /instpath: folder), a junction or
// symbolic link below the destination would carry an entry's bytes outside
// it ("sub" linked to C:\Windows receives "sub/x.dll"), and one in place of
// the entry's file would overwrite the file it names. True when any level of
// target below destination is a link or cannot be examined; `seen` holds the
// levels already found clean.
bool PassesThroughLink(const std::wstring& destination, const std::wstring& target,
                       std::set<std::wstring>* seen) {
  for (size_t i = destination.size() + 1; i <= target.size(); ++i) {
    if (i < target.size() && !brx::platform::IsPathSeparator(target[i])) continue;
    std::wstring level = target.substr(0, i);
    if (level.empty() || brx::platform::IsPathSeparator(level.back()) || seen->count(level)) continue;
    brx::platform::PathKind kind = brx::platform::KindOf(level.c_str());
    if (kind == brx::platform::PathKind::kLink || kind == brx::platform::PathKind::kUnknown) return true;
    // Nothing below a missing level exists yet.
    if (kind == brx::platform::PathKind::kMissing) return false;
    seen->insert(level);
  }
  return false;
}

}  // namespace

ZIP_Result ZIP_FileEntry::WriteToFile(brx::platform::File* file) {
  if (!file || !file->IsOpen()) return ZIP_ERR_ARGUMENT;
  ZIP_ReadContext context;
  ZIP_Result result = BeginRead(&context);
  if (result != ZIP_OK) return result;
  unsigned char buffer[kCopyChunk];
  ZIP_Result read = ZIP_OK;
  bool written = true;
  for (;;) {
    uint32_t delivered = 0;
    read = ReadChunk(buffer, sizeof(buffer), &context, &delivered);
    if (read != ZIP_OK || delivered == 0) break;
    if (!file->Write(buffer, delivered)) {
      written = false;
      break;
    }
  }
  ZIP_Result end = EndRead(&context);
  if (read != ZIP_OK) return read;
  // A file that could not be written in full was not created.
  if (!written) return ZIP_ERR_CREATE;
  return end;
}

ZIP_Result ZIP_FileEntry::ExtractTo(const wchar_t* target_path) {
  if (!target_path || !*target_path) return ZIP_ERR_CREATE;
  size_t length = wcslen(target_path);
  if (length > kMaxTargetPath) return ZIP_ERR_CREATE;

  std::wstring directory(target_path);
  size_t last = directory.find_last_of(L"\\/");
  if (last != std::wstring::npos) {
    // The outcome shows in the file creation below.
    directory.resize(last + 1);
    MakeDirectoryChain(directory.c_str(), brx::platform::LocalRootLength(directory.c_str()));
  }

  brx::platform::File file;
  if (!file.Open(target_path, brx::platform::FileMode::kCreateAlways)) return ZIP_ERR_CREATE;
  ZIP_Result result = WriteToFile(&file);
  // Stamped even after a failed write: the file stays as evidence.
  file.SetDosTime(dos_date_, dos_time_);
  file.Close();
  brx::platform::SetArchiveAttributes(target_path, external_attributes_);
  return result;
}

ZIP_Result ZIP_File::ExtractAll(const wchar_t* destination, ExtractProgressCallback callback,
                                void* callback_argument) {
  // Every name and path is checked before the first byte is written (the
  // destination included), so a hostile entry late in the archive leaves no
  // partial extraction behind.
  if (!FindRefusedEntries(*this).empty()) return ZIP_ERR_FORMAT;
  if (destination && !EnsureDirectoryPath(destination)) return ZIP_ERR_FAILED;

  std::vector<std::wstring> targets;
  targets.reserve(entries_.size());
  std::set<std::wstring> clean_levels;
  for (const auto& entry : entries_) {
    targets.push_back(TargetPath(destination, entry->GetTargetName()));
    if (targets.back().size() > kMaxTargetPath) return ZIP_ERR_CREATE;
    if (destination && PassesThroughLink(destination, targets.back(), &clean_levels)) return ZIP_ERR_CREATE;
  }

  ExtractProgress progress;
  progress.total = entries_.size();
  for (size_t i = 0; i < entries_.size(); ++i) {
    std::wstring& target = targets[i];
    progress.index = i + 1;
    progress.path = target.c_str();
    if (callback && !callback(callback_argument, &progress)) return ZIP_OK;
    if (brx::platform::IsPathSeparator(target.back())) {
      target.pop_back();
      size_t root = brx::platform::LocalRootLength(target.c_str());
      if (destination ? !EnsureDirectoryPath(target.c_str()) : !MakeDirectoryChain(target.c_str(), root)) {
        return ZIP_ERR_FAILED;
      }
      continue;
    }
    ZIP_Result result = entries_[i]->ExtractTo(target.c_str());
    if (result != ZIP_OK) return result;
  }
  return ZIP_OK;
}

}  // namespace brxzip
