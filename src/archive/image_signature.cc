#include "archive/image_signature.h"

#include <string.h>

#include <memory>
#include <new>

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

ImageSignature CheckImageSignature(brx::platform::File* file) {
  uint64_t file_size = 0;
  if (!file->GetSize(&file_size)) return ImageSignature::kUnreadable;
  CertificateTableLocation location;
  CertificateTable table = LocateCertificateTable(file, file_size, &location);
  if (table == CertificateTable::kNone) return ImageSignature::kUnsigned;
  if (table == CertificateTable::kMalformed) return ImageSignature::kUnreadable;

  unsigned char header[kWinCertificateHeader];
  uint32_t got = 0;
  if (location.table_size < kWinCertificateHeader ||
      !file->ReadAt(location.table_offset, header, kWinCertificateHeader, &got) || got != kWinCertificateHeader) {
    return ImageSignature::kUnreadable;
  }
  uint32_t length = Little(header, 4);
  if (length <= kWinCertificateHeader || length > location.table_size || length > kMaxSignatureSize ||
      Little(header + 4, 2) != kWinCertRevision2 || Little(header + 6, 2) != kWinCertTypePkcsSignedData) {
    return ImageSignature::kUnreadable;
  }
  uint32_t der_length = length - kWinCertificateHeader;
  std::unique_ptr<unsigned char[]> der(new (std::nothrow) unsigned char[der_length]);
  if (!der || !file->ReadAt(location.table_offset + kWinCertificateHeader, der.get(), der_length, &got) ||
      got != der_length) {
    return ImageSignature::kUnreadable;
  }

  brx::platform::SignedImageDigest recorded;
  switch (brx::platform::ReadSignedImageDigest(der.get(), der_length, &recorded)) {
    case brx::platform::SignedContent::kConsistent:
      break;
    case brx::platform::SignedContent::kSignatureFails:
      return ImageSignature::kSignatureFails;
    case brx::platform::SignedContent::kUnreadable:
      return ImageSignature::kUnreadable;
  }
  unsigned char computed[brx::platform::kMaxDigestLength];
  if (!ComputeImageDigest(file, location, recorded.algorithm, computed)) return ImageSignature::kUnreadable;
  return memcmp(computed, recorded.digest, recorded.length) == 0 ? ImageSignature::kValidDigest
                                                                 : ImageSignature::kDigestMismatch;
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

}  // namespace brxzip
