// The bundle manifest: what brxpack writes reads back the same, and what the
// runner must not run is refused with a reason.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "brxbundle/bundle_manifest.h"

namespace brxbundle {
namespace {

Manifest Sample() {
  Manifest m;
  m.name = "Window \"A\"";
  m.version = "2.0";
  ManifestMember x;
  x.file = "cp0001.exe";
  x.sha256 = std::string(64, 'a');
  x.name = "BIOS";
  x.version = "1.2.3";
  x.sw_key = "BIOS_KEY";
  x.definition = "cp0001.xml";
  x.file_name = "cp0001.exe";
  x.expected_path = "firmware:bios";
  x.arguments = DefaultMemberArguments();
  x.policy.restart_first = true;
  m.members.push_back(x);
  return m;
}

TEST(BundleManifest, WrittenManifestReadsBackTheSame) {
  Manifest in = Sample();
  Manifest out;
  std::string error;
  ASSERT_TRUE(ParseManifest(ManifestJson(in), &out, &error)) << error;
  EXPECT_EQ(out.name, in.name);
  ASSERT_EQ(out.members.size(), 1u);
  EXPECT_EQ(out.members[0].expected_path, "firmware:bios");
  EXPECT_EQ(out.members[0].arguments, DefaultMemberArguments());
  EXPECT_TRUE(out.members[0].policy.restart_first);
  EXPECT_FALSE(out.members[0].policy.continue_on_failure);
}

TEST(BundleManifest, WhatTheRunnerMustNotRunIsRefused) {
  struct Case {
    const char* what;
    const char* pointer;  // JSON pointer into the sample
    nlohmann::json value;
    const char* reason;   // part of the error
  };
  const Case cases[] = {
      {"a path instead of a file name", "/members/0/file", "..\\..\\Windows\\evil.exe", "not a plain file name"},
      {"a definition path", "/members/0/definition", "../x.xml", "not a plain file name"},
      {"a digest that is no SHA-256", "/members/0/sha256", "abc", "64 lower-case hex"},
      {"a restart option", "/members/0/arguments", {"/silent", "/REBOOT"}, "restart the server itself"},
      {"no silent option", "/members/0/arguments", {"/f"}, "would not run silently"},
      {"an argument of two words", "/members/0/arguments", {"/silent", "/a /reboot"}, "not one word"},
      {"another format", "/format", 2, "format 1"},
      {"no members", "/members", nlohmann::json::array(), "no members"},
      {"a policy flag as text", "/members/0/policy/continue_on_failure", "yes", "not true or false"},
  };
  for (const Case& c : cases) {
    nlohmann::json doc = nlohmann::json::parse(ManifestJson(Sample()));
    doc[nlohmann::json::json_pointer(c.pointer)] = c.value;
    Manifest m;
    std::string error;
    EXPECT_FALSE(ParseManifest(doc.dump(), &m, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }
  nlohmann::json twice = nlohmann::json::parse(ManifestJson(Sample()));
  twice["members"].push_back(twice["members"][0]);
  twice["members"][1]["file"] = "CP0001.EXE";
  Manifest m;
  std::string error;
  EXPECT_FALSE(ParseManifest(twice.dump(), &m, &error));
  EXPECT_NE(error.find("listed twice"), std::string::npos) << error;
  EXPECT_FALSE(ParseManifest("{\"format\": 1, ", &m, &error));
}

TEST(BundleManifest, VersionsCompareAsTheDetectionScriptsCompareThem) {
  struct Case {
    const char* left;
    const char* right;
    int sign;
  };
  const Case cases[] = {
      {"1.2.3", "1.2.3", 0},  {"1.10", "1.9", 1},     {"1.2", "1.2.0.0", 0}, {"1.2.1", "1.2", 1},
      {"2.0a", "2.0A", 0},    {"2.0b", "2.0a", 1},    {"01.2", "1.2", 0},    {"1.2", "1.2.beta", -1},
      {"1234567890123456789", "1234567890123456788", 1},
  };
  for (const Case& c : cases) {
    int d = CompareVersions(c.left, c.right);
    EXPECT_EQ((d > 0) - (d < 0), c.sign) << c.left << " vs " << c.right;
  }
}

}  // namespace
}  // namespace brxbundle
