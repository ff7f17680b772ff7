// The two-letter code that selects translated package texts.
#ifndef BRX_STUB_UI_LANGUAGE_H_
#define BRX_STUB_UI_LANGUAGE_H_

#include <stddef.h>

namespace brx {

// Maps the English name of a language ("French", "Japanese", ...) to its code;
// anything unknown (or none) gives "en".
const wchar_t* UiLanguageCodeForName(const wchar_t* english_name);

// Writes the code for the system default locale into buffer (at least 3 characters).
void GetUiLanguage(wchar_t* buffer, size_t capacity);

}  // namespace brx

#endif  // BRX_STUB_UI_LANGUAGE_H_
