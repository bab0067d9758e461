#include "gedcom/GedcomIn.h"

#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <unordered_map>
#include <vector>

#include "data/Base.h"
#include "gedcom/GedReader.h"
#include "genealogy/DateLieu.h"
#include "util/Host.h"
#include "util/Owned.h"
#include "util/Text.h"

namespace lignado {
namespace {

const std::string kCrLf = "\r\n";
const std::string kRefDefaut = "REFDEFAUT";

// V[from..to], 1-based and inclusive; empty when the range is.
std::string sub1(const std::string& v, long from, long to) {
  if (from < 1) from = 1;
  if (to > static_cast<long>(v.size())) to = static_cast<long>(v.size());
  if (to < from) return {};
  return v.substr(from - 1, to - from + 1);
}

std::string twoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

class Importer {
 public:
  Importer(TBD& db, THead& head, bool headerOnly, bool nameCase, Host* host, const Clock& clock)
      : db_(db),
        head_(head),
        headerOnly_(headerOnly),
        nameCase_(nameCase),
        host_(host),
        clock_(clock) {
    int cap = db.Capacity();
    mainTable_.assign(cap + 1, 0);
    citations_.assign(cap + 1, 0);
    scratch_.InUse = true;
    scratch_.Quality.clear();
  }
  ImportResult run(const std::string& fileName, uint8_t charMode, bool writeLog);
  // After an unexpected failure: what was read stays, with its sources counted.
  ImportResult failedResult(const std::string& reason) {
    keepSourceCount();
    result_.failed = true;
    result_.reason = reason;
    return result_;
  }

 private:
  void next() { reader_.next(cur_); }
  std::string lineNo() const { return std::to_string(reader_.lineNumber()); }
  void log(const std::string& text);
  void logLine(const char* marker) {
    if (log_) log(lineNo() + marker + cur_.raw);
  }
  void keepSourceCount() { db_.SourceCount = citationCount_; }

  std::string readContinuedText(int base);
  void readHeader();
  void readSubmitter();
  void readIndividual();
  void readFamily();
  void readSourceRecord();
  void readEventDetails(TEve& ev);
  void resetScratch();

  void registerPerson(const std::string& pointer, int32_t person);
  int32_t findPerson(const std::string& pointer) const;
  void splitName(int32_t person);

  enum class Owner { Person, Union };
  void storeEvent(Owner kind, int32_t owner, const std::string* fixedKind, bool generic,
                  bool ownerLost = false);
  void citeSource(int32_t person);
  void progress();

  TBD& db_;
  THead& head_;
  bool headerOnly_, nameCase_;
  Host* host_;
  const Clock& clock_;
  GedReader reader_;
  TGed cur_;
  OwnedFile log_;
  TEve scratch_;
  ImportResult result_;

  std::string defaultLetters_ = kRefDefaut;
  std::vector<int32_t> mainTable_;
  std::unordered_map<std::string, int32_t> extra_;  // pointer upper-cased -> person
  size_t extraCount_ = 0;
  std::vector<int32_t> citations_;
  int32_t citationCount_ = 0;
};

void Importer::log(const std::string& text) {
  if (!log_) return;
  std::fwrite(text.data(), 1, text.size(), log_.get());
  std::fwrite("\r\n", 1, 2, log_.get());
}

ImportResult Importer::run(const std::string& fileName, uint8_t charMode, bool writeLog) {
  db_.AppendMode = true;
  if (!headerOnly_) hostStatus(host_, "Appuyez sur Echap pour abandonner.");

  if (writeLog) {
    size_t slash = fileName.find_last_of('/');
    std::string logName =
        (slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1)) +
        "kestrane.log";
    // Creating the log replaces any file of that name: never the file about to be read.
    struct stat in {
    }, out{};
    if (stat(fileName.c_str(), &in) == 0 && stat(logName.c_str(), &out) == 0 &&
        in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
      result_.failed = true;
      result_.reason = "Le journal " + logName +
                       " remplacerait le fichier GEDCOM : il n'est pas \xE9"
                       "crit.";
      hostMessage(host_, "Erreur \xE0 l'import");
      return result_;
    }
    log_.reset(std::fopen(logName.c_str(), "wb"));
    if (!log_) {
      result_.failed = true;
      result_.reason =
          "Impossible de cr\xE9"
          "er le journal " +
          logName + ".";
      hostMessage(host_, "Erreur \xE0 l'import");
      return result_;
    }
    LocalTime t = clock_.now();
    log("Import du fichier : " + fileName + " le " + twoDigits(t.day) + "/" + twoDigits(t.month) +
        "/" + std::to_string(t.year) + "?" + kCrLf +
        "Les lignes suivantes n'ont pas \xE9t\xE9 trait\xE9.");
  }

