// What the setup program prints while it runs without a window.
//
// Its standard output and error share one pipe that the launcher drains as
// the program writes (a program that fills the pipe's buffer would otherwise
// stop until it ends). What comes out goes into the verbose log, one tagged
// entry per line, when that log is in use, and is dropped otherwise: the
// main log records the installation, not the program's chatter.
#ifndef BRX_INSTALL_SETUP_OUTPUT_H_
#define BRX_INSTALL_SETUP_OUTPUT_H_

#include <stddef.h>

#include <string>
#include <vector>

class CCmpLog2;

namespace brx {

class SetupOutputLog {
 public:
  // Longest line kept in one entry; longer lines are split.
  static constexpr size_t kMaxLineBytes = 4096;

  // hidden: the values the logged command line masks (passwords, user
  // names). A program that echoes its arguments would otherwise put them
  // into the verbose log in the clear; wherever they appear in the output,
  // in the ANSI code page or in UTF-8, they are written as "****".
  explicit SetupOutputLog(CCmpLog2& log, const std::vector<std::wstring>& hidden = {});
  SetupOutputLog(const SetupOutputLog&) = delete;
  SetupOutputLog& operator=(const SetupOutputLog&) = delete;

  // Bytes as the program wrote them (ANSI code page).
  void Add(const char* bytes, size_t length);
  // Writes a last line that had no line end.
  void Finish();

 private:
  // Writes pending_ up to at least `limit` bytes, masked, and keeps the rest.
  void WritePending(size_t limit);
  void WriteLine(const char* bytes, size_t length);

  CCmpLog2& log_;
  bool enabled_;
  std::vector<std::string> hidden_;  // in the ANSI code page and in UTF-8
  size_t overlap_ = 0;  // bytes kept back so a value split across reads is still found whole
  std::string pending_;
};

}  // namespace brx

#endif  // BRX_INSTALL_SETUP_OUTPUT_H_
