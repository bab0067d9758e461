// Uploads to a local pyftpdlib server: a generated 2000-file site (about 20 MB), then uploads with
// nothing left to send; a 10,000-file site of 100 MB with nothing left to send (every file read
// and hashed); the example family's site in clear text and under TLS, on the same server (and
// on a server of your own, see LIGNADO_BENCH_FTP below).
// Run with TMPDIR=/dev/shm to keep the disk's own delays out of the figures.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "../tests/ftp/FtpTestServer.h"
#include "ftp/qorvFTP.h"

namespace {

namespace fs = std::filesystem;
using lignado::FtpTls;
using lignado::TqorvFtp;
using lignado::test::FtpServerOptions;
using lignado::test::FtpTestServer;

fs::path tempFolder() {
  std::string tmpl = (fs::temp_directory_path() / "lignado-bench-XXXXXX").string();
  return ::mkdtemp(tmpl.data());
}

// A folder of files and a server that receives them, both removed at the end.
struct Fixture {
  fs::path base = tempFolder(), site = base / "site", served = base / "served";
  std::unique_ptr<FtpTestServer> server;
  long long bytes = 0;
  int files = 0;

  explicit Fixture(const FtpServerOptions& o = {}) {
    fs::create_directories(served);
    server = std::make_unique<FtpTestServer>(served, o);
  }
  ~Fixture() {
    server.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  void add(const fs::path& relative, size_t size, unsigned salt) {
    lignado::test::putFile(site / relative, lignado::test::patterned(size, salt));
    bytes += static_cast<long long>(size);
    ++files;
  }
  std::unique_ptr<TqorvFtp> connect(FtpTls tls = FtpTls::Off, bool passive = false) {
    auto ftp = std::make_unique<TqorvFtp>();
    ftp->Port = server->port();
    ftp->SetPassive(passive);
    ftp->Tls = tls;
    ftp->TlsFingerprint = server->fingerprint();
    if (!ftp->ConnectTo("127.0.0.1", lignado::test::kFtpUser, lignado::test::kFtpPassword))
      return nullptr;
    return ftp;
  }
};

// Pages of 2 to 18 KB, ten folders of ten deep and ten flat ones.
Fixture& twoThousand() {
  static std::unique_ptr<Fixture> f = [] {
    auto x = std::make_unique<Fixture>();
    for (int d = 0; d < 20; ++d)
      for (int i = 0; i < 100; ++i)
        x->add((d % 2 ? "p" + std::to_string(d) : "n/" + std::to_string(d)) + "/page-" +
                   std::to_string(i) + ".html",
               2048 + static_cast<size_t>((d * 100 + i) * 4099 % 16384),
               static_cast<unsigned>(d * 1000 + i));
    return x;
  }();
  return *f;
}

// Each iteration goes to a new remote root, so every file is to be sent.
void BM_UploadWholeSite(benchmark::State& state) {
  Fixture& b = twoThousand();
  auto ftp = b.connect();
  if (!ftp) return state.SkipWithError(("no FTP server: " + b.server->error()).c_str());
  int run = 0;
  for (auto _ : state) {
    if (!ftp->UploadTree("/site" + std::to_string(run++), b.site.string()) ||
        ftp->FilesSent != b.files)
      return state.SkipWithError("upload failed");
  }
  state.counters["files"] = b.files;
  state.SetBytesProcessed(b.bytes * state.iterations());
}
BENCHMARK(BM_UploadWholeSite)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Everything was sent already: deciding so must not cost a round trip per file.
void BM_UploadNothingToSend(benchmark::State& state) {
  Fixture& b = twoThousand();
  auto ftp = b.connect();
  if (!ftp || !ftp->UploadTree("/site0", b.site.string()))
    return state.SkipWithError("no FTP server");
  for (auto _ : state) {
    if (!ftp->UploadTree("/site0", b.site.string()) || ftp->FilesSent != 0)
      return state.SkipWithError("unexpected files sent");
  }
}
BENCHMARK(BM_UploadNothingToSend)->UseRealTime()->Unit(benchmark::kMillisecond);

// 10,000 files, 100 MB: pages at the top as the generator writes them, pictures in a folder.
// Sent once; then each run reads and hashes every file and finds nothing to send (target: 1 s).
void BM_NothingToSend10000Files100MB(benchmark::State& state) {
  Fixture b;
  for (int i = 0; i < 9500; ++i)
    b.add("personne_id_" + std::to_string(i) + ".html", 2000 + static_cast<size_t>(i % 9) * 1000,
          static_cast<unsigned>(i));
  size_t left = static_cast<size_t>(100 * 1000 * 1000 - b.bytes);
  for (int i = 0; i < 500; ++i)
    b.add("images/photo-" + std::to_string(i) + ".jpg", left / 500,
          static_cast<unsigned>(i + 9500));
  auto ftp = b.connect(FtpTls::Off, true);
  if (!ftp || !ftp->UploadTree("/site", b.site.string()) || ftp->FilesSent != 10000)
    return state.SkipWithError(("first upload failed: " + b.server->error()).c_str());
  for (auto _ : state) {
    if (!ftp->UploadTree("/site", b.site.string()) || ftp->FilesSent != 0)
      return state.SkipWithError("unexpected files sent");
  }
  state.counters["files"] = b.files;
  state.counters["MB"] = static_cast<double>(b.bytes) / 1e6;
}
BENCHMARK(BM_NothingToSend10000Files100MB)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The example family's site, built by the CLI once, sent whole in each run.
Fixture& exampleSite() {
  static std::unique_ptr<Fixture> example = [] {
    FtpServerOptions o;
    o.tls = "offer";
    auto x = std::make_unique<Fixture>(o);
    std::string cmd = std::string(LIGNADO_CLI) + " build " + LIGNADO_SOURCE_DIR +
                      "/examples/famille-exemple.ged --out " + x->site.string() + " >/dev/null";
    if (std::system(cmd.c_str()) == 0)
      for (const auto& e : fs::recursive_directory_iterator(x->site))
        // Dot-files (the build's page list) stay home.
        if (e.is_regular_file() && e.path().filename().string()[0] != '.')
          x->bytes += static_cast<long long>(e.file_size()), ++x->files;
    return x;
  }();
  return *example;
}

// The runs themselves: each into a new remote folder below `base` (named after this process, so
// that a server kept between runs never holds it), so every file is sent.
void sendExampleSite(benchmark::State& state, TqorvFtp& ftp, const std::string& base) {
  Fixture& b = exampleSite();
  static int run = 0;
  for (auto _ : state) {
    if (!ftp.UploadTree(
            base + "/exemple-" + std::to_string(::getpid()) + "-" + std::to_string(run++),
            b.site.string()) ||
        ftp.FilesSent != b.files)
      return state.SkipWithError(("upload failed: " + ftp.FailureText()).c_str());
  }
  state.counters["files"] = b.files;
  state.SetBytesProcessed(b.bytes * state.iterations());
}

// `direct`: each file stored under its own name, without the temporary name and the rename.
void uploadExampleSite(benchmark::State& state, FtpTls tls, bool direct = false) {
  Fixture& b = exampleSite();
  if (b.files == 0) return state.SkipWithError("the example site could not be built");
  // Passive, as behind a home router; active mode binds a new port per file, which a machine
  // holding thousands of closed connections makes slow and the figures noisy.
  auto ftp = b.connect(tls, true);
  if (!ftp) return state.SkipWithError(("no FTP server: " + b.server->error()).c_str());
  ftp->DirectWrite = direct;
  const double serverStart = b.server->cpuSeconds();
  sendExampleSite(state, *ftp, "");
  // The server's share: on loopback its own cost of TLS weighs as much as the client's.
  state.counters["server_cpu_ms"] = benchmark::Counter(
      (b.server->cpuSeconds() - serverStart) * 1000.0 / static_cast<double>(state.iterations()));
}
void BM_UploadExampleSitePlain(benchmark::State& state) {
  uploadExampleSite(state, FtpTls::Off);
}
void BM_UploadExampleSiteTls(benchmark::State& state) {
  uploadExampleSite(state, FtpTls::Require);
}
// The price of the rename (one more round trip per file) against a plain STOR.
void BM_UploadExampleSitePlainDirectStor(benchmark::State& state) {
  uploadExampleSite(state, FtpTls::Off, true);
}
BENCHMARK(BM_UploadExampleSitePlain)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadExampleSitePlainDirectStor)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadExampleSiteTls)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same against a server of your own (vsftpd, Pure-FTPd ... on loopback):
// LIGNADO_BENCH_FTP="host port user password folder [fingerprint]"; skipped without it.
void uploadExampleSiteOwn(benchmark::State& state, FtpTls tls) {
  const char* given = std::getenv("LIGNADO_BENCH_FTP");
  if (!given) return state.SkipWithError("LIGNADO_BENCH_FTP not set");
  std::istringstream words(given);
  std::string host, user, password, folder, fingerprint;
  int port = 0;
  words >> host >> port >> user >> password >> folder >> fingerprint;
  if (exampleSite().files == 0) return state.SkipWithError("the example site could not be built");
  TqorvFtp ftp;
  ftp.Port = port;
  ftp.Tls = tls;
  ftp.TlsFingerprint = fingerprint;
  ftp.SetPassive(true);
  if (!ftp.ConnectTo(host, user, password))
    return state.SkipWithError(("no connection: " + ftp.FailureText()).c_str());
  sendExampleSite(state, ftp, folder);
}
void BM_UploadExampleSitePlainOwnServer(benchmark::State& state) {
  uploadExampleSiteOwn(state, FtpTls::Off);
}
void BM_UploadExampleSiteTlsOwnServer(benchmark::State& state) {
  uploadExampleSiteOwn(state, FtpTls::Require);
}
BENCHMARK(BM_UploadExampleSitePlainOwnServer)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadExampleSiteTlsOwnServer)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
