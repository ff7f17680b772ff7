#include "stub/run_stub.h"

namespace brx {

int ExitCodeForCompletion(int32_t completion, bool dos_style) {
  if (!dos_style) return completion;
  return completion == kCompletionFailed ? 1 : 0;
}

int RunStub(StubHost& host, StubOptions& options) {
  if (options.help) {
    host.ShowUsage();
    return 1;
  }

  // A caller that reads DOS-style codes (/dosretcode, or the agent as parent)
  // takes 0 as success and 1 as failure. The archive and extraction outcomes
  // below follow that too: reporting a stub that cannot even open its payload
  // as 0 would tell such a caller it succeeded.
  bool dos_style = options.dosRetCode || host.IsLaunchedByAgent();

  if (!host.OpenArchive()) {
    host.ShowNoPackageMessage();
    return ExitCodeForCompletion(kCompletionFailed, dos_style);
  }

  if (options.extract) {
    int32_t extracted = host.ExtractOnly(options.extractDir.get());
    return ExitCodeForCompletion(extracted == kCompletionInstalled ? kCompletionInstalled
                                                                   : kCompletionFailed,
                                 dos_style);
  }

  int32_t completion = kCompletionInstalled;
  if (!host.LoadDefinition()) {
    host.LogNoDefinition();
    if (!options.silent) host.ShowNoPackageMessage();
    completion = kCompletionFailed;
    return ExitCodeForCompletion(completion, dos_style);
  }

  host.LoadIcons();
  if (options.silent || options.noPrompt) {
    completion = host.Install(/*with_ui=*/!options.silent);
    if (completion == kCompletionRebootNeeded && options.reboot) host.Reboot();
  } else {
    completion = host.RunMainDialog();
  }
  return ExitCodeForCompletion(completion, dos_style);
}

}  // namespace brx
