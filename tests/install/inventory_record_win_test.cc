// The inventory record against the registry and the system drive of the
// Wine prefix. Every test uses a component key of its own and removes it.
#include "install/inventory_record_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "log/cmp_log2.h"
#include "package/entry_source.h"
#include "package/ppkg.h"
#include "support/recording_log.h"
#include "support/scratch_dir.h"
#include "support/registry_win.h"

#include <sddl.h>

namespace brx {
namespace {

using brxtest::RecordingLog;

using Values = std::map<std::wstring, std::wstring>;

class InventoryRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("BrxTest_") + info->name() + "_" + std::to_string(GetCurrentProcessId());
    sw_key_.assign(name.begin(), name.end());
    key_path_ = std::wstring(kInventoryKeyPath) + sw_key_;
    definition_ = sw_key_ + L".xml";
    dir_ = brxtest::ScratchDir("install");
    wchar_t saved[MAX_PATH];
    saved_dir_.assign(saved, GetCurrentDirectoryW(MAX_PATH, saved));
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.c_str()));
    std::ofstream((dir_ + L"\\" + definition_).c_str()) << "<brx_package/>";
    wchar_t drive[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
    ASSERT_GT(n, 0u);
    copy_ = std::wstring(drive, n) + L"\\BRXSYSTEM\\ztxml\\" + definition_;
  }

  void TearDown() override {
    SetCurrentDirectoryW(saved_dir_.c_str());
    ReleaseKeys();
    RemoveDirectoryW(copy_.c_str());
    DeleteFileW(copy_.c_str());
    brxtest::DeleteLocalMachineTree64(key_path_);
  }

  // Records a component with this file name and expected path; a null drops
  // that element from the definition.
  bool Install(const char* file_name, const char* expected_path, int32_t code, bool with_name = true,
               SetRegistryText writes = nullptr) {
    std::string sw_key(sw_key_.begin(), sw_key_.end());
    std::string xml = "<brx_package>";
    if (file_name) xml += std::string("<filename>") + file_name + "</filename>";
    xml += "<sw_keys><sw_keys_and><sw_key";
    if (with_name) xml += " name=\"" + sw_key + "\"";
    xml += ">";
    if (expected_path) xml += std::string("<sw_key_expectedpath>") + expected_path + "</sw_key_expectedpath>";
    xml += "</sw_key></sw_keys_and></sw_keys></brx_package>";
    MemoryEntrySource source;
    source.Add(L"d.xml", xml);
    CPPkg package;
    EXPECT_TRUE(package.LoadPackageFrom(&source, L"p.exe", L"d.xml", L"en"));
    log_.Clear();
    return UpdateComponentData(log_, package, definition_.c_str(), code, writes).ok;
  }

  // Writes a record as an earlier install would have left it.
  void PutRecord(const wchar_t* subkey, const wchar_t* file_name, const wchar_t* expected_path) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (key_path_ + L"\\" + subkey).c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr));
    RegSetValueExW(key, L"ComponentFileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(file_name),
                   static_cast<DWORD>((wcslen(file_name) + 1) * 2));
    RegSetValueExW(key, L"ComponentKeyExpectedPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(expected_path),
                   static_cast<DWORD>((wcslen(expected_path) + 1) * 2));
    RegCloseKey(key);
  }

  // Subkey name -> its values; empty when the component key does not exist.
  std::map<std::wstring, Values> Records() {
    std::map<std::wstring, Values> records;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
      return records;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY subkey;
      Values& values = records[name];
      if (RegOpenKeyExW(key, name, 0, KEY_READ, &subkey) != ERROR_SUCCESS) continue;
      wchar_t value_name[256];
      wchar_t data[512];
      for (DWORD v = 0;; ++v) {
        DWORD name_length = 256, size = sizeof(data), type = 0;
        if (RegEnumValueW(subkey, v, value_name, &name_length, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
          break;
        }
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        // Stored with the terminator.
        EXPECT_EQ(L'\0', data[size / 2 - 1]);
        values[value_name] = data;
      }
      RegCloseKey(subkey);
    }
    RegCloseKey(key);
    return records;
  }

  bool CopyExists() { return GetFileAttributesW(copy_.c_str()) != INVALID_FILE_ATTRIBUTES; }

  // A key that anyone may read and no one may write; ReleaseKeys opens it again.
  void LockKey(const std::wstring& path) { SetKeyAccess(path, L"D:P(A;;KR;;;WD)"); locked_.push_back(path); }
  void ReleaseKeys() {
    for (const std::wstring& path : locked_) SetKeyAccess(path, L"D:(A;;KA;;;WD)");
    locked_.clear();
  }
  void SetKeyAccess(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    HKEY key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, WRITE_DAC | KEY_WOW64_64KEY,
                                     nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
      status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
      RegCloseKey(key);
    }
    LocalFree(descriptor);
    EXPECT_EQ(ERROR_SUCCESS, status);
  }
  std::vector<std::wstring> locked_;

  std::wstring sw_key_, key_path_, definition_, dir_, saved_dir_, copy_;
  RecordingLog log_;
};

