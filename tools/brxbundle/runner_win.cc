// brxbundle.exe: the setup program of a maintenance-window bundle. The stub
// that carries the bundle extracts it with the members and the manifest
// into its extraction directory and starts it there; it applies the members
// in order and exits with the window's completion code.
#include <windows.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "brxbundle/bundle_manifest.h"
#include "brxbundle/bundle_window.h"
#include "brxbundle/installed_win.h"
#include "log/cmp_log2.h"
#include "log/session_record_fields.h"
#include "platform/digest.h"
#include "platform/event_log.h"
#include "platform/file.h"
#include "platform/guid.h"
#include "platform/local_time.h"
#include "platform/module_info.h"
#include "platform/scoped_handle_win.h"
#include "platform/utf8.h"

namespace brxbundle {
namespace {

using brx::platform::ScopedHandle;

// The runner's lines in the component log: module and lines are fixed data.
const wchar_t kModule[] = L"bundle";
const int kLineStart = 10, kLineManifest = 20, kLineChanged = 30, kLineMember = 40, kLineEnd = 50;

const uint32_t kMaxManifestBytes = 1u << 20;
// Past this, what the members appended to the record file is not searched.
const uint32_t kMaxRecordTail = 4u << 20;

std::wstring Wide(const std::string& utf8) {
  std::wstring out;
  brx::platform::Utf8ToWide(utf8.data(), utf8.size(), &out);
  return out;
}

std::wstring Folder(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

bool ReadSmallFile(const std::wstring& path, uint32_t limit, std::string* text) {
  brx::platform::File file;
  uint64_t size = 0;
  if (!file.Open(path.c_str(), brx::platform::FileMode::kReadShared) || !file.GetSize(&size) || size > limit) {
    return false;
  }
  text->resize(static_cast<size_t>(size));
  uint32_t read = 0;
  return size == 0 || (file.Read(&(*text)[0], static_cast<uint32_t>(size), &read) && read == size);
}

// Opens the member for reading, shared only for reading, and checks its
// digest through that handle. The handle stays open until the window ends:
// nobody can then write, rename or delete the file, so the program that
// runs is the one whose bytes were checked. A file somebody else holds open
// for writing cannot be opened so, and counts as changed.
bool HoldUnchanged(const std::wstring& path, const std::string& sha256, ScopedHandle* held) {
  *held->receive() = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (!held->valid() || !GetFileInformationByHandle(held->get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      info.nNumberOfLinks != 1) {
    held->Close();
    return false;
  }
  brx::platform::Digest digest;
  if (!digest.Begin(brx::platform::DigestAlgorithm::kSha256)) return false;
  std::vector<unsigned char> buffer(1u << 16);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(held->get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
    if (read == 0) break;
    digest.Update(buffer.data(), read);
  }
  unsigned char sum[brx::platform::kMaxDigestLength];
  return digest.Finish(sum) && HexText(sum, 32) == sha256;
}

class MachineHost : public WindowHost {
 public:
  MachineHost(const Manifest& manifest, const std::wstring& folder, CCmpLog2& log)
      : manifest_(manifest), folder_(folder), log_(log) {}

  bool Installed(size_t i) override { return !InstalledVersionAtLeast(manifest_.members[i]).empty(); }

  MemberRun Run(size_t i) override {
    const ManifestMember& m = manifest_.members[i];
    std::wstring path = folder_ + L"\\" + Wide(m.file);
    // Never /reboot: the member's restart waits for the end of the window.
    std::wstring command = L"\"" + path + L"\"";
    for (const std::string& a : m.arguments) command += L" " + Wide(a);
    uint64_t records_before = RecordFileSize();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    MemberRun run;
    // No handle is inherited: the member must not write into the pipe the
    // carrying stub reads the runner's output from, nor hold it open.
    if (!CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &startup,
                        &process)) {
      log_.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, kLineMember, L"Bundle member %s could not be started (%lu)\r\n",
                 Wide(m.file), static_cast<unsigned long>(GetLastError()));
      return run;
    }
    ScopedHandle process_handle(process.hProcess), thread_handle(process.hThread);
    WaitForSingleObject(process_handle.get(), INFINITE);
    DWORD code = 0;
    run.started = GetExitCodeProcess(process_handle.get(), &code) != 0;
    run.exit_code = static_cast<int32_t>(code);
    run.session_id = MemberSessionId(records_before, m.file);
    return run;
  }

 private:
  std::wstring RecordPath() const {
    std::wstring dir = log_.log_directory() ? log_.log_directory() : L"";
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir + brx::record::kRecordFileName;
  }

  uint64_t RecordFileSize() const {
    brx::platform::File file;
    uint64_t size = 0;
    if (!file.Open(RecordPath().c_str(), brx::platform::FileMode::kReadShared) || !file.GetSize(&size)) return 0;
    return size;
  }

  // The session id of the member's record: the last stub record appended
  // since the member started that names the member's file. Another stub
  // finishing meanwhile appends its own file's name.
  std::wstring MemberSessionId(uint64_t from, const std::string& file_name) const {
    brx::platform::File file;
    uint64_t size = 0;
    if (!file.Open(RecordPath().c_str(), brx::platform::FileMode::kReadShared) || !file.GetSize(&size) ||
        size <= from) {
      return std::wstring();
    }
    uint32_t length = static_cast<uint32_t>(size - from > kMaxRecordTail ? kMaxRecordTail : size - from);
    std::string tail(length, '\0');
    uint32_t read = 0;
    if (!file.ReadAt(from, &tail[0], length, &read)) return std::wstring();
    tail.resize(read);
    std::string found;
    size_t start = 0;
    while (start < tail.size()) {
      size_t end = tail.find('\n', start);
      if (end == std::string::npos) end = tail.size();
      nlohmann::json record = nlohmann::json::parse(tail.begin() + static_cast<long>(start),
                                                    tail.begin() + static_cast<long>(end), nullptr, false);
      if (record.is_object() && !record.contains("record") && record.value("stub_file", "") == file_name &&
          record["session_id"].is_string()) {
        found = record["session_id"].get<std::string>();
      }
      start = end + 1;
    }
    return Wide(found);
  }

  const Manifest& manifest_;
  std::wstring folder_;
  CCmpLog2& log_;
};

brx::platform::EventType EventTypeOf(int32_t code) {
  return code == 0 ? brx::platform::EventType::kError
         : code == 2 ? brx::platform::EventType::kWarning
                     : brx::platform::EventType::kInformation;
}

}  // namespace

int RunBundle() {
  BundleRecordFacts facts;
  facts.session_id = brx::platform::NewGuidText();
  facts.start = brx::platform::LocalIsoTimeText();
  std::wstring folder = Folder(brx::platform::ModuleFilePath());
  // The carrying stub's log: the window's lines go between its own, and a
  // log that cannot be opened only leaves them out.
  CCmpLog2 log;
  log.Open();
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, kLineStart, L"Bundle runner started in %s\r\n", folder);

