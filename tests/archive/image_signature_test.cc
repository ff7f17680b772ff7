// A signed package is checked against its Authenticode signature: the
// signature must be intact and its digest must match the file's bytes.
// The signed package is made by osslsigncode (make_signed_package.sh); the
// variants are that file with bytes changed.
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/image_signature.h"
#include "brxpack/inspect.h"
#include "platform/file.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brxzip {
namespace {

using brx::platform::DigestAlgorithm;

ImageSignature Check(const std::wstring& path) {
  brx::platform::File file;
  EXPECT_TRUE(file.Open(path.c_str(), brx::platform::FileMode::kReadShared));
  return CheckImageSignature(&file);
}

CertificateTableLocation Locate(const std::wstring& path) {
  brx::platform::File file;
  uint64_t size = 0;
  CertificateTableLocation location;
  EXPECT_TRUE(file.Open(path.c_str(), brx::platform::FileMode::kReadShared) && file.GetSize(&size));
  EXPECT_EQ(CertificateTable::kPresent, LocateCertificateTable(&file, size, &location));
  return location;
}

std::string ImageDigest(const std::wstring& path) {
  brx::platform::File file;
  EXPECT_TRUE(file.Open(path.c_str(), brx::platform::FileMode::kReadShared));
  unsigned char digest[32];
  EXPECT_TRUE(ComputeImageDigest(&file, Locate(path), DigestAlgorithm::kSha256, digest));
  return std::string(reinterpret_cast<char*>(digest), sizeof(digest));
}

class ImageSignatureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = brxtest::ScratchDir("archive");
#ifdef BRX_SIGNED_PACKAGE
    signed_ = BRX_SIGNED_PACKAGE;
    nested_ = BRX_NESTED_PACKAGES;
#else
    // A small PE32+ image with one section, signed the way a release is.
    std::string image(1024, '\0');
    image.replace(0, 2, "MZ");
    brxtest::Put32(&image, 0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    brxtest::Put16(&image, 0x44, 0x8664);
    brxtest::Put16(&image, 0x46, 1);            // one section
    brxtest::Put16(&image, 0x54, 240);          // size of the optional header
    brxtest::Put16(&image, 0x58, 0x20B);        // PE32+
    brxtest::Put32(&image, 0x58 + 60, 0x200);   // size of the headers
    brxtest::Put32(&image, 0x58 + 108, 16);     // data directories
    image.replace(0x58 + 240, 5, ".text");
    brxtest::Put32(&image, 0x58 + 240 + 8, 0x200);
    brxtest::Put32(&image, 0x58 + 240 + 12, 0x1000);
    brxtest::Put32(&image, 0x58 + 240 + 16, 0x200);
    brxtest::Put32(&image, 0x58 + 240 + 20, 0x200);
    std::wstring stub = brxtest::WriteFile(brxtest::JoinPath(dir_, L"stub.exe"), image);
    signed_ = brxtest::JoinPath(dir_, L"signed.exe");
    std::string command = std::string(BRX_MAKE_SIGNED_PACKAGE) + " '" + brxtest::Narrow(stub) + "' '" +
                          brxtest::Narrow(signed_) + "'";
    ASSERT_EQ(0, system(command.c_str()));
    nested_ = brxtest::JoinPath(dir_, L"nested");
    command = std::string(BRX_MAKE_NESTED_PACKAGES) + " '" + brxtest::Narrow(stub) + "' '" +
              brxtest::Narrow(nested_) + "'";
    ASSERT_EQ(0, system(command.c_str()));
#endif
    ASSERT_TRUE(brxtest::ReadFile(signed_, &bytes_));
  }

  std::wstring Variant(const char* name, const std::string& bytes) {
    return brxtest::WriteFile(brxtest::JoinPath(dir_, std::wstring(name, name + strlen(name))), bytes);
  }

  std::wstring dir_;
  std::wstring signed_;
  std::wstring nested_;  // make_nested_signed_packages.sh's dual.exe and forged.exe
  std::string bytes_;
};

TEST_F(ImageSignatureTest, SignedPackageIsCheckedAgainstItsSignature) {
  CertificateTableLocation location = Locate(signed_);
  const size_t table = static_cast<size_t>(location.table_offset);
  ASSERT_GT(table, 0x400u);

  std::string unsigned_package = bytes_.substr(0, table);
  brxtest::Put32(&unsigned_package, static_cast<size_t>(location.directory_offset), 0);
  brxtest::Put32(&unsigned_package, static_cast<size_t>(location.directory_offset) + 4, 0);
  std::string checksum = bytes_;
  checksum[static_cast<size_t>(location.checksum_offset)] ^= 0x5A;
  std::string image = bytes_;
  image[0x300] ^= 0x01;
  std::string archive = bytes_;
  archive[table - 200] ^= 0x01;
  // The forger's next step: the image digest in the signature rewritten to
  // that of the changed file.
  std::string rewritten = archive;
  std::wstring archive_path = Variant("archive.exe", archive);
  size_t recorded = rewritten.find(ImageDigest(signed_), table);
  ASSERT_NE(std::string::npos, recorded);
  rewritten.replace(recorded, 32, ImageDigest(archive_path));
  // Or the signer's signature itself changed: it is the last thing in the
  // message, before the alignment zeros.
  std::string signature = bytes_;
  size_t end = signature.find_last_not_of('\0');
  ASSERT_GT(end, table + 300);
  signature[end - 10] ^= 0x01;
  std::string garbage = bytes_;
  for (size_t i = table + 8; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7);

  struct Row {
    const char* name;
    std::string bytes;
    ImageSignature expected;
  };
  const Row rows[] = {
      {"unsigned.exe", unsigned_package, ImageSignature::kUnsigned},
      {"valid.exe", bytes_, ImageSignature::kValidDigest},
      {"checksum.exe", checksum, ImageSignature::kValidDigest},  // not covered by the digest
      {"image.exe", image, ImageSignature::kDigestMismatch},
      {"archive.exe", archive, ImageSignature::kDigestMismatch},
      {"rewritten.exe", rewritten, ImageSignature::kSignatureFails},
      {"signature.exe", signature, ImageSignature::kSignatureFails},
      {"garbage.exe", garbage, ImageSignature::kUnreadable},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, Check(Variant(row.name, row.bytes)));
  }
}

