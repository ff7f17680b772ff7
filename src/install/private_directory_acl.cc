#include "install/private_directory_acl.h"

namespace brx {

std::wstring PrivateDirectorySddl(const std::wstring& user_sid) {
  std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  // A SID text is "S-" and digits and dashes; anything else is not put into
  // the descriptor string.
  bool plausible = user_sid.size() > 2 && user_sid.compare(0, 2, L"S-") == 0;
  for (wchar_t c : user_sid) {
    if (!((c >= L'0' && c <= L'9') || c == L'-' || c == L'S')) plausible = false;
  }
  if (plausible) sddl += L"(A;OICI;FA;;;" + user_sid + L")";
  return sddl;
}

}  // namespace brx
