// Opens arbitrary bytes as a package (a PE image with a certificate table
// among the seeds), judges its entries' names and reads every entry, whole
// and in small chunks, as the stub and the package loader do. An archive that
// opens must also keep the reader's promises: no two entries share bytes,
// all lie before the directory, every decoded name is found by its own
// lookup, and a name flagged UTF-8 is exactly its stored bytes; a broken
// promise aborts, which the fuzzer reports as a crash.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "platform/file.h"
#include "platform/utf8.h"

namespace {

std::string g_scratch;

void RemoveScratch() { unlink(g_scratch.c_str()); }

// The reader opens paths, so every input goes through one scratch file.
std::wstring ScratchPath() {
  g_scratch = "/tmp/brx-archive-fuzz-" + std::to_string(getpid()) + ".bin";
  atexit(RemoveScratch);
  return std::wstring(g_scratch.begin(), g_scratch.end());
}

void Judge(const brxzip::ZIP_File& zip, size_t file_size) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (uint64_t i = 0; i < zip.GetEntryCount(); ++i) {
    const brxzip::ZIP_FileEntry* e = zip.GetEntryAt(i);
    uint64_t data_end = e->GetDataOffset() + e->GetCompressedSize();
    if (data_end > zip.GetCentralDirectoryOffset() || data_end > file_size) abort();
    spans.emplace_back(e->GetLocalHeaderOffset(), data_end);
    const wchar_t* name = e->GetTargetName();
    if (!name) continue;
    // The lookup of an entry's own name finds it, or an earlier equal name.
    const brxzip::ZIP_FileEntry* found = zip.FindEntry(name);
    uint64_t at = 0;
    while (at <= i && zip.GetEntryAt(at) != found) ++at;
    if (at > i) abort();
    if ((e->GetFlags() & brxzip::kUtf8NameFlag) && brx::platform::WideToUtf8(name) != e->GetName()) abort();
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::wstring path = ScratchPath();
  {
    brx::platform::File f;
    if (!f.Open(path.c_str(), brx::platform::FileMode::kCreateAlways)) return 0;
    if (size && !f.Write(data, static_cast<uint32_t>(size))) return 0;
  }
  brxzip::ZIP_File zip;
  if (zip.OpenArchive(path.c_str(), 1) != brxzip::ZIP_OK) return 0;
  zip.FindEntry(L"ZT_DATA.XML");
  brxzip::FindRefusedEntries(zip);
  Judge(zip, size);
  static std::vector<unsigned char> whole;
  for (uint64_t i = 0; i < zip.GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* e = zip.GetEntryAt(i);
    // Sizes come from the input: read big entries only in pieces.
    if (e->GetUncompressedSize() <= (1u << 20)) {
      whole.resize(e->GetUncompressedSize());
      e->ReadToMemory(whole.data(), whole.size());
    }
    brxzip::ZIP_ReadContext context;
    if (e->BeginRead(&context) != brxzip::ZIP_OK) continue;
    unsigned char chunk[777];
    uint64_t total = 0;
    for (;;) {
      uint32_t got = 0;
      if (e->ReadChunk(chunk, sizeof(chunk), &context, &got) != brxzip::ZIP_OK || got == 0) break;
      total += got;
      if (total > (4u << 20)) break;
    }
    e->EndRead(&context);
  }
  return 0;
}
