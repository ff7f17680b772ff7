// The package over real appended archives, as the stub reads its own file.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#endif

#include "archive/zip_file.h"
#include "brxpack/package_writer.h"
#include "package/config_cipher.h"
#include "package/ppkg.h"
#include "platform/dir.h"

namespace {

std::vector<unsigned char> Bytes(const std::string& s) {
  return std::vector<unsigned char>(s.begin(), s.end());
}

std::wstring TempPackagePath() {
#ifdef _WIN32
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp, n) + L"brxpackage";
#else
  const char* root = getenv("BRX_TEST_TMP");
  std::string base = root && *root ? root : "/tmp/brx-test-tmp";
  brx::platform::MakeDirectory(std::wstring(base.begin(), base.end()).c_str());
  std::wstring dir = std::wstring(base.begin(), base.end()) + L"/package";
#endif
  brx::platform::MakeDirectory(dir.c_str());
  std::string leaf = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  return dir + L"/" + std::wstring(leaf.begin(), leaf.end()) + L".exe";
}

struct Entry {
  std::string name;
  std::string data;
};

std::wstring BuildPackage(const std::vector<Entry>& entries, const wchar_t* suffix = L"") {
  std::wstring path = TempPackagePath() + suffix;
  brxpack::PackageWriter writer;
  EXPECT_TRUE(writer.Begin(path.c_str(), Bytes("MZ\x90 pretend stub image")));
  for (const Entry& e : entries) EXPECT_TRUE(writer.AddData(e.name, Bytes(e.data))) << e.name;
  EXPECT_TRUE(writer.Finish()) << writer.error();
  return path;
}

std::string Definition(const char* version, const char* file_name = "cp1.exe") {
  return std::string("<brx_package version='") + version + "'><filename>" + file_name +
         "</filename><installation><install><command>setup.exe</command></install>"
         "</installation></brx_package>";
}

std::string Found(const CPPkg& pkg, const std::wstring& path) {
  brxzip::ZIP_File archive;
  EXPECT_EQ(brxzip::ZIP_OK, archive.OpenArchive(path.c_str(), 1));
  PackagePath name;
  if (!pkg.FindDefinitionEntry(archive, &name)) return "<none>";
  return std::string(name.get(), name.get() + name.length());
}

TEST(PackageArchiveTest, DefinitionByNameOrFirstQualifyingEntry) {
  std::wstring path = BuildPackage({
      {"readme.txt", "<brx_package version='2.0.1.0'/>"},
      {"broken.xml", "<brx_package version='2.0.1.0'>"},
      {"a.xml/inner", "<brx_package version='2.0.1.0'/>"},
      {"empty.xml", ""},
      {"newer.xml", Definition("2.0.3.0")},
      {"pkg/def.XML", Definition("2.0.2.0")},
      {"later.xml", Definition("2.0.1.0")},
      {"cp1.xml", Definition("9.9")},
  });
  CPPkg pkg;
  // Named after the stub, any version loads.
  ASSERT_TRUE(pkg.LoadPackage(path.c_str(), L"CP1.xml", L"en"));
  EXPECT_STREQ(L"setup.exe", pkg.GetInstallCommand());
  EXPECT_EQ(path, pkg.archive_path());
  EXPECT_EQ("pkg/def.XML", Found(pkg, path));
  ASSERT_TRUE(pkg.LoadPackage(path.c_str(), L"pkg/def.xml", L"en"));

  std::wstring none = BuildPackage({{"only.xml", Definition("2.0.3.0")}, {"x.txt", "x"}});
  EXPECT_EQ("<none>", Found(pkg, none));
  EXPECT_FALSE(pkg.LoadPackage(none.c_str(), L"missing.xml", L"en"));
  EXPECT_FALSE(pkg.LoadPackage((path + L".absent").c_str(), L"cp1.xml", L"en"));
}

