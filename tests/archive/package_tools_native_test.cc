// Packages made by other ZIP writers, appended to an executable, open exactly
// like ours. Needs Info-ZIP zip and python3 on the build machine.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/zip_file.h"
#include "brxpack/package_tool.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "zip_builder.h"

namespace brxzip {
namespace {

int Shell(const std::string& command) { return system(command.c_str()); }

void ExpectPackageContents(const std::wstring& package, const std::wstring& out) {
  ZIP_File zip;
  ASSERT_EQ(ZIP_OK, zip.OpenArchive(package.c_str(), 1));
  ASSERT_NE(nullptr, zip.FindEntry(L"PACKAGE.XML"));
  ASSERT_NE(nullptr, zip.FindEntry(L"bin/data.bin"));
  ASSERT_EQ(ZIP_OK, brxpack::ExtractPackage(&zip, out));
  EXPECT_EQ(0, Shell("cmp -s '" + brxtest::Narrow(out) + "/bin/data.bin' '" +
                   brxtest::Narrow(out) + "/../src/bin/data.bin'"));
  EXPECT_EQ(0, Shell("cmp -s '" + brxtest::Narrow(out) + "/package.xml' '" +
                   brxtest::Narrow(out) + "/../src/package.xml'"));
}

class ForeignPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = brxtest::Narrow(brxtest::ScratchDir("archive"));
    ASSERT_EQ(0, Shell("cd '" + dir_ + "' && mkdir -p src/bin && echo '<brx_package/>' > src/package.xml"
                     " && head -c 300000 /dev/urandom > src/bin/data.bin && seq 1 20000 >> src/bin/data.bin"
                     " && head -c 40000 /dev/urandom > stub.exe"));
  }
  std::wstring W(const std::string& leaf) {
    std::string p = dir_ + "/" + leaf;
    return std::wstring(p.begin(), p.end());
  }
  std::string dir_;
};

TEST_F(ForeignPackageTest, InfoZipAdjustedPackageOpens) {
  ASSERT_EQ(0, Shell("cd '" + dir_ + "/src' && zip -q -r ../payload.zip package.xml bin"
                   " && cd .. && cat stub.exe payload.zip > pkg.exe && zip -q -A pkg.exe"));
  ExpectPackageContents(W("pkg.exe"), W("out"));
}

TEST_F(ForeignPackageTest, PythonZipfileAppendedToExeOpens) {
  // zipfile in append mode on a non-ZIP file writes absolute offsets.
  ASSERT_EQ(0, Shell("cd '" + dir_ + "' && cp stub.exe pkg.exe && python3 -c \""
                   "import zipfile\n"
                   "with zipfile.ZipFile('pkg.exe', 'a', zipfile.ZIP_DEFLATED) as z:\n"
                   "    z.write('src/package.xml', 'package.xml')\n"
                   "    z.write('src/bin', 'bin/')\n"
                   "    z.write('src/bin/data.bin', 'bin/data.bin')\n\""));
  ExpectPackageContents(W("pkg.exe"), W("out"));
}

TEST_F(ForeignPackageTest, BrxpackCommandLineRoundTrip) {
  std::string tool = BRXPACK_PATH;
  ASSERT_EQ(0, Shell("cd '" + dir_ + "' && '" + tool + "' build --stub stub.exe -o pkg.exe"
                   " --definition package.xml bin/data.bin=src/bin/data.bin package.xml=src/package.xml"
                   " && '" + tool + "' list pkg.exe > list.txt && grep -q 'package.xml' list.txt"
                   " && unzip -tq pkg.exe > /dev/null"
                   " && '" + tool + "' extract pkg.exe out"));
  ExpectPackageContents(W("pkg.exe"), W("out2"));
}

}  // namespace
}  // namespace brxzip
