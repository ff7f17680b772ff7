// Installs on a shared server, where ordinary users can prepare folders before
// an elevated run: links and planted folders at the system drive's folders and
// inside an existing /instpath: folder are never written through, and the
// /instpath: folders a run creates are as private as its temporary directory.
// Links are Unix links in the prefix (brxtest::PlantSymlink).
#include <gtest/gtest.h>

#include "install_runs.h"
#include "platform/path_info.h"
#include "setup_runs.h"
#include "support/planted.h"
#include "support/registry_win.h"

namespace brxe2e {
namespace {

// C:\brxsystem (the log and the definition copies of earlier runs) moved
// aside for the test's life and put back afterwards, also when it fails.
class SystemFolderAside {
 public:
  SystemFolderAside() : folder_(setupruns::SystemDrive() + L"\\brxsystem"), saved_(folder_ + L".e2e-saved") {
    RemoveTree(saved_);
    moved_ = MoveFileW(folder_.c_str(), saved_.c_str()) != FALSE;
  }
  ~SystemFolderAside() {
    RemoveTree(folder_);
    if (moved_) MoveFileW(saved_.c_str(), folder_.c_str());
  }
  SystemFolderAside(const SystemFolderAside&) = delete;
  SystemFolderAside& operator=(const SystemFolderAside&) = delete;
  const std::wstring& folder() const { return folder_; }
  bool cleared() const { return !FileExists(folder_); }

