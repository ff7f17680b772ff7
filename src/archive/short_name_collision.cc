// Where an 8.3-form entry name may be the short name of another entry.
#include <map>

#include "archive/entry_name.h"
#include "platform/codepage.h"

namespace brxzip {

namespace {

// The form of a generated 8.3 short name: at most eight characters ending in
// '~' and digits, then at most a dot and three characters.
bool IsShortNameForm(const std::wstring& component) {
  size_t dot = component.find(L'.');
  std::wstring base = component.substr(0, dot);
  if (dot != std::wstring::npos) {
    std::wstring extension = component.substr(dot + 1);
    if (extension.size() > 3 || extension.find(L'.') != std::wstring::npos) return false;
  }
  size_t tilde = base.rfind(L'~');
  if (base.size() > 8 || tilde == std::wstring::npos || tilde == 0 || tilde + 1 == base.size()) return false;
  for (size_t i = tilde + 1; i < base.size(); ++i) {
    if (base[i] < L'0' || base[i] > L'9') return false;
  }
  return true;
}

// The part of a long name Windows builds a short name from: letters kept
// upper-cased, blanks and dots of the base dropped.
std::wstring ShortNameSeed(const std::wstring& text) {
  std::wstring seed;
  for (wchar_t c : text) {
    if (c == L' ' || c == L'.') continue;
    seed += brx::platform::UpperCaseForNames(std::wstring(1, c));
  }
  return seed;
}

// Whether Windows would give `long_name` a short name that may be
// `short_form`: the short form's base before '~' starts the long name's
// base, and their extensions agree in their first three characters.
bool MayBeShortNameOf(const std::wstring& short_form, const std::wstring& long_name) {
  if (IsShortNameForm(long_name) || brx::platform::UpperCaseForNames(short_form) ==
                                        brx::platform::UpperCaseForNames(long_name)) {
    return false;
  }
  size_t short_dot = short_form.find(L'.');
  size_t long_dot = long_name.rfind(L'.');
  std::wstring short_base = short_form.substr(0, short_form.rfind(L'~', short_dot));
  std::wstring short_ext = short_dot == std::wstring::npos ? L"" : short_form.substr(short_dot + 1);
  std::wstring long_base = long_name.substr(0, long_dot);
  std::wstring long_ext = long_dot == std::wstring::npos ? L"" : long_name.substr(long_dot + 1, 3);
  std::wstring seed = ShortNameSeed(long_base);
  return !short_base.empty() && seed.compare(0, short_base.size(), ShortNameSeed(short_base)) == 0 &&
         ShortNameSeed(short_ext) == ShortNameSeed(long_ext);
}

}  // namespace

std::vector<PossibleCollision> FindPossibleShortNameCollisions(const std::vector<std::wstring>& names) {
  // Each folder's components, with the entry that named each first.
  std::map<std::wstring, std::map<std::wstring, std::wstring>> folders;
  for (const std::wstring& name : names) {
    std::vector<std::wstring> components = EntryNameComponents(name);
    for (size_t i = 0; i < components.size(); ++i) {
      if (components[i].empty() || components[i] == L".") continue;
      folders[EntryNameKey(components, i)].emplace(components[i], name);
    }
  }
  std::vector<PossibleCollision> found;
  for (const auto& folder : folders) {
    for (const auto& short_form : folder.second) {
      if (!IsShortNameForm(short_form.first)) continue;
      for (const auto& other : folder.second) {
        if (MayBeShortNameOf(short_form.first, other.first)) found.push_back({short_form.second, other.second});
      }
    }
  }
  return found;
}

}  // namespace brxzip