  std::string error;
  if (!reader_.open(fileName, CharsetFromMode(charMode), &error)) {
    result_.failed = true;
    result_.reason = error;
    hostMessage(host_, "Erreur \xE0 l'import");
    return result_;
  }
  hostProgressMax(host_, reader_.fileSize() / 128);

  next();
  while (cur_.tagKey != "TRLR"_tag && !reader_.pastEnd()) {
    if ((db_.PersonCount + db_.UnionCount) % 182 == 0) progress();
    if (hostAbort(host_)) {
      log("\r\nStopp\xE9 par touche ESCAPE \xE0 la Ligne " + cur_.raw);
      keepSourceCount();
      result_.aborted = true;
      return result_;
    }
    if (cur_.tagKey == "HEAD"_tag) {
      readHeader();
      if (cur_.valueKey == "SUBM"_tag) readSubmitter();
      if (headerOnly_) {
        log("\r\nFin de chargement de l'ent\xEAte.");
        keepSourceCount();
        return result_;
      }
    } else if (cur_.valueKey == "INDI"_tag) {
      readIndividual();
    } else if (cur_.valueKey == "FAM"_tag) {
      readFamily();
    } else if (cur_.valueKey == "SOUR"_tag) {
      readSourceRecord();
    } else {
      logLine(" : ");
      next();
    }
  }
  reader_.close();
  keepSourceCount();
  if (reader_.failed()) {
    result_.failed = true;
    result_.reason = "Erreur de lecture du fichier " + fileName + ".";
    hostMessage(host_, "Erreur \xE0 l'import");
    return result_;
  }
  hostProgressPos(host_, 0);
  log(" ");
  log("Termin\xE9 avec succ\xE9s !!");
  log("Nombre de personne =" + std::to_string(db_.PersonCount));
  log("Nombre d'union =" + std::to_string(db_.UnionCount));
  if (result_.incomplete()) {
    std::string s = DroppedSummary(result_, db_.Capacity());
    log(s);
    hostStatus(host_, s);
  }
  db_.AppendMode = false;
  return result_;
}

void Importer::progress() {
  if (!host_) return;
  host_->setProgressPos(reader_.offset() / 128);
  host_->setStatus("Nombre de personnes et d'unions : " + std::to_string(db_.PersonCount) + " / " +
                   std::to_string(db_.UnionCount));
  host_->processMessages();
}

std::string Importer::readContinuedText(int base) {
  std::string text = cur_.value;
  next();
  while (cur_.level >= base + 1) {
    if (cur_.tagKey == "CONT"_tag) {
      text += kCrLf;
      text += cur_.value;
    } else if (cur_.tagKey == "CONC"_tag) {
      text += ' ';
      text += cur_.value;
    }
    next();
  }
  if (!text.empty()) text += kCrLf;
  return text;
}

void Importer::readHeader() {
  for (std::string& s : head_) s.clear();
  next();
  while (cur_.level > 0) {
    if (cur_.level > 1) {
      next();
      continue;
    }
    const uint64_t tag = cur_.tagKey;
    if (tag == "SOUR"_tag) {
      head_[0] = cur_.value;
      next();
      while (cur_.level > 1) {
        if (cur_.tagKey == "VERS"_tag)
          head_[1] = cur_.value;
        else if (cur_.tagKey == "NAME"_tag)
          head_[2] = cur_.value;
        else if (cur_.tagKey == "CORP"_tag)
          head_[3] = cur_.value;
        next();
      }
    } else if (tag == "DATE"_tag) {
      head_[4] = cur_.value;
      next();
    } else if (tag == "GEDC"_tag) {
      next();
      while (cur_.level > 1) {
        if (cur_.tagKey == "VERS"_tag) head_[5] = cur_.value;
        next();
      }
    } else if (tag == "CHAR"_tag) {
      head_[6] = cur_.value;
      Charset cs;
      if (CharsetFromName(cur_.value, &cs)) reader_.selectCharset(cs);
      next();
    } else if (tag == "LANG"_tag) {
      head_[7] = cur_.value;
      next();
    } else if (tag == "NOTE"_tag) {
      head_[8] = readContinuedText(1);
    } else {
      logLine(" HEAD : ");
      next();
    }
  }
}

void Importer::readSubmitter() {
  next();
  while (cur_.level > 0) {
    if (cur_.level > 1) {
      next();
    } else if (cur_.tagKey == "NAME"_tag) {
      head_[8] += cur_.value;
      next();
    } else if (cur_.tagKey == "ADDR"_tag) {
      head_[8] += kCrLf;
      head_[8] += readContinuedText(1);
    } else {
      logLine(" SUBM : ");
      next();
    }
  }
}

void Importer::resetScratch() {
  scratch_ = TEve();
  scratch_.InUse = true;
  scratch_.Quality.clear();
}

void Importer::readEventDetails(TEve& ev) {
  next();
  while (cur_.level >= 2) {
    const uint64_t tag = cur_.tagKey;
    if (tag == "DATE"_tag) {
      ev.Date = GedcomDateText(cur_.value);
      next();
    } else if (tag == "PLAC"_tag) {
      ev.Place = cur_.value;
      next();
    } else if (tag == "NOTE"_tag) {
      ev.Note = readContinuedText(2);
    } else if (tag == "TYPE"_tag) {
      ev.Kind = cur_.value;
      next();
    } else if (tag == "SOUR"_tag) {
      ev.Note += kCrLf;
      ev.Note += readContinuedText(2);
    } else if (tag == "TIME"_tag) {
      ev.Time = cur_.value;
      next();
    } else if (tag == "QUAY"_tag) {
      ev.Quality = std::to_string(3 - static_cast<int64_t>(ParseInt32(cur_.value).value_or(0)));
      next();
    } else {
      ev.Note += kCrLf;
      ev.Note += cur_.raw;
      logLine(" EVE : ");
      next();
    }
  }
}

// Reads the event at the current line for a person or a union and stores it. Without an
// owner the lines are read and the event dropped; a full pool is counted and logged.
// ownerLost: the owner itself could not be stored (already counted).
void Importer::storeEvent(Owner kind, int32_t owner, const std::string* fixedKind, bool generic,
                          bool ownerLost) {
  std::string tag, value;
  if (generic) {
    tag = cur_.tag;
    value = cur_.value;
  }
  int32_t e = 0;
  if (owner > 0) e = kind == Owner::Person ? db_.AddPersonEvent(owner) : db_.AddUnionEvent(owner);
  if (e == 0) {
    // Logged before its sub-lines so that the log keeps file order.
    if (owner > 0) {
      ++result_.eventsDropped;
      logLine(" Base pleine, \xE9v\xE9nement non enregistr\xE9 : ");
    } else if (kind == Owner::Union && !ownerLost) {
      logLine(" FAM : ");  // no union to hold it yet
    }
  }
  resetScratch();
  readEventDetails(scratch_);
  if (e == 0) return;
  TEve& stored = *db_.EventRecord(e);
  stored = std::move(scratch_);
  if (fixedKind) {
    stored.Kind = *fixedKind;
  } else if (generic) {
    stored.Kind = stored.Kind.empty() ? tag : tag + " " + stored.Kind;
    if (!value.empty()) stored.Note = stored.Note.empty() ? value : value + kCrLf + stored.Note;
  }
}

void Importer::registerPerson(const std::string& pointer, int32_t person) {
  GedPointer p = SplitPointer(pointer);
  if (defaultLetters_ == kRefDefaut) defaultLetters_ = p.letters;
  if (p.letters == defaultLetters_ && p.number >= 1 &&
      p.number < static_cast<int64_t>(mainTable_.size())) {
    mainTable_[p.number] = person;
    return;
  }
  if (++extraCount_ <= mainTable_.size() - 1) extra_.emplace(UpperAscii(pointer), person);
}

int32_t Importer::findPerson(const std::string& pointer) const {
  GedPointer p = SplitPointer(pointer);
  if (p.letters == defaultLetters_ && p.number >= 1 &&
      p.number < static_cast<int64_t>(mainTable_.size()))
    return mainTable_[p.number];
  auto it = extra_.find(UpperAscii(pointer));
  return it == extra_.end() ? 0 : it->second;
}

void Importer::splitName(int32_t person) {
  std::string surname, given;
  SplitName(cur_.value, nameCase_, surname, given);
  db_.SetSurname(person, surname);
  db_.SetGivenNames(person, given);
}

void Importer::citeSource(int32_t person) {
  GedPointer p = SplitPointer(cur_.value);
  if (p.number < 1 || p.number >= static_cast<int64_t>(citations_.size())) return;
  int32_t& s = citations_[p.number];
  if (s == 0) {
    s = ++citationCount_;
    TSrc* src = db_.SourceRecord(s);
    src->InUse = true;
    src->Title.clear();
    src->Text.clear();
    src->File.clear();
  }
  db_.AddPersonSource(person, s);
}

void Importer::readIndividual() {
  int32_t p = db_.NewPerson();
  if (p == 0) {
    ++result_.personsDropped;
    logLine(
        " Base pleine, personne non enregistr\xE9"
        "e : ");
    do next();
    while (cur_.level >= 1);
    return;
  }
  registerPerson(cur_.tag, p);
  next();
  while (cur_.level >= 1) {
    if (cur_.level > 1) {
      next();
      continue;
    }
    const uint64_t tag = cur_.tagKey;
    if (tag == "NAME"_tag) {
      splitName(p);
      next();
    } else if (tag == "SEX"_tag) {
      db_.SetSex(p, UpperAscii(cur_.value) == "M" ? 0 : 1);
      next();
    } else if (tag == "BIRT"_tag) {
      storeEvent(Owner::Person, p, &kNaissance, false);
    } else if (tag == "DEAT"_tag) {
      storeEvent(Owner::Person, p, &kDeces, false);
    } else if (tag == "BURI"_tag || tag == "CREM"_tag) {
      storeEvent(Owner::Person, p, &kSepulture, false);
    } else if (tag == "BAPM"_tag || tag == "CHR"_tag || tag == "BARM"_tag || tag == "BASM"_tag ||
               tag == "BLES"_tag) {
      storeEvent(Owner::Person, p, &kBapteme, false);
    } else if (tag == "EVEN"_tag) {
      storeEvent(Owner::Person, p, nullptr, false);
    } else if (tag == "FAMS"_tag || tag == "FAMC"_tag) {
      next();
    } else if (tag == "NOTE"_tag) {
      std::string note = db_.GetPersonField(p, PersonCode::Note);
      note += readContinuedText(1);
      db_.SetPersonField(p, PersonCode::Note, note);
    } else if (tag == "OCCU"_tag || tag == "TITL"_tag) {
      std::string attrs = db_.GetPersonField(p, PersonCode::Titre);
      attrs += tag == "OCCU"_tag ? "t|Profession|" : "t|Titre|";
      attrs += cur_.value;
      attrs += '|';
      db_.SetPersonField(p, PersonCode::Titre, attrs);
      next();
    } else if (tag == "CHAN"_tag) {
      resetScratch();
      readEventDetails(scratch_);
      db_.SetPersonField(p, PersonCode::Dcree, scratch_.Date);
      db_.SetPersonField(p, PersonCode::DdMAJ, scratch_.Date);
    } else if (tag == "SOUR"_tag) {
      citeSource(p);
      next();
    } else {
      storeEvent(Owner::Person, p, nullptr, true);
    }
  }
}

void Importer::readFamily() {
  int32_t husband = 0, wife = 0, u = 0;
  bool made = false;
  auto makeUnion = [&] {
    if (made) return;
    made = true;
    u = db_.NewUnion();
    if (u == 0) {
      ++result_.unionsDropped;
      logLine(
          " Base pleine, union non enregistr\xE9"
          "e : ");
      return;
    }
    db_.SetHusband(u, husband);
    db_.SetWife(u, wife);
  };
  next();
  while (cur_.level >= 1) {
    if (cur_.level > 1) {
      next();
      continue;
    }
    const uint64_t tag = cur_.tagKey;
    if (tag == "HUSB"_tag) {
      husband = findPerson(cur_.value);
      if (db_.GetSex(husband) != 0) husband = 0;
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "WIFE"_tag) {
      wife = findPerson(cur_.value);
      if (db_.GetSex(wife) != 1) wife = 0;
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "CHIL"_tag) {
      int32_t child = findPerson(cur_.value);
      if (husband > 0) db_.SetFather(child, husband);
      if (wife > 0) db_.SetMother(child, wife);
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "ENGA"_tag || tag == "MARR"_tag || tag == "MARB"_tag || tag == "MARC"_tag) {
      makeUnion();
      storeEvent(Owner::Union, u, &kMariage, false, true);
    } else if (tag == "ANUL"_tag || tag == "CENS"_tag || tag == "DIV"_tag || tag == "DIVF"_tag) {
      makeUnion();
      storeEvent(Owner::Union, u, &kDivorce, false, true);
    } else if (tag == "NOTE"_tag) {
      std::string line = lineNo(), raw = cur_.raw;
      std::string text = readContinuedText(1);
      if (u > 0) {
        // Read through the first "Mariage" event, written to the last one (NoteU).
        bool hasMariage = false;
        int32_t before = db_.UnionEventCount(u);
        for (int32_t i = 1; i <= before && !hasMariage; ++i)
          hasMariage = db_.GetUnionEventField(u, i, EventCode::Kind) == kMariage;
        std::string note = db_.GetUnionField(u, UnionCode::NoteU) + text;
        db_.SetUnionField(u, UnionCode::NoteU, note);
        if (!hasMariage && !note.empty() && db_.UnionEventCount(u) == before) {
          ++result_.eventsDropped;  // no event slot left to hold the note
          log(line + " Base pleine, \xE9v\xE9nement non enregistr\xE9 : " + raw);
        }
      }
    } else if (tag == "EVEN"_tag) {
      storeEvent(Owner::Union, u, nullptr, false, made);
    } else {
      storeEvent(Owner::Union, u, nullptr, true, made);
    }
  }
}

void Importer::readSourceRecord() {
  GedPointer p = SplitPointer(cur_.tag);
  int32_t s = 0;
  if (p.number >= 1 && p.number < static_cast<int64_t>(citations_.size())) s = citations_[p.number];
  if (s == 0) {
    next();
    if (!reader_.pastEnd() && log_)
      log(lineNo() + " " + cur_.raw + " Pointeur de source invalide.");
    while (cur_.level >= 1) {
      next();
      if (!reader_.pastEnd() && log_) log(lineNo() + " " + cur_.raw);
    }
    return;
  }
  TSrc& src = *db_.SourceRecord(s);
  next();
  while (cur_.level >= 1) {
    const uint64_t tag = cur_.tagKey;
    if (tag == "NOTE"_tag) {
      if (cur_.level == 1) {
        src.Text = readContinuedText(1);
        continue;
      }
      if (cur_.level == 2) {
        src.File += '|';
        src.File += cur_.value;
      }
    } else if (tag == "TITL"_tag) {
      src.Title = cur_.value;
    } else if (tag == "ABBR"_tag) {
      src.Abbrev = cur_.value;
    } else if (tag == "FILE"_tag) {
      src.File = cur_.value;
    } else if (tag != "OBJE"_tag && tag != "FORM"_tag) {
      src.Text += cur_.tag;
      src.Text += ": ";
      src.Text += cur_.value;
      src.Text += kCrLf;
    }
    next();
  }
}

}  // namespace