 private:
  std::wstring folder_;
  std::wstring saved_;
  bool moved_ = false;
};

const char kInventoryDefinition[] =
    "<brx_package version=\"2.0.2.0\"><filename>e2epkg.exe</filename>"
    "<sw_keys><sw_keys_and><sw_key name=\"BrxE2eElevated\">"
    "<sw_key_expectedpath>software:e2e</sw_key_expectedpath>"
    "</sw_key></sw_keys_and></sw_keys>"
    "<installation><install><command>setup.exe</command></install></installation>"
    "</brx_package>";
const wchar_t kInventoryKey[] = L"Software\\Orvane\\Version Control\\OVRevisionManagement\\BrxE2eElevated";

// The events the recording stub reported, one "event type=T id=N
// strings=[folder|reason]" line each.
std::string FolderRefusals(const std::wstring& record) {
  std::string events = ReadBinary(record), refusals;
  for (size_t at = events.find("id=1010 "); at != std::string::npos; at = events.find("id=1010 ", at + 1)) {
    refusals += events.substr(at, events.find("\r\n", at) - at) + "\n";
  }
  return refusals;
}

// C:\brxsystem prepared by somebody else before an install: a link in its
// place, a folder owned by another user, one that everybody may change, a
// link where the definition copies go. The place the links lead to stays
// untouched and each refused folder leaves an Application event naming it
// and the reason; without a log a silent run ends at once, /noprompt warns
// with message 709 and installs unlogged, and a refused copy folder fails
// only the copy (the registry record is still written).
TEST(E2eInstallLogSerial, PlantedSystemFoldersAreNeverWrittenThrough) {
  StubRun run(kRecordingStub);
  // These runs are about the machine's own C:\brxsystem: they log there.
  ScopedEnv machine_log(L"BRX_LOG_FOLDER", L"");
  // Five installs, two of them whole, on a loaded machine.
  run.set_time_limit_ms(20000);
  // A component the inventory records, so the definition copy is attempted.
  std::wstring pkg = run.Package({{"e2epkg.xml", kInventoryDefinition}, {"setup.exe", setupruns::SampleSetupBytes()}},
                                 L"e2epkg.exe");
  ASSERT_FALSE(pkg.empty());
  std::wstring target = run.dir().File(L"target");
  std::wstring record = run.dir().File(L"record.txt");
  std::wstring events = run.dir().File(L"events.txt");
  SystemFolderAside aside;
  ASSERT_TRUE(aside.cleared());
  const std::wstring& folder = aside.folder();
  std::string narrow_folder = Narrow(folder);

  enum Plant { kFolderLink, kForeignFolder, kOpenFolder, kOpenFolderPrompted, kCopyFolderLink };
  for (Plant plant : {kFolderLink, kForeignFolder, kOpenFolder, kOpenFolderPrompted, kCopyFolderLink}) {
    SCOPED_TRACE(plant);
    RemoveTree(folder);
    RemoveTree(target);
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    DeleteFileW(record.c_str());
    DeleteFileW(events.c_str());
    if (plant == kFolderLink) {
      ASSERT_TRUE(brxtest::PlantSymlink(folder, target));
    } else {
      ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
      bool planted = plant == kForeignFolder   ? brxtest::GiveToAnotherUser(folder)
                     : plant == kCopyFolderLink ? brxtest::PlantSymlink(folder + L"\\ztxml", target)
                                                : brxtest::OpenToEverybody(folder);
      ASSERT_TRUE(planted);
    }
    bool prompted = plant == kOpenFolderPrompted;
    RunResult r;
    {
      ScopedEnv env(L"BRXSAMPLE_RECORD", record);
      ScopedEnv event_record(L"BRX_EVENT_RECORD", events);
      r = prompted ? run.Start(pkg, {L"/noprompt"}, Parent::kTest, {LeaveProgressOpen()})
                   : run.Start(pkg, {L"/silent"});
    }
    EXPECT_TRUE(IsEmptyDirectory(target)) << "written through the link";
    std::string refusals = FolderRefusals(events);
    if (plant == kCopyFolderLink) {
      ExpectNoDialog(r);
      EXPECT_EQ(r.exit_code, 1u) << r.Describe();
      std::string log = ReadBinary(folder + L"\\log\\brxsetup.log");
      ExpectInOrder(log, {"Unable to copy component definition XML to C:\\BRXSYSTEM\\ztxml\\...FAILURE CODE (0)\r\n"
                          "    - The folder C:\\BRXSYSTEM\\ztxml is not used: it is a junction or symbolic link.\r\n"});
      // The component is installed: its registry record is still written.
      EXPECT_NE(log.find("Component registry updates complete...success"), std::string::npos) << log;
      EXPECT_EQ(refusals, "id=1010 strings=[C:\\BRXSYSTEM\\ztxml|it is a junction or symbolic link]\n");
      brxtest::DeleteLocalMachineTree64(kInventoryKey);
      continue;
    }
    // The log's folder: its first level is refused, and nothing is written
    // into it.
    EXPECT_FALSE(FileExists(folder + L"\\log")) << "wrote into the planted folder";
    const char* reason = plant == kFolderLink     ? "it is a junction or symbolic link"
                         : plant == kForeignFolder ? "its owner is not an administrator: S-1-5-7"
                                                   : "a non-administrator may change it: S-1-1-0";
    EXPECT_EQ(refusals.find("id=1010 strings=[" + narrow_folder + "|" + reason), 0u) << refusals;
    if (prompted) {
      ASSERT_TRUE(r.started && !r.timed_out) << r.Describe();
      std::vector<brxwatch::DialogRecord> boxes = MessageBoxes(r);
      ASSERT_GE(boxes.size(), 1u) << r.Describe();
      EXPECT_EQ(boxes[0].text, kLogNotOpenedText);
      EXPECT_EQ(r.exit_code, 1u) << r.Describe();
      EXPECT_TRUE(FileExists(record)) << "the install did not go on";
      brxtest::DeleteLocalMachineTree64(kInventoryKey);
    } else {
      ExpectNoDialog(r);
      EXPECT_EQ(r.exit_code, 0u) << r.Describe();
      EXPECT_FALSE(FileExists(record)) << "the setup program ran";
    }
  }
}

// The system-drive folders made by an administrator account other than the
// one the stub runs as (a folder another administrator made, or an earlier
// tool): the log and the definition copy go there, and nothing is refused.
// Under Wine every folder belongs to the prefix's user while the stub's
// token names another owner, and Wine counts every account as a member of
// Administrators: this proves that the owner is judged by membership and
// not by equality with the token's owner; which memberships count is
// decided in the native tests of the decision.
TEST(E2eInstallLogSerial, SystemFoldersOfAnotherAdministratorAreUsed) {
  StubRun run(kRecordingStub);
  // These runs are about the machine's own C:\brxsystem: they log there.
  ScopedEnv machine_log(L"BRX_LOG_FOLDER", L"");
  run.set_time_limit_ms(30000);
  std::wstring pkg = run.Package({{"e2epkg.xml", kInventoryDefinition}, {"setup.exe", setupruns::SampleSetupBytes()}},
                                 L"e2epkg.exe");
  ASSERT_FALSE(pkg.empty());
  std::wstring events = run.dir().File(L"events.txt");
  SystemFolderAside aside;
  ASSERT_TRUE(aside.cleared());
  const std::wstring& folder = aside.folder();
  for (const wchar_t* level : {L"", L"\\log", L"\\ztxml"}) {
    ASSERT_TRUE(CreateDirectoryW((folder + level).c_str(), nullptr));
  }
  std::wstring owner = brx::platform::OwnerOf((folder + L"\\log").c_str());
  ASSERT_FALSE(owner.empty());
  ASSERT_NE(owner, brx::platform::ProcessOwner()) << "the folders' owner is the token's: nothing to show";
  RunResult r;
  {
    ScopedEnv event_record(L"BRX_EVENT_RECORD", events);
    r = run.Start(pkg, {L"/silent"});
  }
  ExpectNoDialog(r);
  EXPECT_EQ(r.exit_code, 1u) << r.Describe();
  ExpectInOrder(ReadBinary(folder + L"\\log\\brxsetup.log"),
                {"Log Session Start...", "copy component definition XML...Success.",
                 "Component registry updates complete...success", "Return Code (1)"});
  EXPECT_TRUE(FileExists(folder + L"\\ztxml\\e2epkg.xml"));
  EXPECT_EQ(FolderRefusals(events), "");
  brxtest::DeleteLocalMachineTree64(kInventoryKey);
}

// A /instpath: folder the run creates carries the temporary extraction
// directory's access list (read back by the setup program running in each),
// not the one a folder gets there by default. In a folder that existed, a
// link below it is not written through: the extraction is refused first.
TEST(E2eInstallLog, InstPathFoldersArePrivateAndNeverWrittenThroughLinks) {
  StubRun run;
  std::wstring pkg = BuildInstallPackage(run, L"e2epkg.exe", 1, {{"sub/x.dll", "ours"}});
  ASSERT_FALSE(pkg.empty());
  std::wstring record = run.dir().File(L"record.txt");
  auto install = [&](const std::vector<std::wstring>& args) {
    DeleteFileW(record.c_str());
    ScopedEnv env(L"BRXSAMPLE_RECORD", record);
    LogTail tail;
    RunResult r = run.Start(pkg, args);
    ExpectNoDialog(r);
    return std::make_pair(r, tail.Appended());
  };

  auto temp = install({L"/silent"});
  EXPECT_EQ(temp.first.exit_code, 1u) << temp.first.Describe();
  std::string temp_dacl = RecordValue(record, "directory_dacl");
  auto created = install({L"/silent", L"/instpath:" + run.dir().File(L"new\\inst")});
  EXPECT_EQ(created.first.exit_code, 1u) << created.first.Describe() << created.second;
  std::string created_dacl = RecordValue(record, "directory_dacl");
  std::wstring plain = run.dir().File(L"plain");
  CreateDirectoryW(plain.c_str(), nullptr);
  EXPECT_FALSE(temp_dacl.empty());
  EXPECT_EQ(created_dacl, temp_dacl);
  EXPECT_NE(Narrow(brxtest::DaclText(plain)), temp_dacl) << "the comparison cannot tell the lists apart";

  std::wstring existing = run.dir().File(L"existing");
  std::wstring elsewhere = run.dir().File(L"elsewhere");
  ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  ASSERT_TRUE(brxtest::PlantSymlink(existing + L"\\sub", elsewhere));
  auto linked = install({L"/silent", L"/instpath:" + existing});
  EXPECT_EQ(linked.first.exit_code, 0u) << linked.first.Describe();
  ExpectInOrder(linked.second, {"**ERROR** - Package Setup was unable to extract the package properly.",
                                "Return Code (0)"});
  EXPECT_TRUE(IsEmptyDirectory(elsewhere)) << "written through the link";
  EXPECT_FALSE(FileExists(existing + L"\\setup.exe")) << "extraction began before the refusal";
  EXPECT_FALSE(FileExists(record)) << "the setup program ran";
}

}  // namespace
}  // namespace brxe2e
