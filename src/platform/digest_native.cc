#include "platform/digest.h"

#include <openssl/evp.h>

namespace brx {
namespace platform {

namespace {

const EVP_MD* Algorithm(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::kSha1:
      return EVP_sha1();
    case DigestAlgorithm::kSha256:
      return EVP_sha256();
    case DigestAlgorithm::kSha384:
      return EVP_sha384();
    case DigestAlgorithm::kSha512:
      return EVP_sha512();
  }
  return EVP_sha256();
}

}  // namespace

Digest::Digest() = default;

Digest::~Digest() { Release(); }

void Digest::Release() {
  EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(state_));
  state_ = nullptr;
  failed_ = true;
}

bool Digest::Begin(DigestAlgorithm algorithm) {
  Release();
  algorithm_ = algorithm;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (!context) return false;
  state_ = context;
  failed_ = EVP_DigestInit_ex(context, Algorithm(algorithm), nullptr) != 1;
  return !failed_;
}

bool Digest::Update(const void* data, size_t length) {
  if (!failed_ && EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(state_), data, length) != 1) failed_ = true;
  return !failed_;
}

bool Digest::Finish(unsigned char* out) {
  bool ok = !failed_ && EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(state_), out, nullptr) == 1;
  Release();
  return ok;
}

}  // namespace platform
}  // namespace brx
