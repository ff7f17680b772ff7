// Whether a signed package still matches its Authenticode signature.
//
// A signature's digest covers the image and the appended archive: every byte
// before the certificate table except the optional header's CheckSum and the
// security data directory entry, zero-padded to a multiple of eight bytes as
// the signer pads the file before appending the table. A package changed
// after signing (one stored byte, CRC fixed up) no longer matches it.
//
// Every signature counts: each entry of the certificate table and every
// signature nested in one (a second signer added with `signtool /as` or
// `osslsigncode -nest`, kept in the first signer's unsigned attributes, which
// its own signature does not cover). A package changed and re-signed with
// the first signature kept nested would otherwise still claim that signer.
//
// Only the signature's own consistency is checked (see
// platform/signed_content.h), never whom the certificate belongs to: chain
// trust and revocation are the operating system's policy (WDAC, AppLocker).
#ifndef BRX_ARCHIVE_IMAGE_SIGNATURE_H_
#define BRX_ARCHIVE_IMAGE_SIGNATURE_H_

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "archive/certificate_table.h"
#include "platform/digest.h"

namespace brx {
namespace platform {
class File;
}  // namespace platform
}  // namespace brx

namespace brxzip {

enum class ImageSignature {
  kUnsigned,        // no certificate table
  kValidDigest,     // the signature is intact and its digest matches the file
  kDigestMismatch,  // the signature is intact, the file was changed
  kSignatureFails,  // the signature itself was altered
  kUnreadable,      // a table or signature this code cannot read
};

// One signature of a package and what checking it gave.
struct SignatureCheck {
  uint32_t depth = 0;  // 0: an entry of the certificate table; 1: nested in one; ...
  bool algorithm_known = false;  // false when the signature could not be read that far
  brx::platform::DigestAlgorithm algorithm = brx::platform::DigestAlgorithm::kSha256;  // its image digest's
  ImageSignature result = ImageSignature::kUnreadable;
};

// Reads the certificate table and checks every signature in it, nested ones
// included, against the file. kValidDigest only when every one is valid;
// otherwise the result of the first that is not, in the order of `each`
// (when given: the table's entries in order, each followed by the
// signatures nested in it). Every read goes through `file`, so a caller that
// keeps the handle (opened without write sharing) keeps what was checked.
ImageSignature CheckImageSignature(brx::platform::File* file, std::vector<SignatureCheck>* each = nullptr);

// The image digest Authenticode computes for the file laid out as `location`
// says; false when the file cannot be read or the layout makes no sense.
bool ComputeImageDigest(brx::platform::File* file, const CertificateTableLocation& location,
                        brx::platform::DigestAlgorithm algorithm, unsigned char* digest);

// "valid digest", "digest mismatch", "unsigned", ... as brxpack reports them.
const char* DescribeImageSignature(ImageSignature signature);
// "sha1", "sha256", ... ; "unknown" when the signature was not read that far.
const char* DescribeSignatureDigest(const SignatureCheck& check);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_IMAGE_SIGNATURE_H_
