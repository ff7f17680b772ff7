#include "brxpack/package_tool.h"

#include <stdio.h>

#include "platform/dir.h"

namespace brxpack {

std::string ListArchive(const brxzip::ZIP_File& archive, const std::string& archive_name) {
  std::string out = "Archive:  " + archive_name + "\n";
  out += "  Length      Date    Time    Name\n";
  out += "---------  ---------- -----   ----\n";
  uint64_t total = 0;
  uint64_t count = archive.GetEntryCount();
  char line[64];
  for (uint64_t i = 0; i < count; ++i) {
    const brxzip::ZIP_FileEntry* e = archive.GetEntryAt(i);
    uint32_t d = e->GetDosDate(), t = e->GetDosTime();
    snprintf(line, sizeof(line), "%9lu  %02u-%02u-%04u %02u:%02u   ",
             static_cast<unsigned long>(e->GetUncompressedSize()), (d >> 5) & 0x0F, d & 0x1F,
             ((d >> 9) & 0x7F) + 1980, (t >> 11) & 0x1F, (t >> 5) & 0x3F);
    out += line;
    out += e->GetName() ? e->GetName() : "";
    out += '\n';
    total += e->GetUncompressedSize();
  }
  snprintf(line, sizeof(line), "%9llu                     %llu file%s\n",
           static_cast<unsigned long long>(total), static_cast<unsigned long long>(count),
           count == 1 ? "" : "s");
  out += "---------                     -------\n";
  out += line;
  return out;
}

brxzip::ZIP_Result ExtractPackage(brxzip::ZIP_File* archive, const std::wstring& directory) {
  std::wstring target = directory;
  if (brx::platform::LocalRootLength(target.c_str()) == 0) {
    std::wstring cwd = brx::platform::CurrentDirectory();
    if (cwd.empty()) return brxzip::ZIP_ERR_FAILED;
    if (!brx::platform::IsPathSeparator(cwd.back())) cwd.push_back(L'\\');
    target = cwd + target;
  }
  while (target.size() > 1 && brx::platform::IsPathSeparator(target.back()) &&
         target.size() > brx::platform::LocalRootLength(target.c_str())) {
    target.pop_back();
  }
  return archive->ExtractAll(target.c_str(), nullptr, nullptr);
}

const char* ResultName(int result) {
  switch (result) {
    case brxzip::ZIP_OK: return "ZIP_OK";
    case brxzip::ZIP_ERR_FAILED: return "ZIP_ERR_FAILED";
    case brxzip::ZIP_ERR_END_OF_STREAM: return "ZIP_ERR_END_OF_STREAM";
    case brxzip::ZIP_ERR_SEEK: return "ZIP_ERR_SEEK";
    case brxzip::ZIP_ERR_CREATE: return "ZIP_ERR_CREATE";
    case brxzip::ZIP_ERR_NO_MEMORY: return "ZIP_ERR_NO_MEMORY";
    case brxzip::ZIP_ERR_CRC: return "ZIP_ERR_CRC";
    case brxzip::ZIP_ERR_FORMAT: return "ZIP_ERR_FORMAT";
    case brxzip::ZIP_ERR_ARGUMENT: return "ZIP_ERR_ARGUMENT";
    case brxzip::ZIP_ERR_OPEN: return "ZIP_ERR_OPEN";
    default: return "unknown result";
  }
}

}  // namespace brxpack
