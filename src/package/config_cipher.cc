#include "package/config_cipher.h"

#include <string.h>
#include <wchar.h>

#include <new>

#include "package/des.h"
#include "platform/codepage.h"

namespace brx {
namespace {

// The key text is the file name in the ANSI code page, as the packages in the
// field were enciphered with it.
bool MakeContext(const wchar_t* definitionFileName, DesContext* context) {
  if (!definitionFileName || definitionFileName[0] == L'\0') return false;
  std::string key_text = platform::WideToAnsi(definitionFileName, wcslen(definitionFileName));
  uint8_t key[8];
  MakeDesKey(key_text.c_str(), key);
  context->ignore_parity = true;
  return SetKey(context, key);
}

}  // namespace

bool DecipherConfiguration(const wchar_t* definitionFileName, const uint8_t* text, size_t length,
                           std::vector<uint8_t>* out) {
  DesContext context;
  if (!MakeContext(definitionFileName, &context)) return false;
  const char* hex = text ? reinterpret_cast<const char*>(text) : "";
  if (!text) length = 0;
  size_t n = 0;
  while (n < length && hex[n] != '\0') ++n;
  try {
    DecryptHex(context, hex, n, out, nullptr);
  } catch (const DesCryptException&) {
    // Bad enciphered content fails the load like an unreadable file would.
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool EncipherConfiguration(const wchar_t* definitionFileName, const uint8_t* data, size_t length,
                           std::string* hexOut) {
  DesContext context;
  if (!MakeContext(definitionFileName, &context) || !hexOut) return false;
  *hexOut = EncryptHex(context, data, length, ' ');
  return true;
}

}  // namespace brx
