// The package's reads from the appended archive: through the archive the
// package was loaded through, or else through an archive object of its own
// opened on the package's file for each operation. Reads never depend on an
// archive's state (every data chunk is read after an absolute seek), so a
// shared archive is not disturbed.
#include <wchar.h>

#include <new>

#include "archive/zip_file.h"
#include "package/definition_search.h"
#include "package/ppkg.h"
#include "package/zip_entry_source.h"

namespace brx {

bool ZipEntrySource::FindEntry(const wchar_t* name, uint64_t* size) {
  brxzip::ZIP_FileEntry* entry = archive_->FindEntry(name);
  if (!entry) return false;
  *size = entry->GetUncompressedSize();
  return true;
}

bool ZipEntrySource::ReadEntry(const wchar_t* name, void* destination, uint64_t size) {
  brxzip::ZIP_FileEntry* entry = archive_->FindEntry(name);
  return entry && entry->ReadToMemory(destination, size) == brxzip::ZIP_OK;
}

bool HasXmlExtension(const wchar_t* name) {
  const wchar_t* component = name;
  for (const wchar_t* p = name; *p; ++p) {
    if (*p == L'/' || *p == L'\\') component = p + 1;
  }
  const wchar_t* dot = wcsrchr(component, L'.');
  if (!dot || wcslen(dot) != 4) return false;
  for (int i = 0; i < 4; ++i) {
    wchar_t c = dot[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != L".xml"[i]) return false;
  }
  return true;
}

bool LoadXmlEntry(brxzip::ZIP_FileEntry* entry, CBrxXMLReader* reader) {
  // A document is parsed from memory: one claiming 4 GiB or more is not read
  // at all rather than read cut to its size's low 32 bits.
  if (entry->GetUncompressedSize() > 0xFFFFFFFFu) return false;
  uint32_t size = static_cast<uint32_t>(entry->GetUncompressedSize());
  if (size == 0) return false;  // nothing to parse
  EntryBuffer buffer;
  buffer.data.reset(new (std::nothrow) uint8_t[size]);
  if (!buffer.data || entry->ReadToMemory(buffer.data.get(), size) != brxzip::ZIP_OK) return false;
  return reader->Load(buffer.data.get(), size) == CBrxXMLReader::kLoadOk;
}

bool IsKnownDefinition(const CBrxXMLReader& reader) {
  return reader.FindChild(nullptr, L"brx_package", L"version", L"2.0.1.0") ||
         reader.FindChild(nullptr, L"brx_package", L"version", L"2.0.2.0");
}

}  // namespace brx

namespace {

const unsigned char kReadOnly = 1;

}  // namespace

bool CPPkg::LoadPackage(const wchar_t* archivePath, const wchar_t* definitionEntryName,
                        const wchar_t* language) {
  if (!archivePath || !definitionEntryName) return false;
  brxzip::ZIP_File archive;
  if (archive.OpenArchive(archivePath, kReadOnly) != brxzip::ZIP_OK) return false;
  brx::ZipEntrySource source(&archive);
  bool loaded = LoadPackageFrom(&source, archivePath, definitionEntryName, language);
  archive.CloseArchive();
  archive_ = nullptr;
  return loaded;
}

bool CPPkg::LoadPackage(const brxzip::ZIP_File& archive, const wchar_t* archivePath,
                        const wchar_t* definitionEntryName, const wchar_t* language) {
  if (!archivePath || !definitionEntryName) return false;
  brx::ZipEntrySource source(&archive);
  if (!LoadPackageFrom(&source, archivePath, definitionEntryName, language)) return false;
  archive_ = &archive;
  return true;
}

bool CPPkg::FindDefinitionEntry(const brxzip::ZIP_File& archive, PackagePath* outName) const {
  if (!outName) return false;
  CBrxXMLReader reader;
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* entry = archive.GetEntryAt(i);
    const wchar_t* name = entry ? entry->GetTargetName() : nullptr;
    if (!name || !brx::HasXmlExtension(name)) continue;
    if (!brx::LoadXmlEntry(entry, &reader) || !brx::IsKnownDefinition(reader)) continue;
    // A name too long to hand back could not be loaded by name either.
    if (!outName->Assign(name, wcslen(name))) continue;
    return true;
  }
  return false;
}

bool CPPkg::GetPackageSize(uint64_t* outSize) const {
  if (!outSize) return false;
  *outSize = 0;
  brxzip::ZIP_File own;
  const brxzip::ZIP_File* archive = archive_;
  if (!archive) {
    if (archive_path_.empty() || own.OpenArchive(archive_path_.get(), kReadOnly) != brxzip::ZIP_OK) return false;
    archive = &own;
  }
  uint64_t total = 0;
  for (uint64_t i = 0; i < archive->GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* entry = archive->GetEntryAt(i);
    // A size counted short would let the extraction fill the disk.
    if (!entry) return false;
    uint64_t size = entry->GetUncompressedSize();
    if (total + size < total) return false;
    total += size;
  }
  *outSize = total;
  return true;
}

bool CPPkg::GetLicenseText(void* buffer, size_t* inOutSize) const {
  if (!package_data_.loaded() || !inOutSize) return false;
  brxzip::ZIP_File own;
  const brxzip::ZIP_File* archive = archive_;
  if (!archive) {
    if (archive_path_.empty() || own.OpenArchive(archive_path_.get(), kReadOnly) != brxzip::ZIP_OK) return false;
    archive = &own;
  }
  brx::ZipEntrySource source(archive);
  return GetLicenseTextFrom(&source, buffer, inOutSize);
}
