#pragma once

// A real OpenSSH server for the tests: Debian's sshd started on 127.0.0.1 and a free port with
// its own host key, configuration and authorized key in a folder of the test. It logs in the
// user running the tests (root in CI) by key, so that no system user is made; a password can
// only be refused. Tests skip when sshd cannot be started.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "ftp/FtpTestServer.h"

namespace lignado::test {

class SshTestServer {
 public:
  explicit SshTestServer(const std::filesystem::path& dir) : dir_(dir) {
    if (::access("/usr/sbin/sshd", X_OK) != 0 || ::access("/usr/bin/ssh-keygen", X_OK) != 0) {
      error_ = "sshd ou ssh-keygen absent (scripts/setup.sh tests les installe)";
      return;
    }
    for (const char* key : {"hostkey", "otherhost", "userkey", "otheruser"})
      if (RunProgram("/usr/bin/ssh-keygen",
                     {"-q", "-t", "ed25519", "-N", "", "-f", (dir_ / key).string()})
              .code != 0) {
        error_ = "ssh-keygen failed";
        return;
      }
    std::filesystem::copy_file(dir_ / "userkey.pub", dir_ / "authorized_keys");
    ::chmod((dir_ / "authorized_keys").c_str(), 0600);
    // Running as root, sshd needs its privilege separation folder.
    if (::getuid() == 0) std::filesystem::create_directories("/run/sshd");
    port_ = freePort();
    std::ofstream(dir_ / "sshd_config")
        << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << (dir_ / "hostkey").string()
        << "\nPidFile " << (dir_ / "sshd.pid").string() << "\nAuthorizedKeysFile "
        << (dir_ / "authorized_keys").string()
        << "\nStrictModes no\nUsePAM no\nPermitRootLogin yes\nPasswordAuthentication yes\n"
           "KbdInteractiveAuthentication no\nSubsystem sftp internal-sftp\nLogLevel ERROR\n";
    start();
  }
  ~SshTestServer() { stop(); }
  SshTestServer(const SshTestServer&) = delete;
  SshTestServer& operator=(const SshTestServer&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& error() const { return error_; }
  int port() const { return port_; }
  std::filesystem::path key(const char* name) const { return dir_ / name; }
  static std::string user() { return ::getuid() == 0 ? "root" : std::string(::getlogin()); }
  /// The fingerprint of a public key as `ssh-keygen -l` prints it: "SHA256:...".
  std::string fingerprint(const char* name = "hostkey") const {
    std::string out =
        RunProgram("/usr/bin/ssh-keygen", {"-l", "-f", (dir_ / name).string() + ".pub"}).out;
    auto start = out.find("SHA256:");
    return start == std::string::npos ? "" : out.substr(start, out.find(' ', start) - start);
  }
  /// A known_hosts line for this server with one of the keys made here.
  std::string knownLine(const char* name = "hostkey") const {
    return "[127.0.0.1]:" + std::to_string(port_) + " " +
           fileBytes(dir_ / (std::string(name) + ".pub"));
  }

  /// Starts sshd in the foreground (its own process group) and waits until it accepts.
  bool start() {
    stop();
    std::string conf = (dir_ / "sshd_config").string(), log = (dir_ / "sshd.log").string();
    std::vector<std::string> args = {"/usr/sbin/sshd", "-D", "-f", conf, "-E", log};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;  // nothing of the test's output is held by sshd
    posix_spawn_file_actions_init(&files);
    for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_RDWR, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &files, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0) {
      error_ = "cannot run /usr/sbin/sshd";
      return false;
    }
    pid_ = pid;
    for (int tries = 0; tries < 200; ++tries) {  // until it listens, or it died
      if (accepts()) return true;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error_ = "sshd did not start: " + fileBytes(log);
    pid_ = 0;
    return false;
  }
  /// Freezes sshd and its sessions (a server that no longer answers), and thaws them.
  void pause() { signalAll(SIGSTOP); }
  void resume() { signalAll(SIGCONT); }
  /// Kills sshd and every session it runs, as a crash of the server would.
  void stop() {
    if (pid_ <= 0) return;
    signalAll(SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
  }

 private:
  // sshd and every process below it: its sessions leave its process group.
  void signalAll(int sig) const {
    std::vector<pid_t> all = {pid_};
    for (size_t i = 0; i < all.size(); ++i)
      for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // Read with read(): a process that ends meanwhile makes a stream throw.
        OwnedFd in(::open((e.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC));
        char buf[512];
        const ssize_t n = in.valid() ? ::read(in.get(), buf, sizeof buf) : -1;
        const std::string stat = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
        auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        fields >> state >> parent;
        if (parent == all[i]) all.push_back(std::stoi(name));
      }
    for (pid_t p : all) ::kill(p, sig);
  }
  bool accepts() const {
    OwnedFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port_));
    return ::connect(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }

  std::filesystem::path dir_;
  std::string error_;
  int port_ = 0;
  pid_t pid_ = 0;
};

}  // namespace lignado::test
