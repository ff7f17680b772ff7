// DecryptHex on arbitrary text: it either throws one of its three messages
// or deciphers, and what it deciphers enciphers back to the same text.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/des.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  DesContext context;
  context.ignore_parity = true;
  uint8_t key[8];
  std::string key_text(reinterpret_cast<const char*>(data), 8);
  MakeDesKey(key_text.c_str(), key);
  SetKey(&context, key);
  std::string text(reinterpret_cast<const char*>(data + 8), size - 8);

  std::vector<uint8_t> out;
  try {
    DecryptHex(context, text.c_str(), &out, nullptr);
  } catch (const DesCryptException& e) {
    if (strcmp(e.message(), kDesErrorLength) != 0 && strcmp(e.message(), kDesErrorNonHex) != 0)
      abort();
    return 0;
  }
  std::string upper = text.substr(0, strlen(text.c_str()));
  for (char& c : upper) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  if (EncryptHex(context, out.data(), out.size(), 0) != upper) abort();
  return 0;
}
