#include "platform/digest.h"

#include <windows.h>
#include <bcrypt.h>

namespace brx {
namespace platform {

namespace {

const wchar_t* AlgorithmName(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::kSha1:
      return BCRYPT_SHA1_ALGORITHM;
    case DigestAlgorithm::kSha256:
      return BCRYPT_SHA256_ALGORITHM;
    case DigestAlgorithm::kSha384:
      return BCRYPT_SHA384_ALGORITHM;
    case DigestAlgorithm::kSha512:
      return BCRYPT_SHA512_ALGORITHM;
  }
  return BCRYPT_SHA256_ALGORITHM;
}

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Digest::Digest() = default;

Digest::~Digest() { Release(); }

void Digest::Release() {
  if (state_) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(state_));
  if (provider_) BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(provider_), 0);
  state_ = nullptr;
  provider_ = nullptr;
  failed_ = true;
}

bool Digest::Begin(DigestAlgorithm algorithm) {
  Release();
  algorithm_ = algorithm;
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (!Succeeded(BCryptOpenAlgorithmProvider(&provider, AlgorithmName(algorithm), nullptr, 0))) return false;
  provider_ = provider;
  BCRYPT_HASH_HANDLE hash = nullptr;
  // No hash object buffer: bcrypt allocates it (Windows 7 and later).
  if (!Succeeded(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) return false;
  state_ = hash;
  failed_ = false;
  return true;
}

bool Digest::Update(const void* data, size_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (!failed_ && length > 0) {
    ULONG chunk = length > 0x40000000 ? 0x40000000 : static_cast<ULONG>(length);
    if (!Succeeded(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(state_), const_cast<PUCHAR>(bytes), chunk, 0))) {
      failed_ = true;
    }
    bytes += chunk;
    length -= chunk;
  }
  return !failed_;
}

bool Digest::Finish(unsigned char* out) {
  bool ok = !failed_ && Succeeded(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(state_), out,
                                                   static_cast<ULONG>(DigestLength(algorithm_)), 0));
  Release();
  return ok;
}

}  // namespace platform
}  // namespace brx
