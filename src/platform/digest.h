// Message digests (SHA-1 and SHA-2) from the platform's own cryptography:
// bcrypt on Windows, OpenSSL natively.
#ifndef BRX_PLATFORM_DIGEST_H_
#define BRX_PLATFORM_DIGEST_H_

#include <stddef.h>
#include <stdint.h>

namespace brx {
namespace platform {

enum class DigestAlgorithm { kSha1, kSha256, kSha384, kSha512 };

const size_t kMaxDigestLength = 64;

size_t DigestLength(DigestAlgorithm algorithm);

// The algorithm an ASN.1 object identifier in dotted form names; false for
// any other (MD5 among them: a signature over it proves nothing).
bool DigestAlgorithmFromOid(const char* oid, DigestAlgorithm* algorithm);

// One running digest. Begin, any number of Update, then Finish; any step that
// fails leaves the digest failed, and Finish then reports it.
class Digest {
 public:
  Digest();
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  bool Begin(DigestAlgorithm algorithm);
  bool Update(const void* data, size_t length);
  // Writes DigestLength(algorithm) bytes to `out`.
  bool Finish(unsigned char* out);

 private:
  void Release();

  void* state_ = nullptr;   // the platform's hash object
  void* provider_ = nullptr;  // Windows: the algorithm provider
  DigestAlgorithm algorithm_ = DigestAlgorithm::kSha256;
  bool failed_ = true;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_DIGEST_H_
