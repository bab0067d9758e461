#include "TreeGen.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

namespace lignado::bench {
namespace {

const char* const kMale[] = {"Jean",        "Pierre",  "Louis",     "Fran\xC3\xA7ois", "Yves",
                             "Ren\xC3\xA9", "Jacques", "Guillaume", "Herv\xC3\xA9",    "Corentin"};
const char* const kFemale[] = {"Marie",
                               "Anne",
                               "Jeanne",
                               "H\xC3\xA9l\xC3\xA8ne",
                               "Ma\xC3\xAF",
                               "Jos\xC3\xA9phine",
                               "Louise",
                               "Th\xC3\xA9r\xC3\xA8se",
                               "Fran\xC3\xA7oise",
                               "Ad\xC3\xA8le"};
const char* const kSurnames[] = {
    "LE GALL",        "MORVAN",         "LEF\xC3\x88VRE", "QU\xC3\x89M\xC3\x89NEUR",
    "CADIOU",         "GU\xC3\x89GUEN", "KERBRAT",        "FONTAINE",
    "DE L\xC3\x89ON", "MARTIN",         "DUPONT",         "BERNARD",
    "\xC3\x89VENOU",  "LE BRIS",        "TANGUY",         "PRIGENT",
    "LAMBERT",        "ROUX",           "GIRARD",         "CH\xC3\x82TEL"};
const char* const kPlaces[] = {"Brest, Finist\xC3\xA8re, Bretagne, France",
                               "Quimper, Finist\xC3\xA8re, Bretagne, France",
                               "Plougastel-Daoulas, Finist\xC3\xA8re, Bretagne, France",
                               "Bayeux, Calvados, Normandie, France",
                               "Lyon, Rh\xC3\xB4ne, Auvergne-Rh\xC3\xB4ne-Alpes, France",
                               "Morlaix, Finist\xC3\xA8re, Bretagne, France",
                               "Saint-Pol-de-L\xC3\xA9on, Finist\xC3\xA8re, Bretagne, France",
                               "Rennes, Ille-et-Vilaine, Bretagne, France"};
const char* const kJobs[] = {"Laboureur", "Tisserand",   "Meunier",           "Cultivatrice",
                             "Marin",     "Charpentier", "Couturi\xC3\xA8re", "Instituteur"};
const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const int kSources = 20;
const int kTargetGenerations = 18;
const int kFounderCouples = 4;

// Small and deterministic: the same tree on every machine and every run.
class Rng {
 public:
  uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 16);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
  bool chance(double p) { return (next() & 0xFFFF) < p * 65536.0; }

 private:
  uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

struct Person {
  bool male;
  int surname, given, birthYear, famc = 0;
  std::vector<int> fams;
};

struct Family {
  int husb, wife, marrYear;
  std::vector<int> children;
};

class Builder {
 public:
  explicit Builder(int persons) : target_(persons) {
    // Couples per couple from one generation to the next, so that the tree reaches its size in
    // about kTargetGenerations generations; each family has 3.5 children on average.
    double growth =
        std::pow(std::max(1.0, persons / (2.0 * kFounderCouples)), 1.0 / kTargetGenerations);
    marryChance_ = std::clamp(growth / 3.5, 0.3, 0.95);
  }

  void build() {
    std::vector<int> generation;
    for (int i = 0; i < kFounderCouples && full() == false; ++i)
      if (int f = founders(1500 + rng_.below(20))) generation.push_back(f);
    while (!full()) {
      ++generations_;
      std::vector<int> next;
      for (int f : generation) {
        int n = 2 + rng_.below(4);
        for (int k = 0; k < n && !full(); ++k) {
          int year = families_[f - 1].marrYear + 1 + 2 * k + rng_.below(2);
          const Family& fam = families_[f - 1];
          int c = addPerson(rng_.chance(0.5), persons_[fam.husb - 1].surname, year, f);
          families_[f - 1].children.push_back(c);
          if (!full() && rng_.chance(marryChance_)) next.push_back(marry(c));
        }
      }
      // A line that dies out is followed by newcomers, as in a tree that grows by research.
      if (next.empty() && !full())
        if (int f = founders(1500 + 25 * generations_)) next.push_back(f);
      generation = std::move(next);
    }
  }

