// What the stub's command line decides about one extraction or installation.
//
// The stub fills this from its options; the installer never sees the options
// themselves, so it stays below the stub in the layers.
#ifndef BRX_INSTALL_INSTALL_SETTINGS_H_
#define BRX_INSTALL_INSTALL_SETTINGS_H_

#include "base/bounded_string.h"

namespace brx {

struct InstallSettings {
  bool silent = false;
  bool dry_run = false;      // with silent: the setup program is not started
  bool tpm_bypass = false;   // without UI a TPM caution lets the install go on
  bool verbose_log = false;  // the verbose log is named after the stub

  // Extract into this folder instead of a fresh temporary one. A value that
  // did not fit is never cut: the folder stays empty and inst_path_too_long
  // is set, and the install is refused.
  bool inst_path = false;
  BoundedString<260> inst_path_dir;
  bool inst_path_too_long = false;

  // The configuration file that replaces the package's own; likewise never cut.
  bool config_file_found = false;
  bool config_file_too_long = false;
  BoundedString<260> config_file;

  // The caller's restart wish; the setup program's restart question rewrites
  // it, and the caller reads it after the install. Null when nobody asks.
  bool* reboot = nullptr;
};

}  // namespace brx

#endif  // BRX_INSTALL_INSTALL_SETTINGS_H_
