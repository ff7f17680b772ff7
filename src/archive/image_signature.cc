#include "archive/image_signature.h"

#include <string.h>

#include <memory>
#include <new>
#include <string>

#include "platform/file.h"
#include "platform/signed_content.h"

namespace brxzip {

namespace {

using brx::platform::Digest;
using brx::platform::DigestAlgorithm;

const uint32_t kWinCertificateHeader = 8;  // dwLength, wRevision, wCertificateType
const uint32_t kWinCertRevision2 = 0x0200;
const uint32_t kWinCertTypePkcsSignedData = 0x0002;
// Signatures, nested ones and time stamps included, take a few kilobytes; a
// table claiming more is not read into memory.
const uint32_t kMaxSignatureSize = 1024 * 1024;
const uint32_t kChunk = 64 * 1024;

uint32_t Little(const unsigned char* bytes, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

bool HashRange(brx::platform::File* file, uint64_t from, uint64_t to, unsigned char* buffer, Digest* digest) {
  while (from < to) {
    uint32_t length = to - from > kChunk ? kChunk : static_cast<uint32_t>(to - from);
    uint32_t got = 0;
    if (!file->ReadAt(from, buffer, length, &got) || got != length) return false;
    if (!digest->Update(buffer, length)) return false;
    from += length;
  }
  return true;
}

}  // namespace

bool ComputeImageDigest(brx::platform::File* file, const CertificateTableLocation& location,
                        DigestAlgorithm algorithm, unsigned char* out) {
  const uint64_t checksum = location.checksum_offset;
  const uint64_t directory = location.directory_offset;
  const uint64_t end = location.table_offset;
  if (checksum + 4 > directory || directory + 8 > end) return false;
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunk]);
  Digest digest;
  if (!buffer || !digest.Begin(algorithm)) return false;
  static const unsigned char kZeros[8] = {};
  return HashRange(file, 0, checksum, buffer.get(), &digest) &&
         HashRange(file, checksum + 4, directory, buffer.get(), &digest) &&
         HashRange(file, directory + 8, end, buffer.get(), &digest) &&
         digest.Update(kZeros, (8 - end % 8) % 8) && digest.Finish(out);
}

namespace {

// A signer nests a handful at most; more is a table built to make the stub
// hash the file over and over.
const size_t kMaxSignatures = 16;
const uint32_t kMaxNesting = 4;

class SignatureChecker {
 public:
  SignatureChecker(brx::platform::File* file, const CertificateTableLocation& location)
      : file_(file), location_(location) {}

  // Checks the signature `der` (at `depth`) and those nested in it. False
  // when there were too many to go on.
  bool Check(const unsigned char* der, size_t length, uint32_t depth, std::vector<SignatureCheck>* checks) {
    if (checks->size() >= kMaxSignatures || depth > kMaxNesting) {
      checks->push_back(Unreadable(depth));
      return false;
    }
    brx::platform::SignedImageDigest recorded;
    std::vector<std::string> nested;
    SignatureCheck check = Unreadable(depth);
    switch (brx::platform::ReadSignedImageDigest(der, length, &recorded, &nested)) {
      case brx::platform::SignedContent::kConsistent:
        check.algorithm_known = true;
        check.algorithm = recorded.algorithm;
        check.result = Matches(recorded);
        break;
      case brx::platform::SignedContent::kSignatureFails:
        check.result = ImageSignature::kSignatureFails;
        break;
      case brx::platform::SignedContent::kUnreadable:
        break;
    }
    checks->push_back(check);
    for (const std::string& inner : nested) {
      if (!Check(reinterpret_cast<const unsigned char*>(inner.data()), inner.size(), depth + 1, checks)) return false;
    }
    return true;
  }

 private:
  static SignatureCheck Unreadable(uint32_t depth) {
    SignatureCheck check;
    check.depth = depth;
    return check;
  }

