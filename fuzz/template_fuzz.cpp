// Any bytes as a template "index" beside an include "inc": run the site generation over a small
// family into a scratch folder.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/Base.h"
#include "pages/SiteGeneration.h"
#include "pages/uParser.h"

namespace {

lignado::TBD& family() {
  using namespace lignado;
  static TBD db = [] {
    TBD d(20);
    for (int i = 0; i < 6; ++i) {
      int p = d.NewPerson();
      d.SetSurname(p, i % 2 ? "MARTIN" : "DUPONT");
      d.SetGivenNames(p, "Jean \"Jo\"");
      d.SetSex(p, i % 3 == 2 ? 2 : i % 2);
      d.SetPersonField(p, 6, "12/5/190" + std::to_string(i));
      d.SetPersonField(p, 7, "France, Bretagne, 29, 200 Brest, Kerbonne");
      d.SetPersonField(p, 18, "Note <note> $1");
    }
    d.SetFather(3, 1);
    d.SetMother(3, 2);
    int u = d.NewUnion();
    d.SetHusband(u, 1);
    d.SetWife(u, 2);
    d.SetUnionField(u, 3, "1900");
    return d;
  }();
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/lignado-fuzz-XXXXXX";
  if (!mkdtemp(tmpl)) return 0;
  fs::path root = tmpl;
  fs::create_directory(root / "modele");
  fs::create_directory(root / "site");
  std::string text(reinterpret_cast<const char*>(data), size);
  // The input is the home page; its second half also serves as an include.
  std::ofstream(root / "modele" / "index.kshtml", std::ios::binary) << text;
  std::ofstream(root / "modele" / "inc.kshtml", std::ios::binary) << text.substr(size / 2);
  lignado::TKSParse parser(family());
  lignado::GenerateSite(parser, (root / "modele").string() + "/", (root / "site").string() + "/",
                        nullptr);
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