  std::string text(TreeStats* stats) {
    std::string g;
    g.reserve(static_cast<size_t>(target_) * 230);
    g += "0 HEAD\n1 SOUR LIGNADO-BENCH\n1 GEDC\n2 VERS 5.5.1\n2 FORM LINEAGE-LINKED\n"
         "1 CHAR UTF-8\n";
    int events = 0;
    for (size_t i = 0; i < persons_.size(); ++i) {
      const Person& p = persons_[i];
      int id = static_cast<int>(i) + 1;
      g += "0 @I" + std::to_string(id) + "@ INDI\n1 NAME ";
      g += p.male ? kMale[p.given] : kFemale[p.given];
      g += std::string(" /") + kSurnames[p.surname] + "/\n1 SEX " + (p.male ? "M" : "F") + "\n";
      g += "1 BIRT\n2 DATE " + date(id, p.birthYear) + "\n2 PLAC " + kPlaces[id % 8] + "\n";
      ++events;
      if (p.birthYear < 1935) {
        g += "1 DEAT\n2 DATE " + date(id * 7, p.birthYear + 25 + id % 60) + "\n2 PLAC " +
             kPlaces[(id + 3) % 8] + "\n";
        ++events;
      }
      if (id % 3 == 0) g += std::string("1 OCCU ") + kJobs[id % 8] + "\n";
      if (id % 5 == 0)
        g += "1 NOTE Une note sur cette personne, assez longue pour\n"
             "2 CONC  tenir sur deux lignes.\n";
      if (id % 4 == 0) g += "1 SOUR @S" + std::to_string(1 + id % kSources) + "@\n2 PAGE f. 12\n";
      if (p.famc) g += "1 FAMC @F" + std::to_string(p.famc) + "@\n";
      for (int f : p.fams) g += "1 FAMS @F" + std::to_string(f) + "@\n";
    }
    for (size_t i = 0; i < families_.size(); ++i) {
      const Family& f = families_[i];
      int id = static_cast<int>(i) + 1;
      g += "0 @F" + std::to_string(id) + "@ FAM\n1 HUSB @I" + std::to_string(f.husb) +
           "@\n1 WIFE @I" + std::to_string(f.wife) + "@\n";
      g += "1 MARR\n2 DATE " + date(id * 3, f.marrYear) + "\n2 PLAC " + kPlaces[id % 8] + "\n";
      ++events;
      for (int c : f.children) g += "1 CHIL @I" + std::to_string(c) + "@\n";
    }
    for (int s = 1; s <= kSources; ++s)
      g += "0 @S" + std::to_string(s) + "@ SOUR\n1 TITL Registres paroissiaux, volume " +
           std::to_string(s) + "\n";
    g += "0 TRLR\n";
    if (stats) {
      stats->persons = static_cast<int>(persons_.size());
      stats->families = static_cast<int>(families_.size());
      stats->events = events;
      stats->sources = kSources;
      stats->generations = generations_ + 1;
    }
    return g;
  }

 private:
  bool full() const { return static_cast<int>(persons_.size()) >= target_; }

  int addPerson(bool male, int surname, int birthYear, int famc) {
    Person p{male, surname, rng_.below(10), birthYear, famc, {}};
    persons_.push_back(p);
    return static_cast<int>(persons_.size());
  }

  // A spouse from outside the tree for person `p`; returns the new family.
  int marry(int p) {
    Person& self = persons_[p - 1];
    int spouse = addPerson(!self.male, rng_.below(20), self.birthYear - 3 + rng_.below(7), 0);
    int husb = persons_[p - 1].male ? p : spouse;
    int wife = husb == p ? spouse : p;
    families_.push_back(Family{husb, wife, persons_[p - 1].birthYear + 22 + rng_.below(8), {}});
    int f = static_cast<int>(families_.size());
    persons_[husb - 1].fams.push_back(f);
    persons_[wife - 1].fams.push_back(f);
    return f;
  }

  int founders(int year) {
    if (full()) return 0;
    int h = addPerson(true, rng_.below(20), year, 0);
    return full() ? 0 : marry(h);
  }

  // Mostly full dates; some approximate or year-only, as in real files.
  std::string date(int seed, int year) {
    std::string y = std::to_string(year);
    switch (seed % 10) {
      case 0:
        return "ABT " + y;
      case 1:
        return y;
      case 2:
        return std::string(kMonths[seed % 12]) + " " + y;
      default:
        return std::to_string(1 + seed % 28) + " " + kMonths[seed % 12] + " " + y;
    }
  }

  int target_;
  double marryChance_;
  int generations_ = 0;
  Rng rng_;
  std::vector<Person> persons_;
  std::vector<Family> families_;
};

}  // namespace

std::string GenerateTree(int persons, TreeStats* stats) {
  Builder b(std::max(1, persons));
  b.build();
  return b.text(stats);
}

bool WriteTree(const std::string& path, int persons, TreeStats* stats) {
  std::ofstream out(path, std::ios::binary);
  std::string bytes = GenerateTree(persons, stats);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace lignado::bench
