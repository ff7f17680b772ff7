#include <windows.h>

#include "dialog_template.h"

namespace brxwatch {

bool LoadDialogTemplate(const std::wstring& module_path, int id, unsigned short language,
                        DialogTemplate* out) {
  // As data only: nothing of the inspected program runs in the test process.
  HMODULE module = LoadLibraryExW(module_path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return false;
  bool ok = false;
  HRSRC res = FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_DIALOG),
                              MAKEINTRESOURCEW(id), language);
  if (res) {
    HGLOBAL loaded = LoadResource(module, res);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data) {
      ok = ParseDialogTemplate(static_cast<const unsigned char*>(data), SizeofResource(module, res),
                               out);
    }
  }
  FreeLibrary(module);
  return ok;
}

}  // namespace brxwatch
