#include "platform/environment.h"

#include <stdlib.h>

#include "platform/codepage.h"

namespace brx {
namespace platform {
namespace {

std::string Narrow(const wchar_t* s) { return WideToAnsi(std::wstring(s)); }

}  // namespace

bool GetEnvVar(const wchar_t* name, std::wstring* value) {
  const char* v = getenv(Narrow(name).c_str());
  if (!v) return false;
  *value = AnsiToWide(std::string(v));
  return true;
}

bool SetEnvVar(const wchar_t* name, const wchar_t* value) {
  if (!value) return unsetenv(Narrow(name).c_str()) == 0;
  return setenv(Narrow(name).c_str(), Narrow(value).c_str(), 1) == 0;
}

std::wstring ExpandEnvVars(const wchar_t* text) {
  std::wstring in(text), out;
  size_t i = 0;
  while (i < in.size()) {
    size_t open = in.find(L'%', i);
    size_t close = open == std::wstring::npos ? open : in.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      out.append(in, i, std::wstring::npos);
      break;
    }
    out.append(in, i, open - i);
    std::wstring name = in.substr(open + 1, close - open - 1);
    std::wstring value;
    std::wstring upper = name;
    for (wchar_t& c : upper) c = (c >= L'a' && c <= L'z') ? c - 32 : c;
    if (!name.empty() && (GetEnvVar(name.c_str(), &value) || GetEnvVar(upper.c_str(), &value))) {
      out += value;
      i = close + 1;
    } else {
      // Not a variable: keep the first '%' and look again from the second.
      out += L'%';
      out += name;
      i = close;
    }
  }
  return out;
}

}  // namespace platform
}  // namespace brx
