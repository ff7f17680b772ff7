#include "brxpack/package_tool.h"

#include <stdio.h>

#include "archive/entry_name.h"
#include "base/terminal_text.h"
#include "platform/dir.h"
#include "platform/utf8.h"

namespace brxpack {

namespace {

// `value` in decimal, right-aligned in `width` with `pad` (as printf's %9lu
// and %02u), at *at, which moves past it: a listing formats five numbers per
// entry, and printf costs more than all the rest of a line.
void PutNumber(char** at, uint64_t value, size_t width, char pad) {
  char digits[20];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (; width > n; --width) *(*at)++ = pad;
  while (n > 0) *(*at)++ = digits[--n];
}

void PutText(char** at, const char* text) {
  while (*text) *(*at)++ = *text++;
}

// The listing, handed to `flush` whenever `out` holds some 64 KiB, and at the
// end (`out` is then empty again).
template <typename Flush>
void MakeListing(const brxzip::ZIP_File& archive, const std::string& archive_name, std::string& out, Flush flush) {
  const size_t kFlushAt = 64 * 1024;
  out.reserve(kFlushAt + 4096);
  out += "Archive:  " + brx::TerminalTextUtf8(archive_name) + "\n";
  out += "  Length      Date    Time    Name\n";
  out += "---------  ---------- -----   ----\n";
  uint64_t total = 0;
  uint64_t count = archive.GetEntryCount();
  char line[96];
  for (uint64_t i = 0; i < count; ++i) {
    const brxzip::ZIP_FileEntry* e = archive.GetEntryAt(i);
    uint32_t d = e->GetDosDate(), t = e->GetDosTime();
    // "%9lu  %02u-%02u-%04u %02u:%02u   ": at most 20 + 23 characters.
    char* at = line;
    PutNumber(&at, e->GetUncompressedSize(), 9, ' ');
    PutText(&at, "  ");
    PutNumber(&at, (d >> 5) & 0x0F, 2, '0');
    *at++ = '-';
    PutNumber(&at, d & 0x1F, 2, '0');
    *at++ = '-';
    PutNumber(&at, ((d >> 9) & 0x7F) + 1980, 4, '0');
    *at++ = ' ';
    PutNumber(&at, (t >> 11) & 0x1F, 2, '0');
    *at++ = ':';
    PutNumber(&at, (t >> 5) & 0x3F, 2, '0');
    PutText(&at, "   ");
    out.append(line, static_cast<size_t>(at - line));
    if (e->GetTargetName()) brx::AppendTerminalText(e->GetTargetName(), &out);
    out += '\n';
    total += e->GetUncompressedSize();
    if (out.size() >= kFlushAt) {
      flush(out);
      out.clear();
    }
  }
  snprintf(line, sizeof(line), "%9llu                     %llu file%s\n",
           static_cast<unsigned long long>(total), static_cast<unsigned long long>(count),
           count == 1 ? "" : "s");
  out += "---------                     -------\n";
  out += line;
  flush(out);
  out.clear();
}

}  // namespace

std::string ListArchive(const brxzip::ZIP_File& archive, const std::string& archive_name) {
  std::string listing, part;
  MakeListing(archive, archive_name, part, [&listing](const std::string& text) { listing += text; });
  return listing;
}

void WriteListing(const brxzip::ZIP_File& archive, const std::string& archive_name, FILE* out) {
  std::string part;
  MakeListing(archive, archive_name, part,
              [out](const std::string& text) { fwrite(text.data(), 1, text.size(), out); });
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

std::string DescribeOpenFailure(int result, const std::string& path) {
  switch (result) {
    case brxzip::ZIP_ERR_OPEN: return "cannot open " + path + " (missing, a directory, or not readable)";
    case brxzip::ZIP_ERR_FAILED: return "no package archive found at the end of " + path;
    case brxzip::ZIP_ERR_FORMAT:
      return "the package archive in " + path +
             " is damaged or unsupported (headers or data descriptors that disagree, entries that overlap,"
             " a directory other than the end record describes, an end record cut short or inside a comment,"
             " a name flagged UTF-8 that is not, a multi-disk archive, or a signature that does not close the file)";
    case brxzip::ZIP_ERR_SEEK: return "cannot read " + path + " (a header points outside the file)";
    case brxzip::ZIP_ERR_NO_MEMORY: return "out of memory while reading " + path;
    default: return "cannot read the package archive in " + path;
  }
}

std::string DescribeExtractFailure(int result, const std::string& directory) {
  switch (result) {
    case brxzip::ZIP_ERR_FORMAT:
      return "an entry has an unsafe name, an unsupported compression method or corrupt data";
    case brxzip::ZIP_ERR_CRC: return "an entry's data is corrupt (its checksum does not match)";
    case brxzip::ZIP_ERR_CREATE:
      return "cannot create a file under " + directory + " (read-only, in the way, or a path over 260 characters)";
    case brxzip::ZIP_ERR_FAILED: return "cannot create " + directory + " or a directory below it";
    case brxzip::ZIP_ERR_END_OF_STREAM: return "an entry's data ends before its size";
    case brxzip::ZIP_ERR_NO_MEMORY: return "out of memory";
    default: return "cannot read an entry's data from the package";
  }
}

std::vector<std::string> CodePageNameWarnings(const brxzip::ZIP_File& archive, uint32_t code_page) {
  std::vector<std::string> warnings;
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    const brxzip::ZIP_FileEntry* e = archive.GetEntryAt(i);
    if (e->GetNameEncoding() != brxzip::NameEncoding::kCodePage || !e->GetName() || brxzip::IsAsciiName(e->GetName())) {
      continue;
    }
    warnings.push_back("the name \"" + brx::TerminalText(e->GetTargetName()) + "\" (code page " +
                       std::to_string(code_page) +
                       ") is not stored as UTF-8: a server with another ANSI code page writes another name");
  }
  return warnings;
}

std::string DescribeRefusedEntries(const brxzip::ZIP_File& archive) {
  std::string out;
  for (const brxzip::RefusedEntry& refused : brxzip::FindRefusedEntries(archive)) {
    out += "refusing entry " +
           (refused.name.empty() ? std::string("(no name)") : brx::TerminalText(refused.name)) + ": " +
           brxzip::DescribeEntryRefusal(refused.reason) +
           (refused.other_name.empty() ? std::string() : " (" + brx::TerminalText(refused.other_name) + ")") +
           "\n";
  }
  return out;
}

}  // namespace brxpack
