// The texts of the launcher's question and notice from the stub's own string table.
#include "install/setup_launcher_win.h"

#include "ui/resources_win.h"

namespace brx {
namespace {

class StringTablePrompts : public LauncherPrompts {
 public:
  std::wstring LoadText(UINT id) override { return ui::LoadResourceString(id); }
};

// At namespace scope, not a function's static: a function's static is
// guarded for threads, and that guard alone would link the whole POSIX
// threads library into the stub (some 20 KB); the stub has one thread.
StringTablePrompts prompts;

}  // namespace

LauncherPrompts& ResourcePrompts() { return prompts; }

}  // namespace brx
