// brxpack bundle and a bundle's plan: members are learned with the stub's
// own reading code, the manifest matches them, and a bundle whose members
// were changed afterwards is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/zip_file.h"
#include "brxpack/bundle_build.h"
#include "brxpack/bundle_inspect.h"
#include "brxpack/package_writer.h"
#include "brxpack/xml_writer.h"
#include "platform/utf8.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace brxpack {
namespace {

std::string Definition(const std::string& file, const std::string& version, const std::string& key) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<brx_package version=\"2.0.2.0\"><filename>" + file +
         "</filename><version value=\"" + version + "\"/><name><name_xlate lang=\"en\">Part " + key +
         "</name_xlate></name><sw_keys><sw_keys_and><sw_key name=\"" + key +
         "\"><sw_key_expectedpath>fw:" + key +
         "</sw_key_expectedpath></sw_key></sw_keys_and></sw_keys><installation><install><command>setup.exe"
         "</command></install></installation></brx_package>";
}

class BundleBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = brxtest::ScratchDir("brxbundle");
    stub_ = Path("stub.exe");
    brxtest::WriteFile(Wide(stub_), "MZ stub");
    runner_ = Path("brxbundle.exe");
    brxtest::WriteFile(Wide(runner_), "MZ runner");
  }

  std::string Path(const std::string& name) const { return brx::platform::WideToUtf8(dir_) + "/" + name; }
  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

  std::string Member(const std::string& file, const std::string& version, const std::string& key) {
    std::string stem = file.substr(0, file.rfind('.'));
    PackageWriter writer;
    std::string path = Path(file);
    std::string xml = Definition(file, version, key);
    EXPECT_TRUE(writer.Begin(Wide(path).c_str(), std::vector<unsigned char>{'M', 'Z'}));
    EXPECT_TRUE(writer.AddData(stem + ".xml", std::vector<unsigned char>(xml.begin(), xml.end())));
    EXPECT_TRUE(writer.AddData("setup.exe", {'M', 'Z'}));
    EXPECT_TRUE(writer.Finish());
    return path;
  }

  BundleSpec Spec(const std::vector<std::string>& members) {
    BundleSpec spec;
    spec.output = Path("window.exe");
    spec.stub = stub_;
    spec.runner = runner_;
    spec.name = "Window <Q1> & \"more\"";
    spec.version = "2026.1";
    for (const std::string& m : members) {
      BundleMemberSpec member;
      std::string error;
      EXPECT_TRUE(ParseBundleMember(m, &member, &error)) << error;
      spec.members.push_back(member);
    }
    return spec;
  }

  std::wstring dir_;
  std::string stub_, runner_;
};

TEST_F(BundleBuild, ManifestHoldsWhatTheStubReadsOfEachMember) {
  std::string a = Member("cpa.exe", "1.0.0.1", "PART_A");
  std::string b = Member("cpb.exe", "2.5", "PART_B");
  std::string error;
  ASSERT_TRUE(BuildBundle(Spec({a + ":restart-first", b + ":continue"}), &error)) << error;
  BundlePlan plan = InspectBundle(Wide(Path("window.exe")), 1252);
  ASSERT_TRUE(plan.is_bundle);
  EXPECT_TRUE(plan.problems.empty()) << plan.problems.front();
  EXPECT_EQ(plan.manifest.name, "Window <Q1> & \"more\"");
  ASSERT_EQ(plan.manifest.members.size(), 2u);
  const brxbundle::ManifestMember& first = plan.manifest.members[0];
  EXPECT_EQ(first.file, "cpa.exe");
  EXPECT_EQ(first.version, "1.0.0.1");
  EXPECT_EQ(first.sw_key, "PART_A");
  EXPECT_EQ(first.definition, "cpa.xml");
  EXPECT_EQ(first.expected_path, "fw:PART_A");
  EXPECT_EQ(first.name, "Part PART_A");
  EXPECT_TRUE(first.policy.restart_first);
  EXPECT_FALSE(first.policy.continue_on_failure);
  EXPECT_TRUE(plan.manifest.members[1].policy.continue_on_failure);
  std::string text = FormatBundlePlanText(plan);
  EXPECT_NE(text.find("1. cpa.exe: Part PART_A 1.0.0.1 (sw_key PART_A), stop on failure, restart first"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("manifest and members agree"), std::string::npos) << text;
}

TEST_F(BundleBuild, MemberChangedInTheBundleIsFound) {
  std::string a = Member("cpa.exe", "1.0", "PART_A");
  std::string error;
  BundleSpec spec = Spec({a});
  ASSERT_TRUE(BuildBundle(spec, &error)) << error;
  // The same bundle with another member of the same name: a manifest that
  // no longer describes what runs.
  std::string bundle = brxtest::FileBytes(Wide(spec.output));
  std::string other = Member("cpa.exe", "9.9", "PART_A");
  brxzip::ZIP_File archive;
  ASSERT_EQ(archive.OpenArchive(Wide(spec.output).c_str(), 1), brxzip::ZIP_OK);
  PackageWriter writer;
  std::string changed = Path("changed.exe");
  ASSERT_TRUE(writer.Begin(Wide(changed).c_str(), std::vector<unsigned char>{'M', 'Z'}));
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* e = archive.GetEntryAt(i);
    std::vector<unsigned char> bytes(e->GetUncompressedSize());
    ASSERT_EQ(e->ReadToMemory(bytes.data(), bytes.size()), brxzip::ZIP_OK);
    if (std::string(e->GetName()) == "cpa.exe") {
      std::string o = brxtest::FileBytes(Wide(other));
      bytes.assign(o.begin(), o.end());
    }
    ASSERT_TRUE(writer.AddData(e->GetName(), bytes));
  }
  ASSERT_TRUE(writer.Finish());
  BundlePlan plan = InspectBundle(Wide(changed), 1252);
  ASSERT_EQ(plan.problems.size(), 1u);
  EXPECT_NE(plan.problems[0].find("cpa.exe is not the file bundled"), std::string::npos) << plan.problems[0];
  EXPECT_NE(FormatBundlePlanText(plan).find("error: bundle: member cpa.exe"), std::string::npos);
}