TEST(PackageArchiveTest, ConfigurationLicenceAndSizeFromTheArchive) {
  std::string config = "setting=1\r\n";
  std::string hex;
  ASSERT_TRUE(brx::EncipherConfiguration(L"cp1.exe", reinterpret_cast<const uint8_t*>(config.data()),
                                         config.size(), &hex));
  std::vector<Entry> entries = {
      {"cp1.xml", Definition("2.0.1.0")},
      {"zt_data.xml",
       "<zt_pkg_data><license><filename lang='en'>license.txt</filename></license>"
       "<configuration><configui><filename lang='en'>cfgui.exe</filename></configui>"
       "<config_file><filename encrypt='1'>app.cfg</filename></config_file></configuration>"
       "</zt_pkg_data>"},
      {"license.txt", "Agree?\n"},
      {"cfgui.exe", "MZ"},
      {"app.cfg", hex},
  };
  std::wstring path = BuildPackage(entries);
  CPPkg pkg;
  ASSERT_TRUE(pkg.LoadPackage(path.c_str(), L"cp1.xml", L"ja"));
  EXPECT_TRUE(pkg.HasConfigUi());
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(pkg.GetConfigurationData().CopyBytes(&bytes));
  // Deciphered, with the blanks that filled the last block.
  EXPECT_EQ(config + std::string(5, ' '), std::string(bytes.begin(), bytes.end()));
#ifdef _WIN32
  const VARIANT& v = pkg.GetConfigurationData().variant();
  ASSERT_EQ(VT_ARRAY | VT_UI1, v.vt);
  LONG lower = -1, upper = -1;
  SafeArrayGetLBound(v.parray, 1, &lower);
  SafeArrayGetUBound(v.parray, 1, &upper);
  EXPECT_EQ(0, lower);
  EXPECT_EQ(15, upper);
#endif

  size_t size = 0;
  ASSERT_TRUE(pkg.GetLicenseText(nullptr, &size));
  ASSERT_EQ(7u + 5u, size);
  EXPECT_FALSE(pkg.GetLicenseText(nullptr, &size));  // room but no buffer
  std::string text(size, 'X');
  ASSERT_TRUE(pkg.GetLicenseText(&text[0], &size));
  EXPECT_EQ(std::string("Agree?\n\0\0\0\0\0", 12), text);

  uint64_t total = 0;
  EXPECT_TRUE(pkg.GetPackageSize(&total));
  uint64_t expected = 0;
  for (const Entry& e : entries) expected += e.data.size();
  EXPECT_EQ(expected, total);

  // A damaged enciphered file fails the load instead of ending the process.
  entries.back().data = hex.substr(1);
  std::wstring damaged = BuildPackage(entries);
  EXPECT_FALSE(pkg.LoadPackage(damaged.c_str(), L"cp1.xml", L"en"));
  pkg.Clear();
  // Without an archive the size is unknown, never "0 bytes needed".
  EXPECT_FALSE(pkg.GetPackageSize(&total));
  EXPECT_EQ(0u, total);
  EXPECT_FALSE(pkg.GetLicenseText(nullptr, &size));
}

// The stub loads its package through the archive it opened once: a file
// renamed into the package's place afterwards (a user may write the folder an
// elevated stub runs from) is never read.
TEST(PackageArchiveTest, PackageLoadedThroughAnOpenArchiveIgnoresAFileSwappedIn) {
  auto entries = [](const char* licence) {
    return std::vector<Entry>{
        {"cp1.xml", Definition("2.0.1.0")},
        {"zt_data.xml", "<zt_pkg_data><license><filename lang='en'>license.txt</filename></license></zt_pkg_data>"},
        {"license.txt", licence}};
  };
  std::wstring path = BuildPackage(entries("genuine"));
  brxzip::ZIP_File archive;
  ASSERT_EQ(brxzip::ZIP_OK, archive.OpenArchive(path.c_str(), 1));
  CPPkg pkg;
  ASSERT_TRUE(pkg.LoadPackage(archive, path.c_str(), L"cp1.xml", L"en"));

  std::wstring swapped = BuildPackage(entries("swapped in, and longer"), L".new");
  std::wstring staged = path + L".staged";
#ifdef _WIN32
  MoveFileExW(swapped.c_str(), staged.c_str(), MOVEFILE_REPLACE_EXISTING);
  MoveFileExW(staged.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);  // refused while the stub holds it
#else
  std::string from(swapped.begin(), swapped.end()), via(staged.begin(), staged.end()), to(path.begin(), path.end());
  ASSERT_EQ(0, rename(from.c_str(), via.c_str()));
  ASSERT_EQ(0, rename(via.c_str(), to.c_str()));
#endif
  size_t size = 0;
  ASSERT_TRUE(pkg.GetLicenseText(nullptr, &size));
  std::string text(size, 'X');
  ASSERT_TRUE(pkg.GetLicenseText(&text[0], &size));
  EXPECT_EQ(std::string("genuine\0\0\0\0\0", 12), text);
  uint64_t total = 0;
  pkg.GetPackageSize(&total);
  uint64_t expected = 0;
  for (const Entry& e : entries("genuine")) expected += e.data.size();
  EXPECT_EQ(expected, total);
}

}  // namespace