TEST_F(InventoryRecordTest, FirstInstallCopiesTheDefinitionAndWritesRecordZero) {
  ASSERT_TRUE(Install("a.exe", "software:a", 1));
  EXPECT_TRUE(CopyExists());
  auto records = Records();
  ASSERT_EQ(1u, records.size());
  Values& record = records[L"0"];
  EXPECT_EQ(L"\\BRXSYSTEM\\ztxml\\", record[L"ComponentXmlPath"]);
  EXPECT_EQ(L"a.exe", record[L"ComponentFileName"]);
  EXPECT_EQ(L"software:a", record[L"ComponentKeyExpectedPath"]);
  EXPECT_NE(std::wstring::npos, record[L"InstallTime"].find(L'-'));
  EXPECT_EQ(4u, record.size());

  ASSERT_EQ(4u, log_.entries.size());
  EXPECT_EQ(L"1872:0:Copying component definition XML to " + copy_.substr(0, copy_.size() - definition_.size()) +
                L"...",
            log_.Line(0));
  EXPECT_EQ(L"1897:0:copy component definition XML...Success.\r\n", log_.Line(1));
  EXPECT_EQ(L"1927:0:    - Creating registry key HKLM\\" + key_path_ + L"...\r\n", log_.Line(2));
  EXPECT_EQ(L"2117:0:Component registry updates complete...success\r\n", log_.Line(3));

  // Code 2 records as well and rewrites the same record.
  ASSERT_TRUE(Install("a.exe", "software:a2", 2));
  records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(L"software:a2", records[L"0"][L"ComponentKeyExpectedPath"]);
}

TEST_F(InventoryRecordTest, CodesOtherThanOneAndTwoRecordNothing) {
  for (int32_t code : {0, 3, 7, -1}) {
    EXPECT_TRUE(Install("a.exe", "software:a", code));
    EXPECT_TRUE(log_.entries.empty());
  }
  EXPECT_TRUE(Records().empty());
  EXPECT_FALSE(CopyExists());
}

TEST_F(InventoryRecordTest, FirstRecordIsRewrittenAndLaterMatchesRemoved) {
  ASSERT_TRUE(Install("a.exe", "software:a", 1));
  ASSERT_TRUE(Install("b.exe", "software:b", 1));
  auto records = Records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(L"b.exe", records[L"1"][L"ComponentFileName"]);

  // Reinstalling the component recorded in "1" while "0" holds another one:
  // the first subkey is the software key's current record and is rewritten,
  // "1" is deleted.
  ASSERT_TRUE(Install("b.exe", "software:b", 1));
  records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(L"b.exe", records[L"0"][L"ComponentFileName"]);
  EXPECT_EQ(L"software:b", records[L"0"][L"ComponentKeyExpectedPath"]);

  // Reinstalling the component recorded in "0" rewrites it and deletes only
  // later matches: the unrelated "1" stays, the stale duplicate in "2" goes.
  PutRecord(L"1", L"c.exe", L"software:c");
  PutRecord(L"2", L"b-old.exe", L"software:b");
  ASSERT_TRUE(Install("b.exe", "software:b", 1));
  records = Records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(L"b.exe", records[L"0"][L"ComponentFileName"]);
  EXPECT_EQ(L"c.exe", records[L"1"][L"ComponentFileName"]);

  // Found by file name alone, too.
  ASSERT_TRUE(Install("b.exe", "software:moved", 1));
  records = Records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(L"software:moved", records[L"0"][L"ComponentKeyExpectedPath"]);
}

TEST_F(InventoryRecordTest, NewComponentTakesTheSmallestFreeNumberAndCaseMatters) {
  PutRecord(L"0", L"a.exe", L"software:a");
  PutRecord(L"2", L"c.exe", L"software:c");
  // Differs from "0" only in letter case: another component.
  ASSERT_TRUE(Install("A.EXE", "SOFTWARE:A", 1));
  auto records = Records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(L"a.exe", records[L"0"][L"ComponentFileName"]);
  EXPECT_EQ(L"A.EXE", records[L"1"][L"ComponentFileName"]);
  EXPECT_EQ(L"c.exe", records[L"2"][L"ComponentFileName"]);
}

