// The PKCS#7 SignedData of an Authenticode signature, decoded and checked with
// the platform's own cryptography (crypt32 on Windows, OpenSSL natively).
//
// What is checked is that the signature is consistent in itself: its content
// is an SpcIndirectDataContent for a PE image, the one signer's signed
// attributes carry the digest of that content, and the signer's signature
// over those attributes verifies with the signer's certificate carried in the
// message. Whether that certificate is trusted (its chain, revocation) is not
// checked here: that is the operating system's policy.
#ifndef BRX_PLATFORM_SIGNED_CONTENT_H_
#define BRX_PLATFORM_SIGNED_CONTENT_H_

#include <stddef.h>

#include <string>
#include <vector>

#include "platform/digest.h"

namespace brx {
namespace platform {

enum class SignedContent {
  kConsistent,      // *image_digest is what the signer signed
  kUnreadable,      // not a signature of a PE image this code can read
  kSignatureFails,  // readable, but the content or the signature was altered
};

// The image digest an Authenticode signature records.
struct SignedImageDigest {
  DigestAlgorithm algorithm = DigestAlgorithm::kSha256;
  unsigned char digest[kMaxDigestLength] = {};
  size_t length = 0;
};

// `der` is the bCertificate of a WIN_CERTIFICATE of type PKCS_SIGNED_DATA
// (trailing alignment bytes allowed), or a signature nested in another.
// `nested` (when given) receives the signatures nested in this one's signer
// info, each a whole ContentInfo, whatever this one's own check gave: they
// sit in its unsigned attributes, which its signature does not cover, so
// each must be checked on its own.
SignedContent ReadSignedImageDigest(const unsigned char* der, size_t length, SignedImageDigest* image_digest,
                                    std::vector<std::string>* nested = nullptr);

// --- shared by the two implementations ---

// The object identifiers an Authenticode signature is made of.
extern const char kSpcIndirectDataOid[];  // the content type
extern const char kSpcPeImageDataOid[];   // what the content describes
extern const char kNestedSignatureOid[];  // the unsigned attribute holding nested signatures

// The offset of the contents octets of the one DER element that fills
// `der`: its tag and length are skipped, as PKCS#7 digests the content's
// value without them. False when the element does not fill the bytes exactly.
bool DerContentsOffset(const unsigned char* der, size_t length, size_t* offset);

// True when `message_digest` is the digest, with `algorithm`, of the contents
// octets of the DER element `content`.
bool ContentMatchesMessageDigest(const unsigned char* content, size_t content_length, DigestAlgorithm algorithm,
                                 const unsigned char* message_digest, size_t message_digest_length);

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SIGNED_CONTENT_H_
