// Opens arbitrary bytes as a package (a PE image with a certificate table
// among the seeds), judges its entries' names and reads every entry, whole
// and in small chunks, as the stub and the package loader do.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "archive/zip_file.h"
#include "platform/file.h"

namespace {

std::string g_scratch;

void RemoveScratch() { unlink(g_scratch.c_str()); }

// The reader opens paths, so every input goes through one scratch file.
std::wstring ScratchPath() {
  g_scratch = "/tmp/brx-archive-fuzz-" + std::to_string(getpid()) + ".bin";
  atexit(RemoveScratch);
  return std::wstring(g_scratch.begin(), g_scratch.end());
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
