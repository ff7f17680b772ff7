#include "package/des.h"

#include <gtest/gtest.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1])));
  return out;
}

DesContext ContextFor(const std::string& keyHex) {
  DesContext context;
  context.ignore_parity = true;
  std::vector<uint8_t> key = FromHex(keyHex);
  EXPECT_TRUE(SetKey(&context, key.data()));
  return context;
}

std::string ThrownMessage(const DesContext& context, const char* text, std::vector<uint8_t>* out) {
  try {
    DecryptHex(context, text, out, nullptr);
  } catch (const DesCryptException& e) {
    return e.message();
  }
  return "no exception";
}

// FIPS 81 appendix B and NIST SP 800-17 known-answer tables (key, plain, cipher).
struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};
const Vector kVectors[] = {
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
};

TEST(DesTest, PublishedVectorsDecipherInEitherLetterCase) {
  for (const Vector& v : kVectors) {
    DesContext context = ContextFor(v.key);
    for (bool lower : {false, true}) {
      std::string hex = v.cipher;
      if (lower)
        for (char& c : hex) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      std::vector<uint8_t> out;
      size_t count = 0;
      DecryptHex(context, hex.c_str(), &out, &count);
      EXPECT_EQ(FromHex(v.plain), out) << v.key;
      EXPECT_EQ(8u, count);
    }
    std::vector<uint8_t> plain = FromHex(v.plain);
    EXPECT_EQ(v.cipher, EncryptHex(context, plain.data(), plain.size(), 0)) << v.key;
  }
}

TEST(DesTest, BadTextThrowsTheDocumentedMessageAndLeavesOutputAlone) {
  DesContext context = ContextFor("0123456789ABCDEF");
  std::vector<uint8_t> out = {1, 2, 3};
  EXPECT_EQ(kDesErrorLength, ThrownMessage(context, "0123456789ABCDE", &out));
  EXPECT_EQ(kDesErrorLength, ThrownMessage(context, "0123456789ABCDEF0", &out));
  EXPECT_EQ(kDesErrorLength, ThrownMessage(context, "3FA40E8A984D4815\r\n", &out));
  EXPECT_EQ(kDesErrorNonHex, ThrownMessage(context, "3FA40E8A984D481G", &out));
  EXPECT_EQ(kDesErrorNonHex, ThrownMessage(context, "3FA40E8A 84D4815", &out));
  EXPECT_EQ(kDesErrorNonHex, ThrownMessage(context, "3FA40E8A984D481\n", &out));
  EXPECT_EQ(kDesErrorOutput, ThrownMessage(context, "3FA40E8A984D4815", nullptr));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), out);
  EXPECT_EQ("Input string is not a multiple of 16 characters!", std::string(kDesErrorLength));
  EXPECT_EQ("Input text contains a non-hexadecimal character!", std::string(kDesErrorNonHex));
  EXPECT_EQ("Bad output buffer", std::string(kDesErrorOutput));

  EXPECT_EQ("no exception", ThrownMessage(context, "", &out));
  EXPECT_TRUE(out.empty());
}

TEST(DesTest, KeyTextIsPaddedCutAndFixedUp) {
  uint8_t key[8];
  MakeDesKey("ab", key);
  EXPECT_EQ(0, memcmp(key, "ab      ", 8));
  MakeDesKey("firmware_update.exe", key);
  EXPECT_EQ(0, memcmp(key, "firmware", 8));
  MakeDesKey(nullptr, key);
  EXPECT_EQ(0, memcmp(key, "        ", 8));
  // 0xC0 and 'A' have even parity: with no odd byte, the top bit goes.
  MakeDesKey("\xC0" "AAAAAAA", key);
  EXPECT_EQ(0x40, key[0]);
  MakeDesKey("\xC0" "AAAAAAC", key);  // 'C' is odd: left alone
  EXPECT_EQ(0xC0, key[0]);
}

TEST(DesTest, ParityIsCheckedUnlessSwitchedOff) {
  DesContext context;
  uint8_t even[8];
  memcpy(even, "AAAAAAAA", 8);
  EXPECT_FALSE(SetKey(&context, even));
  std::vector<uint8_t> odd = FromHex("0123456789ABCDEF");
  EXPECT_TRUE(SetKey(&context, odd.data()));
  context.ignore_parity = true;
  EXPECT_TRUE(SetKey(&context, even));
}

// An independent implementation: OpenSSL's DES-ECB (legacy provider) over
// random keys and multi-block messages must agree with ours both ways.
TEST(DesTest, AgreesWithOpenSsl) {
#ifdef _WIN32
  GTEST_SKIP() << "openssl runs in the native tree";
#else
  const char* tmp = getenv("BRX_TEST_TMP");
  std::string dir = tmp ? tmp : "/tmp";
  std::string cmd = "mkdir -p '" + dir + "'";
  ASSERT_EQ(0, system(cmd.c_str()));
  std::string input = dir + "/des_openssl_in.bin";
  std::mt19937 rng(20261208);
  for (int round = 0; round < 12; ++round) {
    uint8_t key[8];
    std::string keyHex;
    char buf[3];
    for (uint8_t& b : key) {
      b = static_cast<uint8_t>(rng());
      snprintf(buf, sizeof(buf), "%02X", b);
      keyHex += buf;
    }
    std::vector<uint8_t> plain(8 * (1 + rng() % 6));
    for (uint8_t& b : plain) b = static_cast<uint8_t>(rng());
    FILE* f = fopen(input.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(plain.data(), 1, plain.size(), f);
    fclose(f);

    cmd = "openssl enc -des-ecb -nopad -provider legacy -provider default -K " + keyHex +
          " -in '" + input + "' | od -An -v -tx1 | tr -d ' \\n' | tr a-f A-F";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(nullptr, p);
    std::string expected;
    int c;
    while ((c = fgetc(p)) != EOF) expected += static_cast<char>(c);
    ASSERT_EQ(0, pclose(p));

    DesContext context;
    context.ignore_parity = true;
    ASSERT_TRUE(SetKey(&context, key));
    EXPECT_EQ(expected, EncryptHex(context, plain.data(), plain.size(), 0)) << keyHex;
    std::vector<uint8_t> back;
    DecryptHex(context, expected.c_str(), &back, nullptr);
    EXPECT_EQ(plain, back) << keyHex;
  }
#endif
}

}  // namespace
