#include "install/private_directory_acl.h"

namespace brx {

std::wstring PrivateDirectorySddl(const std::wstring& owner_sid) {
  std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  // A SID text is "S-" and digits and dashes; anything else is not put into
  // the descriptor string.
  bool plausible = owner_sid.size() > 2 && owner_sid.compare(0, 2, L"S-") == 0;
  for (wchar_t c : owner_sid) {
    if (!((c >= L'0' && c <= L'9') || c == L'-' || c == L'S')) plausible = false;
  }
  // SYSTEM and Administrators (the owner under an agent and when elevated)
  // are in the list already.
  if (owner_sid == L"S-1-5-18" || owner_sid == L"S-1-5-32-544") plausible = false;
  if (plausible) sddl += L"(A;OICI;FA;;;" + owner_sid + L")";
  return sddl;
}

}  // namespace brx
