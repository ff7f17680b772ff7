// The Authenticode certificate table of a signed executable.
//
// A package is signed after it is built: the signer appends the table (and up
// to seven zero bytes of alignment before it) and points the image's security
// data directory at it. The signature's hash covers everything except that
// directory entry, the checksum and the table itself, so anything placed
// inside the table (a second archive, say) leaves the signature valid. The
// archive reader therefore looks only at the bytes before the table.
#ifndef BRX_ARCHIVE_CERTIFICATE_TABLE_H_
#define BRX_ARCHIVE_CERTIFICATE_TABLE_H_

#include <stdint.h>

namespace brx {
namespace platform {
class File;
}  // namespace platform
}  // namespace brx

namespace brxzip {

enum class CertificateTable {
  kNone,       // not a PE image, or its security data directory is empty
  kPresent,    // *table_offset is where the table begins
  kMalformed,  // a directory entry half set, or a table that does not end at the end of the file
};

// Where a signed image keeps what its signature's digest leaves out.
struct CertificateTableLocation {
  uint64_t table_offset = 0;
  uint64_t table_size = 0;
  uint64_t checksum_offset = 0;   // the optional header's CheckSum, 4 bytes
  uint64_t directory_offset = 0;  // the security data directory entry, 8 bytes
};

// Reads the PE headers at the start of `file` (of `file_size` bytes).
CertificateTable LocateCertificateTable(brx::platform::File* file, uint64_t file_size,
                                        CertificateTableLocation* location);
CertificateTable FindCertificateTable(brx::platform::File* file, uint64_t file_size, uint64_t* table_offset);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_CERTIFICATE_TABLE_H_
