// One entry to a path of its own, for tools and tests; the stub extracts
// through held folders (extract.cc).
#include <wchar.h>

#include <string>

#include "archive/directory_path.h"
#include "archive/zip_file.h"
#include "platform/dir.h"
#include "platform/file.h"

namespace brxzip {

namespace {

const size_t kMaxTargetPath = 260;

}  // namespace

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

}  // namespace brxzip
