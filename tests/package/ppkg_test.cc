#include "package/ppkg.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/config_cipher.h"
#include "package/entry_source.h"

namespace {

const char kDefinition[] =
    "<brx_package version='2.0.2.0'>"
    "<filename>cp012345.exe</filename>"
    "<version value='1.2.3'/>"
    "<name><name_xlate lang='en'>Firmware</name_xlate><name_xlate lang='JA'>Japanese</name_xlate>"
    "</name>"
    "<description><description_xlate lang='en'>intro <![CDATA[<b>bold</b>]]></description_xlate>"
    "<description_xlate lang='de'>Nur Text</description_xlate></description>"
    "<sw_keys><sw_keys_and><sw_key name='Key1'><sw_key_expectedpath>firmware:system"
    "</sw_key_expectedpath></sw_key></sw_keys_and></sw_keys>"
    "<installation><install><command>setup.exe</command><command_params>/s /v</command_params>"
    "</install></installation></brx_package>";

std::string Str(const wchar_t* s) { return s ? std::string(s, s + wcslen(s)) : "<none>"; }

// Fails every read of one entry, as a corrupt archive member would.
class FailingSource : public brx::MemoryEntrySource {
 public:
  explicit FailingSource(const wchar_t* bad) : bad_(bad) {}
  bool ReadEntry(const wchar_t* name, void* d, uint64_t size) override {
    return bad_ != name && brx::MemoryEntrySource::ReadEntry(name, d, size);
  }

 private:
  std::wstring bad_;
};

std::string ConfigData(const std::string& config_file, const char* encrypt = nullptr) {
  std::string attr = encrypt ? std::string(" encrypt='") + encrypt + "'" : "";
  return "<zt_pkg_data><configuration><config_file><filename" + attr + ">" + config_file +
         "</filename></config_file></configuration></zt_pkg_data>";
}

std::vector<uint8_t> Bytes(const CPPkg& pkg) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(pkg.GetConfigurationData().CopyBytes(&out));
  return out;
}

TEST(PackageTest, DefinitionGettersAndLanguageFallback) {
  brx::MemoryEntrySource source;
  source.Add(L"cp012345.xml", kDefinition);
  CPPkg pkg;
  ASSERT_TRUE(pkg.LoadPackageFrom(&source, L"c:\\cp012345.exe", L"CP012345.XML", L"ja"));
  EXPECT_EQ("cp012345.exe", Str(pkg.GetFileName()));
  EXPECT_EQ("Japanese", Str(pkg.GetName()));
  EXPECT_EQ("1.2.3", Str(pkg.GetVersion()));
  EXPECT_EQ("Key1", Str(pkg.GetSwKeyName()));
  EXPECT_EQ("firmware:system", Str(pkg.GetSwKeyExpectedPath()));
  EXPECT_EQ("setup.exe", Str(pkg.GetInstallCommand()));
  EXPECT_EQ("/s /v", Str(pkg.GetInstallCommandParams()));
  // No Japanese description: English, whose CDATA section wins over its text.
  EXPECT_EQ("<b>bold</b>", Str(pkg.GetDescription()));
  EXPECT_EQ("c:\\cp012345.exe", Str(pkg.archive_path()));

  ASSERT_TRUE(pkg.LoadPackageFrom(&source, L"p", L"cp012345.xml", L"de"));
  EXPECT_EQ("Nur Text", Str(pkg.GetDescription()));
  EXPECT_EQ("Firmware", Str(pkg.GetName()));
  // A longer code keeps its language part.
  ASSERT_TRUE(pkg.LoadPackageFrom(&source, L"p", L"cp012345.xml", L"ja-JP"));
  EXPECT_EQ("ja", Str(pkg.language()));

  // A lang-less name_xlate first in list order hides the rest; no "en" at all is none.
  brx::MemoryEntrySource odd;
  odd.Add(L"d.xml",
          "<brx_package><name><name_xlate>bare</name_xlate><name_xlate lang='en'>E</name_xlate>"
          "</name><description><description_xlate lang='fr'>F</description_xlate></description>"
          "</brx_package>");
  ASSERT_TRUE(pkg.LoadPackageFrom(&odd, L"p", L"d.xml", L"ko"));
  EXPECT_EQ("<none>", Str(pkg.GetName()));
  EXPECT_EQ("<none>", Str(pkg.GetDescription()));
  EXPECT_EQ("<none>", Str(pkg.GetInstallCommand()));
  EXPECT_EQ("<none>", Str(pkg.GetVersion()));

  pkg.Clear();
  EXPECT_EQ("<none>", Str(pkg.GetFileName()));
  EXPECT_EQ("en", Str(pkg.language()));
  EXPECT_EQ("", Str(pkg.archive_path()));
}

