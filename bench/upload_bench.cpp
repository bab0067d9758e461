// Upload of a generated 2000-file site (about 20 MB) to a local pyftpdlib server, then uploads
// with nothing left to send.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "../tests/ftp/FtpTestServer.h"
#include "ftp/qorvFTP.h"

namespace {

namespace fs = std::filesystem;
using lignado::TqorvFtp;

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;

struct Bench {
  fs::path base, site, served;
  std::unique_ptr<lignado::test::FtpTestServer> server;
  long long bytes = 0;

  Bench() {
    std::string tmpl = (fs::temp_directory_path() / "lignado-bench-XXXXXX").string();
    base = ::mkdtemp(tmpl.data());
    site = base / "site";
    served = base / "served";
    fs::create_directories(served);
    // Pages of 2 to 18 KB, ten folders of ten deep and ten flat ones.
    for (int f = 0; f < kFolders; ++f) {
      fs::path folder = site / (f % 2 ? "p" + std::to_string(f) : "n/" + std::to_string(f));
      for (int i = 0; i < kFilesPerFolder; ++i) {
        size_t size = 2048 + static_cast<size_t>((f * kFilesPerFolder + i) * 4099 % 16384);
        lignado::test::putFile(folder / ("page-" + std::to_string(i) + ".html"),
                               lignado::test::patterned(size, static_cast<unsigned>(f * 1000 + i)));
        bytes += static_cast<long long>(size);
      }
    }
    server = std::make_unique<lignado::test::FtpTestServer>(served);
  }
  ~Bench() {
    server.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
  }

  std::unique_ptr<TqorvFtp> connect() {
    auto ftp = std::make_unique<TqorvFtp>();
    ftp->Port = server->port();
    if (!ftp->ConnectTo("127.0.0.1", lignado::test::kFtpUser, lignado::test::kFtpPassword))
      return nullptr;
    return ftp;
  }
};

Bench& bench() {
  static Bench b;
  return b;
}

// Each iteration goes to a new remote root, so every file is to be sent.
void BM_UploadWholeSite(benchmark::State& state) {
  Bench& b = bench();
  auto ftp = b.connect();
  if (!ftp) return state.SkipWithError(("no FTP server: " + b.server->error()).c_str());
  int run = 0;
  for (auto _ : state) {
    if (!ftp->UploadTree("/site" + std::to_string(run++), b.site.string()) ||
        ftp->FilesSent != kFolders * kFilesPerFolder)
      return state.SkipWithError("upload failed");
  }
  state.counters["files"] = kFolders * kFilesPerFolder;
  state.SetBytesProcessed(b.bytes * state.iterations());
}
BENCHMARK(BM_UploadWholeSite)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Everything was sent already: deciding so must not cost a round trip per file.
void BM_UploadNothingToSend(benchmark::State& state) {
  Bench& b = bench();
  auto ftp = b.connect();
  if (!ftp || !ftp->UploadTree("/site0", b.site.string()))
    return state.SkipWithError("no FTP server");
  for (auto _ : state) {
    if (!ftp->UploadTree("/site0", b.site.string()) || ftp->FilesSent != 0)
      return state.SkipWithError("unexpected files sent");
  }
}
BENCHMARK(BM_UploadNothingToSend)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
