// Pictures per second of the media copy: each picture copied with its thumbnail and page-size
// copy, then the same again as a rebuild finds them (reused while the files are unchanged).
// Camera-sized JPEG pictures (4000 x 3000) made once with the library that reduces them.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <vips/vips.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/Base.h"
#include "pages/Medias.h"
#include "pages/Vignettes.h"

namespace {

using namespace lignado;
namespace fs = std::filesystem;

constexpr int kPictures = 24;

struct Family {
  fs::path folder;
  TBD db;
  Family() {
    folder = fs::temp_directory_path() / ("vignettes-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    PictureSizeOf("/nonexistent");  // starts the library
    for (int i = 0; i < kPictures; ++i) {
      VipsImage* noise = nullptr;
      vips_gaussnoise(&noise, 4000, 3000, "mean", 128.0 + i, "sigma", 40.0, nullptr);
      const std::string name = "photo" + std::to_string(i) + ".jpg";
      vips_image_write_to_file(noise, (folder / name).c_str(), "Q", 90, nullptr);
      g_object_unref(noise);
      db.AddPersonMedia(db.NewPerson(), {name, "Photo"});
    }
  }
  ~Family() { fs::remove_all(folder); }
};

Family& family() {
  static Family f;
  return f;
}

void copyAll(benchmark::State& state, bool rebuild) {
  Family& f = family();
  const fs::path site = f.folder / "site";
  int reduced = 0, reused = 0;
  if (rebuild) CopyMedia(f.db, {{f.folder.string()}}, site.string() + "/", nullptr);
  for (auto _ : state) {
    if (!rebuild) {
      state.PauseTiming();
      fs::remove_all(site);
      state.ResumeTiming();
    }
    const MediaCopy copy = CopyMedia(f.db, {{f.folder.string()}}, site.string() + "/", nullptr);
    reduced += copy.reduced;
    reused += copy.reused;
  }
  state.SetItemsProcessed(state.iterations() * kPictures);
  state.counters["reduites"] = benchmark::Counter(reduced, benchmark::Counter::kAvgIterations);
  state.counters["reprises"] = benchmark::Counter(reused, benchmark::Counter::kAvgIterations);
}

void BM_PicturesFirstBuild(benchmark::State& state) {
  copyAll(state, false);
}
void BM_PicturesRebuild(benchmark::State& state) {
  copyAll(state, true);
}
BENCHMARK(BM_PicturesFirstBuild)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PicturesRebuild)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

}  // namespace
