#include "platform/signed_content.h"

#include <string.h>

namespace brx {
namespace platform {

const char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";
const char kSpcPeImageDataOid[] = "1.3.6.1.4.1.311.2.1.15";
const char kNestedSignatureOid[] = "1.3.6.1.4.1.311.2.4.1";

bool DerContentsOffset(const unsigned char* der, size_t length, size_t* offset) {
  if (length < 2) return false;
  size_t header = 2;
  size_t value = der[1];
  if (value & 0x80) {
    size_t count = value & 0x7F;
    // A length in more than four bytes cannot describe bytes held in memory
    // here; zero bytes is the indefinite form, which DER does not allow.
    if (count == 0 || count > 4 || length < 2 + count) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) value = (value << 8) | der[2 + i];
    header += count;
  }
  if (value != length - header) return false;
  *offset = header;
  return true;
}

bool ContentMatchesMessageDigest(const unsigned char* content, size_t content_length, DigestAlgorithm algorithm,
                                 const unsigned char* message_digest, size_t message_digest_length) {
  size_t offset = 0;
  if (!DerContentsOffset(content, content_length, &offset)) return false;
  if (message_digest_length != DigestLength(algorithm)) return false;
  Digest digest;
  unsigned char computed[kMaxDigestLength];
  if (!digest.Begin(algorithm) || !digest.Update(content + offset, content_length - offset) ||
      !digest.Finish(computed)) {
    return false;
  }
  return memcmp(computed, message_digest, message_digest_length) == 0;
}

}  // namespace platform
}  // namespace brx
