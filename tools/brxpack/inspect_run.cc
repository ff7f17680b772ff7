#include "brxpack/inspect_run.h"

#include <wchar.h>

#include "archive/zip_file.h"
#include "install/configuration_file.h"
#include "install/install_driver.h"
#include "install/setup_command_line.h"
#include "log/cmp_log2.h"
#include "package/ppkg.h"
#include "stub/options.h"
#include "stub/run_stub.h"

namespace brxpack {

const wchar_t kTemporaryExtractionDir[] = L"%TEMP%\\{GUID}";

namespace {

// The install driver logs every step; an inspection writes no log.
class QuietLog : public CCmpLog2 {
 public:
  QuietLog() : CCmpLog2(L"") {}
  int SetVerboseFileName(const wchar_t*) override { return 0; }
  unsigned Open() override { return 0; }
  void Close() override {}
  using CCmpLog2::Write;
  void Write(unsigned, int, const wchar_t*, int, const std::wstring&) override {}
};

// How far an install got, for the reason it stopped.
enum class Stage { kStarted, kChecked, kExtracting, kExtracted, kConfigured, kLaunching };

// The machine as an install would find it at its best: every check passes,
// every directory can be made. What is left to fail is the package's own doing.
class InspectEnvironment : public brx::InstallEnvironment {
 public:
  InspectEnvironment(const CPPkg& package, const brxzip::ZIP_File& archive, bool extraction_succeeds,
                     const std::vector<std::wstring>& arguments, InspectedRun* run)
      : package_(package),
        archive_(archive),
        extraction_succeeds_(extraction_succeeds),
        arguments_(arguments),
        run_(run) {}

  Stage stage() const { return stage_; }

  bool IsPreinstallEnvironment() override { return false; }
  // WMI, virtual guest and TPM depend on the server; the report names the
  // package's part in them (virtualization, sw_key kind).
  brx::StepResult CheckWmiService(bool) override {
    stage_ = Stage::kChecked;
    return true;
  }
  brx::StepResult CheckVirtualGuest(bool) override { return true; }
  brx::StepResult CheckTpmState(bool) override { return true; }
  // The space the package needs is in the report; the server's free space is not known here.
  brx::StepResult CheckDiskSpace(brx::OwnerWindow, bool) override { return true; }
  brx::StepResult GetCurrentDir(brx::DriverPath* out) override { return out->Assign(L"C:\\"); }
  brx::StepResult SetCurrentDir(const wchar_t*) override { return true; }
  bool DirectoryExists(const wchar_t*) override { return false; }
  bool BrowseForFolder(brx::OwnerWindow, brx::DriverPath*) override { return false; }
  brx::StepResult CreateDirectoryPath(const wchar_t*) override { return true; }
  brx::StepResult CreateTempExtractionDirectory(brx::DriverPath* out) override { return out->Assign(kTemporaryExtractionDir); }
  brx::StepResult ExtractAll(const wchar_t*) override {
    stage_ = Stage::kExtracting;
    if (!extraction_succeeds_) return false;
    stage_ = Stage::kExtracted;
    return true;
  }
  brx::StepResult CopyFileOver(const wchar_t*, const wchar_t*) override {
    stage_ = Stage::kConfigured;
    return true;
  }
  brx::StepResult WriteConfigurationFile(const wchar_t*) override {
    std::vector<uint8_t> bytes;
    if (brx::PlanConfigurationFile(package_, archive_, &bytes) == brx::ConfigurationPlacement::kUnusable) {
      return false;
    }
    stage_ = Stage::kConfigured;
    return true;
  }
  brx::StepResult RunSetupProgram(brx::OwnerWindow, const wchar_t* directory) override {
    stage_ = Stage::kLaunching;
    // The placeholder's "%TEMP%" would count as a variable cmd.exe expands,
    // refusing every batch setup program; the real folder holds no "%".
    const wchar_t kStandIn[] = L"C:\\TEMP\\{GUID}";
    bool placeholder = wcscmp(directory, kTemporaryExtractionDir) == 0;
    const wchar_t* build_in = placeholder ? kStandIn : directory;
    brx::SetupCommandLine plain, masked;
    if (!brx::BuildSetupCommandLine(build_in, package_, arguments_, false, &plain) ||
        !brx::BuildSetupCommandLine(build_in, package_, arguments_, true, &masked)) {
      return brx::StepResult(false);
    }
    auto shown = [&](const wchar_t* line) {
      std::wstring text = line;
      size_t at = placeholder ? text.find(kStandIn) : std::wstring::npos;
      if (at != std::wstring::npos) text.replace(at, wcslen(kStandIn), kTemporaryExtractionDir);
      return text;
    };
    run_->runs_setup = true;
    run_->extraction_dir = directory;
    run_->plain = shown(plain.get());
    run_->masked = shown(masked.get());
    brx::StepResult ran(true);
    ran.code = brx::kCompletionInstalled;
    return ran;
  }
  void Sleep(unsigned) override {}
  brx::StepResult DeleteDirectoryTree(const wchar_t*) override { return true; }