  Manifest manifest;
  WindowResult result;
  result.completion_code = 0;
  std::string text;
  if (!ReadSmallFile(folder + L"\\" + Wide(kManifestEntry), kMaxManifestBytes, &text)) {
    facts.error = "the manifest bundle.json cannot be read";
  } else if (!ParseManifest(text, &manifest, &facts.error)) {
    facts.error = "bundle.json: " + facts.error;
  }
  if (!facts.error.empty()) {
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, kLineManifest, L"Bundle stopped: %hs\r\n", facts.error.c_str());
  } else {
    std::vector<ScopedHandle> held(manifest.members.size());
    std::vector<bool> unchanged;
    for (size_t i = 0; i < manifest.members.size(); ++i) {
      const ManifestMember& m = manifest.members[i];
      unchanged.push_back(HoldUnchanged(folder + L"\\" + Wide(m.file), m.sha256, &held[i]));
      if (!unchanged.back()) {
        log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, kModule, kLineChanged,
                  L"Bundle member %s is not the file bundled (SHA-256 differs, or it cannot be held): nothing runs\r\n",
                  Wide(m.file));
      }
    }
    MachineHost host(manifest, folder, log);
    result = RunWindow(manifest, unchanged, host);
    for (size_t i = 0; i < manifest.members.size(); ++i) {
      const MemberResult& r = result.members[i];
      log.Write(LOG_BOTH_TAGGED, r.outcome == Outcome::kFailed ? LEVEL_ERROR : LEVEL_INFO, kModule, kLineMember,
                L"Bundle member %d of %d %s %s: %hs%hs%hs\r\n", static_cast<int>(i + 1),
                static_cast<int>(manifest.members.size()), Wide(manifest.members[i].file),
                Wide(manifest.members[i].version), OutcomeWord(r.outcome), r.reason.empty() ? "" : ", ",
                r.reason.c_str());
    }
  }
  facts.end = brx::platform::LocalIsoTimeText();
  log.Write(LOG_BOTH_TAGGED, result.completion_code == 0 ? LEVEL_ERROR : LEVEL_INFO, kModule, kLineEnd,
            L"Bundle completion code (%d)\r\n", static_cast<int>(result.completion_code));
  log.AppendRecordLine(BundleRecordLine(manifest, result, facts));
  brx::platform::ReportApplicationEvent(EventTypeOf(result.completion_code), BundleEventId(result.completion_code),
                                        BundleEventStrings(manifest, result, facts.session_id));
  log.Close();
  return result.completion_code;
}

}  // namespace brxbundle

int wmain() { return brxbundle::RunBundle(); }
