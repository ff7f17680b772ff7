#include "brxpack/bundle_inspect.h"

#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "archive/zip_file.h"
#include "brxpack/deploy_package.h"
#include "brxpack/inspect.h"
#include "platform/codepage.h"
#include "platform/digest.h"
#include "platform/file.h"
#include "platform/guid.h"
#include "platform/utf8.h"

#ifdef _WIN32
#include <windows.h>

#include "brxbundle/installed_win.h"
#endif

namespace brxpack {
namespace {

using brx::platform::WideToUtf8;

// Entries past this are no component package a window would carry.
const uint64_t kMaxMemberBytes = 1ull << 31;

std::wstring Wide(const std::string& utf8) {
  std::wstring out;
  brx::platform::Utf8ToWide(utf8.data(), utf8.size(), &out);
  return out;
}

bool ReadEntry(brxzip::ZIP_FileEntry* entry, uint64_t limit, std::vector<unsigned char>* bytes) {
  if (!entry || entry->GetUncompressedSize() > limit) return false;
  bytes->resize(entry->GetUncompressedSize());
  return bytes->empty() || entry->ReadToMemory(bytes->data(), bytes->size()) == brxzip::ZIP_OK;
}

std::wstring TemporaryPath() {
#ifdef _WIN32
  wchar_t dir[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, dir);
  std::wstring base = n > 0 && n <= MAX_PATH ? std::wstring(dir, n) : std::wstring(L".\\");
#else
  const char* tmp = getenv("TMPDIR");
  std::wstring base = brx::platform::WideFromNative(tmp && *tmp ? tmp : "/tmp") + L"/";
#endif
  return base + L"brxpack-member-" + brx::platform::NewGuidText() + L".exe";
}

// The member's facts read from its bytes with the stub's own code, as they
// were when it was bundled; false with the reason when it cannot be read.
bool MemberFacts(const std::vector<unsigned char>& bytes, const std::string& file, uint32_t code_page,
                 DeployPackage* facts, std::string* error) {
  std::wstring path = TemporaryPath();
  bool written = false;
  {
    // A fresh name, and no link or second hard link is ever written through.
    brx::platform::File out;
    written = out.Open(path.c_str(), brx::platform::FileMode::kReplaceLoneFile) &&
              (bytes.empty() || out.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
  }
  InspectReport report;
  if (written) report = InspectPackage(path, file, {L"/silent"}, code_page);
#ifdef _WIN32
  DeleteFileW(path.c_str());
#else
  remove(brx::platform::WideToUtf8(path).c_str());
#endif
  if (!written) {
    *error = "cannot write a temporary copy of " + file;
    return false;
  }
  if (!DeployPackageFromReport(report, file, facts, error)) return false;
  if (report.ExitStatus() != 0) {
    *error = "the stub would not install it";
    return false;
  }
  return true;
}

void CheckMember(brxzip::ZIP_File& archive, const brxbundle::ManifestMember& m, uint32_t code_page,
                 std::vector<std::string>* problems) {
  std::vector<unsigned char> bytes;
  brxzip::ZIP_FileEntry* entry = archive.FindEntry(Wide(m.file).c_str());
  if (!entry) {
    problems->push_back("member " + m.file + " is listed in the manifest but not in the bundle");
    return;
  }
  if (!ReadEntry(entry, kMaxMemberBytes, &bytes)) {
    problems->push_back("member " + m.file + " cannot be read");
    return;
  }
  brx::platform::Digest digest;
  unsigned char sum[brx::platform::kMaxDigestLength];
  if (!digest.Begin(brx::platform::DigestAlgorithm::kSha256) || !digest.Update(bytes.data(), bytes.size()) ||
      !digest.Finish(sum) || brxbundle::HexText(sum, 32) != m.sha256) {
    problems->push_back("member " + m.file + " is not the file bundled: its SHA-256 differs from the manifest's");
    return;
  }
  DeployPackage facts;
  std::string error;
  if (!MemberFacts(bytes, m.file, code_page, &facts, &error)) {
    problems->push_back("member " + m.file + ": " + error);
    return;
  }
  const std::pair<const char*, std::pair<std::string, std::string>> fields[] = {
      {"version", {m.version, facts.version}},       {"sw_key", {m.sw_key, facts.sw_key}},
      {"definition", {m.definition, facts.definition}}, {"file_name", {m.file_name, facts.file_name}},
      {"expected_path", {m.expected_path, facts.expected_path}}, {"name", {m.name, facts.display_name}}};
  for (const auto& f : fields) {
    if (f.second.first != f.second.second) {
      problems->push_back("member " + m.file + ": the manifest says " + f.first + " " +
                          CommentText(f.second.first) + ", the package " + CommentText(f.second.second));
    }
  }
}

std::string PolicyText(const brxbundle::MemberPolicy& p) {
  return std::string(p.continue_on_failure ? "continue on failure" : "stop on failure") +
         (p.restart_first ? ", restart first" : "");
}

}  // namespace

BundlePlan InspectBundle(const std::wstring& package_path, uint32_t code_page) {
  BundlePlan plan;
  brxzip::ZIP_File archive;
  archive.SetNameCodePage(code_page);
  if (archive.OpenArchive(package_path.c_str(), 1) != brxzip::ZIP_OK) return plan;
  brxzip::ZIP_FileEntry* manifest_entry = archive.FindEntry(Wide(brxbundle::kManifestEntry).c_str());
  if (!manifest_entry) return plan;
  plan.is_bundle = true;
  std::vector<unsigned char> text;
  std::string error;
  if (!ReadEntry(manifest_entry, 1u << 20, &text)) {
    plan.problems.push_back("the manifest bundle.json cannot be read");
    return plan;
  }
  if (!brxbundle::ParseManifest(std::string(text.begin(), text.end()), &plan.manifest, &error)) {
    plan.problems.push_back("bundle.json: " + error);
    return plan;
  }
  if (!archive.FindEntry(Wide(brxbundle::kRunnerEntry).c_str())) {
    plan.problems.push_back("the bundle carries no runner brxbundle.exe");
  }
  for (const brxbundle::ManifestMember& m : plan.manifest.members) {
    CheckMember(archive, m, code_page, &plan.problems);
#ifdef _WIN32
    plan.installed_here.push_back(brxbundle::InstalledVersionAtLeast(m));
    plan.decided_here = true;
#else
    plan.installed_here.push_back(std::string());
#endif
  }
  return plan;
}

std::string FormatBundlePlanText(const BundlePlan& plan) {
  if (!plan.is_bundle) return std::string();
  const brxbundle::Manifest& m = plan.manifest;
  std::string out = "\nbundle: " + CommentText(m.name) + " " + CommentText(m.version) + ", " +
                    std::to_string(m.members.size()) + (m.members.size() == 1 ? " member" : " members") +
                    " in this order:\n";
  for (size_t i = 0; i < m.members.size(); ++i) {
    const brxbundle::ManifestMember& x = m.members[i];
    out += "  " + std::to_string(i + 1) + ". " + CommentText(x.file) + ": " + CommentText(x.name) + " " +
           CommentText(x.version) + " (sw_key " + CommentText(x.sw_key) + "), " + PolicyText(x.policy);
    if (plan.decided_here) {
      out += plan.installed_here[i].empty() ? "; runs here"
                                            : "; skipped here (installed: " + CommentText(plan.installed_here[i]) + ")";
    }
    out += "\n";
  }
  if (!plan.decided_here) {
    out += "  each member is skipped on a server where it is installed at its version or a later one\n";
  }
  if (plan.problems.empty()) return out + "  manifest and members agree\n";
  for (const std::string& p : plan.problems) out += "error: bundle: " + p + "\n";
  return out;
}

std::string FormatBundlePlanJson(const BundlePlan& plan) {
  using nlohmann::json;
  json members = json::array();
  for (size_t i = 0; i < plan.manifest.members.size(); ++i) {
    const brxbundle::ManifestMember& x = plan.manifest.members[i];
    json one = {{"position", i + 1},
                {"file", x.file},
                {"name", x.name},
                {"version", x.version},
                {"sw_key", x.sw_key},
                {"definition", x.definition},
                {"continue_on_failure", x.policy.continue_on_failure},
                {"restart_first", x.policy.restart_first},
                {"sha256", x.sha256}};
    one["installed_here"] = !plan.decided_here            ? json(nullptr)
                            : plan.installed_here[i].empty() ? json(false)
                                                             : json(plan.installed_here[i]);
    members.push_back(one);
  }
  json doc = {{"name", plan.manifest.name},
              {"version", plan.manifest.version},
              {"members", members},
              {"agree", plan.problems.empty()},
              {"problems", plan.problems}};
  return doc.dump(2, ' ', false, json::error_handler_t::replace);
}

std::string AddBundlePlanToJson(const std::string& document, const BundlePlan& plan) {
  if (!plan.is_bundle) return document;
  nlohmann::json doc = nlohmann::json::parse(document, nullptr, false);
  if (!doc.is_object()) return document;
  doc["bundle"] = nlohmann::json::parse(FormatBundlePlanJson(plan), nullptr, false);
  return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace brxpack
