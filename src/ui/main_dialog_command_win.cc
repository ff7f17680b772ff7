#include "ui/main_dialog_command_win.h"

#include "package/ppkg.h"
#include "ui/license_dialog_win.h"
#include "ui/resource_ids.h"

namespace brx {
namespace {

const int32_t kInstalled = 1;
const int32_t kFailed = 0;
const int32_t kRebootNeeded = 2;
const int32_t kNotAttempted = 3;

void SetCompletion(const MainDialogContext& context, int32_t code) {
  if (context.completion_code) *context.completion_code = code;
}

// True when the package has no licence or the user accepted it. A dialog that
// cannot be created does not block the run.
bool LicenseAccepted(HWND window, const MainDialogContext& context) {
  size_t size = 0;
  if (!context.package->GetLicenseText(nullptr, &size)) return true;
  return LicenseDialog(window, *context.package, context.completion_code) != 0;
}

}  // namespace

bool MainDialogCommand(HWND window, UINT id, const MainDialogContext& context) {
  switch (id) {
    case IDCANCEL:
    case IDC_CLOSE:
      SetCompletion(context, kNotAttempted);
      EndDialog(window, kNotAttempted);
      return true;
    case IDC_INSTALL: {
      if (!context.package || !context.actions) return false;
      if (!LicenseAccepted(window, context)) return true;
      // The driver may destroy `window`; nothing below touches it.
      int32_t code = context.actions->ExtractAndInstall(window, nullptr, true, false);
      SetCompletion(context, code);
      if (code == kRebootNeeded && context.reboot && *context.reboot) context.actions->RebootSystem();
      return true;
    }
    case IDC_EXTRACT: {
      if (!context.package || !context.actions) return false;
      if (!LicenseAccepted(window, context)) return true;
      // A failed extraction destroys the dialog, so this code becomes the
      // run's result: it must say failed, not installed. (After a good one
      // the dialog stays open and Close sets 3 anyway.)
      int32_t code = context.actions->ExtractAndInstall(window, nullptr, false, false);
      SetCompletion(context, code == kInstalled ? kInstalled : kFailed);
      return true;
    }
    default:
      return false;
  }
}

INT_PTR CloseOnlyCommand(HWND dialog, WPARAM wparam) {
  auto* context = reinterpret_cast<const MainDialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (LOWORD(wparam) != IDCANCEL || !context) return FALSE;
  return MainDialogCommand(dialog, IDCANCEL, *context) ? TRUE : FALSE;
}

}  // namespace brx
