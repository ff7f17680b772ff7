#include "ui/browse_folder_win.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>

#include "ui/message_box_win.h"
#include "ui/resource_ids.h"
#include "ui/resources_win.h"

namespace brx {
namespace {

// The browser needs OLE on this thread only while it is shown.
class OleScope {
 public:
  OleScope() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (initialized_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;
  bool ok() const { return initialized_; }

 private:
  bool initialized_;
};

class ShellAllocator {
 public:
  ShellAllocator() {
    if (FAILED(SHGetMalloc(&malloc_))) malloc_ = nullptr;
  }
  ~ShellAllocator() {
    if (malloc_) malloc_->Release();
  }
  ShellAllocator(const ShellAllocator&) = delete;
  ShellAllocator& operator=(const ShellAllocator&) = delete;
  bool ok() const { return malloc_ != nullptr; }
  void Free(void* p) {
    if (p) malloc_->Free(p);
  }

 private:
  IMalloc* malloc_ = nullptr;
};

std::wstring StubFolder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(path, length);
  size_t slash = folder.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

bool BrowseForExtractFolder(HWND owner, wchar_t* buffer) {
  std::wstring prompt = ui::LoadResourceString(IDS_BROWSE_PROMPT, MAX_PATH - 1);
  std::wstring start = StubFolder();
  OleScope ole;
  if (!ole.ok()) return false;
  ShellAllocator allocator;
  if (!allocator.ok()) return false;

  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;  // the desktop
  info.lpszTitle = prompt.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return false;

  bool ok = SHGetPathFromIDListW(chosen, buffer) != FALSE;
  allocator.Free(chosen);
  if (!ok) {
    buffer[0] = L'\0';
    ShowResourceMessage(owner, IDS_BAD_EXTRACT_FOLDER, IDS_CAPTION, MB_ICONWARNING);
  }
  return ok;
}

}  // namespace brx
