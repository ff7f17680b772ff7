// Reads a dialog template resource out of an executable without running it, so
// a test can tell which template a shown dialog was made from.
#ifndef BRX_TOOLS_WATCHER_DIALOG_TEMPLATE_H_
#define BRX_TOOLS_WATCHER_DIALOG_TEMPLATE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "record.h"

namespace brxwatch {

struct TemplateControl {
  int id = 0;
  std::wstring window_class;  // "Button", "Static", ... or the name from the template
  std::wstring text;
  uint32_t style = 0;
};

struct DialogTemplate {
  std::wstring caption;
  uint32_t style = 0;
  std::vector<TemplateControl> controls;
};

// Loads template `id` (language 0: the module's default choice) from `module_path`.
// False when the file, the resource or a well-formed template is missing.
bool LoadDialogTemplate(const std::wstring& module_path, int id, unsigned short language,
                        DialogTemplate* out);

// Parses template bytes (DLGTEMPLATE or DLGTEMPLATEEX); false for malformed data.
bool ParseDialogTemplate(const unsigned char* data, size_t size, DialogTemplate* out);

// True when `shown` carries the template's caption and every control id the
// template names with that control's text (controls created at run time may add
// to the shown set; texts set at run time are not compared for empty template texts).
bool MatchesTemplate(const DialogRecord& shown, const DialogTemplate& tmpl, std::wstring* why);

}  // namespace brxwatch

#endif  // BRX_TOOLS_WATCHER_DIALOG_TEMPLATE_H_