TEST_F(InventoryRecordTest, MissingDefinitionTextsRecordNothing) {
  const std::wstring unable = L"2073:2:Failed to update component data...\r\n    - Unable to update registry HKLM\\";
  EXPECT_FALSE(Install("a.exe", "software:a", 1, false));
  ASSERT_EQ(2u, log_.entries.size());
  EXPECT_EQ(unable + kInventoryKeyPath + L"\r\n", log_.Line(0));
  EXPECT_EQ(L"2079:0:FAILURE CODE (0)\r\n", log_.Line(1));
  EXPECT_FALSE(Install(nullptr, "software:a", 1));
  EXPECT_EQ(unable + key_path_ + L"\r\n", log_.Line(0));
  EXPECT_FALSE(Install("a.exe", nullptr, 2));
  EXPECT_EQ(2u, log_.entries.size());

  EXPECT_TRUE(Records().empty());

  // Without the system drive there is no copy, yet the component is
  // installed: its record is still written.
  wchar_t drive[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  SetEnvironmentVariableW(L"SystemDrive", nullptr);
  bool recorded = Install("a.exe", "software:a", 1);
  SetEnvironmentVariableW(L"SystemDrive", std::wstring(drive, n).c_str());
  EXPECT_FALSE(recorded);
  ASSERT_LE(2u, log_.entries.size());
  EXPECT_EQ(L"1880:2:Failed to update component data...\r\n    - Unable to copy component definition XML to "
            L"%SystemDrive%\\BRXSYSTEM\\ztxml\\...FAILURE CODE (0)\r\n",
            log_.Line(1));

  EXPECT_EQ(1u, Records().size());
  EXPECT_FALSE(CopyExists());
}

std::wstring AllLines(const RecordingLog& log) {
  std::wstring all;
  for (const std::wstring& line : log.Lines()) all += line + L"\n";
  return all;
}

LSTATUS FailInstallTime(HKEY key, const wchar_t* name, const std::wstring& value) {
  if (std::wstring(name) == L"InstallTime") return ERROR_KEY_DELETED;
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Each failure is logged with its Windows error and the step answers false;
// only a failed copy still leaves the record.
TEST_F(InventoryRecordTest, FailuresAreLoggedWithTheirErrorAndACopyFailureStillRecords) {
  enum Prepare { kFolderAtCopy, kLockedComponentKey, kLockedRecordKey, kFailingValueWrite };
  struct Case {
    Prepare prepare;
    std::wstring main_line;   // a line of the main log
    std::wstring cause;       // start of the verbose line with the Windows error
    bool recorded;
  } cases[] = {
      {kFolderAtCopy, L"1880:2:Failed to update component data...", L"1881:2:Copying the component definition to [",
       true},
      {kLockedComponentKey, L"1943:2:Cannot Create Registry Key HKLM\\" + key_path_,
       L"1944:2:Creating the registry key [" + key_path_ + L"]: result 0, Windows error 5.", false},
      {kLockedRecordKey, L"2073:2:Failed to update component data...\r\n    - Unable to update registry HKLM\\" +
                             key_path_ + L"\\0",
       L"2074:2:Creating the registry key [" + key_path_ + L"\\0]: result 0, Windows error 5.", false},
      {kFailingValueWrite, L"2079:0:FAILURE CODE (0)", L"2075:2:Setting the registry value [InstallTime]: result 0, "
                                                      L"Windows error 1018.", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.main_line);
    ReleaseKeys();
    brxtest::DeleteLocalMachineTree64(key_path_);
    if (c.prepare == kFolderAtCopy) {
      ASSERT_TRUE(CreateDirectoryW(copy_.c_str(), nullptr));
    }
    if (c.prepare == kLockedComponentKey) LockKey(key_path_);
    if (c.prepare == kLockedRecordKey) {
      PutRecord(L"0", L"a.exe", L"software:a");
      LockKey(key_path_ + L"\\0");
    }
    EXPECT_FALSE(Install("a.exe", "software:a", 1, true, c.prepare == kFailingValueWrite ? FailInstallTime : nullptr));
    EXPECT_TRUE(log_.Contains(c.main_line)) << AllLines(log_);
    EXPECT_TRUE(log_.Contains(c.cause)) << AllLines(log_);
    EXPECT_EQ(c.recorded ? 1u : 0u, log_.Count(2117));
    if (c.recorded) {
      EXPECT_EQ(4u, Records()[L"0"].size());
    }
    RemoveDirectoryW(copy_.c_str());
  }
}

}  // namespace
}  // namespace brx