GedPointer SplitPointer(const std::string& pointer) {
  GedPointer r;
  size_t d = pointer.find_first_of("0123456789");
  if (d == std::string::npos) {
    if (pointer.size() >= 2) r.letters = pointer.substr(1, pointer.size() - 2);
    return r;
  }
  if (d > 1) r.letters = pointer.substr(1, d - 1);
  int64_t v = 0;
  for (size_t i = d; i < pointer.size() && pointer[i] >= '0' && pointer[i] <= '9'; ++i) {
    v = v * 10 + (pointer[i] - '0');
    if (v > INT32_MAX) v = INT32_MAX;
  }
  r.number = v;
  return r;
}

std::string GedcomDateText(const std::string& value) {
  // Up to four words separated by single blanks: [qualifier] [[day] month] year.
  const char* words[4];
  size_t lens[4];
  int n = 0;
  size_t b = 0;
  const size_t size = value.size();
  while (b <= size && n < 4) {
    size_t e = value.find(' ', b);
    if (e == std::string::npos) e = size;
    words[n] = value.data() + b;
    lens[n++] = e - b;
    b = e + 1;
  }
  if (b <= size || n == 0) return DateGedcom(value);
  auto is = [&](int w, const char* three) {
    return lens[w] == 3 && words[w][0] == three[0] && words[w][1] == three[1] &&
           words[w][2] == three[2];
  };
  const char* qualifier = nullptr;
  int first = 0;
  if (is(0, "ABT") || is(0, "CAL") || is(0, "EST"))
    qualifier = "vers ";
  else if (is(0, "BEF"))
    qualifier = "avant ";
  else if (is(0, "AFT"))
    qualifier = "apr\xE8s ";
  if (qualifier) first = 1;
  int count = n - first;
  if (count < 1 || count > 3) return DateGedcom(value);
  auto number = [&](int w, size_t maxLen) {
    return DigitsValue(std::string_view(words[w], lens[w]), maxLen);
  };
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  int year = number(n - 1, 4), mon = 0, day = 0;
  if (count >= 2) {
    mon = -1;
    for (int m = 0; m < 12 && mon < 0; ++m)
      if (is(n - 2, kMonths[m])) mon = m + 1;
  }
  if (count == 3) {
    day = number(first, 2);
    if (day < 1 || day > 31) day = -1;
  }
  if (year < 1 || mon < 0 || day < 0) return DateGedcom(value);
  std::string r = qualifier ? qualifier : "";
  if (day) r += std::to_string(day) + "/";
  if (mon) r += std::to_string(mon) + "/";
  r += std::to_string(year);
  return r;
}

