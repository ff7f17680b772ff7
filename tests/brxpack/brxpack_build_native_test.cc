// brxpack build from the command line: packages that would fail or change an
// install on the server are refused with a line naming the file, the field
// and what to do; entries come from paths, folders and list files.
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <string>

#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace {

const char kDefinition[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<brx_package version=\"2.0.2.0\">\n"
    "  <filename>pkg.exe</filename>\n"
    "  <version value=\"1.0.0.0\"/>\n"
    "  <installation><install><command>setup.exe</command></install></installation>\n"
    "</brx_package>\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string Data(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<zt_pkg_data>" + body + "</zt_pkg_data>\n";
}

class BuildCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = brxtest::Narrow(brxtest::ScratchDir("brxpack_build"));
    Write("stub.exe", std::string(4096, 'M'));
    Write("src/setup.exe", "a setup program");
    Write("src/pkg.xml", kDefinition);
    Write("src/zt_data.xml", Data(""));
  }
  void Write(const std::string& leaf, const std::string& bytes) {
    Shell("mkdir -p \"$(dirname '" + leaf + "')\"");
    std::string path = dir_ + "/" + leaf;
    brxtest::WriteFile(std::wstring(path.begin(), path.end()), bytes);
  }
  int Shell(const std::string& command) {
    int status = system(("cd '" + dir_ + "' && " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Brxpack(const std::string& arguments) {
    return Shell("'" + std::string(BRXPACK_PATH) + "' " + arguments + " > out.txt 2> err.txt");
  }
  std::string Read(const std::string& leaf) {
    std::string path = dir_ + "/" + leaf;
    return brxtest::FileBytes(std::wstring(path.begin(), path.end()));
  }
  std::string dir_;
};

TEST_F(BuildCommandTest, RefusesEachPackageThatWouldFailOrChangeTheInstall) {
  Shell("'" + std::string(BRXPACK_PATH) + "' build --stub stub.exe -o finished.exe src/pkg.xml src/setup.exe"
        " > /dev/null 2>&1");
  struct Row {
    const char* what;
    std::string definition;  // src/pkg.xml
    std::string data;        // src/zt_data.xml
    std::string extra;       // more arguments
    const char* message;     // in standard error
  };
  const Row rows[] = {
      {"malformed package data", kDefinition, Data("<settings>"), "",
       "zt_data.xml (from src/zt_data.xml): the stub cannot read it (it is not well-formed XML (line 2"},
      {"setup program missing", Replace(kDefinition, "setup.exe", "install.exe"), Data(""), "",
       "brx_package/installation/install/command: the setup program \"install.exe\" is not in the archive"},
      {"whitespace-led command", Replace(kDefinition, ">setup.exe<", ">\n  setup.exe\n<"), Data(""), "",
       "brx_package/installation/install/command: the stub reads no text where the document has \"setup.exe\""},
      {"unsupported encoding", Replace(kDefinition, "UTF-8", "Shift_JIS"), Data(""), "",
       "pkg.xml (from src/pkg.xml): the stub cannot read it: its encoding \"Shift_JIS\" is not one the stub reads"},
      {"hexadecimal return code", kDefinition,
       Data("<installation><install><returncode_map><map source=\"0xBC2\" dest=\"2\"/></returncode_map>"
            "</install></installation>"),
       "", "returncode_map/map/@source: source \"0xBC2\" never matches: the stub compares it with the exit code "
           "written in decimal; write source=\"3010\""},
      {"finished package as the stub", kDefinition, Data(""), "--stub finished.exe",
       "the stub finished.exe: it already carries a package of 2 entries"},
      {"enciphered without configui", kDefinition,
       Data("<configuration><config_file><filename encrypt=\"1\">site.cfg</filename></config_file>"
            "</configuration>"),
       "--encipher site.cfg site.cfg=src/zt_data.xml", "--encipher site.cfg: without a configui element"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Write("src/pkg.xml", row.definition);
    Write("src/zt_data.xml", row.data);
    std::string stub = row.extra.find("--stub") == std::string::npos ? "--stub stub.exe " : "";
    std::string command = "build " + stub + row.extra + " -o pkg.exe src/pkg.xml src/zt_data.xml src/setup.exe";
    EXPECT_EQ(1, Brxpack(command));
    EXPECT_NE(std::string::npos, Read("err.txt").find(row.message)) << Read("err.txt");
    EXPECT_NE(std::string::npos, Read("err.txt").find("nothing built")) << Read("err.txt");
    EXPECT_NE(0, Shell("test -e pkg.exe"));
    // --force is the packager's word that the package is meant so.
    EXPECT_EQ(0, Brxpack(command + " --force"));
    EXPECT_NE(std::string::npos, Read("err.txt").find("brxpack: warning: ")) << Read("err.txt");
    Shell("rm -f pkg.exe");
  }
}

TEST_F(BuildCommandTest, EntriesComeFromPathsFoldersAndListFiles) {
  Write("payload/fw/a.bin", std::string(5000, 'a'));
  Write("payload/fw/b.bin", "b");
  Shell("mkdir -p payload/empty");
  Write("list.txt", "# the component\nsrc/pkg.xml\r\n\nsrc/zt_data.xml\nsetup.exe=src/setup.exe\n");
  ASSERT_EQ(0, Brxpack("build --stub stub.exe -o pkg.exe @list.txt payload"));
  std::string err = Read("err.txt");
  EXPECT_NE(std::string::npos, err.find("brxpack: built pkg.exe: 6 entries, ")) << err;
  ASSERT_EQ(0, Shell("unzip -Z1 pkg.exe > names.txt"));
  EXPECT_EQ("pkg.xml\nzt_data.xml\nsetup.exe\nempty/\nfw/a.bin\nfw/b.bin\n", Read("names.txt"));
  // Deflate only where it pays: the run of one letter, not the single byte.
  ASSERT_EQ(0, Shell("unzip -Zv pkg.exe | grep -A12 'fw/a.bin' | grep -q 'compression method:.*deflated'"));
  ASSERT_EQ(0, Shell("unzip -Zv pkg.exe | grep -A12 'fw/b.bin' | grep -q 'compression method:.*none (stored)'"));
  ASSERT_EQ(0, Brxpack("build --stub stub.exe -o pkg.exe src/pkg.xml src/setup.exe bin=payload/fw"));
  ASSERT_EQ(0, Shell("unzip -Z1 pkg.exe > names.txt"));
  EXPECT_EQ("pkg.xml\nsetup.exe\nbin/a.bin\nbin/b.bin\n", Read("names.txt"));
}

TEST_F(BuildCommandTest, InitWritesASkeletonThatBuildsClean) {
  ASSERT_EQ(0, Brxpack("init cp0042"));
  ASSERT_EQ(0, Brxpack("build --stub stub.exe -o cp0042.exe cp0042")) << Read("err.txt");
  EXPECT_EQ(std::string::npos, Read("err.txt").find("warning")) << Read("err.txt");
  EXPECT_EQ(0, Brxpack("inspect cp0042.exe")) << Read("out.txt");
  EXPECT_EQ(1, Brxpack("init cp0042"));  // never overwrites
  EXPECT_EQ(0, Brxpack("build --help"));
  EXPECT_NE(std::string::npos, Read("out.txt").find("NAME=FOLDER")) << Read("out.txt");
}

}  // namespace