TEST(PackageTest, LoadFailsOnlyWhenThePackageIsUnusable) {
  brx::MemoryEntrySource source;
  source.Add(L"good.xml", kDefinition);
  source.Add(L"bad.xml", "<brx_package>");
  CPPkg pkg;
  EXPECT_FALSE(pkg.LoadPackageFrom(&source, nullptr, L"good.xml", L"en"));
  EXPECT_FALSE(pkg.LoadPackageFrom(&source, L"p", nullptr, L"en"));
  EXPECT_FALSE(pkg.LoadPackageFrom(&source, L"p", L"missing.xml", L"en"));
  EXPECT_FALSE(pkg.LoadPackageFrom(&source, L"p", L"bad.xml", L"en"));
  EXPECT_FALSE(pkg.LoadPackageFrom(&source, std::wstring(261, L'a').c_str(), L"good.xml", L"en"));
  EXPECT_EQ("", Str(pkg.archive_path()));
  EXPECT_TRUE(pkg.LoadPackageFrom(&source, std::wstring(260, L'a').c_str(), L"good.xml", L"en"));

  FailingSource failing(L"good.xml");
  failing.Add(L"good.xml", kDefinition);
  EXPECT_FALSE(pkg.LoadPackageFrom(&failing, L"p", L"good.xml", L"en"));

  // A package data file that does not parse is no error: the getters answer
  // their defaults.
  source.Add(L"zt_data.xml", "<zt_pkg_data><settings>");
  ASSERT_TRUE(pkg.LoadPackageFrom(&source, L"p", L"good.xml", L"en"));
  EXPECT_EQ(nullptr, pkg.GetSetting(L"LARGE_WINDOW"));
  EXPECT_EQ(3010, pkg.MapReturnCode(3010));
  EXPECT_STREQ(L"/silent", pkg.MapCommandLineArg(L"/silent"));
  size_t size = 0;
  EXPECT_FALSE(pkg.GetLicenseTextFrom(&source, nullptr, &size));
  EXPECT_FALSE(pkg.HasConfigUi());
  EXPECT_FALSE(pkg.IsVirtualizationAllowed());
  EXPECT_FALSE(pkg.GetConfigurationData().IsByteArray());
}

TEST(PackageTest, SettingsAndMapsMatchValuesIgnoringCase) {
  brx::MemoryEntrySource source;
  source.Add(L"d.xml", kDefinition);
  source.Add(L"zt_data.xml",
             "<zt_pkg_data><settings><value name='large_window' value='1'/>"
             "<value name='DISABLE_EXTRACT_BUTTON' value='01'/></settings>"
             "<installation><install>"
             "<commandline_arg_map><map source='/silent' dest='-s'/><map source='/x'/>"
             "</commandline_arg_map><returncode_map>"
             "<map source='3010' dest='2'/><map source='7' dest='x'/><map source='8' dest=' -12abc'/>"
             "<map source='9' dest='99999999999'/><map source='-1' dest='-99999999999'/>"
             "<map source='+5' dest='1'/><map source='06' dest='1'/>"
             "</returncode_map></install></installation></zt_pkg_data>");
  CPPkg pkg;
  ASSERT_TRUE(pkg.LoadPackageFrom(&source, L"p", L"d.xml", L"en"));
  EXPECT_EQ("1", Str(pkg.GetSetting(L"LARGE_WINDOW")));
  EXPECT_EQ("01", Str(pkg.GetSetting(L"disable_extract_button")));
  EXPECT_EQ(nullptr, pkg.GetSetting(L"DISABLE_INSTALL_BUTTON"));

  EXPECT_STREQ(L"-s", pkg.MapCommandLineArg(L"/SILENT"));
  EXPECT_STREQ(L"/x", pkg.MapCommandLineArg(L"/x"));  // no dest: unchanged
  EXPECT_STREQ(L"/other", pkg.MapCommandLineArg(L"/other"));

  EXPECT_EQ(2, pkg.MapReturnCode(3010));
  EXPECT_EQ(5, pkg.MapReturnCode(5));
  EXPECT_EQ(0, pkg.MapReturnCode(7));
  EXPECT_EQ(-12, pkg.MapReturnCode(8));
  EXPECT_EQ(INT_MAX, pkg.MapReturnCode(9));
  EXPECT_EQ(INT_MIN, pkg.MapReturnCode(-1));
  EXPECT_EQ(6, pkg.MapReturnCode(6));  // "06" never matches
  EXPECT_EQ(INT_MIN, pkg.MapReturnCode(INT_MIN));
}

