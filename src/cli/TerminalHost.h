#pragma once

#include "util/Host.h"

namespace lignado::cli {

// The terminal as host: messages on stderr; a progress bar with the status text on stderr
// only when stderr is a terminal; Ctrl-C as the stop request (installed by the constructor); a
// third Ctrl-C ends the program at once.
class TerminalHost : public Host {
 public:
  TerminalHost();
  ~TerminalHost() override;
  void showMessage(const std::string& text) override;
  void setStatus(const std::string& text) override;
  void setProgressMax(long long max) override;
  void setProgressPos(long long pos) override;
  void processMessages() override {}
  bool abortRequested() override;
  /// How many times Ctrl-C was pressed since the constructor.
  int interruptions() const;

 private:
  void draw();
  bool tty_;
  std::string status_;
  long long max_ = 0, pos_ = 0;
  int lastPercent_ = -1;
  bool drawn_ = false;
};

}  // namespace lignado::cli
