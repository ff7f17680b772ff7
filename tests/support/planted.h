// What an ordinary user of the machine could have prepared before an elevated
// run: symbolic links, hard links and folders owned by somebody else.
//
// Under Wine the links are Unix links made in the prefix (Wine cannot create
// junctions, and its CreateSymbolicLinkW creates nothing); Wine shows them as
// reparse points by path. The programs run through Wine's start of Unix
// executables.
#ifndef BRX_TESTS_SUPPORT_PLANTED_H_
#define BRX_TESTS_SUPPORT_PLANTED_H_

#include <string>

namespace brxtest {

// A symbolic link at `link` to the existing `target` (a file or folder).
bool PlantSymlink(const std::wstring& link, const std::wstring& target);
// Another name for the existing file `target`.
bool PlantHardLink(const std::wstring& link, const std::wstring& target);
// Gives `path` to a user that is neither the tests' nor root (needs root).
bool GiveToAnotherUser(const std::wstring& path);
// Lets everybody add to and delete from the folder `path` (mode 0777; under
// Wine its list then grants Everyone that).
bool OpenToEverybody(const std::wstring& path);
// Removes the link at `path` itself, never what it points to.
bool RemoveLink(const std::wstring& path);

#ifdef _WIN32
// The access list of a file or folder as SDDL text ("<unreadable>" when it
// cannot be read). Wine derives it from the Unix permissions, so tests
// compare lists with each other rather than with fixed text.
std::wstring DaclText(const std::wstring& path);
#endif

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_PLANTED_H_
