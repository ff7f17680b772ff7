#include "package/des.h"

#include <string.h>

const char kDesErrorLength[] = "Input string is not a multiple of 16 characters!";
const char kDesErrorOutput[] = "Bad output buffer";
const char kDesErrorNonHex[] = "Input text contains a non-hexadecimal character!";

DesCryptException::DesCryptException(const char* message) {
  size_t n = message ? strlen(message) : 0;
  if (n >= sizeof(message_)) n = sizeof(message_) - 1;
  if (n) memcpy(message_, message, n);
  message_[n] = '\0';
}

namespace {

// The FIPS 46-3 tables, bit positions counted from 1 at the most significant
// end, exactly as the standard prints them.
const uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

const uint8_t kFinalPermutation[64] = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

const uint8_t kExpansion[48] = {
    32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

const uint8_t kPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                  26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                  3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

const uint8_t kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

const uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

const uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

const uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,
     0,  15, 7,  4, 14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3, 8,
     4,  1,  14, 8, 13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5, 0,
     15, 12, 8,  2, 4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6, 13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10,
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0, 1,  10, 6,  9, 11, 5,
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,  9,  3, 2,  15,
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6, 7,  12, 0,  5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,
     13, 7,  0,  9,  3, 4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1,
     13, 6,  4,  9,  8, 15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,
     1,  10, 13, 0,  6, 9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3, 0,  6,  9,  10, 1,  2, 8, 5,  11, 12, 4,  15,
     13, 8,  11, 5, 6,  15, 0,  3,  4,  7, 2, 12, 1,  10, 14, 9,
     10, 6,  9,  0, 12, 11, 7,  13, 15, 1, 3, 14, 5,  2,  8,  4,
     3,  15, 0,  6, 10, 1,  13, 8,  9,  4, 5, 11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9, 8,  6,
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3, 0,  14,
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4, 5,  3},
    {12, 1,  10, 15, 9, 2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11,
     10, 15, 4,  2,  7, 12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,
     9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,
     4,  3,  2,  12, 9, 5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9, 7,  5,  10, 6, 1,
     13, 0,  11, 7,  4,  9, 1,  10, 14, 3,  5, 12, 2,  15, 8, 6,
     1,  4,  11, 13, 12, 3, 7,  14, 10, 15, 6, 8,  0,  5,  9, 2,
     6,  11, 13, 8,  1,  4, 10, 7,  9,  5,  0, 15, 14, 2,  3, 12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,
     1,  15, 13, 8, 10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2,
     7,  11, 4,  1, 9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8,
     2,  1,  14, 7, 4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Output bit i (from the top) is input bit table[i] of an in_bits-wide value.
uint64_t Permute(uint64_t in, int in_bits, const uint8_t* table, int count) {
  uint64_t out = 0;
  for (int i = 0; i < count; ++i) out = (out << 1) | ((in >> (in_bits - table[i])) & 1);
  return out;
}

uint64_t LoadBlock(const uint8_t b[8]) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | b[i];
  return v;
}

void StoreBlock(uint64_t v, uint8_t b[8]) {
  for (int i = 7; i >= 0; --i) {
    b[i] = static_cast<uint8_t>(v);
    v >>= 8;
  }
}

uint64_t Subkey(const DesContext& context, int round) {
  uint64_t k = 0;
  for (int i = 0; i < 6; ++i) k = (k << 8) | context.subkeys[round][i];
  return k;
}

uint32_t Feistel(uint32_t half, uint64_t subkey) {
  uint64_t x = Permute(half, 32, kExpansion, 48) ^ subkey;
  uint32_t s = 0;
  for (int j = 0; j < 8; ++j) {
    unsigned six = static_cast<unsigned>(x >> (42 - 6 * j)) & 0x3F;
    unsigned row = ((six >> 4) & 2) | (six & 1);
    unsigned column = (six >> 1) & 0x0F;
    s = (s << 4) | kSBoxes[j][row * 16 + column];
  }
  return static_cast<uint32_t>(Permute(s, 32, kPermutation, 32));
}

void CryptBlock(const DesContext& context, bool decrypt, const uint8_t in[8], uint8_t out[8]) {
  uint64_t block = Permute(LoadBlock(in), 64, kInitialPermutation, 64);
  uint32_t left = static_cast<uint32_t>(block >> 32);
  uint32_t right = static_cast<uint32_t>(block);
  for (int round = 0; round < 16; ++round) {
    uint32_t f = Feistel(right, Subkey(context, decrypt ? 15 - round : round));
    uint32_t next = left ^ f;
    left = right;
    right = next;
  }
  uint64_t preoutput = (static_cast<uint64_t>(right) << 32) | left;
  StoreBlock(Permute(preoutput, 64, kFinalPermutation, 64), out);
}

bool HasOddParity(uint8_t b) {
  int ones = 0;
  for (; b; b &= b - 1) ++ones;
  return (ones & 1) != 0;
}

}  // namespace

