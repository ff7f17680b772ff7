#include "stub/run_stub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_presenter.h"

namespace brx {
namespace {

// Records the modes the stub reaches and answers as the test sets it up.
class FakeHost : public StubHost {
 public:
  bool archive_opens = true;
  bool definition_loads = true;
  bool agent_parent = false;
  int32_t extract_result = kCompletionInstalled;
  int32_t install_result = kCompletionInstalled;
  int32_t dialog_result = kCompletionNotAttempted;
  bool install_sets_reboot = false;
  StubOptions* options = nullptr;
  std::wstring calls;

  void ShowUsage() override { calls += L"usage;"; }
  bool OpenArchive() override {
    calls += L"archive;";
    return archive_opens;
  }
  // What reaches the screen goes into calls, in order with the modes.
  brxtest::RecordingPresenter screen{true, &calls};
  Presenter& Screen() override { return screen; }
  int32_t ExtractOnly(const wchar_t* dir) override {
    calls += L"extract:" + std::wstring(dir) + L";";
    return extract_result;
  }
  bool LoadDefinition() override {
    calls += L"definition;";
    return definition_loads;
  }
  void LoadIcons() override { calls += L"icons;"; }
  int32_t Install(Presenter& presenter) override {
    calls += presenter.Attended() ? L"install-ui;" : L"install;";
    if (install_sets_reboot && options) options->reboot = true;
    return install_result;
  }
  int32_t RunMainDialog() override {
    calls += L"dialog;";
    return dialog_result;
  }
  StepResult restart = StepResult(true);
  StepResult Reboot() override {
    calls += L"reboot;";
    return restart;
  }
  bool IsLaunchedByAgent() override { return agent_parent; }
  void LogNoDefinition() override { calls += L"log-nodef;"; }
  std::vector<SessionEnd> records;
  std::wstring calls_at_record;  // what had happened when the record was written
  void RecordSession(const SessionEnd& end) override {
    records.push_back(end);
    calls_at_record = calls;
  }
};

StubOptions Options(bool silent = false, bool dos = false) {
  StubOptions o;
  o.silent = silent;
  o.dosRetCode = dos;
  return o;
}

TEST(RunStubTest, HelpWinsOverEverythingAndExitsWithOne) {
  FakeHost host;
  StubOptions o = Options(/*silent=*/true, /*dos=*/true);
  o.help = true;
  o.extract = true;
  EXPECT_EQ(1, RunStub(host, o));
  EXPECT_EQ(L"usage;", host.calls);
}

// A silent run shows no window at all, also when its package cannot be read
// (unreadable, changed after signing, refused by the reader): a deployment
// agent running it as SYSTEM has nobody to answer a box. Every other mode
// keeps message 1000.
TEST(RunStubTest, OnlySilentRunsShowNothing) {
  struct Case {
    const char* mode;
    bool silent, no_prompt, extract, archive, definition;
    const wchar_t* calls;
  } cases[] = {
      {"silent, unreadable", true, false, false, false, true, L"archive;"},
      {"silent, no definition", true, false, false, true, false, L"archive;definition;log-nodef;"},
      {"silent install", true, false, false, true, true, L"archive;definition;icons;install;"},
      {"noprompt, unreadable", false, true, false, false, true, L"archive;msg1000;"},
      {"noprompt, no definition", false, true, false, true, false, L"archive;definition;log-nodef;msg1000;"},
      {"noprompt install", false, true, false, true, true, L"archive;definition;icons;install-ui;"},
      {"dialog, unreadable", false, false, false, false, true, L"archive;msg1000;"},
      {"extract, unreadable", true, false, true, false, true, L"archive;msg1000;"},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.archive_opens = c.archive;
    host.definition_loads = c.definition;
    StubOptions o = Options(c.silent);
    o.noPrompt = c.no_prompt;
    o.extract = c.extract;
    RunStub(host, o);
    EXPECT_EQ(c.calls, host.calls) << c.mode;
    for (const brxtest::ShownBox& box : host.screen.shown) {
      EXPECT_EQ(1u, box.caption_id) << c.mode;
      EXPECT_EQ(0x10u, box.style) << c.mode;  // a stop icon
    }
  }
}

TEST(RunStubTest, UnreadableArchiveFailsUnderEveryExitCodeRule) {
  FakeHost host;
  host.archive_opens = false;
  StubOptions plain_options = Options(true);
  EXPECT_EQ(0, RunStub(host, plain_options));
  // A caller reading DOS-style codes must see failure, not success.
  FakeHost dos_host;
  dos_host.archive_opens = false;
  StubOptions dos = Options(true, true);
  EXPECT_EQ(1, RunStub(dos_host, dos));
  FakeHost agent_host;
  agent_host.archive_opens = false;
  agent_host.agent_parent = true;
  StubOptions plain = Options();
  EXPECT_EQ(1, RunStub(agent_host, plain));
}

TEST(RunStubTest, ExtractOnlyRunsBeforeTheDefinitionIsRead) {
  FakeHost host;
  StubOptions o = Options(/*silent=*/true);
  o.extract = true;
  o.extractDir.Assign(L"C:\\out");
  EXPECT_EQ(1, RunStub(host, o));
  EXPECT_EQ(L"archive;extract:C:\\out;", host.calls);

  host.extract_result = kCompletionFailed;
  EXPECT_EQ(0, RunStub(host, o));

  // DOS-style: 0 for success, 1 for failure.
  o.dosRetCode = true;
  EXPECT_EQ(1, RunStub(host, o));
  host.extract_result = kCompletionInstalled;
  EXPECT_EQ(0, RunStub(host, o));
}

TEST(RunStubTest, MissingDefinitionIsSilentUnderSilent) {
  FakeHost host;
  host.definition_loads = false;
  StubOptions interactive = Options();
  EXPECT_EQ(0, RunStub(host, interactive));
  EXPECT_EQ(L"archive;definition;log-nodef;msg1000;", host.calls);

  host.calls.clear();
  StubOptions silent = Options(true);
  EXPECT_EQ(0, RunStub(host, silent));
  EXPECT_EQ(L"archive;definition;log-nodef;", host.calls);

  StubOptions silent_dos = Options(true, true);
  EXPECT_EQ(1, RunStub(host, silent_dos));
}

TEST(RunStubTest, ModesInOrderAndCompletionCodesMapped) {
  struct {
    bool silent, no_prompt;
    const wchar_t* calls;
  } modes[] = {
      {true, true, L"archive;definition;icons;install;"},
      {false, true, L"archive;definition;icons;install-ui;"},
      {false, false, L"archive;definition;icons;dialog;"},
  };
  for (const auto& mode : modes) {
    for (int32_t code : {0, 1, 2, 3, 7}) {
      for (int dos = 0; dos < 3; ++dos) {  // plain, /dosretcode, agent parent
        FakeHost host;
        host.install_result = host.dialog_result = code;
        host.agent_parent = dos == 2;
        StubOptions o = Options(mode.silent, dos == 1);
        o.noPrompt = mode.no_prompt;
        int expected = dos ? (code == 0 ? 1 : 0) : code;
        EXPECT_EQ(expected, RunStub(host, o)) << mode.calls << " code " << code << " dos " << dos;
        EXPECT_EQ(mode.calls, host.calls);
      }
    }
  }
}

TEST(RunStubTest, RebootOnlyAfterInstallNeedingItWhenAllowed) {
  FakeHost host;
  host.install_result = kCompletionRebootNeeded;
  StubOptions no_reboot = Options(true);
  RunStub(host, no_reboot);
  EXPECT_EQ(std::wstring::npos, host.calls.find(L"reboot;"));

  host.calls.clear();
  StubOptions reboot = Options(true);
  reboot.reboot = true;
  EXPECT_EQ(2, RunStub(host, reboot));
  EXPECT_EQ(L"archive;definition;icons;install;reboot;", host.calls);

  // The reboot prompt of the install may switch rebooting on.
  host.calls.clear();
  StubOptions prompted = Options(false);
  prompted.noPrompt = true;
  host.options = &prompted;
  host.install_sets_reboot = true;
  RunStub(host, prompted);
  EXPECT_EQ(L"archive;definition;icons;install-ui;reboot;", host.calls);

  // Code 1 never reboots, even with /reboot.
  host.calls.clear();
  host.install_result = kCompletionInstalled;
  RunStub(host, reboot);
  EXPECT_EQ(std::wstring::npos, host.calls.find(L"reboot;"));
}

// One record per run, with the final exit code, written before a message box
// nobody may answer, and after the restart it reports.
TEST(RunStubTest, EachRunIsRecordedOnceBeforeAMessageAndAfterARestart) {
  using record::Mode;
  using record::Reboot;
  struct Case {
    const char* what;
    bool archive, definition, extract, silent, no_prompt, reboot, dos;
    bool restart_refused;
    int32_t result;
    Mode mode;
    int32_t completion;
    int exit_code;
    Reboot reboot_word;
    const wchar_t* calls_before_record;
  } cases[] = {
      {"unreadable archive", false, true, false, true, false, false, true, false, 1, Mode::kSilent, 0, 1,
       Reboot::kNotNeeded, L"archive;"},
      {"extract", true, true, true, true, false, false, false, false, 1, Mode::kExtract, 1, 1, Reboot::kNotNeeded,
       L"archive;extract:;"},
      {"no definition", true, false, false, false, false, false, false, false, 1, Mode::kDialog, 0, 0,
       Reboot::kNotNeeded, L"archive;definition;log-nodef;"},
      // The record says what happened to the restart: it is written once the
      // restart started (it counts down), or was refused and stays pending.
      {"silent restart", true, true, false, true, false, true, false, false, 2, Mode::kSilent, 2, 2,
       Reboot::kInitiated, L"archive;definition;icons;install;reboot;"},
      {"silent restart refused", true, true, false, true, false, true, false, true, 2, Mode::kSilent, 2, 2,
       Reboot::kPending, L"archive;definition;icons;install;reboot;"},
      {"silent restart left to the caller", true, true, false, true, false, false, true, false, 2, Mode::kSilent, 2,
       0, Reboot::kPending, L"archive;definition;icons;install;"},
      {"noprompt failed", true, true, false, false, true, true, false, false, 0, Mode::kNoPrompt, 0, 0,
       Reboot::kNotNeeded, L"archive;definition;icons;install-ui;"},
      {"dialog closed", true, true, false, false, false, false, false, false, 3, Mode::kDialog, 3, 3,
       Reboot::kNotNeeded, L"archive;definition;icons;dialog;"},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.archive_opens = c.archive;
    host.definition_loads = c.definition;
    host.extract_result = host.install_result = host.dialog_result = c.result;
    if (c.restart_refused) host.restart = StepResult(false, 1314);
    StubOptions o = Options(c.silent, c.dos);
    o.extract = c.extract;
    o.noPrompt = c.no_prompt;
    o.reboot = c.reboot;
    int exit_code = RunStub(host, o);
    ASSERT_EQ(1u, host.records.size()) << c.what;
    const SessionEnd& end = host.records[0];
    EXPECT_EQ(c.mode, end.mode) << c.what;
    EXPECT_EQ(c.completion, end.completion) << c.what;
    EXPECT_EQ(c.exit_code, end.exit_code) << c.what;
    EXPECT_EQ(exit_code, end.exit_code) << c.what;
    EXPECT_EQ(c.reboot_word, end.reboot) << c.what;
    EXPECT_EQ(c.calls_before_record, host.calls_at_record) << c.what;
    EXPECT_EQ(!c.restart_refused, end.restart.ok) << c.what;
  }

  FakeHost help;
  StubOptions o = Options();
  o.help = true;
  RunStub(help, o);
  EXPECT_TRUE(help.records.empty());
}

}  // namespace
}  // namespace brx
