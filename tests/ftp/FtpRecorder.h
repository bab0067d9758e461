#pragma once

// The owner of the FTP components in tests: records what they report, and lets a test act on
// a report (ask for a stop, kill the server) through optional hooks.

#include <functional>
#include <string>
#include <vector>

#include "ftp/qorvFTP.h"

namespace lignado::test {

class FtpRecorder : public TFtpObserver {
 public:
  void OnStateChange(TWinInetControl&, TWinInetState s) override { states.push_back(s); }
  void OnConnected(TWinInetControl&) override { ++connected; }
  void OnDisconnected(TWinInetControl&) override { ++disconnected; }
  void OnLogin(TSimpleFTP&, std::string& user, std::string& password) override {
    loginUser = user;
    if (onLogin) onLogin(user, password);
  }
  void OnTransferProgress(TSimpleFTP&, const TFTPProgressInfo& p) override {
    bytesSent.push_back(p.BytesSent);
    if (onProgress) onProgress(p);
  }
  void OnDirectoryChange(TSimpleFTP&) override { ++directoryChanges; }
  void QuickStatus(const std::string& text) override { quickStatus = text; }
  void QuickProgressMajor(int max, int position) override { major = {max, position}; }
  void QuickProgressMinor(int max, int position) override { minor = {max, position}; }
  void QuickLabelMajor(const std::string& text) override { labelMajor = text; }
  void QuickLabelMinor(const std::string& text) override { labelMinor = text; }
  void LogLine(const std::string& line) override {
    log.push_back(line);
    if (onLog) onLog(line);
  }
  void OnUploadProgress(TqorvFtp&, const TUploadProgress& p) override { uploads.push_back(p); }
  void ProcessMessages() override {
    ++processed;
    if (onProcess) onProcess();
  }
  TStopRequest StopRequested() override { return stop; }

  std::vector<TWinInetState> states;
  int connected = 0, disconnected = 0, directoryChanges = 0, processed = 0;
  std::string loginUser;
  std::vector<int64_t> bytesSent;  // one entry per progress report
  std::string quickStatus, labelMajor, labelMinor;
  std::pair<int, int> major{-1, -1}, minor{-1, -1};  // max, position
  std::vector<std::string> log;
  std::vector<TUploadProgress> uploads;
  TStopRequest stop = TStopRequest::None;  // the answer to StopRequested

  std::function<void(std::string& user, std::string& password)> onLogin;
  std::function<void(const TFTPProgressInfo&)> onProgress;
  std::function<void(const std::string& line)> onLog;
  std::function<void()> onProcess;
};

}  // namespace lignado::test