TEST_F(BundleBuild, MembersNoWindowCanRunAreRefused) {
  std::string a = Member("cpa.exe", "1.0", "PART_A");
  std::string no_key = Member("cpn.exe", "1.0", "");
  std::string error;
  EXPECT_FALSE(BuildBundle(Spec({a, no_key}), &error));
  EXPECT_NE(error.find("names no sw_key"), std::string::npos) << error;
  EXPECT_FALSE(BuildBundle(Spec({a, a}), &error));
  EXPECT_NE(error.find("cpa.exe cannot be used"), std::string::npos) << error;
  std::string named_like_runner = Member("brxbundle.exe", "1.0", "PART_R");
  EXPECT_FALSE(BuildBundle(Spec({named_like_runner}), &error));
  EXPECT_FALSE(brxtest::FileExists(Wide(Path("window.exe"))));
}

TEST(BundleMemberArgument, PoliciesAreSuffixes) {
  struct Case {
    const char* arg;
    bool ok;
    const char* path;
    bool cont, restart;
  };
  const Case cases[] = {
      {"a.exe", true, "a.exe", false, false},
      {"a.exe:continue", true, "a.exe", true, false},
      {"C:\\pkgs\\a.exe:restart-first:continue", true, "C:\\pkgs\\a.exe", true, true},
      {"a.exe:continue:restart-first", true, "a.exe", true, true},
      {"a.exe:contnue", false, "", false, false},
      {":continue", false, "", false, false},
  };
  for (const Case& c : cases) {
    BundleMemberSpec m;
    std::string error;
    EXPECT_EQ(ParseBundleMember(c.arg, &m, &error), c.ok) << c.arg;
    if (!c.ok) continue;
    EXPECT_EQ(m.path, c.path);
    EXPECT_EQ(m.policy.continue_on_failure, c.cont) << c.arg;
    EXPECT_EQ(m.policy.restart_first, c.restart) << c.arg;
  }
}

TEST(XmlWriter, ValuesStayTextAndControlCharactersAreRefused) {
  XmlWriter xml;
  xml.Open("a", {{"v", "\"<&>"}});
  xml.Element("b", "x</b><c>&");
  std::string doc;
  ASSERT_TRUE(xml.Finish(&doc));
  EXPECT_NE(doc.find("<a v=\"&quot;&lt;&amp;&gt;\">"), std::string::npos) << doc;
  EXPECT_NE(doc.find("<b>x&lt;/b&gt;&lt;c&gt;&amp;</b>"), std::string::npos) << doc;
  XmlWriter bad;
  bad.Element("b", "line\x01");
  EXPECT_FALSE(bad.Finish(&doc));
  XmlWriter invalid;
  invalid.Element("b", "\xC3");
  EXPECT_FALSE(invalid.Finish(&doc));
}

}  // namespace
}  // namespace brxpack
