// brxpack inspect over the sample package and packages broken one way each.
#include "platform/utf8.h"
#include "brxpack/inspect.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "archive/directory_path.h"
#include "brxpack/definition_check.h"
#include "brxpack/inspect_run.h"
#include "brxpack/package_writer.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string SampleFile(const char* name) {
  std::string bytes = brxtest::FileBytes(brxtest::JoinPath(Wide(BRX_SAMPLE_COMPONENT_DIR), Wide(name)));
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The sample package as the main job builds it, with a stand-in setup program.
Entries Sample() {
  return {{"brxsample.xml", SampleFile("brxsample.xml")},
          {"zt_data.xml", SampleFile("zt_data.xml")},
          {"sample.cfg", SampleFile("sample.cfg")},
          {"readme.txt", SampleFile("readme.txt")},
          {"setup.exe", "MZ"}};
}

Entries With(Entries entries, const std::string& name, const std::string& bytes) {
  for (auto& e : entries) {
    if (e.first == name) {
      e.second = bytes;
      return entries;
    }
  }
  entries.emplace_back(name, bytes);
  return entries;
}

Entries Without(Entries entries, const std::string& name) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].first == name) entries.erase(entries.begin() + static_cast<long>(i));
  }
  return entries;
}

std::string EncipheredZtData() {
  return Replaced(SampleFile("zt_data.xml"), "encrypt=\"0\"", "encrypt=\"1\"");
}

std::string Enciphered(const std::wstring& key, const std::string& text) {
  std::vector<unsigned char> data(text.begin(), text.end());
  EXPECT_TRUE(brxpack::MakeEncipherTransform(key, "sample.cfg")("sample.cfg", &data));
  return std::string(data.begin(), data.end());
}

std::wstring Build(const std::wstring& dir, const std::wstring& file, const Entries& entries) {
  std::wstring path = brxtest::JoinPath(dir, file);
  brxpack::PackageWriter writer;
  EXPECT_TRUE(writer.Begin(path.c_str(), std::vector<unsigned char>{'M', 'Z'}));
  for (const auto& e : entries) {
    EXPECT_TRUE(writer.AddData(e.first, std::vector<unsigned char>(e.second.begin(), e.second.end())));
  }
  EXPECT_TRUE(writer.Finish());
  return path;
}

std::set<std::string> Codes(const brxpack::InspectReport& report) {
  std::set<std::string> codes;
  for (const auto& w : report.warnings) codes.insert(w.code);
  return codes;
}

struct Case {
  const char* what;
  const wchar_t* file;
  Entries entries;
  std::vector<std::wstring> arguments;
  std::set<std::string> warnings;
  int exit_status;
};

TEST(BrxpackInspectTest, SampleHasNoWarningsAndEachBrokenPackageNamesItsProblem) {
  std::wstring dir = brxtest::ScratchDir("brxpack");
  std::string sample_cfg = SampleFile("sample.cfg");
  const Case cases[] = {
      {"sample", L"brxsample.exe", Sample(), {L"/s", L"/f"}, {}, 0},
      {"enciphered with the filename's key", L"brxsample.exe",
       With(With(Sample(), "zt_data.xml", EncipheredZtData()), "sample.cfg", Enciphered(L"brxsample.exe", sample_cfg)),
       {L"/s"}, {"enciphered_config_placed_as_stored"}, 0},
      {"renamed: found by the search", L"renamed.exe", Sample(), {L"/s"}, {"filename_differs"}, 0},
      {"licence named but missing", L"brxsample.exe",
       With(Sample(), "zt_data.xml",
            Replaced(SampleFile("zt_data.xml"), "<settings>",
                     "<license><filename lang=\"en\">eula.txt</filename></license><settings>")),
       {L"/s"}, {"licence_missing"}, 0},
      {"no definition of a known version", L"brxsample.exe",
       With(Without(Sample(), "brxsample.xml"), "other.xml",
            Replaced(SampleFile("brxsample.xml"), "2.0.2.0", "2.0.3.0")),
       {L"/s"}, {"no_definition"}, 1},
      {"setup program missing", L"brxsample.exe", Without(Sample(), "setup.exe"), {L"/s"}, {"missing_setup_program"}, 1},
      {"configuration not hex", L"brxsample.exe",
       With(With(Sample(), "zt_data.xml", EncipheredZtData()), "sample.cfg", "not hex at all!!"), {L"/s"},
       {"bad_configuration"}, 1},
      {"configuration enciphered with another key", L"brxsample.exe",
       With(With(Sample(), "zt_data.xml", EncipheredZtData()), "sample.cfg", Enciphered(L"cp0042.exe", sample_cfg)),
       {L"/s"}, {"bad_configuration"}, 1},
      // The name also carries a terminal escape, which the text must not pass on.
      {"refused name", L"brxsample.exe", With(Sample(), "../\x1b[2Jescape.txt", "x"), {L"/s"}, {"refused_name"}, 1},
      {"install disabled", L"brxsample.exe",
       With(Sample(), "zt_data.xml",
            Replaced(SampleFile("zt_data.xml"), "<settings>",
                     "<settings><value name=\"DISABLE_INSTALL_BUTTON\" value=\"1\"/>")),
       {L"/s"}, {"install_refused"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring subdir = brxtest::JoinPath(dir, Wide(c.what));
    ASSERT_NE(0, brxzip::CreateDirectoryPath(subdir.c_str()));
    brxpack::InspectReport report = brxpack::InspectPackage(Build(subdir, c.file, c.entries), "pkg", c.arguments);
    EXPECT_EQ(c.warnings, Codes(report)) << brxpack::FormatInspectText(report);
    EXPECT_EQ(c.exit_status, report.ExitStatus());
    EXPECT_EQ(report.warnings.size(), Codes(report).size()) << "each problem is reported once";
    EXPECT_EQ(std::string::npos, brxpack::FormatInspectText(report).find('\x1b'));
  }
}

TEST(BrxpackInspectTest, SampleShowsDefinitionConfigurationAndCommandLineInText) {
  std::wstring path = Build(brxtest::ScratchDir("brxpack"), L"brxsample.exe", Sample());
  brxpack::InspectReport report = brxpack::InspectPackage(path, "brxsample.exe", {L"/s", L"/f", L"/user", L"me"});
  const std::wstring program = std::wstring(L"\"") + brxpack::kTemporaryExtractionDir + L"\\setup.exe\"";
  EXPECT_EQ(program + L" /component sample /s /force /user me", report.run.plain);
  EXPECT_EQ(program + L" /component sample /s /force /user ****", report.run.masked);

  std::string text = brxpack::FormatInspectText(report);
  for (const char* expected : {"brxsample.xml (named after the package)", "Sample Firmware Component",
                               "sample.cfg, plain", "# Sample configuration file", "/f -> /force",
                               "3010 -> 2", "setup.exe (in the archive)", "No warnings"}) {
    EXPECT_NE(std::string::npos, text.find(expected)) << expected << "\n" << text;
  }
  nlohmann::json doc = nlohmann::json::parse(brxpack::FormatInspectJson(report));
  EXPECT_EQ(brx::platform::WideToUtf8(report.run.plain), doc["run"]["command_line"]);
  EXPECT_EQ("brxsample.xml", doc["definition"]["entry"]);
  EXPECT_EQ(0, doc["exit_status"]);
}

}  // namespace
