// The build checks at their own layer: what each package data or definition
// mistake gives (file, field, fatal or a warning), how entry arguments and
// list files expand, and the XML facts behind the messages.
#include "brxpack/build_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/build_command.h"
#include "brxpack/package_writer.h"
#include "brxpack/xml_facts.h"
#include "package/xml_reader.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace brxpack {
namespace {

const char kDefinition[] =
    "<brx_package version=\"2.0.2.0\"><filename>pkg.exe</filename>"
    "<installation><install><command>setup.exe</command>"
    "<command_params><![CDATA[  /a\n /b]]></command_params></install></installation></brx_package>";

std::vector<unsigned char> Bytes(const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); }

std::string ReturnCodes(const std::string& maps) {
  return "<zt_pkg_data><installation><install><returncode_map>" + maps +
         "</returncode_map></install></installation></zt_pkg_data>";
}

// The problems found in pkg.exe holding the definition, setup.exe and `data` as zt_data.xml.
std::vector<BuildProblem> Check(const std::string& data) {
  std::wstring pkg = brxtest::JoinPath(brxtest::ScratchDir("brxpack"), L"pkg.exe");
  PackageWriter writer;
  EXPECT_TRUE(writer.Begin(pkg.c_str(), Bytes("MZ")));
  EXPECT_TRUE(writer.AddData("pkg.xml", Bytes(kDefinition)));
  EXPECT_TRUE(writer.AddData("setup.exe", Bytes("program")));
  EXPECT_TRUE(writer.AddData("zt_data.xml", Bytes(data)));
  EXPECT_TRUE(writer.Finish());
  BuiltPackage built;
  built.path = pkg;
  built.display = "pkg.exe";
  return CheckBuiltPackage(built);
}

TEST(BuildCheckTest, EachPackageDataMistakeNamesItsFieldAndWeight) {
  struct Row {
    std::string data;
    const char* field;  // of the one problem expected; null: none
    bool fatal;
    const char* text;
  };
  const Row rows[] = {
      {ReturnCodes("<map source=\"3010\" dest=\"2\"/><map source=\"-1\" dest=\"0\"/>"), nullptr, false, ""},
      {ReturnCodes("<map source=\"+5\" dest=\"1\"/>"), "returncode_map/map/@source", true, "source=\"5\""},
      {ReturnCodes("<map source=\"007\" dest=\"1\"/>"), "returncode_map/map/@source", true, "source=\"7\""},
      {ReturnCodes("<map source=\"3221225477\" dest=\"0\"/>"), "returncode_map/map/@source", true,
       "source=\"-1073741819\""},
      {ReturnCodes("<map source=\"5\" dest=\"0x2\"/>"), "returncode_map/map/@dest", true, "dest=\"2\""},
      {ReturnCodes("<map source=\"5\"/>"), "returncode_map/map/@dest", false, "passes unchanged"},
      {ReturnCodes("<map source=\"5\" dest=\"1\"/><map source=\"5\" dest=\"2\"/>"), "returncode_map/map/@source",
       false, "takes dest \"1\""},
      {"<zt_pkg_data><installation><install><commandline_arg_map><map dest=\"/q\"/><map source=\"/s\" dest=\"/q\"/>"
       "</commandline_arg_map></install></installation></zt_pkg_data>",
       "commandline_arg_map/map/@source", true, "ends the stub's search"},
      {"<zt_pkg_data><license><filename lang=\"en\">\n licence.txt</filename></license></zt_pkg_data>",
       "zt_pkg_data/license/filename", true, "the stub reads no text"},
      {"<zt_pkg_data><settings><value name=\"LARGE_WINDOW\" value=\"true\"/></settings></zt_pkg_data>",
       "settings/value/@value", false, "only \"1\" turns it on"},
      {"<other/>", "", true, "not zt_pkg_data"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><zt_pkg_data/>", "", true, "save it as UTF-8"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.data);
    std::vector<BuildProblem> problems = Check(row.data);
    if (!row.field) {
      EXPECT_TRUE(problems.empty()) << FormatProblem(problems[0]);
      continue;
    }
    // The one named, and only warnings besides (a dropped licence name is a missing licence too).
    const BuildProblem* named = nullptr;
    for (const BuildProblem& p : problems) {
      if (!named && p.field.find(row.field) != std::string::npos &&
          FormatProblem(p).find(row.text) != std::string::npos) {
        named = &p;
      } else {
        EXPECT_FALSE(p.fatal) << FormatProblem(p);
      }
    }
    ASSERT_NE(nullptr, named) << (problems.empty() ? "no problem" : FormatProblem(problems[0]));
    EXPECT_EQ(row.fatal, named->fatal);
  }
}

TEST(BuildCheckTest, EntryArgumentsAndListFilesExpand) {
  std::wstring dir = brxtest::ScratchDir("brxpack");
  brxtest::WriteFile(brxtest::JoinPath(dir, L"tool.exe"), "x");
  std::wstring list = brxtest::JoinPath(dir, L"list.txt");
  brxtest::WriteFile(list, "\xEF\xBB\xBF# entries\r\na.txt=b.txt\r\n\r\nlogs/\n");
  std::vector<std::wstring> lines;
  std::string error;
  ASSERT_TRUE(ReadListFile(list, &lines, &error)) << error;
  EXPECT_EQ((std::vector<std::wstring>{L"a.txt=b.txt", L"logs/"}), lines);
  brxtest::WriteFile(list, "ok\n\xFF\n");
  EXPECT_FALSE(ReadListFile(list, &lines, &error));
  EXPECT_NE(std::string::npos, error.find("not UTF-8 at line 2")) << error;

  std::vector<BuildInput> inputs;
  std::vector<std::string> warnings;
  for (const std::wstring& a : std::vector<std::wstring>{L"C:\\build\\setup.exe", L"bin/x.exe=out/x.exe", L"logs/", L".=" + dir}) {
    ASSERT_TRUE(ExpandEntryArgument(a, &inputs, &error, &warnings)) << error;
  }
  ASSERT_EQ(5u, inputs.size());
  EXPECT_EQ(L"setup.exe", inputs[0].name);
  EXPECT_EQ(L"bin/x.exe", inputs[1].name);
  EXPECT_EQ(L"logs/", inputs[2].name);
  EXPECT_TRUE(inputs[2].path.empty());
  EXPECT_EQ(L"list.txt", inputs[3].name);  // the folder's files, sorted, at the root
  EXPECT_EQ(L"tool.exe", inputs[4].name);
}

TEST(BuildCheckTest, XmlFactsKeepDocumentOrderAndSayWhyADocumentDoesNotLoad) {
  const std::string doc = "<r><a/><b/><c/><d/></r>";
  CBrxXMLReader reader;
  ASSERT_EQ(0, reader.Load(doc.data(), doc.size()));
  std::vector<const CBrxXMLNode*> children = ElementsInDocumentOrder(reader.FindChild(nullptr, L"r"));
  ASSERT_EQ(4u, children.size());
  EXPECT_STREQ(L"d", children[3]->name());  // the reader lists them a, d, c, b
  struct Row {
    std::string xml;
    const char* reason;
  } rows[] = {
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r/>", "encoding \"Shift_JIS\" is not one the stub reads"},
      {"<r>\n<a></r>", "not well-formed XML (line 2"},
      {"<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r>&e;</r>", "entity"},
  };
  for (const Row& row : rows) {
    EXPECT_NE(std::string::npos, DescribeUnreadableXml(row.xml.data(), row.xml.size()).find(row.reason)) << row.xml;
  }
}

}  // namespace
}  // namespace brxpack
