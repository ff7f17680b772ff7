// Every element and attribute of the definition and the package data that
// the stub reads, with what it does with each: the table behind brxpack's
// build checks and the packager's reference (docs/package-format.md), which a
// test keeps equal to this table and to the names the stub's code looks up.
#ifndef BRX_TOOLS_BRXPACK_PACKAGE_FORMAT_H_
#define BRX_TOOLS_BRXPACK_PACKAGE_FORMAT_H_

#include <stddef.h>

#include <string>

namespace brxpack {

enum class FormatDocument { kDefinition, kPackageData };

// How the stub takes an element's text, and so how hard brxpack checks it.
enum class TextUse {
  kNone,     // an attribute, or an element read only for its children
  kInstall,  // decides what is run, placed, keyed or recorded: a text the reader loses fails the build
  kDisplay,  // only shown: a text the reader loses is a warning
};

struct FormatItem {
  FormatDocument document;
  const char* path;       // from the document element, which it names ("brx_package/filename")
  const char* attribute;  // null for the element's text
  TextUse text;
  const char* use;        // what the stub does with it
};

extern const FormatItem kFormatItems[];
extern const size_t kFormatItemCount;

// "brx_package/version/@value", "zt_pkg_data/settings/value/@name", "brx_package/filename".
std::string FormatKey(const FormatItem& item);

// The settings (zt_pkg_data/settings/value) the stub asks for.
struct FormatSetting {
  const char* name;
  const char* effect;  // when its value is "1"
};
extern const FormatSetting kFormatSettings[];
extern const size_t kFormatSettingCount;

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_PACKAGE_FORMAT_H_
