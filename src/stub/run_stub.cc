#include "stub/run_stub.h"

namespace brx {

int ExitCodeForCompletion(int32_t completion, bool dos_style) {
  if (!dos_style) return completion;
  return completion == kCompletionFailed ? 1 : 0;
}

bool RunShowsWindows(const StubOptions& options) { return options.help || RunMode(options) != record::Mode::kSilent; }

record::Mode RunMode(const StubOptions& options) {
  if (options.extract) return record::Mode::kExtract;
  if (options.silent) return record::Mode::kSilent;
  if (options.noPrompt) return record::Mode::kNoPrompt;
  return record::Mode::kDialog;
}

int RunStub(StubHost& host, StubOptions& options) {
  // Usage help runs nothing and leaves no record.
  if (options.help) {
    host.ShowUsage();
    return 1;
  }

  // A caller that reads DOS-style codes (/dosretcode, or the agent as parent)
  // takes 0 as success and 1 as failure. The archive and extraction outcomes
  // below follow that too: reporting a stub that cannot even open its payload
  // as 0 would tell such a caller it succeeded.
  bool dos_style = options.dosRetCode || host.IsLaunchedByAgent();
  SilentPresenter nothing_shown;
  Presenter& presenter = RunShowsWindows(options) ? host.Screen() : nothing_shown;
  auto show_no_package = [&] { presenter.ShowMessage(nullptr, kMessageNoPackage, kCaptionPackageSetup, kStyleStop); };
  SessionEnd end;
  end.mode = RunMode(options);
  auto record = [&](int32_t completion, bool restarted) {
    end.completion = completion;
    end.exit_code = ExitCodeForCompletion(completion, dos_style);
    end.reboot = completion != kCompletionRebootNeeded ? record::Reboot::kNotNeeded
                 : restarted                           ? record::Reboot::kInitiated
                                                       : record::Reboot::kPending;
    host.RecordSession(end);
    return end.exit_code;
  };

  if (!host.OpenArchive()) {
    int exit_code = record(kCompletionFailed, false);
    show_no_package();
    return exit_code;
  }

  if (options.extract) {
    int32_t extracted = host.ExtractOnly(options.extractDir.get());
    return record(extracted == kCompletionInstalled ? kCompletionInstalled : kCompletionFailed, false);
  }

  if (!host.LoadDefinition()) {
    host.LogNoDefinition();
    int exit_code = record(kCompletionFailed, false);
    show_no_package();
    return exit_code;
  }

  host.LoadIcons();
  if (options.silent || options.noPrompt) {
    int32_t completion = host.Install(presenter);
    bool restart = completion == kCompletionRebootNeeded && options.reboot;
    if (restart) end.restart = host.Reboot();
    return record(completion, restart && end.restart.ok);
  }
  // The dialog restarts by itself after an install that needs it; the host
  // records that run before it restarts, and this record is then its second
  // call, which it ignores.
  return record(host.RunMainDialog(), false);
}

}  // namespace brx
