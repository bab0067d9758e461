// Runs a fuzz target over every file of the folders (or files) given on the command line.
// Where libFuzzer is not at hand, LIGNADO_FUZZ_RUNS=N also runs N random mutations of each
// input (random generator started from LIGNADO_FUZZ_RNG), which under the sanitizers is a small
// fuzzer of its own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Flips, inserts, deletes or copies bytes and lines: enough to reach odd levels, cut records,
// stray diacritics and half-written statements.
std::string mutate(std::string s, std::mt19937& rng) {
  static const char* const kTokens[] = {"\r\n",    "\n",     "\r",     " ",    "@",     "#",
                                        "$",       "<",      ">",      "\"",   ",",     "|",
                                        "(",       ")",      "\xE2",   "\xF0", "0 ",    "1 ",
                                        "2 CONC ", "echo ",  "if ",    "else", "endif", "include(",
                                        "evalue(", "liste_", "champ(", "<eve:"};
  int steps = 1 + static_cast<int>(rng() % 4);
  for (int k = 0; k < steps; ++k) {
    size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 5) {
      case 0:
        if (!s.empty() && pos < s.size()) s[pos] = static_cast<char>(rng());
        break;
      case 1:
        s.insert(pos, kTokens[rng() % (sizeof kTokens / sizeof *kTokens)]);
        break;
      case 2:
        if (pos < s.size()) s.erase(pos, 1 + rng() % 16);
        break;
      case 3:
        if (!s.empty()) {
          size_t from = rng() % s.size();
          s.insert(pos, s.substr(from, 1 + rng() % 64));
        }
        break;
      default:
        s = s.substr(0, pos);
        break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int runs = 0;
  const char* runsEnv = std::getenv("LIGNADO_FUZZ_RUNS");
  const char* rngEnv = std::getenv("LIGNADO_FUZZ_RNG");
  long mutations = runsEnv ? std::strtol(runsEnv, nullptr, 10) : 0;
  std::mt19937 rng(rngEnv ? static_cast<unsigned>(std::strtoul(rngEnv, nullptr, 10)) : 1u);
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> files;
    if (fs::is_directory(argv[i])) {
      for (const auto& e : fs::directory_iterator(argv[i]))
        if (e.is_regular_file()) files.push_back(e.path());
    } else {
      files.emplace_back(argv[i]);
    }
    for (const auto& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++runs;
      for (long m = 0; m < mutations; ++m) {
        std::string mutated = mutate(bytes, rng);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(mutated.data()), mutated.size());
        ++runs;
      }
    }
  }
  std::printf("%d inputs run\n", runs);
  return runs > 0 ? 0 : 1;
}
