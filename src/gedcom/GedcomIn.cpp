#include "gedcom/GedcomIn.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <unordered_map>
#include <vector>

#include "data/Base.h"
#include "gedcom/GedReader.h"
#include "genealogy/DateLieu.h"
#include "util/Host.h"

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

std::string trimSpaces(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// A whole number as the original platform's string-to-integer reads it; `fallback` when the
// text is not one or does not fit 32 bits.
int32_t toInt(const std::string& s, int32_t fallback) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  if (i == s.size()) return fallback;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return fallback;
    v = v * 10 + (s[i] - '0');
    if (v > 0x80000000LL) return fallback;
  }
  if (neg) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return fallback;
  return static_cast<int32_t>(v);
}

std::string upperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

std::string twoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

class Importer {
 public:
  Importer(TBD& db, THead& head, bool headerOnly, bool nameCase, Host* host)
      : db_(db), head_(head), headerOnly_(headerOnly), nameCase_(nameCase), host_(host) {
    int cap = db.Capacity();
    mainTable_.assign(cap + 1, 0);
    citations_.assign(cap + 1, 0);
    scratch_.InUse = true;
    scratch_.Quality.clear();
  }
  ~Importer() {
    if (log_) std::fclose(log_);
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
  GedReader reader_;
  TGed cur_;
  std::FILE* log_ = nullptr;
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
  std::fwrite(text.data(), 1, text.size(), log_);
  std::fwrite("\r\n", 1, 2, log_);
}

ImportResult Importer::run(const std::string& fileName, uint8_t charMode, bool writeLog) {
  db_.AppendMode = true;
  if (!headerOnly_) hostStatus(host_, "Appuyez sur Echap pour abandonner.");

  if (writeLog) {
    size_t slash = fileName.find_last_of('/');
    std::string logName =
        (slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1)) +
        "kestrane.log";
    log_ = std::fopen(logName.c_str(), "wb");
    if (!log_) {
      result_.failed = true;
      result_.reason =
          "Impossible de cr\xE9"
          "er le journal " +
          logName + ".";
      hostMessage(host_, "Erreur \xE0 l'import");
      return result_;
    }
    Today t = CurrentDay();
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
  while (cur_.tag != "TRLR" && !reader_.pastEnd()) {
    if ((db_.PersonCount + db_.UnionCount) % 182 == 0) progress();
    if (hostAbort(host_)) {
      log("\r\nStopp\xE9 par touche ESCAPE \xE0 la Ligne " + cur_.raw);
      keepSourceCount();
      result_.aborted = true;
      return result_;
    }
    if (cur_.tag == "HEAD") {
      readHeader();
      if (cur_.value == "SUBM") readSubmitter();
      if (headerOnly_) {
        log("\r\nFin de chargement de l'ent\xEAte.");
        keepSourceCount();
        return result_;
      }
    } else if (cur_.value == "INDI") {
      readIndividual();
    } else if (cur_.value == "FAM") {
      readFamily();
    } else if (cur_.value == "SOUR") {
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
    if (cur_.tag == "CONT") {
      text += kCrLf;
      text += cur_.value;
    } else if (cur_.tag == "CONC") {
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
    const std::string& tag = cur_.tag;
    if (tag == "SOUR") {
      head_[0] = cur_.value;
      next();
      while (cur_.level > 1) {
        if (cur_.tag == "VERS")
          head_[1] = cur_.value;
        else if (cur_.tag == "NAME")
          head_[2] = cur_.value;
        else if (cur_.tag == "CORP")
          head_[3] = cur_.value;
        next();
      }
    } else if (tag == "DATE") {
      head_[4] = cur_.value;
      next();
    } else if (tag == "GEDC") {
      next();
      while (cur_.level > 1) {
        if (cur_.tag == "VERS") head_[5] = cur_.value;
        next();
      }
    } else if (tag == "CHAR") {
      head_[6] = cur_.value;
      Charset cs;
      if (CharsetFromName(cur_.value, &cs)) reader_.selectCharset(cs);
      next();
    } else if (tag == "LANG") {
      head_[7] = cur_.value;
      next();
    } else if (tag == "NOTE") {
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
    } else if (cur_.tag == "NAME") {
      head_[8] += cur_.value;
      next();
    } else if (cur_.tag == "ADDR") {
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
    const std::string& tag = cur_.tag;
    if (tag == "DATE") {
      ev.Date = DateGedcom(cur_.value);
      next();
    } else if (tag == "PLAC") {
      ev.Place = cur_.value;
      next();
    } else if (tag == "NOTE") {
      ev.Note = readContinuedText(2);
    } else if (tag == "TYPE") {
      ev.Kind = cur_.value;
      next();
    } else if (tag == "SOUR") {
      ev.Note += kCrLf;
      ev.Note += readContinuedText(2);
    } else if (tag == "TIME") {
      ev.Time = cur_.value;
      next();
    } else if (tag == "QUAY") {
      ev.Quality = std::to_string(3 - static_cast<int64_t>(toInt(cur_.value, 0)));
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
  std::string tag = cur_.tag, value = cur_.value, raw = cur_.raw;
  std::string line = lineNo();
  int32_t e = 0;
  if (owner > 0) e = kind == Owner::Person ? db_.AddPersonEvent(owner) : db_.AddUnionEvent(owner);
  resetScratch();
  readEventDetails(scratch_);
  if (e == 0) {
    if (owner > 0) {
      ++result_.eventsDropped;
      log(line + " Base pleine, \xE9v\xE9nement non enregistr\xE9 : " + raw);
    } else if (kind == Owner::Union && !ownerLost) {
      log(line + " FAM : " + raw);  // no union to hold it yet
    }
    return;
  }
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
  if (++extraCount_ <= mainTable_.size() - 1) extra_.emplace(upperAscii(pointer), person);
}

int32_t Importer::findPerson(const std::string& pointer) const {
  GedPointer p = SplitPointer(pointer);
  if (p.letters == defaultLetters_ && p.number >= 1 &&
      p.number < static_cast<int64_t>(mainTable_.size()))
    return mainTable_[p.number];
  auto it = extra_.find(upperAscii(pointer));
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
    log(lineNo() +
        " Base pleine, personne non enregistr\xE9"
        "e : " +
        cur_.raw);
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
    const std::string& tag = cur_.tag;
    if (tag == "NAME") {
      splitName(p);
      next();
    } else if (tag == "SEX") {
      db_.SetSex(p, upperAscii(cur_.value) == "M" ? 0 : 1);
      next();
    } else if (tag == "BIRT") {
      storeEvent(Owner::Person, p, &kNaissance, false);
    } else if (tag == "DEAT") {
      storeEvent(Owner::Person, p, &kDeces, false);
    } else if (tag == "BURI" || tag == "CREM") {
      storeEvent(Owner::Person, p, &kSepulture, false);
    } else if (tag == "BAPM" || tag == "CHR" || tag == "BARM" || tag == "BASM" || tag == "BLES") {
      storeEvent(Owner::Person, p, &kBapteme, false);
    } else if (tag == "EVEN") {
      storeEvent(Owner::Person, p, nullptr, false);
    } else if (tag == "FAMS" || tag == "FAMC") {
      next();
    } else if (tag == "NOTE") {
      std::string note = db_.GetPersonField(p, 18);
      note += readContinuedText(1);
      db_.SetPersonField(p, 18, note);
    } else if (tag == "OCCU" || tag == "TITL") {
      std::string attrs = db_.GetPersonField(p, 23);
      attrs += tag == "OCCU" ? "t|Profession|" : "t|Titre|";
      attrs += cur_.value;
      attrs += '|';
      db_.SetPersonField(p, 23, attrs);
      next();
    } else if (tag == "CHAN") {
      resetScratch();
      readEventDetails(scratch_);
      db_.SetPersonField(p, 21, scratch_.Date);
      db_.SetPersonField(p, 22, scratch_.Date);
    } else if (tag == "SOUR") {
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
      log(lineNo() +
          " Base pleine, union non enregistr\xE9"
          "e : " +
          cur_.raw);
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
    const std::string& tag = cur_.tag;
    if (tag == "HUSB") {
      husband = findPerson(cur_.value);
      if (db_.GetSex(husband) != 0) husband = 0;
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "WIFE") {
      wife = findPerson(cur_.value);
      if (db_.GetSex(wife) != 1) wife = 0;
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "CHIL") {
      int32_t child = findPerson(cur_.value);
      if (husband > 0) db_.SetFather(child, husband);
      if (wife > 0) db_.SetMother(child, wife);
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "ENGA" || tag == "MARR" || tag == "MARB" || tag == "MARC") {
      makeUnion();
      storeEvent(Owner::Union, u, &kMariage, false, true);
    } else if (tag == "ANUL" || tag == "CENS" || tag == "DIV" || tag == "DIVF") {
      makeUnion();
      storeEvent(Owner::Union, u, &kDivorce, false, true);
    } else if (tag == "NOTE") {
      std::string line = lineNo(), raw = cur_.raw;
      std::string text = readContinuedText(1);
      if (u > 0) {
        // Read through the first "Mariage" event, written to the last one (union code 7).
        bool hasMariage = false;
        int32_t before = db_.UnionEventCount(u);
        for (int32_t i = 1; i <= before && !hasMariage; ++i)
          hasMariage = db_.GetUnionEventField(u, i, 1) == kMariage;
        std::string note = db_.GetUnionField(u, 7) + text;
        db_.SetUnionField(u, 7, note);
        if (!hasMariage && !note.empty() && db_.UnionEventCount(u) == before) {
          ++result_.eventsDropped;  // no event slot left to hold the note
          log(line + " Base pleine, \xE9v\xE9nement non enregistr\xE9 : " + raw);
        }
      }
    } else if (tag == "EVEN") {
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
    const std::string& tag = cur_.tag;
    if (tag == "NOTE") {
      if (cur_.level == 1) {
        src.Text = readContinuedText(1);
        continue;
      }
      if (cur_.level == 2) {
        src.File += '|';
        src.File += cur_.value;
      }
    } else if (tag == "TITL") {
      src.Title = cur_.value;
    } else if (tag == "ABBR") {
      src.Abbrev = cur_.value;
    } else if (tag == "FILE") {
      src.File = cur_.value;
    } else if (tag != "OBJE" && tag != "FORM") {
      src.Text += tag;
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
  } else {
    std::string r = p == 0 ? trimSpaces(v) : trimSpaces(sub1(v, p + 1, len - e));
    surname = r;
    size_t last = r.rfind('/');
    if (last != std::string::npos) {
      surname = r.substr(last + 1);
      p += static_cast<long>(last) + 1;
    }
    givenNames = p == 0 ? std::string() : sub1(v, 1, p - 1);
  }
  surname = trimSpaces(surname);
  givenNames = trimSpaces(givenNames);
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
                          bool headerOnly, bool writeLog, bool nameCase, Host* host) {
  std::unique_ptr<Importer> imp;
  try {
    imp = std::make_unique<Importer>(db, head, headerOnly, nameCase, host);
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
