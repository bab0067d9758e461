#pragma once

// A real FTP server for the tests: Debian's pyftpdlib (or a deliberately broken server) started
// by tests/ftp/ftp_server.py on a loopback address and a free port, plus helpers that build a
// local site tree and compare it with what arrived on the server.

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "util/Owned.h"

extern char** environ;

namespace lignado::test {

inline constexpr const char* kFtpUser = "lignado";
inline constexpr const char* kFtpPassword = "mot de passe";

struct FtpServerOptions {
  std::string host = "127.0.0.1";
  // "ftp", "garbage" (not FTP), "close" (hangs up at once), "wait" (only ever says 120),
  // "silent" (accepts and never speaks)
  std::string mode = "ftp";
  std::vector<std::string> refuse;        // folder names the server refuses to create
  std::vector<std::string> full;          // file names it refuses to store (452, disk full)
  std::vector<std::string> refuseDelete;  // file names it refuses to delete (550)
  bool noRename = false;                  // RNFR refused (502)
  bool noMlsd = false;                    // MLSD refused (500): LIST only
  // "off", "offer" (AUTH TLS with a certificate made for the run) or "require" (no login and
  // no data connection without TLS)
  std::string tls = "off";
  bool requireReuse = false;  // TLS data connections must resume the control session
  bool tls13Only = false;     // TLS 1.2 refused
  int readLimit = 0;          // bytes per second a plain transfer is read at (0: no limit)
  bool noExtended = false;    // reject EPRT/EPSV
  std::string banner;
  int port = 0;            // 0: a free one
  std::string commandLog;  // a file that receives every command the server understood
};

class FtpTestServer {
 public:
  explicit FtpTestServer(std::filesystem::path root, FtpServerOptions options = {})
      : root_(std::move(root)), options_(std::move(options)), port_(options_.port) {
    start();
  }
  ~FtpTestServer() { stop(); }
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  bool running() const { return pid_ > 0; }
  int port() const { return port_; }
  const std::string& error() const { return error_; }
  const std::filesystem::path& root() const { return root_; }
  /// SHA-256 of the server's certificate, "AB:CD:..." (TLS only).
  const std::string& fingerprint() const { return fingerprint_; }

  /// Starts the server; a restart listens on the port of the first start.
  bool start() {
    stop();
    error_.clear();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return fail("pipe");
    OwnedFd readEnd(fds[0]), writeEnd(fds[1]);
    std::string script = std::string(LIGNADO_SOURCE_DIR) + "/tests/ftp/ftp_server.py";
    std::vector<std::string> args = {"/usr/bin/python3", script,        "--host",
                                     options_.host,      "--port",      std::to_string(port_),
                                     "--mode",           options_.mode, "--root",
                                     root_.string(),     "--user",      kFtpUser,
                                     "--password",       kFtpPassword};
    for (const auto& r : options_.refuse) args.insert(args.end(), {"--refuse", r});
    for (const auto& f : options_.full) args.insert(args.end(), {"--full", f});
    for (const auto& f : options_.refuseDelete) args.insert(args.end(), {"--refuse-delete", f});
    if (options_.noRename) args.push_back("--no-rename");
    if (options_.noMlsd) args.push_back("--no-mlsd");
    args.insert(args.end(), {"--tls", options_.tls});
    if (options_.requireReuse) args.push_back("--require-reuse");
    if (options_.tls13Only) args.push_back("--tls13-only");
    if (options_.readLimit)
      args.insert(args.end(), {"--read-limit", std::to_string(options_.readLimit)});
    if (options_.noExtended) args.push_back("--no-extended");
    if (!options_.banner.empty()) args.insert(args.end(), {"--banner", options_.banner});
    if (!options_.commandLog.empty()) args.insert(args.end(), {"--log", options_.commandLog});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();  // the server holds the only writer: its death ends the read below
    if (rc != 0) {
      return fail("cannot run /usr/bin/python3 (scripts/setup.sh installs what the tests need)");
    }
    pid_ = pid;
    std::string out;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
      pollfd p{readEnd.get(), POLLIN, 0};
      if (::poll(&p, 1, 200) <= 0) continue;
      char buf[256];
      ssize_t n = ::read(readEnd.get(), buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    if (out.rfind("PORT ", 0) != 0) {
      stop();
      return fail(
          "the FTP server did not start (is python3-pyftpdlib installed? run "
          "scripts/setup.sh): " +
          out);
    }
    std::istringstream line(out.substr(5));
    line >> port_ >> fingerprint_;
    return true;
  }

  /// Kills the server at once, as a crash would.
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
  }
  /// Processor time the server has used so far, in seconds (for benchmarks).
  double cpuSeconds() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields 14 and 15 (user and system time) count from the one after the command's ")".
    std::istringstream fields(stat.substr(std::min(stat.rfind(')') + 2, stat.size())));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
      if (i >= 14) ticks += std::stod(field);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }
  void pause() { ::kill(pid_, SIGSTOP); }
  void resume() { ::kill(pid_, SIGCONT); }

