#include "stub/definition_name.h"

#include <wchar.h>

namespace brx {

bool DefinitionNameForStub(const wchar_t* stub_path, BoundedString<260>* name) {
  name->Clear();
  if (!stub_path) return false;
  const wchar_t* base = stub_path;
  for (const wchar_t* p = stub_path; *p; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') base = p + 1;
  }
  const wchar_t* dot = wcsrchr(base, L'.');
  size_t length = dot ? static_cast<size_t>(dot - base) : wcslen(base);
  return name->Assign(base, length) && name->Append(L".xml");
}

}  // namespace brx
