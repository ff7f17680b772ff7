#include "archive/certificate_table.h"

#include "archive/header_reader.h"

namespace brxzip {

namespace {

const uint32_t kDosMagic = 0x5A4D;           // "MZ"
const uint32_t kPeSignature = 0x00004550;    // "PE\0\0"
const uint32_t kPe32Magic = 0x10B;
const uint32_t kPe32PlusMagic = 0x20B;
const uint32_t kSecurityDirectory = 4;       // index in the data directories
const uint32_t kHeaderWindow = 4096;

}  // namespace

CertificateTable LocateCertificateTable(brx::platform::File* file, uint64_t file_size,
                                        CertificateTableLocation* location) {
  *location = CertificateTableLocation();
  HeaderReader reader(file, file_size, kHeaderWindow);
  if (reader.ReadU16() != kDosMagic) return CertificateTable::kNone;
  reader.Seek(0x3C);
  uint64_t pe = reader.ReadU32();
  reader.Seek(pe);
  if (reader.ReadU32() != kPeSignature) return CertificateTable::kNone;
  reader.Seek(pe + 20);
  uint32_t optional_size = reader.ReadU16();
  uint64_t optional = pe + 24;
  reader.Seek(optional);
  uint32_t magic = reader.ReadU16();
  uint32_t directories_at = 0;
  if (magic == kPe32Magic) {
    directories_at = 96;
  } else if (magic == kPe32PlusMagic) {
    directories_at = 112;
  } else {
    return CertificateTable::kNone;
  }
  reader.Seek(optional + directories_at - 4);
  uint32_t directory_count = reader.ReadU32();
  uint32_t security_at = directories_at + kSecurityDirectory * 8;
  // The loader ignores directories beyond the count or the header's size.
  if (directory_count <= kSecurityDirectory || security_at + 8 > optional_size) return CertificateTable::kNone;
  reader.Seek(optional + security_at);
  uint64_t offset = reader.ReadU32();  // a file offset for this directory, not an address
  uint64_t size = reader.ReadU32();
  if (offset == 0 && size == 0) return CertificateTable::kNone;
  // Half an entry, or a table that stops short of the end of the file (data
  // after it is covered by nothing) or runs past it: not a signature this
  // reader can stand behind, so the package is refused rather than searched.
  if (offset == 0 || size == 0 || offset + size != file_size) return CertificateTable::kMalformed;
  location->table_offset = offset;
  location->table_size = size;
  location->checksum_offset = optional + 64;
  location->directory_offset = optional + security_at;
  return CertificateTable::kPresent;
}

CertificateTable FindCertificateTable(brx::platform::File* file, uint64_t file_size, uint64_t* table_offset) {
  CertificateTableLocation location;
  CertificateTable table = LocateCertificateTable(file, file_size, &location);
  *table_offset = location.table_offset;
  return table;
}

}  // namespace brxzip
