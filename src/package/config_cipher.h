// The enciphered configuration file: hex text of DES-ECB blocks whose key is
// derived from the definition's <filename> text. The stub deciphers it when
// loading a package; the package builder enciphers it with the same key.
#ifndef BRX_PACKAGE_CONFIG_CIPHER_H_
#define BRX_PACKAGE_CONFIG_CIPHER_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace brx {

// Deciphers `length` bytes of hex text (up to its first zero byte) with the
// key made from `definitionFileName`. False when there is no key material
// (a null or empty file name: a key of blanks would protect nothing and hide
// a broken package) or the text is not valid hex of whole blocks.
bool DecipherConfiguration(const wchar_t* definitionFileName, const uint8_t* text, size_t length,
                           std::vector<uint8_t>* out);

// The inverse, for the package builder: upper-case hex text of the data,
// the last block filled with blanks. False without key material.
bool EncipherConfiguration(const wchar_t* definitionFileName, const uint8_t* data, size_t length,
                           std::string* hexOut);

}  // namespace brx

#endif  // BRX_PACKAGE_CONFIG_CIPHER_H_
