#include "install/configuration_file.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/zip_file.h"
#include "brxpack/package_writer.h"
#include "package/entry_source.h"
#include "package/ppkg.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace brx {
namespace {

class ConfigurationFileTest : public ::testing::Test {
 protected:
  // A package whose archive holds site.cfg and whose data declares it.
  void Build(const std::string& package_data) {
    dir_ = brxtest::ScratchDir("install");
    std::wstring package = brxtest::JoinPath(dir_, L"pkg.exe");
    brxpack::PackageWriter writer;
    ASSERT_TRUE(writer.Begin(package.c_str(), std::vector<unsigned char>{'M', 'Z'}));
    std::string definition = "<brx_package><filename>pkg.exe</filename></brx_package>";
    writer.AddData("pkg.xml", std::vector<unsigned char>(definition.begin(), definition.end()));
    writer.AddData("zt_data.xml", std::vector<unsigned char>(package_data.begin(), package_data.end()));
    std::string cfg = "key=value\n";
    writer.AddData("site.cfg", std::vector<unsigned char>(cfg.begin(), cfg.end()));
    ASSERT_TRUE(writer.Finish());
    ASSERT_EQ(brxzip::ZIP_OK, archive_.OpenArchive(package.c_str(), 1));
    ASSERT_TRUE(package_.LoadPackage(package.c_str(), L"pkg.xml", L"en"));
  }

  std::wstring dir_;
  brxzip::ZIP_File archive_;
  CPPkg package_;
};

TEST_F(ConfigurationFileTest, WrittenOnlyWithAConfigUiAndAnEntryOfThatName) {
  Build("<zt_pkg_data><configuration><configui><filename lang=\"en\">ui.exe</filename></configui>"
        "<config_file><filename>site.cfg</filename></config_file></configuration></zt_pkg_data>");
  ASSERT_TRUE(WriteConfigurationFile(package_, archive_, dir_.c_str()));
  EXPECT_EQ("key=value\n", brxtest::FileBytes(brxtest::JoinPath(dir_, L"site.cfg"), "<missing>"));
}

TEST_F(ConfigurationFileTest, NothingDeclaredOrMissingEntryWritesNothing) {
  Build("<zt_pkg_data><configuration><config_file><filename>site.cfg</filename></config_file>"
        "</configuration></zt_pkg_data>");
  EXPECT_TRUE(WriteConfigurationFile(package_, archive_, dir_.c_str()));
  EXPECT_EQ("<missing>", brxtest::FileBytes(brxtest::JoinPath(dir_, L"site.cfg"), "<missing>"));
}

TEST_F(ConfigurationFileTest, UnwritableTargetFails) {
  Build("<zt_pkg_data><configuration><configui><filename lang=\"en\">ui.exe</filename></configui>"
        "<config_file><filename>site.cfg</filename></config_file></configuration></zt_pkg_data>");
  std::wstring missing = brxtest::JoinPath(dir_, L"missing");
  EXPECT_FALSE(WriteConfigurationFile(package_, archive_, missing.c_str()));
}

}  // namespace
}  // namespace brx