void SplitName(const std::string& value, bool nameCase, std::string& surname,
               std::string& givenNames) {
  std::string v = value;
  const long len = static_cast<long>(v.size());
  long e = 0;
  if (!v.empty() && v.back() == '/') {
    v.back() = ' ';
    e = 1;
  }
  size_t first = v.find('/');
  long p = first == std::string::npos ? 0 : static_cast<long>(first) + 1;
  if (p == 1) {
    v[0] = ' ';
    size_t q0 = v.find('/', 1);
    if (q0 != std::string::npos) {
      long q = static_cast<long>(q0) + 1;
      surname = sub1(v, 2, q - 1);
      givenNames = sub1(v, q + 1, len - e);
    } else {
      surname = sub1(v, 2, len);
      givenNames.clear();
    }
  } else if (size_t second = p == 0 ? std::string::npos : v.find('/', first + 1);
             e == 0 && second != std::string::npos) {
    // A suffix after the surname ("Jean /Dupont/ Jr"): taken step by step, "Jr" would become
    // the surname and "/Dupont" part of the given names. The suffix follows the given names.
    surname = v.substr(first + 1, second - first - 1);
    givenNames = TrimSpaces(std::string_view(v).substr(0, first));
    std::string_view suffix = TrimSpaces(std::string_view(v).substr(second + 1));
    if (!suffix.empty()) {
      if (!givenNames.empty()) givenNames += ", ";
      givenNames += suffix;
    }
  } else {
    std::string r(p == 0 ? TrimSpaces(v) : TrimSpaces(sub1(v, p + 1, len - e)));
    surname = r;
    size_t last = r.rfind('/');
    if (last != std::string::npos) {
      surname = r.substr(last + 1);
      p += static_cast<long>(last) + 1;
    }
    givenNames = p == 0 ? std::string() : sub1(v, 1, p - 1);
  }
  surname = std::string(TrimSpaces(surname));
  givenNames = std::string(TrimSpaces(givenNames));
  if (surname.empty()) surname = "?";
  if (nameCase) {
    surname = UpperCaseAnsi(surname);
    givenNames = CapitaliseAnsi(givenNames);
  }
}