TEST(PackageTest, ConfigurationFilePlainEncipheredAndRefused) {
  const std::string secret = "[cfg]\nkey=value\n";
  std::string hex;
  ASSERT_TRUE(brx::EncipherConfiguration(L"cp012345.exe",
                                         reinterpret_cast<const uint8_t*>(secret.data()),
                                         secret.size(), &hex));
  CPPkg pkg;
  struct Case {
    const char* encrypt;
    std::string content;
    bool loads;
    std::string expected;
  } cases[] = {
      {nullptr, secret, true, secret},
      {"true", hex, true, hex},  // only "1" means enciphered
      {"1", hex, true, secret},  // blocks are whole: no padding here
      {"1", "", true, ""},
      {"1", hex + "\r\n", false, ""},
      {"1", hex.substr(0, 15) + "G", false, ""},
  };
  for (const Case& c : cases) {
    brx::MemoryEntrySource source;
    source.Add(L"d.xml", kDefinition);
    source.Add(L"zt_data.xml", ConfigData("app.cfg", c.encrypt));
    source.Add(L"APP.CFG", c.content);
    EXPECT_EQ(c.loads, pkg.LoadPackageFrom(&source, L"p", L"d.xml", L"en")) << c.content;
    if (c.loads) {
      EXPECT_EQ(std::vector<uint8_t>(c.expected.begin(), c.expected.end()), Bytes(pkg));
      EXPECT_EQ("app.cfg", Str(pkg.GetConfigFileName()));
    }
  }

  // Named but not in the archive: loads without data.
  brx::MemoryEntrySource missing;
  missing.Add(L"d.xml", kDefinition);
  missing.Add(L"zt_data.xml", ConfigData("app.cfg", "1"));
  ASSERT_TRUE(pkg.LoadPackageFrom(&missing, L"p", L"d.xml", L"en"));
  EXPECT_FALSE(pkg.GetConfigurationData().IsByteArray());

  // Enciphered, but the definition has no filename to make the key from.
  brx::MemoryEntrySource keyless;
  keyless.Add(L"d.xml", "<brx_package version='2.0.1.0'/>");
  keyless.Add(L"zt_data.xml", ConfigData("app.cfg", "1"));
  keyless.Add(L"app.cfg", hex);
  EXPECT_FALSE(pkg.LoadPackageFrom(&keyless, L"p", L"d.xml", L"en"));

  // An unreadable configuration entry fails the load.
  FailingSource failing(L"app.cfg");
  failing.Add(L"d.xml", kDefinition);
  failing.Add(L"zt_data.xml", ConfigData("app.cfg"));
  failing.Add(L"app.cfg", secret);
  EXPECT_FALSE(pkg.LoadPackageFrom(&failing, L"p", L"d.xml", L"en"));
}

TEST(PackageTest, ConfigUiVirtualizationAndLongNames) {
  brx::MemoryEntrySource source;
  source.Add(L"d.xml", kDefinition);
  source.Add(L"zt_data.xml",
             "<zt_pkg_data><configuration><configui><filename lang='en' encrypt='1'>ui.exe"
             "</filename></configui></configuration><virtualization allow='1'/></zt_pkg_data>");
  source.Add(L"ui.exe", "MZ");
  CPPkg pkg;
  ASSERT_TRUE(pkg.LoadPackageFrom(&source, L"p", L"d.xml", L"fr"));
  EXPECT_TRUE(pkg.HasConfigUi());
  EXPECT_TRUE(pkg.IsVirtualizationAllowed());
  // Without config_file there is no configuration file to place.
  EXPECT_EQ("", Str(pkg.GetConfigFileName()));
  EXPECT_FALSE(pkg.GetConfigurationData().IsByteArray());

  // A name beyond 260 characters is refused, not cut into another name.
  brx::MemoryEntrySource long_name;
  long_name.Add(L"d.xml", kDefinition);
  long_name.Add(L"zt_data.xml",
                ConfigData(std::string(261, 'c')));
  ASSERT_TRUE(pkg.LoadPackageFrom(&long_name, L"p", L"d.xml", L"en"));
  EXPECT_EQ("", Str(pkg.GetConfigFileName()));
  EXPECT_FALSE(pkg.HasConfigUi());
  EXPECT_FALSE(pkg.IsVirtualizationAllowed());
}

}  // namespace
