#include "TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

extern char** environ;

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

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  std::string outPath = dir.str() + "out", errPath = dir.str() + "err";
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  ProgramRun r;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&fa);
  r.out = readFile(outPath);
  r.err = readFile(errPath);
  return r;
}

std::filesystem::path corpusDir() {
  std::filesystem::path p = LIGNADO_CORPUS_DIR;
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) return p;
  return {};
}

}  // namespace lignado::test