  // The file's digest with the signature's algorithm, computed once per
  // algorithm for all signatures that use it.
  ImageSignature Matches(const brx::platform::SignedImageDigest& recorded) {
    size_t index = static_cast<size_t>(recorded.algorithm);
    if (index >= kAlgorithms) return ImageSignature::kUnreadable;
    if (!computed_[index]) {
      if (!ComputeImageDigest(file_, location_, recorded.algorithm, digests_[index])) {
        return ImageSignature::kUnreadable;
      }
      computed_[index] = true;
    }
    return memcmp(digests_[index], recorded.digest, recorded.length) == 0 ? ImageSignature::kValidDigest
                                                                          : ImageSignature::kDigestMismatch;
  }

  static const size_t kAlgorithms = 4;
  brx::platform::File* file_;
  const CertificateTableLocation& location_;
  bool computed_[kAlgorithms] = {};
  unsigned char digests_[kAlgorithms][brx::platform::kMaxDigestLength] = {};
};

}  // namespace

ImageSignature CheckImageSignature(brx::platform::File* file, std::vector<SignatureCheck>* each) {
  std::vector<SignatureCheck> own;
  std::vector<SignatureCheck>& checks = each ? *each : own;
  checks.clear();
  uint64_t file_size = 0;
  if (!file->GetSize(&file_size)) return ImageSignature::kUnreadable;
  CertificateTableLocation location;
  CertificateTable table = LocateCertificateTable(file, file_size, &location);
  if (table == CertificateTable::kNone) return ImageSignature::kUnsigned;
  if (table == CertificateTable::kMalformed) return ImageSignature::kUnreadable;

  // The table's entries, each aligned to eight bytes; zeros after the first
  // are alignment. Every entry must be a signature: one that is not would be
  // a part of the table nothing checks.
  SignatureChecker checker(file, location);
  const uint64_t table_end = location.table_offset + location.table_size;
  uint64_t at = location.table_offset;
  while (table_end - at >= kWinCertificateHeader) {
    unsigned char header[kWinCertificateHeader];
    uint32_t got = 0;
    if (!file->ReadAt(at, header, kWinCertificateHeader, &got) || got != kWinCertificateHeader) {
      checks.push_back(SignatureCheck());
      break;
    }
    uint32_t length = Little(header, 4);
    if (length == 0 && at != location.table_offset) break;
    if (length <= kWinCertificateHeader || length > table_end - at || length > kMaxSignatureSize ||
        Little(header + 4, 2) != kWinCertRevision2 || Little(header + 6, 2) != kWinCertTypePkcsSignedData) {
      checks.push_back(SignatureCheck());
      break;
    }
    uint32_t der_length = length - kWinCertificateHeader;
    std::unique_ptr<unsigned char[]> der(new (std::nothrow) unsigned char[der_length]);
    if (!der || !file->ReadAt(at + kWinCertificateHeader, der.get(), der_length, &got) || got != der_length) {
      checks.push_back(SignatureCheck());
      break;
    }
    if (!checker.Check(der.get(), der_length, 0, &checks)) break;
    at += (static_cast<uint64_t>(length) + 7) / 8 * 8;
  }
  if (checks.empty()) checks.push_back(SignatureCheck());
  for (const SignatureCheck& check : checks) {
    if (check.result != ImageSignature::kValidDigest) return check.result;
  }
  return ImageSignature::kValidDigest;
}

const char* DescribeImageSignature(ImageSignature signature) {
  switch (signature) {
    case ImageSignature::kUnsigned:
      return "unsigned";
    case ImageSignature::kValidDigest:
      return "valid digest";
    case ImageSignature::kDigestMismatch:
      return "digest mismatch";
    case ImageSignature::kSignatureFails:
      return "signature does not verify";
    case ImageSignature::kUnreadable:
      return "unreadable";
  }
  return "unreadable";
}

const char* DescribeSignatureDigest(const SignatureCheck& check) {
  if (!check.algorithm_known) return "unknown";
  switch (check.algorithm) {
    case DigestAlgorithm::kSha1:
      return "sha1";
    case DigestAlgorithm::kSha256:
      return "sha256";
    case DigestAlgorithm::kSha384:
      return "sha384";
    case DigestAlgorithm::kSha512:
      return "sha512";
  }
  return "unknown";
}

}  // namespace brxzip
