#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/TerminalHost.h"
#include "ftp/qorvFTP.h"

namespace lignado::cli {

// The terminal as the owner of an upload: log lines on stdout with names as they are, and, when
// stderr is a terminal, one progress line there (files, bytes, rate, time left). Ctrl-C once
// stops between two files; twice ends the file in flight, which stays to be sent.
class TerminalUpload : public TFtpObserver {
 public:
  TerminalUpload();
  ~TerminalUpload() override;

  void LogLine(const std::string& line) override;
  void OnTransferProgress(TSimpleFTP&, const TFTPProgressInfo& file) override;
  void OnUploadProgress(TqorvFtp&, const TUploadProgress& upload) override;
  void ProcessMessages() override;
  TStopRequest StopRequested() override;

  /// The progress line, as drawn (Windows-1252): "3/217 fichiers, 1,2 Mo sur 4,5 Mo, ...".
  static std::string ProgressText(const TUploadProgress& upload, int64_t fileBytes, double seconds);

 private:
  using Clock = std::chrono::steady_clock;
  void draw(bool now);
  void clear();

  TerminalHost terminal_;  // Ctrl-C
  bool tty_;
  TUploadProgress upload_;
  int64_t fileBytes_ = 0;  // of the file in flight
  Clock::time_point start_, lastDraw_;
  bool started_ = false, drawn_ = false;
  int interruptionsSeen_ = 0;
};

}  // namespace lignado::cli