 private:
  bool fail(const std::string& why) {
    error_ = why;
    return false;
  }

  std::filesystem::path root_;
  FtpServerOptions options_;
  pid_t pid_ = 0;
  int port_ = 0;
  std::string fingerprint_;
  std::string error_;
};

/// A loopback port on which nothing listens.
inline int freePort() {
  OwnedFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

inline void putFile(const std::filesystem::path& p, const std::string& bytes) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

/// Content that differs from file to file and is not all text.
inline std::string patterned(size_t size, unsigned salt) {
  std::string s(size, '\0');
  unsigned v = salt * 2654435761u + 1;
  for (auto& c : s) {
    v = v * 1103515245u + 12345u;
    c = static_cast<char>(v >> 16);
  }
  return s;
}

/// A small site: pages at the top, nested folders, and dot-files and a dot-folder that must
/// never be sent.
inline std::vector<std::string> makeSite(const std::filesystem::path& root) {
  std::vector<std::string> files = {
      "index.html",   "personne-1.html", "liste.html",    "images/photo.jpg", "images/fond.png",
      "css/site.css", "a/b/c/deep.html", "a/b/leaf.html", "a/top.html",       "vide/rien.txt"};
  unsigned n = 1;
  for (const auto& f : files) putFile(root / f, patterned(100 + n * 997, n)), ++n;
  putFile(root / ".htaccess", "deny from all\n");
  putFile(root / "images/.cache", "x");
  putFile(root / ".git/config", "[core]\n");
  std::filesystem::create_directories(root / "tout-vide");
  return files;
}

/// The differences between a local tree and the server's copy, empty when the server holds
/// exactly the local tree without its dot-names.
inline std::string treeDifferences(const std::filesystem::path& local,
                                   const std::filesystem::path& remote) {
  namespace fs = std::filesystem;
  auto collect = [](const fs::path& root, bool skipDots) {
    std::map<std::string, std::string> out;  // relative path -> bytes, or "<dir>"
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
      std::string name = it->path().filename().string();
      if (skipDots && name[0] == '.') {
        if (it->is_directory()) it.disable_recursion_pending();
        continue;
      }
      std::string rel = fs::relative(it->path(), root).string();
      out[rel] = it->is_directory() ? "<dir>" : fileBytes(it->path());
    }
    return out;
  };
  auto want = collect(local, true), got = collect(remote, false);
  std::string diff;
  for (const auto& [rel, bytes] : want) {
    auto g = got.find(rel);
    if (g == got.end())
      diff += "missing: " + rel + "\n";
    else if (g->second != bytes)
      diff += "differs: " + rel + "\n";
  }
  for (const auto& [rel, bytes] : got)
    if (!want.count(rel)) diff += "extra: " + rel + "\n";
  return diff;
}

}  // namespace lignado::test
