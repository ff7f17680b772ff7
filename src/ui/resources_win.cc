#include "ui/resources_win.h"

namespace brx {
namespace ui {
namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

HRSRC FindInLanguages(LPCWSTR type, LPCWSTR name) {
  HMODULE module = ResourceModule();
  LANGID preferred = PreferredResourceLanguage();
  const LANGID candidates[] = {preferred, MAKELANGID(PRIMARYLANGID(preferred), SUBLANG_DEFAULT), kEnglish};
  for (LANGID lang : candidates) {
    if (HRSRC found = FindResourceExW(module, type, name, lang)) return found;
  }
  return FindResourceW(module, name, type);
}

// Strings live in blocks of 16, each entry a length-prefixed UTF-16 text.
std::wstring StringFromBlock(HRSRC block, UINT id, size_t max_chars) {
  if (!block) return std::wstring();
  HGLOBAL loaded = LoadResource(ResourceModule(), block);
  DWORD size = SizeofResource(ResourceModule(), block);
  const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!p) return std::wstring();
  const WCHAR* end = p + size / sizeof(WCHAR);
  for (UINT i = 0; i < id % 16; ++i) {
    if (p >= end) return std::wstring();
    p += 1 + *p;
  }
  if (p >= end) return std::wstring();
  size_t length = *p++;
  if (length > static_cast<size_t>(end - p)) length = static_cast<size_t>(end - p);
  if (length > max_chars) length = max_chars;
  return std::wstring(p, length);
}

}  // namespace

HMODULE ResourceModule() { return GetModuleHandleW(nullptr); }

LANGID PreferredResourceLanguage() { return GetUserDefaultUILanguage(); }

std::wstring LoadResourceString(UINT id, size_t max_chars) {
  return StringFromBlock(FindInLanguages(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1)), id, max_chars);
}

std::wstring LoadResourceStringIn(UINT id, LANGID language, size_t max_chars) {
  HRSRC block = FindResourceExW(ResourceModule(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  return StringFromBlock(block, id, max_chars);
}

const DLGTEMPLATE* LoadDialogTemplate(UINT id) {
  HRSRC found = FindInLanguages(RT_DIALOG, MAKEINTRESOURCEW(id));
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(ResourceModule(), found);
  return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

INT_PTR ShowModalDialog(UINT template_id, HWND owner, DLGPROC proc, LPARAM param) {
  const DLGTEMPLATE* dialog = LoadDialogTemplate(template_id);
  if (!dialog) return -1;
  return DialogBoxIndirectParamW(ResourceModule(), dialog, owner, proc, param);
}

}  // namespace ui
}  // namespace brx
