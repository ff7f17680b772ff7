#include "stub/ui_language.h"

namespace brx {
namespace {

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    wchar_t x = (*a >= L'A' && *a <= L'Z') ? *a + 32 : *a;
    wchar_t y = (*b >= L'A' && *b <= L'Z') ? *b + 32 : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

const wchar_t* UiLanguageCodeForName(const wchar_t* english_name) {
  static const struct {
    const wchar_t* name;
    const wchar_t* code;
  } kLanguages[] = {
      {L"french", L"fr"}, {L"spanish", L"es"},  {L"german", L"de"},
      {L"italian", L"it"}, {L"japanese", L"ja"}, {L"chinese", L"zh"},
  };
  if (!english_name) return L"en";
  for (const auto& language : kLanguages) {
    if (EqualsNoCase(english_name, language.name)) return language.code;
  }
  return L"en";
}

}  // namespace brx
