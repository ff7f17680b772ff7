#include "platform/signed_content.h"

#include <limits.h>
#include <string.h>

#include <memory>

#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

namespace brx {
namespace platform {

namespace {

struct Pkcs7Freer {
  void operator()(PKCS7* p) const { PKCS7_free(p); }
};
struct SequenceFreer {
  void operator()(ASN1_SEQUENCE_ANY* s) const { sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free); }
};
struct SigFreer {
  void operator()(X509_SIG* s) const { X509_SIG_free(s); }
};
struct VerifyFreer {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct BytesFreer {
  void operator()(unsigned char* b) const { OPENSSL_free(b); }
};

bool OidIs(const ASN1_OBJECT* object, const char* oid) {
  char text[80];
  int length = OBJ_obj2txt(text, sizeof(text), object, 1);
  return length > 0 && static_cast<size_t>(length) < sizeof(text) && strcmp(text, oid) == 0;
}

bool AlgorithmOf(const ASN1_OBJECT* object, DigestAlgorithm* algorithm) {
  char text[80];
  int length = OBJ_obj2txt(text, sizeof(text), object, 1);
  return length > 0 && static_cast<size_t>(length) < sizeof(text) && DigestAlgorithmFromOid(text, algorithm);
}

std::unique_ptr<ASN1_SEQUENCE_ANY, SequenceFreer> Sequence(const ASN1_TYPE* element) {
  if (!element || element->type != V_ASN1_SEQUENCE) return nullptr;
  const unsigned char* p = element->value.sequence->data;
  return std::unique_ptr<ASN1_SEQUENCE_ANY, SequenceFreer>(
      d2i_ASN1_SEQUENCE_ANY(nullptr, &p, element->value.sequence->length));
}

// The values of the signer's nested-signature attributes, each the DER of a
// ContentInfo.
void CollectNested(const PKCS7_SIGNER_INFO* signer, std::vector<std::string>* nested) {
  const STACK_OF(X509_ATTRIBUTE)* attributes = signer->unauth_attr;
  for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
    X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
    if (!OidIs(X509_ATTRIBUTE_get0_object(attribute), kNestedSignatureOid)) continue;
    for (int j = 0; j < X509_ATTRIBUTE_count(attribute); ++j) {
      const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, j);
      // A value of another type is kept as nothing: it then reads as a
      // signature that cannot be read, not as no signature at all.
      if (!value || value->type != V_ASN1_SEQUENCE) {
        nested->emplace_back();
        continue;
      }
      nested->emplace_back(reinterpret_cast<const char*>(value->value.sequence->data),
                           static_cast<size_t>(value->value.sequence->length));
    }
  }
}

}  // namespace

