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

// One install or extraction at a time from a dialog. The message boxes the
// checks show have no owner and run their own message loops, which keep
// dispatching to the dialog: a second Install press there would start a
// nested install (the setup program run twice, a firmware flashed twice, the
// outer run's log closed under it). The flag stops that; disabling the window
// stops the user's clicks as well, and modal windows the run opens with the
// dialog as owner may enable it again, so the flag is what counts.
class BusyDialog {
 public:
  BusyDialog(HWND window, const MainDialogContext& context) : window_(window), context_(context) {
    context_.busy = true;
  }
  // After the licence dialog, which enables its owner again when it ends.
  void DisableInput() { EnableWindow(window_, FALSE); }
  ~BusyDialog() {
    context_.busy = false;
    // The driver destroys the dialog after a run of the setup program.
    if (IsWindow(window_)) EnableWindow(window_, TRUE);
  }
  BusyDialog(const BusyDialog&) = delete;
  BusyDialog& operator=(const BusyDialog&) = delete;

 private:
  HWND window_;
  const MainDialogContext& context_;
};

bool IsDialogCommand(UINT id) { return id == IDCANCEL || id == IDC_CLOSE || id == IDC_INSTALL || id == IDC_EXTRACT; }

}  // namespace

bool MainDialogCommand(HWND window, UINT id, const MainDialogContext& context) {
  if (context.busy) return IsDialogCommand(id);
  switch (id) {
    case IDCANCEL:
    case IDC_CLOSE:
      SetCompletion(context, kNotAttempted);
      EndDialog(window, kNotAttempted);
      return true;
    case IDC_INSTALL: {
      if (!context.package || !context.actions) return false;
      BusyDialog busy(window, context);
      if (!LicenseAccepted(window, context)) return true;
      busy.DisableInput();
      // The driver may destroy `window`; nothing below touches it.
      int32_t code = context.actions->ExtractAndInstall(window, nullptr, true);
      SetCompletion(context, code);
      if (code == kRebootNeeded && context.reboot && *context.reboot) context.actions->RebootSystem();
      return true;
    }
    case IDC_EXTRACT: {
      if (!context.package || !context.actions) return false;
      BusyDialog busy(window, context);
      if (!LicenseAccepted(window, context)) return true;
      busy.DisableInput();
      // A failed extraction destroys the dialog, so this code becomes the
      // run's result: it must say failed, not installed. (After a good one
      // the dialog stays open and Close sets 3 anyway.)
      int32_t code = context.actions->ExtractAndInstall(window, nullptr, false);
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
