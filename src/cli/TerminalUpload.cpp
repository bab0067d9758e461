#include "cli/TerminalUpload.h"

#include <unistd.h>

#include <cstdio>

#include "cli/Commands.h"
#include "util/Utf8.h"

namespace lignado::cli {
namespace {

constexpr auto kRedraw = std::chrono::milliseconds(100);

// 1023 o, 12,3 Ko, 4,5 Mo, 1,25 Go: a decimal comma, one or two decimals.
std::string bytesText(int64_t n) {
  static const char* const units[] = {"Ko", "Mo", "Go", "To"};
  if (n < 1024) return std::to_string(n) + " o";
  double v = static_cast<double>(n);
  int u = -1;
  while (v >= 1024 && u < 3) v /= 1024, ++u;
  char buf[32];
  std::snprintf(buf, sizeof buf, u >= 2 ? "%.2f %s" : "%.1f %s", v, units[u]);
  std::string s = buf;
  for (char& c : s)
    if (c == '.') c = ',';
  return s;
}

std::string durationText(int64_t seconds) {
  char buf[32];
  if (seconds >= 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return buf;
}

}  // namespace

TerminalUpload::TerminalUpload() : tty_(::isatty(STDERR_FILENO) != 0) {}

TerminalUpload::~TerminalUpload() {
  clear();
}

std::string TerminalUpload::ProgressText(const TUploadProgress& upload, int64_t fileBytes,
                                         double seconds) {
  int64_t done = upload.BytesDone + fileBytes;
  std::string s = std::to_string(upload.FilesDone) + "/" + std::to_string(upload.FilesToSend) +
                  " fichiers, " + bytesText(done) + " sur " + bytesText(upload.BytesToSend);
  if (seconds < 0.5 || done <= 0) return s;
  double rate = static_cast<double>(done) / seconds;
  s += ", " + bytesText(static_cast<int64_t>(rate)) + "/s";
  int64_t left = upload.BytesToSend > done ? upload.BytesToSend - done : 0;
  return s + ", reste " +
         durationText(static_cast<int64_t>(static_cast<double>(left) / rate + 0.5));
}

void TerminalUpload::clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void TerminalUpload::draw(bool now) {
  if (!tty_ || !started_) return;
  Clock::time_point t = Clock::now();
  if (!now && t - lastDraw_ < kRedraw) return;
  lastDraw_ = t;
  std::fputs("\r\033[K", stderr);
  printCp1252(stderr,
              ProgressText(upload_, fileBytes_, std::chrono::duration<double>(t - start_).count()));
  std::fflush(stderr);
  drawn_ = true;
}

void TerminalUpload::LogLine(const std::string& line) {
  // The progress line steps aside, the log line goes to stdout, the progress line comes back.
  bool was = drawn_;
  clear();
  std::string text = TerminalText(Cp1252ToUtf8Shown(line)) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  if (was) draw(true);
}

void TerminalUpload::OnTransferProgress(TSimpleFTP&, const TFTPProgressInfo& file) {
  fileBytes_ = file.BytesSent;
  draw(false);
}

void TerminalUpload::OnUploadProgress(TqorvFtp&, const TUploadProgress& upload) {
  if (!started_) start_ = Clock::now();
  started_ = true;
  upload_ = upload;
  fileBytes_ = 0;
  draw(true);
}

void TerminalUpload::ProcessMessages() {
  int n = terminal_.interruptions();
  if (n == interruptionsSeen_) return;
  interruptionsSeen_ = n;
  if (n == 1) {
    clear();
    printCp1252(stderr,
                "Arr\xEAt demand\xE9 : l'envoi s'arr\xEAte apr\xE8s ce fichier (Ctrl-C encore "
                "pour l'interrompre tout de suite).\n");
    draw(true);
  }
}

TStopRequest TerminalUpload::StopRequested() {
  int n = terminal_.interruptions();
  return n >= 2 ? TStopRequest::Now : n == 1 ? TStopRequest::AfterThisFile : TStopRequest::None;
}

}  // namespace lignado::cli
