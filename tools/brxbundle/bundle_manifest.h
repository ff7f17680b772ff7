// The manifest of a maintenance-window bundle (bundle.json): which component
// packages the window applies, in order, what each one is, and what to do
// when it fails or asks for a restart. brxpack writes it, the runner and
// brxpack inspect read it.
#ifndef BRX_TOOLS_BRXBUNDLE_BUNDLE_MANIFEST_H_
#define BRX_TOOLS_BRXBUNDLE_BUNDLE_MANIFEST_H_

#include <stddef.h>

#include <string>
#include <vector>

namespace brxbundle {

// The manifest's entry and the runner's file inside a bundle.
extern const char kManifestEntry[];   // "bundle.json"
extern const char kRunnerEntry[];     // "brxbundle.exe"
constexpr int kManifestFormat = 1;
// More members than a window holds in practice; it bounds the record.
constexpr size_t kMaxMembers = 64;

struct MemberPolicy {
  bool continue_on_failure = false;  // a failure does not stop the window
  bool restart_first = false;        // a restart it asks for ends the window
};

// UTF-8 texts.
struct ManifestMember {
  std::string file;           // the member's package file, a plain file name in the bundle
  std::string sha256;         // of the whole file, lower-case hex
  std::string name;           // the definition's English name
  std::string version;        // <version value="..."/>
  std::string sw_key;         // the inventory record's component key
  std::string definition;     // definition entry: the copy's name in \BRXSYSTEM\ztxml
  std::string file_name;      // the definition's filename: ComponentFileName of the record
  std::string expected_path;  // ComponentKeyExpectedPath of the record
  std::vector<std::string> arguments;  // the member's stub arguments
  MemberPolicy policy;
};

struct Manifest {
  std::string name;
  std::string version;
  std::vector<ManifestMember> members;
};

// The manifest as JSON text, written by the JSON library.
std::string ManifestJson(const Manifest& manifest);

// Reads and checks a manifest; false with the reason in *error for text
// that is no manifest of this format or holds a member the runner must not
// run: a file name that is a path (it would run a program outside the
// bundle), a digest that is not SHA-256, arguments without /silent (a member
// would wait for somebody at a dialog and hold up the window) or with a
// restart option (the restart belongs to the window).
bool ParseManifest(const std::string& text, Manifest* manifest, std::string* error);

// The arguments every member runs with.
std::vector<std::string> DefaultMemberArguments();

// Dot-separated versions compared as the detection scripts compare them:
// parts of up to 18 digits as numbers, others as text ignoring ASCII case, a
// missing part as "0". Negative, 0 or positive.
int CompareVersions(const std::string& left, const std::string& right);

// Lower-case hex of bytes.
std::string HexText(const unsigned char* bytes, size_t length);

}  // namespace brxbundle

#endif  // BRX_TOOLS_BRXBUNDLE_BUNDLE_MANIFEST_H_
