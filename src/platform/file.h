// Files as the archive code uses them: one RAII class over the platform's
// file handle, with absolute positions and 32-bit transfers.
//
// Paths are wide. Natively they are converted to UTF-8 and a backslash counts
// as a path separator, so the portable code may build Windows-style paths.
#ifndef BRX_PLATFORM_FILE_H_
#define BRX_PLATFORM_FILE_H_

#include <stdint.h>

#include <string>

namespace brx {
namespace platform {

enum class FileMode {
  kReadShared,          // read; other processes may read meanwhile; must exist
  kReadWriteExclusive,  // read and write, not shared; must exist
  kCreateAlways,        // write, not shared; an existing file is truncated
  // write, not shared; an existing file is truncated, but a name that is a
  // link, or a file that has another hard link, is refused
  kReplaceLoneFile,
};

class File {
 public:
  File() = default;
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // False when the file cannot be opened; last_error() tells why.
  bool Open(const wchar_t* path, FileMode mode);
  bool IsOpen() const;
  void Close();

  bool GetSize(uint64_t* size);
  // Moves to an absolute position; true when the file is now there.
  bool Seek(uint64_t position);
  // Reads up to `length` bytes at the current position; *read is short only at
  // the end of the file. False on an I/O error.
  bool Read(void* buffer, uint32_t length, uint32_t* read);
  // Seek + Read; the seek only when the file is not known to be there already
  // (a sequential reader costs one call per read, not two).
  bool ReadAt(uint64_t position, void* buffer, uint32_t length, uint32_t* read);
  // Writes all `length` bytes or fails (a full disk is a failure).
  bool Write(const void* buffer, uint32_t length);
  // Ends the file at the current position (what lay beyond is dropped).
  bool TruncateHere();

  // Sets creation and last-write time to a DOS date and time read as local
  // time, keeping the last-access time. Natively only the modification time
  // can be set. Best effort: false when the platform refused.
  bool SetDosTime(uint32_t dos_date, uint32_t dos_time);

  // An archive entry's external attributes through the open handle, as
  // SetArchiveAttributes below does by path.
  bool SetArchiveAttributes(uint32_t external_attributes);

  // The last-write time as a local DOS date and time (for building archives).
  bool GetDosTime(uint32_t* dos_date, uint32_t* dos_time);

  // The platform's error code of the last failure (Win32 error or errno).
  uint32_t last_error() const { return last_error_; }

#ifdef _WIN32
  void* native_handle() const { return handle_; }
#else
  int native_handle() const { return fd_; }
#endif

 private:
  // Files it creates relative to a held folder are handed over open.
  friend class HeldDirectory;

  // Where this object last left the file; every move goes through it, so
  // ReadAt can skip a seek to where the file already is.
  void MovedTo(uint64_t position) {
    position_ = position;
    position_known_ = true;
  }
  void Moved(uint64_t count) { position_ += count; }
  void PositionUnknown() { position_known_ = false; }

#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
  uint32_t last_error_ = 0;
  uint64_t position_ = 0;
  bool position_known_ = false;
};

// Applies an archive entry's external attributes to a file. On Windows all 32
// bits go to SetFileAttributes unchanged (archives made on DOS/Windows carry the
// DOS bits in the low byte). Natively, best effort: a Unix mode in the high
// 16 bits sets the permission bits, otherwise the read-only bit clears the
// write permissions.
bool SetArchiveAttributes(const wchar_t* path, uint32_t external_attributes);

#ifndef _WIN32
// The UTF-8 path the native side hands to the system ('\\' becomes '/').
std::string NativePath(const wchar_t* path);
// The reverse: UTF-8 bytes from the system (arguments, getcwd) to wide text.
std::wstring WideFromNative(const char* native);
#endif

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_FILE_H_
