// Packages made by other ZIP writers, appended to an executable, open exactly
// like ours. Needs Info-ZIP zip and python3 on the build machine.
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/zip_file.h"
#include "brxpack/package_tool.h"
#include "platform/utf8.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

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
  ASSERT_EQ(0, Shell("cd '" + dir_ + "' && '" + tool + "' build --force --stub stub.exe -o pkg.exe"
                   " --definition package.xml bin/data.bin=src/bin/data.bin package.xml=src/package.xml"
                   " && '" + tool + "' list pkg.exe > list.txt && grep -q 'package.xml' list.txt"
                   " && unzip -tq pkg.exe > /dev/null"
                   " && '" + tool + "' extract pkg.exe out"));
  ExpectPackageContents(W("pkg.exe"), W("out2"));
}

TEST_F(ForeignPackageTest, BrxpackRefusesWhatTheStubRefusesAndSaysWhy) {
  std::string tool = "'" + std::string(BRXPACK_PATH) + "'";
  std::string cd = "cd '" + dir_ + "' && ";
  ASSERT_EQ(0, Shell(cd + tool + " build --force --stub stub.exe -o good.exe package.xml=src/package.xml"
                     " && head -c -5 good.exe > cut.exe && cp good.exe stray.exe && printf 'PK\\005\\006' >> stray.exe"));
  // A stub signed before packing: its certificate table ends up mid-file.
  ASSERT_EQ(0, Shell(cd + "python3 -c \"import struct\n"
                     "b = bytearray(1024); b[0:2] = b'MZ'; struct.pack_into('<I', b, 0x3C, 0x40)\n"
                     "b[0x40:0x44] = b'PE\\\\0\\\\0'; struct.pack_into('<H', b, 0x54, 240)\n"
                     "struct.pack_into('<H', b, 0x58, 0x20B); struct.pack_into('<I', b, 0x58 + 108, 16)\n"
                     "struct.pack_into('<II', b, 0x58 + 144, 512, 512)\n"
                     "open('signed-stub.exe', 'wb').write(b)\""));
  struct Row {
    std::string arguments;
    int status;           // exit status
    const char* message;  // expected in standard error (standard output for --help)
  };
  const Row rows[] = {
      {"build --stub stub.exe -o bad.exe package.xml=src/package.xml ../x=src/package.xml", 1, "refusing entry ../x"},
      {"build --stub stub.exe -o bad.exe 'C:\\x=src/package.xml'", 1, "refusing entry C:\\x"},
      {"build --stub stub.exe -o bad.exe a:b=src/package.xml", 1, "refusing entry a:b"},
      {"build --stub stub.exe -o bad.exe /abs=src/package.xml", 1, "refusing entry /abs"},
      {"build --stub stub.exe -o bad.exe CON=src/package.xml", 1, "device name"},
      {"build --stub stub.exe -o bad.exe x.=src/package.xml", 1, "refusing entry x."},
      {"build --stub stub.exe -o bad.exe a.xml=src/package.xml A.XML=src/package.xml", 1, "same name"},
      // The stub's own rules: characters no Windows name holds, and case
      // beyond Latin-1 as Windows folds it (Cyrillic, fullwidth).
      {"build --stub stub.exe -o bad.exe 'a?b=src/package.xml'", 1, "refusing entry a?b"},
      {"build --stub stub.exe -o bad.exe 'x|y=src/package.xml'", 1, "allows in no file name"},
      {"build --stub stub.exe -o bad.exe \xD0\xB4.txt=src/package.xml \xD0\x94.TXT=src/package.xml", 1, "same name"},
      {"build --stub stub.exe -o bad.exe \xEF\xBD\x81=src/package.xml \xEF\xBC\xA1=src/package.xml", 1, "same name"},
      {"build --stub signed-stub.exe -o bad.exe package.xml=src/package.xml", 1, "sign the package after"},
      {"list /etc/passwd", 1, "no package archive found at the end of /etc/passwd"},
      {"list cut.exe", 1, "damaged"},
      {"list stray.exe", 1, "damaged"},
      {"extract missing.exe out", 1, "cannot open missing.exe"},
      {"--help", 0, "usage: brxpack build"},
      {"frobnicate", 2, "usage: brxpack build"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    int status = Shell(cd + tool + " " + row.arguments + " > out.txt 2> err.txt");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(row.status, WEXITSTATUS(status));
    std::string where = row.status == 0 ? "out.txt" : "err.txt";
    EXPECT_EQ(0, Shell(cd + "grep -qF -- '" + row.message + "' " + where));
  }
  EXPECT_NE(0, Shell(cd + "test -e bad.exe"));
}

// Entry names reach the packager's terminal only without the characters a
// terminal acts on: escape sequences (window title, clearing the screen), C1
// controls, line breaks.
TEST_F(ForeignPackageTest, ListAndExtractShowNoControlSequences) {
  ASSERT_EQ(0, Shell("cd '" + dir_ + "' && cp stub.exe pkg.exe && python3 -c \""
                     "import zipfile\n"
                     "with zipfile.ZipFile('pkg.exe', 'a') as z:\n"
                     "    z.writestr('package.xml', 'x')\n"
                     "    z.writestr('t\\x1b]0;owned\\x07.txt', 'x')\n"
                     "    z.writestr('c\\u009b2J\\u2028forged\\u202etxt.exe', 'x')\n\""));
  std::string tool = "'" + std::string(BRXPACK_PATH) + "'";
  std::string cd = "cd '" + dir_ + "' && ";
  EXPECT_EQ(0, Shell(cd + tool + " list pkg.exe > list.txt 2>&1"));
  EXPECT_NE(0, Shell(cd + tool + " extract pkg.exe out >> list.txt 2>&1"));
  std::string shown = brxtest::FileBytes(W("list.txt"));
  EXPECT_NE(std::string::npos, shown.find("t?]0;owned?.txt")) << shown;
  EXPECT_NE(std::string::npos, shown.find("c?2J?forged?txt.exe")) << shown;
  for (const char* control : {"\x1b", "\x07", "\xC2\x9B", "\xE2\x80\xA8", "\xE2\x80\xAE"}) {
    EXPECT_EQ(std::string::npos, shown.find(control)) << shown;
  }
}

// 0: the package can install; 1: it cannot (here: a file with no package);
// 2: the command was wrong.
TEST_F(ForeignPackageTest, InspectExitStatus) {
  std::string tool = BRXPACK_PATH;
  std::string sample = std::string(BRX_SAMPLE_COMPONENT_DIR) + "/";
  ASSERT_EQ(0, Shell("cd '" + dir_ + "' && '" + tool + "' build --stub stub.exe -o brxsample.exe"
                   " brxsample.xml='" + sample + "brxsample.xml' zt_data.xml='" + sample + "zt_data.xml'"
                   " sample.cfg='" + sample + "sample.cfg' setup.exe=stub.exe"));
  auto status = [&](const std::string& args) {
    int code = Shell("cd '" + dir_ + "' && '" + tool + "' inspect " + args + " > out.txt");
    return WIFEXITED(code) ? WEXITSTATUS(code) : -1;
  };
  EXPECT_EQ(0, status("--json brxsample.exe -- /s /f"));
  EXPECT_EQ(1, status("pkg.exe"));
  EXPECT_EQ(2, status(""));
  EXPECT_EQ(2, status("--verbose brxsample.exe"));
  EXPECT_EQ(2, status("brxsample.exe other.exe"));
}

// Packages from other writers (data descriptors, UTF-8 names, a Unicode Path
// field) open, and the reader names every entry as unzip does.
TEST_F(ForeignPackageTest, OtherWritersOpenAndEveryNameReadsAsUnzipReadsIt) {
  std::string tool = "'" + std::string(BRXPACK_PATH) + "'";
  const char* const python_stream =
      "import io, zipfile\n"
      "class Stream(io.RawIOBase):\n"
      "    def __init__(self, f): self.f = f\n"
      "    def writable(self): return True\n"
      "    def write(self, b): return self.f.write(b)\n"
      "with open('payload.zip', 'wb') as f, zipfile.ZipFile(Stream(f), 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.write('src/package.xml', 'package.xml')\n"
      "    z.write('src/bin/data.bin', 'bin/data.bin')\n"
      "    z.writestr('r\u00e9sum\u00e9.txt', 'utf-8 flag')\n";
  const char* const python_unicode_path =
      "import struct, zipfile, zlib\n"
      "field = b'\\x01' + struct.pack('<I', zlib.crc32(b'resume.txt')) + 'r\u00e9sum\u00e9.txt'.encode()\n"
      "with zipfile.ZipFile('pkg.exe', 'a', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.write('src/package.xml', 'package.xml')\n"
      "    z.write('src/bin/data.bin', 'bin/data.bin')\n"
      "    info = zipfile.ZipInfo('resume.txt')\n"
      "    info.extra = struct.pack('<HH', 0x7075, len(field)) + field\n"
      "    z.writestr(info, 'unicode path')\n";
  struct Row {
    const char* what;
    std::string command;
  };
  const Row rows[] = {
      {"Info-ZIP to a pipe (data descriptors), adjusted",
       "cd src && zip -q - package.xml bin/data.bin | cat > ../payload.zip && cd .. && cat stub.exe payload.zip > pkg.exe"
       " && zip -q -A pkg.exe"},
      {"Python to a stream (data descriptors, a UTF-8 name), adjusted",
       "python3 -c \"" + std::string(python_stream) + "\" && cat stub.exe payload.zip > pkg.exe && zip -q -A pkg.exe"},
      {"Python, a Unicode Path field", "cp stub.exe pkg.exe && python3 -c \"" + std::string(python_unicode_path) + "\""},
      {"brxpack, a UTF-8 name",
       tool + " build --force --stub stub.exe -o pkg.exe package.xml=src/package.xml bin/data.bin=src/bin/data.bin"
              " 'r\u00e9sum\u00e9.txt=src/package.xml'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(0, Shell("cd '" + dir_ + "' && rm -rf pkg.exe payload.zip out && " + row.command));
    ExpectPackageContents(W("pkg.exe"), W("out"));
    ZIP_File zip;
    ASSERT_EQ(ZIP_OK, zip.OpenArchive(W("pkg.exe").c_str(), 1));
    std::string ours;
    for (uint64_t i = 0; i < zip.GetEntryCount(); ++i) ours += brx::platform::WideToUtf8(zip.GetEntryAt(i)->GetTargetName()) + "\n";
    ASSERT_EQ(0, Shell("cd '" + dir_ + "' && LC_ALL=C.UTF-8 unzip -Z1 pkg.exe > names.txt"));
    EXPECT_EQ(brxtest::FileBytes(W("names.txt")), ours);
  }
}

// brxpack reads names that are not UTF-8 in the code page it is told, and
// says that servers with another one write other names.
TEST_F(ForeignPackageTest, BrxpackListDecodesInTheServersCodePage) {
  std::string tool = "'" + std::string(BRXPACK_PATH) + "'";
  brxtest::TestEntry flagged = {"\xE8\xA1\xA8.txt", "x", 0};  // U+8868 in UTF-8
  flagged.flags = 0x0800;
  brxtest::WriteFile(W("cp932.zip"), brxtest::BuildZip({{"\x95\x5C.txt", "x", 0}}).bytes);
  brxtest::WriteFile(W("utf8.zip"), brxtest::BuildZip({flagged}).bytes);
  struct Row {
    std::string arguments;
    int status;
    const char* listed;  // in standard output
    bool warns;
  };
  const Row rows[] = {
      {"--codepage 932 list cp932.zip", 0, "\xE8\xA1\xA8.txt", true},
      {"list cp932.zip", 0, "\xE2\x80\xA2\\.txt", true},  // U+2022 in 1252
      {"list --codepage 932 utf8.zip", 0, "\xE8\xA1\xA8.txt", false},
      {"list --codepage 77777 utf8.zip", 2, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    int status = Shell("cd '" + dir_ + "' && " + tool + " " + row.arguments + " > out.txt 2> err.txt");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(row.status, WEXITSTATUS(status));
    EXPECT_NE(std::string::npos, brxtest::FileBytes(W("out.txt")).find(row.listed));
    EXPECT_EQ(row.warns, brxtest::FileBytes(W("err.txt")).find("is not stored as UTF-8") != std::string::npos);
  }
}

}  // namespace
}  // namespace brxzip