void MakeDesKey(const char* text, uint8_t key[8]) {
  memset(key, 0x20, 8);
  for (int i = 0; text && i < 8 && text[i] != '\0'; ++i) key[i] = static_cast<uint8_t>(text[i]);
  bool any_odd = false;
  for (int i = 0; i < 8; ++i) any_odd = any_odd || HasOddParity(key[i]);
  if (!any_odd && (key[0] & 0x80)) key[0] &= 0x7F;
}

bool SetKey(DesContext* context, const uint8_t key[8]) {
  if (!context->ignore_parity) {
    for (int i = 0; i < 8; ++i) {
      if (!HasOddParity(key[i])) return false;
    }
  }
  uint64_t cd = Permute(LoadBlock(key), 64, kPermutedChoice1, 56);
  uint32_t c = static_cast<uint32_t>(cd >> 28) & 0x0FFFFFFF;
  uint32_t d = static_cast<uint32_t>(cd) & 0x0FFFFFFF;
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < kShifts[round]; ++s) {
      c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
      d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
    }
    uint64_t k = Permute((static_cast<uint64_t>(c) << 28) | d, 56, kPermutedChoice2, 48);
    for (int i = 5; i >= 0; --i) {
      context->subkeys[round][i] = static_cast<uint8_t>(k);
      k >>= 8;
    }
  }
  return true;
}

int HexDigitValue(int character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  throw DesCryptException(kDesErrorNonHex);
}

void DecryptHex(const DesContext& context, const char* hexText, size_t length,
                std::vector<uint8_t>* outBytes, size_t* outCount) {
  if (length % 16 != 0) throw DesCryptException(kDesErrorLength);
  if (!outBytes) throw DesCryptException(kDesErrorOutput);
  std::vector<uint8_t> bytes(length / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(16 * HexDigitValue(static_cast<unsigned char>(hexText[2 * i])) +
                                    HexDigitValue(static_cast<unsigned char>(hexText[2 * i + 1])));
  }
  for (size_t at = 0; at < bytes.size(); at += 8) {
    uint8_t block[8];
    DesDecryptBlock(context, &bytes[at], block);
    memcpy(&bytes[at], block, 8);
  }
  outBytes->swap(bytes);
  if (outCount) *outCount = outBytes->size();
}

void DecryptHex(const DesContext& context, const char* hexText, std::vector<uint8_t>* outBytes,
                size_t* outCount) {
  DecryptHex(context, hexText, hexText ? strlen(hexText) : 0, outBytes, outCount);
}

std::string EncryptHex(const DesContext& context, const uint8_t* data, size_t length,
                       uint8_t pad) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve((length + 7) / 8 * 16);
  for (size_t at = 0; at < length; at += 8) {
    uint8_t block[8];
    memset(block, pad, sizeof(block));
    memcpy(block, data + at, length - at < 8 ? length - at : 8);
    DesEncryptBlock(context, block, block);
    for (uint8_t b : block) {
      hex.push_back(kDigits[b >> 4]);
      hex.push_back(kDigits[b & 0x0F]);
    }
  }
  return hex;
}

void DesEncryptBlock(const DesContext& context, const uint8_t in[8], uint8_t out[8]) {
  CryptBlock(context, false, in, out);
}

void DesDecryptBlock(const DesContext& context, const uint8_t in[8], uint8_t out[8]) {
  CryptBlock(context, true, in, out);
}
