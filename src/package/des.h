// Single DES (FIPS 46-3) in ECB mode over hexadecimal text: each 16 hex
// digits are one 8-byte block, the first byte holding bits 1 to 8 of the
// block, most significant bit first. Used for configuration files that a
// package stores enciphered.
//
// DES is long broken; the format is kept because packages in the field use
// it. It hides a configuration file from casual reading, nothing more.
#ifndef BRX_PACKAGE_DES_H_
#define BRX_PACKAGE_DES_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// The decoder's only failure report, thrown by value. Callers catch it where
// they decode; it never travels further.
class DesCryptException {
 public:
  explicit DesCryptException(const char* message);
  const char* message() const { return message_; }

 private:
  char message_[1024];
};

extern const char kDesErrorLength[];     // "Input string is not a multiple of 16 characters!"
extern const char kDesErrorOutput[];     // "Bad output buffer"
extern const char kDesErrorNonHex[];     // "Input text contains a non-hexadecimal character!"

struct DesContext {
  uint8_t subkeys[16][6] = {};  // 48-bit round keys in encryption order
  bool ignore_parity = false;
};

// The 8-byte key from a narrow text: blanks, overwritten by the text's first
// 8 bytes; when no byte then has odd parity and the first byte's top bit is
// set, that bit is cleared.
void MakeDesKey(const char* text, uint8_t key[8]);

// Computes the round keys. False, with nothing computed, when parity checking
// is on and some key byte has an even number of 1 bits.
bool SetKey(DesContext* context, const uint8_t key[8]);

// 0 to 15 for 0-9, A-F, a-f; throws kDesErrorNonHex for anything else.
int HexDigitValue(int character);

// Deciphers hex text of `length` characters into length / 2 bytes, stored in
// *outBytes (and the count in *outCount when given). Throws DesCryptException
// when the length is no multiple of 16, outBytes is null, or a character is
// not a hex digit; *outBytes is then left as it was. Padding is not removed.
void DecryptHex(const DesContext& context, const char* hexText, size_t length,
                std::vector<uint8_t>* outBytes, size_t* outCount);
// The same over a zero-terminated text.
void DecryptHex(const DesContext& context, const char* hexText, std::vector<uint8_t>* outBytes,
                size_t* outCount);

// The inverse, for the package builder: enciphers `length` bytes, filling the
// last block with `pad` bytes, and returns upper-case hex text.
std::string EncryptHex(const DesContext& context, const uint8_t* data, size_t length,
                       uint8_t pad);

// One block each way, exposed for validation against published vectors.
void DesEncryptBlock(const DesContext& context, const uint8_t in[8], uint8_t out[8]);
void DesDecryptBlock(const DesContext& context, const uint8_t in[8], uint8_t out[8]);

#endif  // BRX_PACKAGE_DES_H_
