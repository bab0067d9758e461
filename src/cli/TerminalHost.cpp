#include "cli/TerminalHost.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/Commands.h"

namespace lignado::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int sig) {
  gInterrupted = gInterrupted + 1;
  // Whatever is waiting to see the first two, the third one is not asked twice.
  if (gInterrupted >= 3) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
  }
}

}  // namespace

TerminalHost::TerminalHost() : tty_(isatty(STDERR_FILENO) != 0) {
  gInterrupted = 0;
  std::signal(SIGINT, onInterrupt);
}

TerminalHost::~TerminalHost() {
  if (drawn_) std::fputc('\n', stderr);
  std::signal(SIGINT, SIG_DFL);
}

void TerminalHost::showMessage(const std::string& text) {
  if (drawn_) std::fputc('\n', stderr);
  drawn_ = false;
  printCp1252(stderr, text);
  std::fputc('\n', stderr);
}

void TerminalHost::setStatus(const std::string& text) {
  // Statuses come often (every few hundred records): they share the progress line.
  status_ = text;
  lastPercent_ = -1;
  draw();
}

void TerminalHost::setProgressMax(long long max) {
  max_ = max;
  draw();
}

void TerminalHost::setProgressPos(long long pos) {
  pos_ = pos;
  draw();
}

bool TerminalHost::abortRequested() {
  return gInterrupted != 0;
}

int TerminalHost::interruptions() const {
  return gInterrupted;
}

void TerminalHost::draw() {
  if (!tty_) return;
  int percent = 0;
  if (max_ > 0) {
    long long p = pos_ < 0 ? 0 : pos_ > max_ ? max_ : pos_;
    percent = static_cast<int>(p * 100 / max_);
  }
  if (percent == lastPercent_ || (max_ <= 0 && status_.empty())) return;
  lastPercent_ = percent;
  int filled = percent * 30 / 100;
  std::fprintf(stderr, "\r\033[K[%.*s%*s] %3d %% ", filled, "##############################",
               30 - filled, "", percent);
  printCp1252(stderr, status_);
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace lignado::cli
