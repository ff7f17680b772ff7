#include "ui/message_box_win.h"

#include "ui/resources_win.h"

namespace brx {

int ShowResourceMessage(HWND owner, UINT text_id, UINT caption_id, UINT style) {
  std::wstring text = ui::LoadResourceString(text_id);
  std::wstring caption = ui::LoadResourceString(caption_id);
  return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

}  // namespace brx
