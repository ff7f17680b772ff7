// The cryptography API's objects, each with one owner: a decoded message
// (CryptMsgOpenToDecode), a certificate store and a certificate context.
#ifndef BRX_PLATFORM_SCOPED_CRYPT_WIN_H_
#define BRX_PLATFORM_SCOPED_CRYPT_WIN_H_

#include <windows.h>
#include <wincrypt.h>

#include "platform/scoped_resource_win.h"

namespace brx {
namespace platform {

struct CryptMessageTraits {
  using Type = HCRYPTMSG;
  static HCRYPTMSG Empty() { return nullptr; }
  static bool IsValid(HCRYPTMSG message) { return message != nullptr; }
  static void Free(HCRYPTMSG message) { CryptMsgClose(message); }
};
using ScopedMessage = ScopedResource<CryptMessageTraits>;

struct CertificateStoreTraits {
  using Type = HCERTSTORE;
  static HCERTSTORE Empty() { return nullptr; }
  static bool IsValid(HCERTSTORE store) { return store != nullptr; }
  static void Free(HCERTSTORE store) { CertCloseStore(store, 0); }
};
using ScopedStore = ScopedResource<CertificateStoreTraits>;

struct CertificateTraits {
  using Type = PCCERT_CONTEXT;
  static PCCERT_CONTEXT Empty() { return nullptr; }
  static bool IsValid(PCCERT_CONTEXT certificate) { return certificate != nullptr; }
  static void Free(PCCERT_CONTEXT certificate) { CertFreeCertificateContext(certificate); }
};
using ScopedCertificate = ScopedResource<CertificateTraits>;

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_CRYPT_WIN_H_
