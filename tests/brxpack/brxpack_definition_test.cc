#include "brxpack/definition_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/package_writer.h"
#include "package/ppkg.h"
#include "support/scratch_dir.h"

namespace {

std::vector<unsigned char> Bytes(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

const char kDefinition[] = "<brx_package version=\"2.0.2.0\"><filename>cp0042.exe</filename></brx_package>";

TEST(BrxpackDefinitionTest, WarnsWhenTheStubWouldNotFindOrNameTheDefinition) {
  std::wstring file_name;
  ASSERT_TRUE(brxpack::ReadDefinitionFileName(Bytes(kDefinition), &file_name));
  EXPECT_EQ(L"cp0042.exe", file_name);
  EXPECT_FALSE(brxpack::ReadDefinitionFileName(Bytes("<brx_package/>"), &file_name));
  EXPECT_FALSE(brxpack::ReadDefinitionFileName(Bytes("not xml"), &file_name));

  EXPECT_TRUE(brxpack::DefinitionWarnings("out/CP0042.exe", "cp0042.xml", L"cp0042.exe").empty());
  auto warnings = brxpack::DefinitionWarnings("out/renamed.exe", "cp0042.xml", L"cp0042.exe");
  ASSERT_EQ(2u, warnings.size());
  EXPECT_NE(std::string::npos, warnings[0].find("\"renamed.xml\""));
  EXPECT_NE(std::string::npos, warnings[1].find("\"cp0042.exe\""));
  EXPECT_EQ(1u, brxpack::DefinitionWarnings("cp0042.exe", "cp0042.xml", L"").size());
}

TEST(BrxpackDefinitionTest, EncipheredConfigurationLoadsBackAsThePlainText) {
  std::wstring package = brxtest::JoinPath(brxtest::ScratchDir("brxpack"), L"cp0042.exe");
  brxpack::PackageWriter writer;
  ASSERT_TRUE(writer.Begin(package.c_str(), std::vector<unsigned char>{'M', 'Z'}));
  writer.set_transform(brxpack::MakeEncipherTransform(L"cp0042.exe", "site.cfg"));
  ASSERT_TRUE(writer.AddData("cp0042.xml", Bytes(kDefinition)));
  ASSERT_TRUE(writer.AddData("zt_data.xml",
                             Bytes("<zt_pkg_data><configuration><config_file><filename encrypt=\"1\">site.cfg"
                                   "</filename></config_file></configuration></zt_pkg_data>")));
  ASSERT_TRUE(writer.AddData("site.cfg", Bytes("user=admin\npass=secret\n")));  // 23 bytes: 3 blocks
  ASSERT_TRUE(writer.Finish());

  CPPkg loaded;
  ASSERT_TRUE(loaded.LoadPackage(package.c_str(), L"cp0042.xml", L"en"));
  std::vector<uint8_t> plain;
  ASSERT_TRUE(loaded.GetConfigurationData().CopyBytes(&plain));
  // The last block is filled with blanks.
  EXPECT_EQ("user=admin\npass=secret\n ", std::string(plain.begin(), plain.end()));
}

}  // namespace
