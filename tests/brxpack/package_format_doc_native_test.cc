// docs/package-format.md, brxpack's table of the format and the names the
// stub's code looks up say the same: none can change without the others.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "brxpack/package_format.h"
#include "support/test_files.h"

namespace brxpack {
namespace {

std::string Source(const std::string& path) {
  std::string full = std::string(BRX_SOURCE_DIR) + "/" + path;
  std::string text = brxtest::FileBytes(std::wstring(full.begin(), full.end()));
  EXPECT_FALSE(text.empty()) << full;
  return text;
}

std::set<std::string> Keys() {
  std::set<std::string> keys;
  for (size_t i = 0; i < kFormatItemCount; ++i) keys.insert(FormatKey(kFormatItems[i]));
  return keys;
}

TEST(PackageFormatDocumentation, DocumentsEveryElementAndSettingOfTheTableAndNothingElse) {
  std::string doc = Source("docs/package-format.md");
  std::set<std::string> keys = Keys();
  for (const std::string& key : keys) EXPECT_NE(std::string::npos, doc.find("| `" + key + "` |")) << key;
  for (size_t i = 0; i < kFormatSettingCount; ++i) {
    EXPECT_NE(std::string::npos, doc.find(std::string("| `") + kFormatSettings[i].name + "` |"))
        << kFormatSettings[i].name;
  }
  // Every path the reference names is one the stub reads, or leads to one.
  std::regex path("`((brx_package|zt_pkg_data)[a-z_/@]*)`");
  for (std::sregex_iterator m(doc.begin(), doc.end(), path), end; m != end; ++m) {
    std::string named = (*m)[1];
    bool known = false;
    for (const std::string& key : keys) known = known || key == named || key.compare(0, named.size() + 1, named + "/") == 0;
    EXPECT_TRUE(known) << "the reference names " << named << ", which the stub does not read";
  }
}

TEST(PackageFormatDocumentation, TheTableHoldsEveryNameTheStubLooksUp) {
  std::set<std::string> parts;
  for (const std::string& key : Keys()) {
    std::regex part("[a-z_]+");
    for (std::sregex_iterator m(key.begin(), key.end(), part), end; m != end; ++m) parts.insert(m->str());
  }
  std::regex literal("L\"([a-z_]+)\"");
  for (const char* file : {"src/package/ppkg.cc", "src/package/package_data.cc", "src/package/ppkg_archive.cc"}) {
    std::string code = Source(file);
    for (std::sregex_iterator m(code.begin(), code.end(), literal), end; m != end; ++m) {
      std::string name = (*m)[1];
      if (name == "en") continue;  // the fallback language, a value
      EXPECT_TRUE(parts.count(name)) << file << " looks up " << name << ", which the format table lacks";
    }
  }
  std::set<std::string> settings;
  for (size_t i = 0; i < kFormatSettingCount; ++i) settings.insert(kFormatSettings[i].name);
  std::regex asked("(GetSetting\\(|SettingIsOne\\(package, )L\"([A-Z_]+)\"");
  size_t found = 0;
  for (const char* file : {"src/ui/main_dialog_win.cc", "src/install/install_driver.cc"}) {
    std::string code = Source(file);
    for (std::sregex_iterator m(code.begin(), code.end(), asked), end; m != end; ++m, ++found) {
      EXPECT_TRUE(settings.count((*m)[2])) << file << " asks for the setting " << (*m)[2];
    }
  }
  EXPECT_EQ(kFormatSettingCount + 1, found);  // DISABLE_INSTALL_BUTTON is asked in both
}

}  // namespace
}  // namespace brxpack
