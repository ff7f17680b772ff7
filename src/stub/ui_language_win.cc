#include "stub/ui_language.h"

#include <windows.h>

#include <wchar.h>

namespace brx {

void GetUiLanguage(wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity < 3) return;
  wchar_t name[80];
  const wchar_t* english = nullptr;
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, name, ARRAYSIZE(name)) > 0) english = name;
  wcscpy(buffer, UiLanguageCodeForName(english));
}

}  // namespace brx
