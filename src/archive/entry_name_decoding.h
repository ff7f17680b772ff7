// How an entry's stored name becomes the name written to disk.
//
// A name is UTF-8 when the entry's general-purpose bit 11 says so. Otherwise
// an Info-ZIP Unicode Path extra field (0x7075, version 1) gives the UTF-8
// name when the CRC-32 it carries matches the stored name field, which tells
// that no tool renamed the entry without updating the field; Info-ZIP's unzip
// and Windows read names so. Anything else is text in the ANSI code page of
// the machine that extracts. The stub, its package lookups and brxpack all
// decode through here, so what one shows is what the other writes.
#ifndef BRX_ARCHIVE_ENTRY_NAME_DECODING_H_
#define BRX_ARCHIVE_ENTRY_NAME_DECODING_H_

#include <stdint.h>

#include <string>

namespace brxzip {

// Where a decoded name came from.
enum class NameEncoding {
  kCodePage,          // the stored bytes in the ANSI code page
  kUtf8Flag,          // the stored bytes as UTF-8 (bit 11)
  kUnicodePathField,  // the Unicode Path extra field
};

const uint32_t kUtf8NameFlag = 0x0800;

// Decodes `stored` (the header's name field, whole) up to its first zero
// byte. `code_page` as for platform::CodePageToWide (0: this system's). False
// when the name claims UTF-8, by the flag or by a Unicode Path field whose
// CRC matches, and is not well-formed UTF-8: such a header is damaged.
bool DecodeEntryName(uint32_t flags, const std::string& stored, const std::string& extra, uint32_t code_page,
                     std::wstring* name, NameEncoding* encoding);

// True when `extra` holds a Unicode Path field, matching or not.
bool HasUnicodePathField(const std::string& extra);

// True when every byte of `name` is 7-bit ASCII, the same in every code page.
bool IsAsciiName(const std::string& name);

}  // namespace brxzip

#endif  // BRX_ARCHIVE_ENTRY_NAME_DECODING_H_
