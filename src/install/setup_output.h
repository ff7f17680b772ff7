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

class CCmpLog2;

namespace brx {

class SetupOutputLog {
 public:
  // Longest line kept in one entry; longer lines are split.
  static constexpr size_t kMaxLineBytes = 4096;

  explicit SetupOutputLog(CCmpLog2& log);
  SetupOutputLog(const SetupOutputLog&) = delete;
  SetupOutputLog& operator=(const SetupOutputLog&) = delete;

  // Bytes as the program wrote them (ANSI code page).
  void Add(const char* bytes, size_t length);
  // Writes a last line that had no line end.
  void Finish();

 private:
  void WriteLine(const char* bytes, size_t length);

  CCmpLog2& log_;
  bool enabled_;
  std::string pending_;
};

}  // namespace brx

#endif  // BRX_INSTALL_SETUP_OUTPUT_H_
