// SFTP against FTP, both to servers on loopback (OpenSSH's sshd, pyftpdlib): the example family's
// site and a 10,000-file site sent whole, then the 10,000 files again with nothing to send
// (target: under 1 s). The counter round_trips_per_file is what the client asked of the server
// per file sent (FTP commands, SFTP operations), counted in a trace of one more upload.
// Run with TMPDIR=/dev/shm to keep the disk's own delays out of the figures.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../tests/ftp/FtpTestServer.h"
#include "../tests/ftp/SshTestServer.h"
#include "ftp/ProtocolTrace.h"
#include "ftp/qorvFTP.h"

namespace {

namespace fs = std::filesystem;
using lignado::RemoteProtocol;
using lignado::TqorvFtp;

fs::path tempFolder() {
  std::string tmpl = (fs::temp_directory_path() / "lignado-bench-XXXXXX").string();
  return ::mkdtemp(tmpl.data());
}

// A site, an FTP server and an SSH server that receive it, all removed at the end.
struct Servers {
  fs::path base = tempFolder(), site = base / "site", served = base / "served",
           keys = base / "keys";
  std::unique_ptr<lignado::test::FtpTestServer> ftp;
  std::unique_ptr<lignado::test::SshTestServer> ssh;
  int files = 0;
  int run = 0;

  Servers() {
    fs::create_directories(served);
    fs::create_directories(keys);
    ftp = std::make_unique<lignado::test::FtpTestServer>(served);
    ssh = std::make_unique<lignado::test::SshTestServer>(keys);
  }
  ~Servers() {
    ftp.reset();
    ssh.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  std::unique_ptr<TqorvFtp> connect(RemoteProtocol protocol) {
    auto f = std::make_unique<TqorvFtp>();
    f->Protocol = protocol;
    if (protocol == RemoteProtocol::Sftp) {
      if (!ssh->running()) return nullptr;
      f->Port = ssh->port();
      f->Ssh.keyFile = ssh->key("userkey").string();
      f->Ssh.trustedKey = ssh->fingerprint();
      f->Ssh.knownHosts = (keys / "known_hosts").string();
      if (!f->ConnectTo("127.0.0.1", lignado::test::SshTestServer::user(), "")) return nullptr;
    } else {
      f->Port = ftp->port();
      f->SetPassive(true);
      if (!f->ConnectTo("127.0.0.1", lignado::test::kFtpUser, lignado::test::kFtpPassword))
        return nullptr;
    }
    return f;
  }
  // The remote folder of a new upload: under the served folder for SFTP (absolute paths),
  // under the FTP server's root for FTP.
  std::string root(RemoteProtocol protocol) {
    const std::string name = "/run-" + std::to_string(::getpid()) + "-" + std::to_string(run++);
    return protocol == RemoteProtocol::Sftp ? served.string() + name : name;
  }
  // Requests per file of one more whole upload, counted in its trace.
  double roundTrips(RemoteProtocol protocol) {
    auto f = connect(protocol);
    if (!f) return -1;
    f->Disconnect();
    const fs::path trace = base / "trace.txt";
    f->Trace = std::make_shared<lignado::ProtocolTrace>();
    f->Trace->Open(trace.string());
    if (!f->Connect() || !f->UploadTree(root(protocol), site.string()) || f->FilesSent != files)
      return -1;
    f->Disconnect();
    std::ifstream in(trace);
    std::string line;
    int requests = 0;
    while (std::getline(in, line)) requests += line.find(" > ") == 12;
    return static_cast<double>(requests) / files;
  }
};

void sendWhole(benchmark::State& state, Servers& s, RemoteProtocol protocol) {
  if (s.files == 0) return state.SkipWithError("the site could not be made");
  auto f = s.connect(protocol);
  if (!f) return state.SkipWithError("no server (sshd, pyftpdlib: scripts/setup.sh tests)");
  for (auto _ : state)
    if (!f->UploadTree(s.root(protocol), s.site.string()) || f->FilesSent != s.files)
      return state.SkipWithError(("upload failed: " + f->FailureText()).c_str());
  state.counters["files"] = s.files;
  state.counters["round_trips_per_file"] = s.roundTrips(protocol);
}

Servers& exampleSite() {
  static std::unique_ptr<Servers> s = [] {
    auto x = std::make_unique<Servers>();
    std::string cmd = std::string(LIGNADO_CLI) + " build " + LIGNADO_SOURCE_DIR +
                      "/examples/famille-exemple.ged --out " + x->site.string() + " >/dev/null";
    if (std::system(cmd.c_str()) == 0)
      for (const auto& e : fs::recursive_directory_iterator(x->site))
        if (e.is_regular_file() && e.path().filename().string()[0] != '.') ++x->files;
    return x;
  }();
  return *s;
}

// Pages of 2 to 10 KB at the top, as the generator writes them, and 500 pictures in a folder.
Servers& tenThousand() {
  static std::unique_ptr<Servers> s = [] {
    auto x = std::make_unique<Servers>();
    for (int i = 0; i < 9500; ++i)
      lignado::test::putFile(x->site / ("personne_id_" + std::to_string(i) + ".html"),
                             lignado::test::patterned(2000 + static_cast<size_t>(i % 9) * 1000,
                                                      static_cast<unsigned>(i)));
    for (int i = 0; i < 500; ++i)
      lignado::test::putFile(x->site / "images" / ("photo-" + std::to_string(i) + ".jpg"),
                             lignado::test::patterned(100000, static_cast<unsigned>(i + 9500)));
    x->files = 10000;
    return x;
  }();
  return *s;
}

void BM_ExampleSiteFtp(benchmark::State& state) {
  sendWhole(state, exampleSite(), RemoteProtocol::Ftp);
}
void BM_ExampleSiteSftp(benchmark::State& state) {
  sendWhole(state, exampleSite(), RemoteProtocol::Sftp);
}
void BM_TenThousandFilesFtp(benchmark::State& state) {
  sendWhole(state, tenThousand(), RemoteProtocol::Ftp);
}
void BM_TenThousandFilesSftp(benchmark::State& state) {
  sendWhole(state, tenThousand(), RemoteProtocol::Sftp);
}

// Sent once, then each run reads and hashes every file and finds nothing to send.
void nothingToSend(benchmark::State& state, RemoteProtocol protocol) {
  Servers& s = tenThousand();
  auto f = s.connect(protocol);
  const std::string root = s.root(protocol);
  if (!f || !f->UploadTree(root, s.site.string()))
    return state.SkipWithError("no server, or the first upload failed");
  for (auto _ : state)
    if (!f->UploadTree(root, s.site.string()) || f->FilesSent != 0)
      return state.SkipWithError("unexpected files sent");
  state.counters["files"] = s.files;
}
void BM_NothingToSend10000FilesFtp(benchmark::State& state) {
  nothingToSend(state, RemoteProtocol::Ftp);
}
void BM_NothingToSend10000FilesSftp(benchmark::State& state) {
  nothingToSend(state, RemoteProtocol::Sftp);
}

BENCHMARK(BM_ExampleSiteFtp)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExampleSiteSftp)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenThousandFilesFtp)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenThousandFilesSftp)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NothingToSend10000FilesFtp)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NothingToSend10000FilesSftp)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