// brxpack inspect reports the stub's check, and a package the stub refuses
// for it as one that cannot install.
TEST_F(ImageSignatureTest, InspectReportsTheCheck) {
  std::string changed = bytes_;
  changed[static_cast<size_t>(Locate(signed_).table_offset) - 200] ^= 0x01;
  struct Row {
    std::wstring package;
    const char* line;
    bool refused;
  };
  const Row rows[] = {
      {signed_, "signature: valid digest", false},
      {Variant("changed.exe", changed), "signature: digest mismatch", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    brxpack::InspectReport report = brxpack::InspectPackage(row.package, "package.exe", {});
    EXPECT_NE(std::string::npos, brxpack::FormatInspectText(report).find(row.line));
    bool refused = false;
    for (const brxpack::InspectWarning& w : report.warnings) refused |= w.code == "signature" && w.fails_install;
    EXPECT_EQ(row.refused, refused);
  }
}

// A nested signature passes the same checks as the outer one: a package
// changed and re-signed with its first signature kept nested no longer
// claims that signer. brxpack inspect lists each signature.
TEST_F(ImageSignatureTest, EveryNestedSignatureIsChecked) {
  const std::wstring dual = brxtest::JoinPath(nested_, L"dual.exe");
  std::string dual_bytes;
  ASSERT_TRUE(brxtest::ReadFile(dual, &dual_bytes));
  // The nested signer's own signature, the last thing in the table before
  // the alignment zeros, changed: no signature covers the unsigned
  // attribute that holds it.
  std::string nested_changed = dual_bytes;
  nested_changed[nested_changed.find_last_not_of('\0') - 10] ^= 0x01;
  using brx::platform::DigestAlgorithm;
  struct Expected {
    uint32_t depth;
    DigestAlgorithm algorithm;
    ImageSignature result;
  };
  struct Row {
    const char* what;
    std::wstring package;
    ImageSignature overall;
    std::vector<Expected> each;
  };
  const Row rows[] = {
      {"dual", dual, ImageSignature::kValidDigest,
       {{0, DigestAlgorithm::kSha1, ImageSignature::kValidDigest},
        {1, DigestAlgorithm::kSha256, ImageSignature::kValidDigest}}},
      {"re-signed with the first signature nested", brxtest::JoinPath(nested_, L"forged.exe"),
       ImageSignature::kDigestMismatch,
       {{0, DigestAlgorithm::kSha256, ImageSignature::kValidDigest},
        {1, DigestAlgorithm::kSha1, ImageSignature::kDigestMismatch}}},
      {"nested signature changed", Variant("nested-changed.exe", nested_changed), ImageSignature::kSignatureFails,
       {{0, DigestAlgorithm::kSha1, ImageSignature::kValidDigest},
        {1, DigestAlgorithm::kSha256, ImageSignature::kSignatureFails}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    brx::platform::File file;
    ASSERT_TRUE(file.Open(row.package.c_str(), brx::platform::FileMode::kReadShared));
    std::vector<SignatureCheck> each;
    EXPECT_EQ(row.overall, CheckImageSignature(&file, &each));
    ASSERT_EQ(row.each.size(), each.size());
    for (size_t i = 0; i < each.size(); ++i) {
      EXPECT_EQ(row.each[i].depth, each[i].depth) << i;
      EXPECT_EQ(row.each[i].result, each[i].result) << i;
      if (row.each[i].result != ImageSignature::kSignatureFails) {
        EXPECT_EQ(row.each[i].algorithm, each[i].algorithm) << i;
      }
    }
  }
  brxpack::InspectReport report = brxpack::InspectPackage(rows[1].package, "forged.exe", {});
  const std::string text = brxpack::FormatInspectText(report);
  EXPECT_NE(std::string::npos, text.find("signature: digest mismatch\n")) << text;
  EXPECT_NE(std::string::npos, text.find("  signature 1: sha256, valid digest\n")) << text;
  EXPECT_NE(std::string::npos, text.find("  signature 2 (nested): sha1, digest mismatch\n")) << text;
}

}  // namespace
}  // namespace brxzip
