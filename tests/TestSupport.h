#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "util/Host.h"

namespace lignado::test {

// A host that records every call; abortAfter makes abortRequested() answer true
// from its n-th call on (0 = never).
class RecordingHost : public Host {
 public:
  void showMessage(const std::string& t) override { messages.push_back(t); }
  void setStatus(const std::string& t) override { statuses.push_back(t); }
  void setProgressMax(long long v) override { progressMax.push_back(v); }
  void setProgressPos(long long v) override { progressPos.push_back(v); }
  void processMessages() override { ++processed; }
  bool abortRequested() override { return abortAfter > 0 && ++abortCalls >= abortAfter; }

  std::vector<std::string> messages, statuses;
  std::vector<long long> progressMax, progressPos;
  int processed = 0;
  int abortAfter = 0;
  int abortCalls = 0;
};

// A fresh empty folder under the system temp folder, removed when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

struct ProgramRun {
  int code = -1;  // exit code, or 128 + signal
  std::string out, err;
};

// Runs a program with these arguments (no shell in between), stdout and stderr caught.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);

// The shared corpus folder, or empty when it is absent (tests then skip).
std::filesystem::path corpusDir();

}  // namespace lignado::test
