#include "platform/signed_content.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/scoped_crypt_win.h"
#include "platform/scoped_local_memory_win.h"

namespace brx {
namespace platform {

namespace {

const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// What CryptDecodeObjectEx allocates.
template <typename T>
using Decoded = ScopedLocalMemory<T>;

// A message parameter in a buffer of its own size.
std::unique_ptr<unsigned char[]> GetParam(HCRYPTMSG message, DWORD type, DWORD* size) {
  *size = 0;
  if (!CryptMsgGetParam(message, type, 0, nullptr, size) || *size == 0) return nullptr;
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[*size]);
  if (buffer && !CryptMsgGetParam(message, type, 0, buffer.get(), size)) buffer.reset();
  return buffer;
}

template <typename T>
Decoded<T> Decode(LPCSTR structure, const unsigned char* der, DWORD length) {
  void* decoded = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(kEncoding, structure, der, length, CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size)) {
    return Decoded<T>();
  }
  return Decoded<T>(static_cast<T*>(decoded));
}

const CRYPT_ATTRIBUTE* FindAttribute(const CRYPT_ATTRIBUTES& attributes, const char* oid) {
  for (DWORD i = 0; i < attributes.cAttr; ++i) {
    if (attributes.rgAttr[i].pszObjId && strcmp(attributes.rgAttr[i].pszObjId, oid) == 0) return &attributes.rgAttr[i];
  }
  return nullptr;
}

// The values of the signer's nested-signature attributes, each the DER of a
// ContentInfo.
void CollectNested(const CRYPT_ATTRIBUTES& attributes, std::vector<std::string>* nested) {
  for (DWORD i = 0; i < attributes.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[i];
    if (!attribute.pszObjId || strcmp(attribute.pszObjId, kNestedSignatureOid) != 0) continue;
    for (DWORD j = 0; j < attribute.cValue; ++j) {
      nested->emplace_back(reinterpret_cast<const char*>(attribute.rgValue[j].pbData), attribute.rgValue[j].cbData);
    }
  }
}

}  // namespace

SignedContent ReadSignedImageDigest(const unsigned char* der, size_t length, SignedImageDigest* image_digest,
                                    std::vector<std::string>* nested) {
  if (length == 0 || length > 0x7FFFFFFF) return SignedContent::kUnreadable;
  ScopedMessage message(CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
  if (!message.valid() || !CryptMsgUpdate(message.get(), der, static_cast<DWORD>(length), TRUE)) {
    return SignedContent::kUnreadable;
  }
  DWORD type = 0;
  DWORD size = sizeof(type);
  if (!CryptMsgGetParam(message.get(), CMSG_TYPE_PARAM, 0, &type, &size) || type != CMSG_SIGNED) {
    return SignedContent::kUnreadable;
  }
  std::unique_ptr<unsigned char[]> inner_type = GetParam(message.get(), CMSG_INNER_CONTENT_TYPE_PARAM, &size);
  if (!inner_type || size != strlen(kSpcIndirectDataOid) + 1 || memcmp(inner_type.get(), kSpcIndirectDataOid, size) != 0) {
    return SignedContent::kUnreadable;
  }

  // What the signer says the image digest is.
  DWORD content_size = 0;
  std::unique_ptr<unsigned char[]> content = GetParam(message.get(), CMSG_CONTENT_PARAM, &content_size);
  if (!content) return SignedContent::kUnreadable;
  Decoded<SPC_INDIRECT_DATA_CONTENT> indirect =
      Decode<SPC_INDIRECT_DATA_CONTENT>(SPC_INDIRECT_DATA_CONTENT_STRUCT, content.get(), content_size);
  const SPC_INDIRECT_DATA_CONTENT* data = indirect.get();
  if (!data || !data->Data.pszObjId || strcmp(data->Data.pszObjId, kSpcPeImageDataOid) != 0 ||
      !DigestAlgorithmFromOid(data->DigestAlgorithm.pszObjId, &image_digest->algorithm) ||
      data->Digest.cbData != DigestLength(image_digest->algorithm)) {
    return SignedContent::kUnreadable;
  }
  image_digest->length = data->Digest.cbData;
  memcpy(image_digest->digest, data->Digest.pbData, image_digest->length);

  // Authenticode has exactly one signer.
  DWORD signers = 0;
  size = sizeof(signers);
  if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_COUNT_PARAM, 0, &signers, &size) || signers != 1) {
    return SignedContent::kUnreadable;
  }
  std::unique_ptr<unsigned char[]> signer_buffer = GetParam(message.get(), CMSG_SIGNER_INFO_PARAM, &size);
  if (!signer_buffer) return SignedContent::kUnreadable;
  const CMSG_SIGNER_INFO* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_buffer.get());
  if (nested) CollectNested(signer->UnauthAttrs, nested);
  DigestAlgorithm signer_algorithm;
  if (!DigestAlgorithmFromOid(signer->HashAlgorithm.pszObjId, &signer_algorithm)) return SignedContent::kUnreadable;

  // Someone who rewrites the image digest in the content (to match an altered
  // file) breaks the message digest the signer signed; someone who rewrites
  // that too breaks the signature below.
  const CRYPT_ATTRIBUTE* digest_attribute = FindAttribute(signer->AuthAttrs, szOID_PKCS_9_MESSAGE_DIGEST);
  if (!digest_attribute || digest_attribute->cValue != 1) return SignedContent::kUnreadable;
  Decoded<CRYPT_DATA_BLOB> message_digest = Decode<CRYPT_DATA_BLOB>(
      X509_OCTET_STRING, digest_attribute->rgValue[0].pbData, digest_attribute->rgValue[0].cbData);
  const CRYPT_DATA_BLOB* blob = message_digest.get();
  if (!blob) return SignedContent::kUnreadable;
  if (!ContentMatchesMessageDigest(content.get(), content_size, signer_algorithm, blob->pbData,
                                   blob->cbData)) {
    return SignedContent::kSignatureFails;
  }

  // The signer's certificate from the message itself: only whether the
  // signature is intact is asked here, not whom it belongs to.
  std::unique_ptr<unsigned char[]> signer_id = GetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, &size);
  ScopedStore store(CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.get()));
  if (!signer_id || !store.valid()) return SignedContent::kUnreadable;
  ScopedCertificate certificate(
      CertGetSubjectCertificateFromStore(store.get(), kEncoding, reinterpret_cast<CERT_INFO*>(signer_id.get())));
  if (!certificate.valid()) return SignedContent::kUnreadable;
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify = {};
  verify.cbSize = sizeof(verify);
  verify.dwSignerIndex = 0;
  verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  verify.pvSigner = const_cast<CERT_CONTEXT*>(certificate.get());
  if (!CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify)) {
    return SignedContent::kSignatureFails;
  }
  return SignedContent::kConsistent;
}

}  // namespace platform
}  // namespace brx
