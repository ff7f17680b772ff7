// The formatter on arbitrary format strings with arguments of every kind it
// takes: it never reads past an argument, and in the log's escaped form no
// value can bring a line end into a format string that has none.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "base/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring fmt;
  for (size_t i = 0; i + 1 < size; i += 2) {
    wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (c != L'\r' && c != L'\n' && c != L'\0') fmt += c;
  }
  const std::wstring value = L"x\r\nReturn Code (1)\r\n\x1b";
  const char* narrow = "n\r\n";
  brx::Format(fmt.c_str(), -7, value, narrow, nullptr, uint64_t{1} << 40, 42u);
  std::wstring escaped =
      brx::FormatEscaped(fmt.c_str(), -7, value, narrow, nullptr, uint64_t{1} << 40, 42u);
  if (escaped.find_first_of(L"\r\n") != std::wstring::npos) abort();
  return 0;
}