std::string DroppedSummary(const ImportResult& r, int capacity) {
  if (!r.incomplete()) return {};
  auto count = [](int n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n > 1 ? many : one);
  };
  return "Base pleine (capacit\xE9 " + std::to_string(capacity) +
         ") : " + count(r.personsDropped, "personne", "personnes") + ", " +
         count(r.unionsDropped, "union", "unions") + " et " +
         count(r.eventsDropped, "\xE9v\xE9nement", "\xE9v\xE9nements") +
         " n'ont pas pu \xEAtre enregistr\xE9s.";
}

ImportResult ImportGedcom(TBD& db, const std::string& fileName, THead& head, uint8_t charMode,
                          bool headerOnly, bool writeLog, bool nameCase, Host* host,
                          const Clock& clock) {
  std::unique_ptr<Importer> imp;
  try {
    imp = std::make_unique<Importer>(db, head, headerOnly, nameCase, host, clock);
    return imp->run(fileName, charMode, writeLog);
  } catch (const std::exception& ex) {
    std::string reason = std::string("Erreur interne : ") + ex.what();
    ImportResult r;
    r.failed = true;
    r.reason = reason;
    if (imp) r = imp->failedResult(reason);
    hostMessage(host, "Erreur \xE0 l'import");
    return r;
  }
}

}  // namespace lignado
