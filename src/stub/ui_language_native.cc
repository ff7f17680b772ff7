#include "stub/ui_language.h"

#include <wchar.h>

namespace brx {

// Natively there is no system default locale to ask: English.
void GetUiLanguage(wchar_t* buffer, size_t capacity) {
  if (buffer && capacity >= 3) wcscpy(buffer, UiLanguageCodeForName(nullptr));
}

}  // namespace brx
