#include "platform/digest.h"

#include <string.h>

namespace brx {
namespace platform {

size_t DigestLength(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::kSha1:
      return 20;
    case DigestAlgorithm::kSha256:
      return 32;
    case DigestAlgorithm::kSha384:
      return 48;
    case DigestAlgorithm::kSha512:
      return 64;
  }
  return 0;
}

bool DigestAlgorithmFromOid(const char* oid, DigestAlgorithm* algorithm) {
  struct Known {
    const char* oid;
    DigestAlgorithm algorithm;
  };
  static const Known kKnown[] = {
      {"1.3.14.3.2.26", DigestAlgorithm::kSha1},
      {"2.16.840.1.101.3.4.2.1", DigestAlgorithm::kSha256},
      {"2.16.840.1.101.3.4.2.2", DigestAlgorithm::kSha384},
      {"2.16.840.1.101.3.4.2.3", DigestAlgorithm::kSha512},
  };
  if (!oid) return false;
  for (const Known& known : kKnown) {
    if (strcmp(oid, known.oid) == 0) {
      *algorithm = known.algorithm;
      return true;
    }
  }
  return false;
}

}  // namespace platform
}  // namespace brx
