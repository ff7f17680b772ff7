// Installs on a shared server, where ordinary users can prepare folders before
// an elevated run: links and planted folders at the system drive's folders and
// inside an existing /instpath: folder are never written through, and the
// /instpath: folders a run creates are as private as its temporary directory.
// Links are Unix links in the prefix (brxtest::PlantSymlink).
#include <gtest/gtest.h>

#include "install_runs.h"
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

// C:\brxsystem prepared by somebody else before a silent install: a link in
// its place, a folder owned by another user, a link where the definition
// copies go. The place the links lead to stays untouched; without a log the
// silent run ends at once, and a refused copy fails only the inventory step.
TEST(E2eInstallLogSerial, PlantedSystemFoldersAreNeverWrittenThrough) {
  StubRun run;
  // A component the inventory records, so the definition copy is attempted.
  const wchar_t kSwKey[] = L"BrxE2eElevated";
  std::wstring pkg = run.Package({{"e2epkg.xml",
                                   "<brx_package version=\"2.0.2.0\"><filename>e2epkg.exe</filename>"
                                   "<sw_keys><sw_keys_and><sw_key name=\"BrxE2eElevated\">"
                                   "<sw_key_expectedpath>software:e2e</sw_key_expectedpath>"
                                   "</sw_key></sw_keys_and></sw_keys>"
                                   "<installation><install><command>setup.exe</command></install></installation>"
                                   "</brx_package>"},
                                  {"setup.exe", setupruns::SampleSetupBytes()}},
                                 L"e2epkg.exe");
  ASSERT_FALSE(pkg.empty());
  std::wstring target = run.dir().File(L"target");
  std::wstring record = run.dir().File(L"record.txt");
  SystemFolderAside aside;
  ASSERT_TRUE(aside.cleared());
  const std::wstring& folder = aside.folder();

  enum Plant { kFolderLink, kForeignFolder, kCopyFolderLink };
  for (Plant plant : {kFolderLink, kForeignFolder, kCopyFolderLink}) {
    SCOPED_TRACE(plant);
    RemoveTree(folder);
    RemoveTree(target);
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    DeleteFileW(record.c_str());
    if (plant == kFolderLink) {
      ASSERT_TRUE(brxtest::PlantSymlink(folder, target));
    } else {
      ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
      bool planted = plant == kForeignFolder ? brxtest::GiveToAnotherUser(folder)
                                             : brxtest::PlantSymlink(folder + L"\\ztxml", target);
      ASSERT_TRUE(planted);
    }
    RunResult r;
    {
      ScopedEnv env(L"BRXSAMPLE_RECORD", record);
      r = run.Start(pkg, {L"/silent"});
    }
    ExpectNoDialog(r);
    EXPECT_TRUE(IsEmptyDirectory(target)) << "written through the link";
    if (plant == kCopyFolderLink) {
      EXPECT_EQ(r.exit_code, 1u) << r.Describe();
      std::string log = ReadBinary(folder + L"\\log\\brxsetup.log");
      EXPECT_NE(log.find("Unable to copy component definition XML to"), std::string::npos) << log;
      EXPECT_EQ(log.find("Component registry updates complete"), std::string::npos) << log;
      brxtest::DeleteLocalMachineTree64(std::wstring(L"Software\\Orvane\\Version Control\\OVRevisionManagement\\") +
                                        kSwKey);
    } else {
      EXPECT_EQ(r.exit_code, 0u) << r.Describe();
      EXPECT_FALSE(FileExists(record)) << "the setup program ran";
      EXPECT_FALSE(FileExists(folder + L"\\log")) << "wrote into the planted folder";
    }
  }
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
