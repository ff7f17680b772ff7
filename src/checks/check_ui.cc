#include "checks/check_ui.h"

namespace brx {
namespace checks {
namespace {

struct BuiltInText {
  unsigned id;
  const wchar_t* text;
};

// The English string table texts of the messages the checks log, for a
// module without a string table (tests, tools).
const BuiltInText kBuiltInTexts[] = {
    {kMessageVirtualGuest,
     L"Quellin Component execution not supported at this time in Server Virtualized Guest operating systems."},
    {kMessageNoWmi,
     L"Windows Management Instrumentation (WMI) is not installed or has been disabled.  Please install or "
     L"enable this service in order to continue installation of this component."},
    {kMessageTpmCaution,
     L"CAUTION: A Trusted Platform Module (TPM) has been detected in this system. Failure to perform proper OS "
     L"encryption procedures will result in loss of access to your data if recovery key is not available. "
     L"Recommended procedure for Microsoft Windows(R) BitLocker(TM) is to \"disable\" BitLocker prior to System "
     L"ROM or Option ROM firmware flash. If you do not have your recovery key or have not suspended BitLocker, "
     L"exit this flash: Failure to follow these instructions will result in loss of access to your data."},
    {kMessageTmCaution,
     L"CAUTION:  A Trusted Module (TM) is detected in this system.  Updating the System ROM or Option Card "
     L"Firmware may impact measurements stored in the TCM and may impact any security functionality enabled on "
     L"the platform which depends on these measurements."},
};

}  // namespace

void LoadMessageText(const CheckUi& ui, unsigned id, MessageText& text) {
  text.Clear();
  if (ui.load_text) {
    wchar_t buffer[MessageText::capacity() + 1];
    buffer[0] = L'\0';
    int n = ui.load_text(id, buffer, static_cast<int>(MessageText::capacity() + 1));
    if (n > 0 && static_cast<size_t>(n) <= MessageText::capacity()) {
      text.Assign(buffer, static_cast<size_t>(n));
      return;
    }
  }
  for (const BuiltInText& t : kBuiltInTexts) {
    if (t.id == id) {
      text.AssignCut(t.text);
      return;
    }
  }
}

void ShowMessage(Presenter& presenter, MessageOwner owner, unsigned id, unsigned style) {
  presenter.ShowMessage(owner, id, kCaptionId, style);
}

}  // namespace checks
}  // namespace brx