SignedContent ReadSignedImageDigest(const unsigned char* der, size_t length, SignedImageDigest* image_digest,
                                    std::vector<std::string>* nested) {
  if (length == 0 || length > INT_MAX) return SignedContent::kUnreadable;
  const unsigned char* p = der;
  std::unique_ptr<PKCS7, Pkcs7Freer> message(d2i_PKCS7(nullptr, &p, static_cast<long>(length)));
  if (!message || !PKCS7_type_is_signed(message.get()) || !message->d.sign) return SignedContent::kUnreadable;
  PKCS7_SIGNED* signed_data = message->d.sign;
  PKCS7* inner = signed_data->contents;
  if (!inner || !OidIs(inner->type, kSpcIndirectDataOid) || !inner->d.other ||
      inner->d.other->type != V_ASN1_SEQUENCE) {
    return SignedContent::kUnreadable;
  }
  // The content's whole encoding, as the signer's message digest covers it.
  const ASN1_STRING* content = inner->d.other->value.sequence;

  // What the signer says the image digest is: SpcIndirectDataContent is
  // { SpcAttributeTypeAndOptionalValue, DigestInfo }.
  auto indirect = Sequence(inner->d.other);
  if (!indirect || sk_ASN1_TYPE_num(indirect.get()) != 2) return SignedContent::kUnreadable;
  auto data = Sequence(sk_ASN1_TYPE_value(indirect.get(), 0));
  if (!data || sk_ASN1_TYPE_num(data.get()) < 1) return SignedContent::kUnreadable;
  const ASN1_TYPE* data_type = sk_ASN1_TYPE_value(data.get(), 0);
  if (data_type->type != V_ASN1_OBJECT || !OidIs(data_type->value.object, kSpcPeImageDataOid)) {
    return SignedContent::kUnreadable;
  }
  const ASN1_TYPE* digest_info = sk_ASN1_TYPE_value(indirect.get(), 1);
  if (digest_info->type != V_ASN1_SEQUENCE) return SignedContent::kUnreadable;
  const unsigned char* q = digest_info->value.sequence->data;
  std::unique_ptr<X509_SIG, SigFreer> sig(d2i_X509_SIG(nullptr, &q, digest_info->value.sequence->length));
  if (!sig) return SignedContent::kUnreadable;
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* digest = nullptr;
  X509_SIG_get0(sig.get(), &algorithm, &digest);
  const ASN1_OBJECT* algorithm_oid = nullptr;
  X509_ALGOR_get0(&algorithm_oid, nullptr, nullptr, algorithm);
  if (!AlgorithmOf(algorithm_oid, &image_digest->algorithm) ||
      static_cast<size_t>(ASN1_STRING_length(digest)) != DigestLength(image_digest->algorithm)) {
    return SignedContent::kUnreadable;
  }
  image_digest->length = DigestLength(image_digest->algorithm);
  memcpy(image_digest->digest, ASN1_STRING_get0_data(digest), image_digest->length);

  // Authenticode has exactly one signer, with signed attributes.
  STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(message.get());
  if (!signers || sk_PKCS7_SIGNER_INFO_num(signers) != 1) return SignedContent::kUnreadable;
  PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signers, 0);
  if (nested) CollectNested(signer, nested);
  DigestAlgorithm signer_algorithm;
  if (!AlgorithmOf(signer->digest_alg->algorithm, &signer_algorithm) || !signer->auth_attr) {
    return SignedContent::kUnreadable;
  }
  ASN1_OCTET_STRING* message_digest = PKCS7_digest_from_attributes(signer->auth_attr);
  if (!message_digest) return SignedContent::kUnreadable;
  // A rewritten image digest breaks the message digest; a rewritten message
  // digest breaks the signature.
  if (!ContentMatchesMessageDigest(content->data, static_cast<size_t>(content->length), signer_algorithm,
                                   ASN1_STRING_get0_data(message_digest),
                                   static_cast<size_t>(ASN1_STRING_length(message_digest)))) {
    return SignedContent::kSignatureFails;
  }

  // The signer's certificate from the message itself; its trust is not asked.
  X509* certificate = X509_find_by_issuer_and_serial(signed_data->cert, signer->issuer_and_serial->issuer,
                                                     signer->issuer_and_serial->serial);
  EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate) : nullptr;
  if (!key) return SignedContent::kUnreadable;
  unsigned char* attributes = nullptr;
  int attributes_length = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(signer->auth_attr), &attributes,
                                        ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
  std::unique_ptr<unsigned char, BytesFreer> owned_attributes(attributes);
  std::unique_ptr<EVP_MD_CTX, VerifyFreer> verify(EVP_MD_CTX_new());
  if (attributes_length <= 0 || !verify) return SignedContent::kUnreadable;
  if (EVP_DigestVerifyInit(verify.get(), nullptr, EVP_get_digestbyobj(signer->digest_alg->algorithm), nullptr,
                           key) != 1 ||
      EVP_DigestVerify(verify.get(), ASN1_STRING_get0_data(signer->enc_digest),
                       static_cast<size_t>(ASN1_STRING_length(signer->enc_digest)), attributes,
                       static_cast<size_t>(attributes_length)) != 1) {
    return SignedContent::kSignatureFails;
  }
  return SignedContent::kConsistent;
}

}  // namespace platform
}  // namespace brx
