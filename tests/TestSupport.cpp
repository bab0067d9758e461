#include "TestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace lignado::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "lignado-XXXXXX").string();
  if (char* p = mkdtemp(tmpl.data())) path_ = p;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) {
    // Folders made read-only by a test must not keep their contents alive.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
      if (e.is_directory(ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::filesystem::path corpusDir() {
  std::filesystem::path p = LIGNADO_CORPUS_DIR;
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) return p;
  return {};
}

}  // namespace lignado::test