 private:
  const CPPkg& package_;
  const brxzip::ZIP_File& archive_;
  bool extraction_succeeds_;
  const std::vector<std::wstring>& arguments_;
  InspectedRun* run_;
  Stage stage_ = Stage::kStarted;
};

std::string RefusalFor(Stage stage, const CPPkg& package) {
  switch (stage) {
    case Stage::kStarted: {
      const wchar_t* disable = package.GetSetting(L"DISABLE_INSTALL_BUTTON");
      if (disable && wcscmp(disable, L"1") == 0) {
        return "the package data sets DISABLE_INSTALL_BUTTON to \"1\": the stub installs nothing";
      }
      return "the definition names no setup program (installation/install/command)";
    }
    case Stage::kExtracting:
      return "extraction fails: the archive holds entries the stub refuses or cannot read";
    case Stage::kExtracted:
      return "the configuration file cannot be placed";
    case Stage::kLaunching:
      return "the setup command line cannot be built: no setup program, longer than 2,047 characters "
             "(the stub starts nothing rather than a cut line), or an argument a batch setup program "
             "cannot receive literally (%, a double quote or a line end), or definition parameters that "
             "leave its double quotes open";
    default:
      return "the install stops before the setup program";
  }
}

// A run a person would watch, drawn nowhere: the driver decides as it would
// with someone at the screen.
class UnseenScreen : public brx::SilentPresenter {
 public:
  bool Attended() const override { return true; }
};

// The run modes over the inspected package.
class InspectHost : public brx::StubHost {
 public:
  InspectHost(const CPPkg& package, const brxzip::ZIP_File& archive, bool loaded, bool extraction_succeeds,
              const std::wstring& stub_file_name, brx::StubOptions& options, InspectedRun* run)
      : package_(package),
        archive_(archive),
        loaded_(loaded),
        extraction_succeeds_(extraction_succeeds),
        stub_file_name_(stub_file_name),
        options_(options),
        run_(run) {}

  void ShowUsage() override { run_->mode = "usage"; }
  bool OpenArchive() override { return true; }  // inspection only starts on an open archive
  brx::Presenter& Screen() override { return screen_; }
  int32_t ExtractOnly(const wchar_t*) override {
    run_->mode = "extract";
    return extraction_succeeds_ ? brx::kCompletionInstalled : brx::kCompletionFailed;
  }
  bool LoadDefinition() override { return loaded_; }
  void LoadIcons() override {}
  int32_t Install(brx::Presenter& presenter) override {
    run_->mode = presenter.Attended() ? "noprompt" : "silent";
    return Drive(presenter);
  }
  // The dialog's Install button runs the same driver, with message boxes.
  int32_t RunMainDialog() override {
    run_->mode = "dialog";
    return Drive(screen_);
  }
  brx::StepResult Reboot() override { return true; }
  bool IsLaunchedByAgent() override { return false; }
  void LogNoDefinition() override { run_->mode = "no-package"; }
  // The stub writes its session record here; what the tool reports is the
  // dry run itself, so nothing is recorded.
  void RecordSession(const brx::SessionEnd&) override {}

 private:
  int32_t Drive(brx::Presenter& presenter) {
    QuietLog log;
    InspectEnvironment environment(package_, archive_, extraction_succeeds_, run_->arguments, run_);
    brx::InstallContext context;
    context.log = &log;
    context.package = &package_;
    brx::InstallSettings settings = brx::InstallSettingsFrom(&options_);
    context.settings = &settings;
    context.environment = &environment;
    context.stub_file_name = stub_file_name_.c_str();
    context.presenter = &presenter;
    int32_t completion = brx::ExtractAndInstall(context, nullptr, nullptr, /*install=*/true);
    if (!run_->runs_setup) run_->refusal = RefusalFor(environment.stage(), package_);
    return completion;
  }

  const CPPkg& package_;
  const brxzip::ZIP_File& archive_;
  bool loaded_;
  bool extraction_succeeds_;
  const std::wstring& stub_file_name_;
  brx::StubOptions& options_;
  InspectedRun* run_;
  UnseenScreen screen_;
};

// A /config_file the stub finds on the server replaces the package's own
// file; whether it exists there is not known here, so it is taken as found.
bool FoundOnServer(const wchar_t*) { return true; }

}  // namespace

InspectedRun PredictRun(const CPPkg& package, const brxzip::ZIP_File& archive, bool loaded,
                        bool extraction_succeeds, const std::wstring& stub_file_name,
                        const std::vector<std::wstring>& arguments) {
  InspectedRun run;
  run.arguments = arguments;
  brx::StubOptions options;
  brx::ParseArguments(arguments, FoundOnServer, &options);
  InspectHost host(package, archive, loaded, extraction_succeeds, stub_file_name, options, &run);
  brx::RunStub(host, options);

  if (options.silent && options.dryRun && run.runs_setup) {
    run.note = "/dryrun with /silent: the stub builds this line but does not start the setup program";
  } else if (options.configFileFound && run.runs_setup) {
    run.note = "the /config_file file, when it exists on the server, replaces the package's configuration file";
  } else if (run.mode == "usage") {
    run.note = "the stub shows its usage and runs no setup program";
  } else if (run.mode == "extract") {
    run.note = "the stub only extracts and runs no setup program";
  }
  return run;
}

}  // namespace brxpack
