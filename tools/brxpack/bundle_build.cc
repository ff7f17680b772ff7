#include "brxpack/bundle_build.h"

#include <ctype.h>
#include <stdio.h>

#include "archive/entry_name.h"
#include "brxpack/bundle_inspect.h"
#include "brxpack/deploy_package.h"
#include "brxpack/inspect.h"
#include "brxpack/package_writer.h"
#include "brxpack/xml_writer.h"
#include "platform/codepage.h"
#include "platform/digest.h"
#include "platform/file.h"
#include "platform/module_info.h"
#include "platform/utf8.h"

namespace brxpack {
namespace {

const char kUsage[] =
    "usage: brxpack bundle -o BUNDLE [--name TEXT] [--version V] [--stub STUB] [--runner RUNNER]\n"
    "                      MEMBER[:continue][:restart-first]...\n";

std::wstring Wide(const std::string& text) {
#ifdef _WIN32
  return brx::platform::AnsiToWide(text);
#else
  return brx::platform::WideFromNative(text.c_str());
#endif
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Stem(const std::string& file) {
  size_t dot = file.rfind('.');
  return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool ReadWhole(const std::string& path, std::vector<unsigned char>* bytes) {
  brx::platform::File file;
  uint64_t size = 0;
  if (!file.Open(Wide(path).c_str(), brx::platform::FileMode::kReadShared) || !file.GetSize(&size) ||
      size > 0xFFFFFFFFull) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  uint32_t read = 0;
  return size == 0 || (file.Read(bytes->data(), static_cast<uint32_t>(size), &read) && read == size);
}

std::string Sha256(const std::vector<unsigned char>& bytes) {
  brx::platform::Digest digest;
  unsigned char sum[brx::platform::kMaxDigestLength];
  if (!digest.Begin(brx::platform::DigestAlgorithm::kSha256) || !digest.Update(bytes.data(), bytes.size()) ||
      !digest.Finish(sum)) {
    return std::string();
  }
  return brxbundle::HexText(sum, 32);
}

// A member as the stub reads it, or false with the reason.
bool LearnMember(const BundleMemberSpec& spec, uint32_t code_page, brxbundle::ManifestMember* out,
                 std::string* error) {
  InspectReport report = InspectPackage(Wide(spec.path), spec.path, {L"/silent"}, code_page);
  DeployPackage facts;
  if (!DeployPackageFromReport(report, spec.path, &facts, error)) {
    *error = "member " + spec.path + ": " + *error;
    return false;
  }
  if (report.ExitStatus() != 0) {
    *error = "member " + spec.path + " does not install:";
    for (const InspectWarning& w : report.warnings) {
      if (w.fails_install) *error += " " + w.text;
    }
    return false;
  }
  for (const InspectedEntry& e : report.entries) {
    if (e.name == L"bundle.json") {
      *error = "member " + spec.path + " is a bundle itself: list its members instead";
      return false;
    }
  }
  out->file = facts.package_file;
  out->name = facts.display_name;
  out->version = facts.version;
  out->sw_key = facts.sw_key;
  out->definition = facts.definition;
  out->file_name = facts.file_name;
  out->expected_path = facts.expected_path;
  out->arguments = brxbundle::DefaultMemberArguments();
  out->policy = spec.policy;
  return true;
}

// The inventory key of the bundle itself: letters, digits and underscores.
std::string BundleKey(const std::string& stem) {
  std::string key = "BRX_BUNDLE_";
  for (unsigned char c : stem) key += isalnum(c) ? static_cast<char>(toupper(c)) : '_';
  return key;
}

bool BundleDefinition(const std::string& file, const std::string& name, const std::string& version,
                      std::string* document) {
  XmlWriter xml;
  xml.Open("brx_package", {{"version", "2.0.2.0"}});
  xml.Element("filename", file);
  xml.Element("version", "", {{"value", version}});
  xml.Open("name");
  xml.Element("name_xlate", name, {{"lang", "en"}});
  xml.Close();
  xml.Open("description");
  xml.Element("description_xlate", "Maintenance window: component packages applied in order",
              {{"lang", "en"}});
  xml.Close();
  xml.Open("sw_keys");
  xml.Open("sw_keys_and");
  xml.Open("sw_key", {{"name", BundleKey(Stem(file))}});
  xml.Element("sw_key_expectedpath", "bundle:" + Stem(file));
  xml.Close();
  xml.Close();
  xml.Close();
  xml.Open("installation");
  xml.Open("install");
  xml.Element("command", brxbundle::kRunnerEntry);
  xml.Close();
  xml.Close();
  return xml.Finish(document);
}

// The bundle's package data: it lets the runner start inside a virtual
// machine, where each member's own stub then allows or refuses its member.
std::string BundleData() {
  XmlWriter xml;
  xml.Open("zt_pkg_data");
  xml.Element("virtualization", "", {{"allow", "1"}});
  std::string document;
  xml.Finish(&document);
  return document;
}

std::string Beside(const char* file) {
  std::wstring self = brx::platform::ModuleFilePath();
  size_t slash = self.find_last_of(L"\\/");
  std::string dir = slash == std::wstring::npos ? "." : brx::platform::WideToUtf8(self.substr(0, slash));
  return dir + "/" + file;
}

}  // namespace

bool ParseBundleMember(const std::string& argument, BundleMemberSpec* member, std::string* error) {
  *member = BundleMemberSpec();
  std::string path = argument;
  for (;;) {
    if (EndsWith(path, ":continue") && !member->policy.continue_on_failure) {
      member->policy.continue_on_failure = true;
      path.resize(path.size() - 9);
    } else if (EndsWith(path, ":restart-first") && !member->policy.restart_first) {
      member->policy.restart_first = true;
      path.resize(path.size() - 14);
    } else {
      break;
    }
  }
  // A word after a colon that is no drive letter's is a mistyped policy.
  size_t colon = path.rfind(':');
  if (colon != std::string::npos && colon != 1 && path.find_first_of("/\\", colon) == std::string::npos) {
    *error = "unknown member policy :" + path.substr(colon + 1) + " (use :continue and :restart-first)";
    return false;
  }
  if (path.empty()) {
    *error = "a member names no package";
    return false;
  }
  member->path = path;
  return true;
}

bool BuildBundle(const BundleSpec& spec, std::string* error) {
  std::string file = BaseName(spec.output);
  brxbundle::Manifest manifest;
  manifest.name = spec.name.empty() ? Stem(file) : spec.name;
  manifest.version = spec.version.empty() ? "1.0.0.0" : spec.version;
  if (spec.members.empty() || spec.members.size() > brxbundle::kMaxMembers) {
    *error = "a bundle holds 1 to 64 members";
    return false;
  }
  std::string definition_name = Stem(file) + ".xml";
  // The bundle's own entries first: a member of the same name would replace
  // the runner or the manifest when the stub extracts.
  brxzip::EntryNameSet names;
  for (const std::string& own : {definition_name, std::string("zt_data.xml"), std::string(brxbundle::kManifestEntry),
                                 std::string(brxbundle::kRunnerEntry)}) {
    names.Add(Wide(own).c_str());
  }
  std::vector<std::vector<unsigned char>> bytes(spec.members.size());
  for (size_t i = 0; i < spec.members.size(); ++i) {
    brxbundle::ManifestMember member;
    if (!LearnMember(spec.members[i], spec.code_page, &member, error)) return false;
    std::wstring entry = Wide(member.file);
    brxzip::EntryRefusal refusal = brxzip::CheckEntryName(entry.c_str());
    if (refusal == brxzip::EntryRefusal::kNone) refusal = names.Add(entry.c_str());
    if (refusal != brxzip::EntryRefusal::kNone) {
      *error = "member " + spec.members[i].path + ": its file name " + member.file + " cannot be used: " +
               brxzip::DescribeEntryRefusal(refusal);
      return false;
    }
    // The bytes hashed are the bytes stored.
    if (!ReadWhole(spec.members[i].path, &bytes[i])) {
      *error = "cannot read member " + spec.members[i].path;
      return false;
    }
    member.sha256 = Sha256(bytes[i]);
    manifest.members.push_back(member);
  }
  std::string definition;
  if (!BundleDefinition(file, manifest.name, manifest.version, &definition)) {
    *error = "the bundle's name or version holds characters a definition cannot carry";
    return false;
  }
  std::vector<unsigned char> runner;
  if (!ReadWhole(spec.runner, &runner)) {
    *error = "cannot read the runner " + spec.runner;
    return false;
  }
  std::string manifest_text = brxbundle::ManifestJson(manifest);
  std::string data = BundleData();
  PackageWriter writer;
  bool ok = writer.Begin(Wide(spec.output).c_str(), Wide(spec.stub).c_str()) &&
            writer.AddData(definition_name, std::vector<unsigned char>(definition.begin(), definition.end())) &&
            writer.AddData("zt_data.xml", std::vector<unsigned char>(data.begin(), data.end())) &&
            writer.AddData(brxbundle::kManifestEntry,
                           std::vector<unsigned char>(manifest_text.begin(), manifest_text.end())) &&
            writer.AddData(brxbundle::kRunnerEntry, runner);
  for (size_t i = 0; ok && i < manifest.members.size(); ++i) {
    StoredName name = EncodeEntryName(Wide(manifest.members[i].file));
    EntryOptions options;
    options.flags = name.flags;
    ok = writer.AddData(name.bytes, bytes[i], options);
  }
  if (!ok || !writer.Finish()) {
    *error = writer.error();
    remove(spec.output.c_str());
    return false;
  }
  // Read back as inspect and the runner will: what was built is a bundle
  // whose manifest and members agree.
  BundlePlan plan = InspectBundle(Wide(spec.output), spec.code_page);
  if (!plan.problems.empty()) {
    *error = "the bundle built does not check: " + plan.problems.front();
    remove(spec.output.c_str());
    return false;
  }
  return true;
}

int RunBundleCommand(const std::vector<std::string>& args, uint32_t code_page) {
  BundleSpec spec;
  spec.code_page = code_page;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* value = a == "-o"          ? &spec.output
                         : a == "--name"    ? &spec.name
                         : a == "--version" ? &spec.version
                         : a == "--stub"    ? &spec.stub
                         : a == "--runner"  ? &spec.runner
                                            : nullptr;
    if (value) {
      if (i + 1 >= args.size()) break;
      *value = args[++i];
      continue;
    }
    if (!a.empty() && a[0] == '-') {
      fputs(kUsage, stderr);
      return 2;
    }
    BundleMemberSpec member;
    std::string error;
    if (!ParseBundleMember(a, &member, &error)) {
      fprintf(stderr, "brxpack: %s\n", error.c_str());
      return 2;
    }
    spec.members.push_back(member);
  }
  if (spec.output.empty() || spec.members.empty()) {
    fputs(kUsage, stderr);
    return 2;
  }
  if (spec.stub.empty()) spec.stub = Beside("brxstub.exe");
  if (spec.runner.empty()) spec.runner = Beside(brxbundle::kRunnerEntry);
  std::string error;
  if (!BuildBundle(spec, &error)) {
    fprintf(stderr, "brxpack: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace brxpack
