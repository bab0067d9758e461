#include "gedcom/GedcomIn.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "data/Base.h"
#include "gedcom/GedReader.h"
#include "genealogy/Calendriers.h"
#include "genealogy/DateLieu.h"
#include "util/Host.h"
#include "util/Owned.h"
#include "util/Text.h"
#include "util/Utf8.h"

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

// "XIV", "VIII": a Roman numeral of 1 to 3999 in capitals and in its one standard form
// ("IIII" and "VIC" are not).
bool isRomanNumeral(std::string_view word) {
  static const std::pair<int, std::string_view> kSteps[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  auto digit = [](char c) {
    for (const auto& [v, s] : kSteps)
      if (s.size() == 1 && s[0] == c) return v;
    return 0;
  };
  if (word.empty() || word.size() > 15) return false;
  int value = 0;
  for (size_t i = 0; i < word.size(); ++i) {
    const int d = digit(word[i]);
    if (d == 0) return false;
    value += i + 1 < word.size() && digit(word[i + 1]) > d ? -d : d;
  }
  if (value < 1 || value > 3999) return false;
  std::string standard;
  for (const auto& [v, s] : kSteps)
    for (; value >= v; value -= v) standard += s;
  return standard == word;
}

// The given names after the first that the file writes as Roman numerals ("Louis XIV") keep
// the capitals that the name-case rule took from them.
void keepRomanNumerals(const std::string& written, std::string& capitalised) {
  if (written.size() != capitalised.size()) return;  // the words no longer line up
  bool first = true;
  for (size_t i = 0; i < written.size();) {
    if (written[i] == ' ' || written[i] == ',') {
      ++i;
      continue;
    }
    const size_t end = std::min(written.find_first_of(" ,", i), written.size());
    if (!first && isRomanNumeral(std::string_view(written).substr(i, end - i)))
      capitalised.replace(i, end - i, written, i, end - i);
    first = false;
    i = end;
  }
}

std::string twoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

// "@N24@": the form of a cross-reference pointer.
bool isPointer(const std::string& v) {
  return v.size() >= 3 && v.front() == '@' && v.back() == '@';
}

// SplitPointer without copies, for the look-ups of every line.
struct PointerView {
  std::string_view letters;
  int64_t number = 0;
};
PointerView splitPointer(std::string_view pointer) {
  PointerView r;
  size_t d = pointer.find_first_of("0123456789");
  if (d == std::string_view::npos) {
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

// std::swap of two lines would move each text three times.
void swapLines(TGed& a, TGed& b) {
  a.raw.swap(b.raw);
  a.tag.swap(b.tag);
  a.value.swap(b.value);
  std::swap(a.level, b.level);
  std::swap(a.tagKey, b.tagKey);
  std::swap(a.valueKey, b.valueKey);
}

// "0 @N1@ NOTE text" or "0 @N1@ SNOTE text": the length of the record's word; 0 for any
// other line.
size_t noteWord(const TGed& line) {
  if (line.level != 0 || !isPointer(line.tag)) return 0;
  const std::string& v = line.value;
  size_t word = v.starts_with("NOTE") ? 4 : v.starts_with("SNOTE") ? 5 : 0;
  return word > 0 && (v.size() == word || v[word] == ' ') ? word : 0;
}

// The pointer of a note record, upper-cased, and the text on its first line.
void noteRecordStart(const TGed& line, size_t word, std::string& key, std::string& text) {
  key = UpperAscii(line.tag);
  text = TrimSpaces(std::string_view(line.value).substr(word));
}

// A CONT or CONC line of a note record, added to its text as ReadContinuedText does.
bool noteContinuation(const TGed& line, std::string& text) {
  if (line.tagKey != "CONT"_tag && line.tagKey != "CONC"_tag) return false;
  text += line.tagKey == "CONT"_tag ? "\r\n" : " ";
  text += line.value;
  return true;
}

// "0 @O1@ OBJE": a media record.
bool mediaRecord(const TGed& line) {
  return line.level == 0 && line.valueKey == "OBJE"_tag && isPointer(line.tag);
}

// A web address ("http://...", "mailto:...") names no file to copy into the site. A drive letter
// ("C:/...") is one letter, a scheme at least two.
bool IsWebAddress(const std::string& value) {
  size_t colon = value.find(':');
  if (colon < 2 || colon == std::string::npos) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = value[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-'));
    if (!ok) return false;
  }
  return value.compare(colon, 3, "://") == 0 || FoldCase(value.substr(0, colon)) == "mailto";
}

// The files of an OBJE line at level base, fed the lines under it: each FILE gives one; a
// TITL under a FILE names that file, a TITL beside the FILEs names those without their own.
class MediaLines {
 public:
  explicit MediaLines(int base) : base_(base) {}
  void add(const TGed& line) {
    if (line.level == base_ + 1) {
      inFile_ = line.tagKey == "FILE"_tag && !line.value.empty() && !IsWebAddress(line.value);
      if (inFile_) files_.push_back({line.value, {}});
      if (line.tagKey == "TITL"_tag) title_ = line.value;
    } else if (line.level == base_ + 2 && inFile_ && line.tagKey == "TITL"_tag) {
      files_.back().Title = line.value;
    }
  }
  const std::string& title() const { return title_; }
  std::vector<TMedia> done() {
    for (TMedia& m : files_)
      if (m.Title.empty()) m.Title = title_;
    return std::move(files_);
  }

 private:
  int base_;
  bool inFile_ = false;
  std::string title_;
  std::vector<TMedia> files_;
};

// The citations of the SOUR lines at level base, fed those lines and the lines under them: PAGE,
// QUAY, DATA/TEXT (TEXT for an inline source), an inline source's text, with CONT and CONC.
class CitationLines {
 public:
  explicit CitationLines(int base) : base_(base) {}
  void add(const TGed& line) {
    const uint64_t tag = line.tagKey;
    if (line.level <= base_) {
      open_ = line.level == base_ && tag == "SOUR"_tag;
      field_ = nullptr;
      inData_ = false;
      if (!open_) return;
      TCitation& c = list_.emplace_back();
      if (isPointer(line.value)) {
        c.pointer = line.value;
      } else {
        c.inline_ = line.value;
        follow(&c.inline_, line.level);
      }
      return;
    }
    if (!open_) return;
    if ((tag == "CONT"_tag || tag == "CONC"_tag) && field_ && line.level == fieldLevel_ + 1) {
      *field_ += tag == "CONT"_tag ? kCrLf : " ";
      *field_ += line.value;
      return;
    }
    field_ = nullptr;
    TCitation& c = list_.back();
    if (line.level == base_ + 1 && tag == "PAGE"_tag) {
      c.page = line.value;
      follow(&c.page, line.level);
    } else if (line.level == base_ + 1 && tag == "QUAY"_tag) {
      c.quay = line.value;
    } else if (tag == "TEXT"_tag &&
               (line.level == base_ + 1 || (line.level == base_ + 2 && inData_))) {
      if (!c.text.empty()) c.text += kCrLf;
      c.text += line.value;
      follow(&c.text, line.level);
    }
    if (line.level == base_ + 1) inData_ = tag == "DATA"_tag;
  }
  std::vector<TCitation> done() {
    open_ = false;
    field_ = nullptr;
    return std::move(list_);
  }

 private:
  void follow(std::string* field, int level) {
    field_ = field;
    fieldLevel_ = level;
  }
  int base_;
  bool open_ = false, inData_ = false;
  std::string* field_ = nullptr;  // the text that CONT and CONC lines one level deeper continue
  int fieldLevel_ = 0;
  std::vector<TCitation> list_;
};

// An OBJE line being read at its level, with its value and the lines under it.
struct MediaLink {
  MediaLink(int level, std::string value) : level(level), value(std::move(value)), lines(level) {}
  int level;
  std::string value;
  MediaLines lines;
};

template <class T>
void appendAll(std::vector<T>& to, std::vector<T>&& from) {
  for (T& x : from) to.push_back(std::move(x));
}

// A family is read with its HUSB and WIFE lines first (group 0), then the others (1) in file
// order: the rules then see both spouses. Children may stay among the other lines, since
// no other line changes what a CHIL line does once the spouses are known.
uint8_t familyGroup(uint64_t tag) {
  return tag == "HUSB"_tag || tag == "WIFE"_tag ? 0 : 1;
}
// The tags whose stored kind is their own name: the others keep their tag for the event list.
bool isCanonicalTag(uint64_t tag) {
  return tag == "BIRT"_tag || tag == "DEAT"_tag || tag == "BURI"_tag || tag == "BAPM"_tag ||
         tag == "CHR"_tag || tag == "MARR"_tag || tag == "DIV"_tag;
}

bool namesAPerson(uint64_t tag) {
  return tag == "HUSB"_tag || tag == "WIFE"_tag || tag == "CHIL"_tag;
}

// Record numbers by pointer number. A fixed table holds the numbers 1..size only. A growing
// one holds any number from 1: those below about four times its writes in a vector (the
// numbers most files use), the others in a map, so its memory follows what it holds.
class NumberTable {
 public:
  explicit NumberTable(int fixedSize)
      : growing_(fixedSize == kGrowing), table_(growing_ ? 1 : fixedSize + 1, 0) {}

  bool holds(int64_t n) const {
    return n >= 1 && (growing_ || n < static_cast<int64_t>(table_.size()));
  }
  int32_t find(int64_t n) const {
    if (!holds(n)) return 0;
    if (n < static_cast<int64_t>(table_.size())) return table_[n];
    auto it = far_.find(n);
    return it == far_.end() ? 0 : it->second;
  }
  // The entry of n for writing; holds(n) must be true.
  int32_t& at(int64_t n) {
    ++writes_;
    if (n >= static_cast<int64_t>(table_.size()) && n < 4 * (writes_ + 1024)) widen(n);
    if (n < static_cast<int64_t>(table_.size())) return table_[n];
    return far_[n];
  }

 private:
  void widen(int64_t n) {
    table_.resize(std::clamp<size_t>(table_.size() * 2, static_cast<size_t>(n) + 1,
                                     static_cast<size_t>(4 * (writes_ + 1024))),
                  0);
    // A number lives in one place: the vector when it reaches that far.
    for (auto it = far_.begin(); it != far_.end();) {
      if (it->first < static_cast<int64_t>(table_.size())) {
        table_[it->first] = it->second;
        it = far_.erase(it);
      } else {
        ++it;
      }
    }
  }

  bool growing_;
  std::vector<int32_t> table_;
  std::unordered_map<int64_t, int32_t> far_;
  int64_t writes_ = 0;
};

// Lines of records read now and mapped once the whole file is read, stored compactly. Each
// record keeps the line that ended it (for the log), flagged when that was the end of file.
struct KeptRecords {
  struct Line {
    size_t offset;
    uint64_t number;
    uint32_t length;
    uint8_t group;  // families: familyGroup, the lines before the first level-1 line in 0
    bool endOfFile;
  };
  struct Record {
    size_t first, count;  // lines, the ending line included
  };
  void add(const TGed& line, uint64_t number, bool endOfFile, uint8_t group = 0) {
    lines.push_back(
        {text.size(), number, static_cast<uint32_t>(line.raw.size()), group, endOfFile});
    text += line.raw;
  }
  std::string text;
  std::vector<Line> lines;
  std::vector<Record> records;
};

class Importer {
 public:
  // mapFamiliesEarly: a family whose persons are all known is mapped as soon as it is read
  // (see keepFamilies_); off, every family waits for the end of the file. Only a growing,
  // empty database maps early: with a fixed capacity, an early family's events could take
  // slots that the canonical order gives to individuals read later.
  Importer(TBD& db, THead& head, bool headerOnly, bool nameCase, Host* host, const Clock& clock,
           bool mapFamiliesEarly)
      : db_(db),
        head_(head),
        headerOnly_(headerOnly),
        nameCase_(nameCase),
        host_(host),
        clock_(clock),
        mainTable_(db.Growing() ? kGrowing : db.Capacity()),
        citations_(db.Growing() ? kGrowing : db.Capacity()),
        keepFamilies_(!mapFamiliesEarly || !db.Growing() ||
                      db.PersonCount + db.UnionCount + db.EventCount + db.SourceCount > 0) {
    scratch_.InUse = true;
    scratch_.Quality.clear();
  }
  ImportResult run(const std::string& fileName, uint8_t charMode, bool writeLog);
  // A family mapped early turned out to differ from its mapping at the end: the import must
  // be made again with every family kept for the end.
  bool mustRestart() const { return restart_; }
  // After an unexpected failure: what was read stays.
  ImportResult failedResult(const std::string& reason) {
    result_.failed = true;
    result_.reason = reason;
    return result_;
  }

 private:
  void next() {
    if (replaying_) {
      replayNext();
      return;
    }
    fromRec_ = false;
    reader_.next(*cur_);
  }
  void replayNext();
  bool pastEnd() const { return fromRec_ ? curPastEnd_ : reader_.pastEnd(); }
  uint64_t lineNumber() const { return fromRec_ ? curNumber_ : reader_.lineNumber(); }
  std::string lineNo() const { return std::to_string(lineNumber()); }
  void log(const std::string& text);
  void logLine(const char* marker) {
    if (log_) log(lineNo() + marker + cur_->raw);
  }
  std::string readContinuedText(int base, CitationLines* cites = nullptr);
  // The note records already joined into one field of a record: each is shown once there.
  using JoinedNotes = std::unordered_set<const std::string*>;
  std::string readNote(int base, JoinedNotes* joined = nullptr, CitationLines* cites = nullptr);
  template <class Table>
  const typename Table::mapped_type* linked(Table& table, const std::string& value);
  const std::string* linkedNote(const std::string& value) { return linked(notes_, value); }
  const std::vector<TMedia>* linkedMedia(const std::string& value) { return linked(media_, value); }
  void readAllNotes();
  void readMediaLink(int32_t person);
  // The files of an OBJE line read whole, appended to out.
  void mediaOf(MediaLink& link, std::vector<TMedia>& out);
  void readMediaRecord();
  bool isNote() {
    return cur_->tagKey == "NOTE"_tag || (cur_->tagKey == "SNOTE"_tag && linkedNote(cur_->value));
  }
  void readNoteRecord();

  // Records whose links need the whole file: read into rec_, then mapped from there at once
  // or kept for the end.
  void gatherRecord();
  bool familyLinksKnown();
  void orderFamily();
  void readGatheredFamily();
  void replayGathered();
  void keepGathered(KeptRecords& kept);
  void keepRecord(KeptRecords& kept);
  void replayKept(const KeptRecords& kept, const KeptRecords::Record& r, bool familyOrder);
  bool linkKept(bool pollAbort);
  bool stopRequested();
  // Slot i of rec_; the slots move when rec_ grows, so cur_ is set again after.
  TGed& recSlot(size_t i, uint64_t number) {
    if (i >= rec_.size()) rec_.resize(std::max(i + 1, 2 * rec_.size()));
    rec_[i].number = number;
    rec_[i].endsFile = false;
    return rec_[i].line;
  }
  void readHeader();
  void readSubmitter();
  void readIndividual();
  void readFamily();
  void readSourceRecord();
  // cite and media, when given, see every line under the event at its loop (a family's SOUR
  // or OBJE line read as an event).
  void readEventDetails(TEve& ev, bool logOthers = true, CitationLines* cite = nullptr,
                        MediaLink* media = nullptr);
  void resetScratch();

  void registerPerson(const std::string& pointer, int32_t person);
  int32_t findPerson(const std::string& pointer) const;
  void splitName(int32_t person);

  enum class Owner { Person, Union };
  void storeEvent(Owner kind, int32_t owner, const std::string* fixedKind, bool generic,
                  bool ownerLost = false, CitationLines* cite = nullptr,
                  MediaLink* media = nullptr);
  void citeSource(int32_t person, const std::string& pointer);
  bool citedBelow(int64_t number);
  void progress();

  TBD& db_;
  THead& head_;
  bool headerOnly_, nameCase_;
  Host* host_;
  const Clock& clock_;
  GedReader reader_;
  TGed line_;
  TGed* cur_ = &line_;    // the current line: line_, or a line of rec_
  bool fromRec_ = false;  // the current line comes from rec_, with this number and end
  uint64_t curNumber_ = 0;
  bool curPastEnd_ = false;
  OwnedFile log_;
  TEve scratch_;
  std::string scratchGedcomDate_;  // the DATE value of scratch_ when its date text loses some
  std::vector<TCitation> scratchCitations_;  // the citations and files under scratch_
  std::vector<TMedia> scratchMedia_;
  std::string scratchResn_;  // its RESN line
  ImportResult result_;

  std::string defaultLetters_ = kRefDefaut;
  NumberTable mainTable_;
  std::unordered_map<std::string, int32_t> extra_;  // pointer upper-cased -> person
  size_t extraCount_ = 0;
  NumberTable citations_;
  // Source pointer numbers cited below a fact, a name, a note or a family: their records are
  // kept though no individual cites them. Gathered once the individuals and families are read.
  std::unordered_set<int64_t> citedBelow_;
  bool citedBelowKnown_ = false;
  std::unordered_map<std::string, std::string> notes_;          // note pointer upper-cased -> text
  std::unordered_map<std::string, std::vector<TMedia>> media_;  // OBJE pointer upper-cased
  std::unordered_map<std::string, std::string> repos_;          // REPO pointer upper-cased -> name
  std::string repoKey_;  // the REPO record being passed over, upper-cased

  struct RecLine {
    TGed line;
    uint64_t number = 0;
    bool endsFile = false;  // the line after the last one
  };
  std::vector<RecLine> rec_;  // the record being mapped, its ending line last
  size_t recSize_ = 0, recPos_ = 0;
  bool replaying_ = false;
  // Mapped after the whole file, families then sources, as if the file held them in that
  // order after its individuals.
  KeptRecords families_, sources_;
  std::vector<RecLine> moved_;  // a family's lines being put in mapping order
  std::vector<uint8_t> groups_;
  // Families are mapped as they come while each names only persons already read; from the
  // first that does not, they are kept. An early family is exact unless a later individual
  // takes a pointer again: then restart_.
  bool keepFamilies_;
  bool allNotesRead_ = false;
  std::string fileName_;
  bool familiesMapped_ = false;
  bool restart_ = false;
};

void Importer::log(const std::string& text) {
  if (!log_) return;
  std::fwrite(text.data(), 1, text.size(), log_.get());
  std::fwrite("\r\n", 1, 2, log_.get());
}

ImportResult Importer::run(const std::string& fileName, uint8_t charMode, bool writeLog) {
  fileName_ = fileName;
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

  // A GEDCOM file starts with its header; anything else (a text, a picture, nothing) is
  // refused before it is read.
  do next();
  while (!pastEnd() && cur_->raw.empty());
  if (cur_->level != 0 || cur_->tagKey != "HEAD"_tag) {
    reader_.close();
    log(kNotGedcom);
    result_.failed = true;
    result_.notGedcom = true;
    result_.reason = std::string(kNotGedcom) + " : " + Utf8ToCp1252(fileName) + ".";
    db_.AppendMode = false;
    return result_;
  }

  while (cur_->tagKey != "TRLR"_tag && !pastEnd()) {
    if ((db_.PersonCount + db_.UnionCount) % 182 == 0) progress();
    if (stopRequested()) {
      linkKept(false);
      return result_;
    }
    if (cur_->level == 0)
      repoKey_ = cur_->valueKey == "REPO"_tag && isPointer(cur_->tag) ? UpperAscii(cur_->tag) : "";
    if (cur_->tagKey == "HEAD"_tag) {
      readHeader();
      if (cur_->valueKey == "SUBM"_tag) readSubmitter();
      if (headerOnly_) {
        log("\r\nFin de chargement de l'ent\xEAte.");
        return result_;
      }
    } else if (cur_->valueKey == "INDI"_tag) {
      readIndividual();
      if (restart_) return result_;
    } else if (cur_->valueKey == "FAM"_tag) {
      if (keepFamilies_) {
        keepRecord(families_);
      } else {
        gatherRecord();
        readGatheredFamily();
      }
    } else if (cur_->valueKey == "SOUR"_tag) {
      keepRecord(sources_);
    } else if (noteWord(*cur_) > 0) {
      readNoteRecord();
    } else if (mediaRecord(*cur_)) {
      readMediaRecord();
    } else {
      // A repository's name, for the sources that point at it.
      if (!repoKey_.empty() && cur_->level == 1 && cur_->tagKey == "NAME"_tag)
        repos_.emplace(repoKey_, cur_->value);
      logLine(" : ");
      next();
    }
  }
  reader_.close();
  if (!linkKept(true)) return result_;
  // Sources are numbered as persons cite them: the citations read before learn theirs now.
  db_.Plus.ForEachCitation([&](TCitation& c) {
    if (!c.pointer.empty()) c.source = citations_.find(splitPointer(c.pointer).number);
  });
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

bool Importer::stopRequested() {
  if (!hostAbort(host_)) return false;
  log("\r\nStopp\xE9 par touche ESCAPE \xE0 la Ligne " + cur_->raw);
  result_.aborted = true;
  return true;
}

// Reads the record that starts at the current line into rec_, with the line that ends it.
void Importer::gatherRecord() {
  TGed& first = recSlot(0, lineNumber());
  if (cur_ != &first) swapLines(first, *cur_);
  recSize_ = 1;
  for (;;) {
    TGed& line = recSlot(recSize_++, 0);
    reader_.next(line);
    rec_[recSize_ - 1].number = reader_.lineNumber();
    if (line.level < 1) break;
  }
  rec_[recSize_ - 1].endsFile = reader_.pastEnd();
}

void Importer::replayNext() {
  RecLine& r = rec_[recPos_];
  cur_ = &r.line;
  fromRec_ = true;
  curNumber_ = r.number;
  curPastEnd_ = r.endsFile;
  // From the record's ending line on, the reader goes on (into that slot).
  if (++recPos_ == recSize_) replaying_ = false;
}

// Maps the gathered record from its first line.
void Importer::replayGathered() {
  recPos_ = 0;
  replaying_ = true;
  next();
}

// Keeps the gathered record and goes on at its ending line.
void Importer::keepGathered(KeptRecords& kept) {
  kept.records.push_back({kept.lines.size(), recSize_});
  uint8_t group = 0;
  for (size_t i = 0; i < recSize_; ++i) {
    const TGed& line = rec_[i].line;
    if (i > 0 && line.level == 1) group = familyGroup(line.tagKey);
    kept.add(line, rec_[i].number, rec_[i].endsFile, i + 1 < recSize_ ? group : 0);
  }
  recPos_ = recSize_ - 1;
  replaying_ = true;
  next();
}

// Every spouse and child of the gathered family is a person read already: mapping it now
// gives what mapping it at the end would.
bool Importer::familyLinksKnown() {
  for (size_t i = 1; i + 1 < recSize_; ++i) {
    const TGed& line = rec_[i].line;
    if (line.level == 1 && namesAPerson(line.tagKey) && findPerson(line.value) == 0) return false;
  }
  return true;
}

// The gathered family's lines in mapping order: spouses first.
void Importer::orderFamily() {
  groups_.assign(recSize_, 0);
  uint8_t group = 0;
  bool ordered = true;
  for (size_t i = 1; i + 1 < recSize_; ++i) {
    if (rec_[i].line.level == 1) group = familyGroup(rec_[i].line.tagKey);
    groups_[i] = group;
    ordered = ordered && group >= groups_[i - 1];
  }
  if (ordered) return;
  moved_.resize(std::max(moved_.size(), recSize_));
  size_t k = 0;
  for (uint8_t pass = 0; pass < 2; ++pass)
    for (size_t i = 1; i + 1 < recSize_; ++i)
      if (groups_[i] == pass) std::swap(moved_[k++], rec_[i]);
  for (size_t i = 0; i < k; ++i) std::swap(rec_[i + 1], moved_[i]);
}

// A family just read: mapped now when it can be, else kept with every family after it.
void Importer::readGatheredFamily() {
  if (!familyLinksKnown()) {
    keepFamilies_ = true;
    keepGathered(families_);
    return;
  }
  familiesMapped_ = true;
  orderFamily();
  replayGathered();
  readFamily();
}

// Keeps the record that starts at the current line; its ending line stays the current one.
// Each line of a family notes its group: a level-1 line opens one.
void Importer::keepRecord(KeptRecords& kept) {
  KeptRecords::Record r{kept.lines.size(), 0};
  uint8_t group = 0;
  kept.add(*cur_, lineNumber(), false);
  next();
  while (cur_->level >= 1) {
    if (cur_->level == 1) group = familyGroup(cur_->tagKey);
    kept.add(*cur_, lineNumber(), false, group);
    next();
  }
  kept.add(*cur_, lineNumber(), pastEnd());
  r.count = kept.lines.size() - r.first;
  kept.records.push_back(r);
}

// Puts a kept record back into rec_ and maps it from its first line, a family's spouses
// first.
void Importer::replayKept(const KeptRecords& kept, const KeptRecords::Record& r, bool familyOrder) {
  recSize_ = 0;
  auto put = [&](size_t i) {
    const KeptRecords::Line& l = kept.lines[i];
    TGed& line = recSlot(recSize_++, l.number);
    line.raw.assign(kept.text, l.offset, l.length);
    SplitGedLine(line);
  };
  const size_t end = r.first + r.count - 1;  // the ending line
  put(r.first);
  for (uint8_t pass = 0; pass < (familyOrder ? 2 : 1); ++pass)
    for (size_t i = r.first + 1; i < end; ++i)
      if (!familyOrder || kept.lines[i].group == pass) put(i);
  put(end);
  rec_[recSize_ - 1].endsFile = kept.lines[end].endOfFile;
  replayGathered();
}

// Maps the kept records once the file is read. False when the host asked to stop.
bool Importer::linkKept(bool pollAbort) {
  struct Pass {
    KeptRecords* kept;
    void (Importer::*read)();
  };
  for (const Pass& pass :
       {Pass{&families_, &Importer::readFamily}, Pass{&sources_, &Importer::readSourceRecord}}) {
    for (const KeptRecords::Record& r : pass.kept->records) {
      if ((db_.PersonCount + db_.UnionCount) % 182 == 0) progress();
      if (pollAbort && stopRequested()) return false;
      replayKept(*pass.kept, r, pass.kept == &families_);
      (this->*pass.read)();
    }
  }
  return true;
}

void Importer::progress() {
  if (!host_) return;
  host_->setProgressPos(reader_.offset() / 128);
  host_->setStatus("Nombre de personnes et d'unions : " + std::to_string(db_.PersonCount) + " / " +
                   std::to_string(db_.UnionCount));
  host_->processMessages();
}

std::string Importer::readContinuedText(int base, CitationLines* cites) {
  std::string text = cur_->value;
  if (cites) cites->add(*cur_);
  next();
  while (cur_->level >= base + 1) {
    if (cites) cites->add(*cur_);
    if (cur_->tagKey == "CONT"_tag) {
      text += kCrLf;
      text += cur_->value;
    } else if (cur_->tagKey == "CONC"_tag) {
      text += ' ';
      text += cur_->value;
    }
    next();
  }
  if (!text.empty()) text += kCrLf;
  return text;
}

// The entry of a table of linked records (notes, media) that a pointer names, or nullptr when
// it names none. A pointer to a record not read yet has the rest of the file read for its notes
// and media, once.
template <class Table>
const typename Table::mapped_type* Importer::linked(Table& table, const std::string& value) {
  if (!isPointer(value)) return nullptr;
  std::string key = UpperAscii(value);
  auto it = table.find(key);
  if (it == table.end() && !allNotesRead_) {
    readAllNotes();
    it = table.find(key);
  }
  return it == table.end() ? nullptr : &it->second;
}

// Every note and media record up to the trailer, read by a second reader that passes over the
// other records; those already read stay (the first record of a pointer counts).
void Importer::readAllNotes() {
  allNotesRead_ = true;
  GedReader notes;
  if (!notes.open(fileName_, reader_.charset(), nullptr)) return;
  notes.selectCharset(reader_.charset());
  TGed line;
  notes.nextTop(line);
  while (!notes.pastEnd() && line.tagKey != "TRLR"_tag) {
    if (mediaRecord(line)) {
      std::string key = UpperAscii(line.tag);
      MediaLines files(0);
      while (notes.next(line) && line.level >= 1) files.add(line);
      media_.emplace(std::move(key), files.done());
      continue;
    }
    size_t word = noteWord(line);
    if (word == 0) {
      notes.nextTop(line);
      continue;
    }
    std::string key, text;
    noteRecordStart(line, word, key, text);
    while (notes.next(line) && line.level >= 1 && noteContinuation(line, text)) {
    }
    notes_.emplace(std::move(key), std::move(text));
    if (line.level != 0) notes.nextTop(line);
  }
}

// A note line: a pointer to a note record stands for that record's text, or for nothing when
// that record is already in `joined`.
std::string Importer::readNote(int base, JoinedNotes* joined, CitationLines* cites) {
  if (const std::string* text = linkedNote(cur_->value)) {
    if (joined && !joined->insert(text).second)
      cur_->value.clear();
    else
      cur_->value = *text;
  }
  return readContinuedText(base, cites);
}

// "0 @N1@ NOTE text" (GEDCOM 7: SNOTE) with its CONT and CONC lines. Other lines under it are
// left to the top-level loop, as before notes were read. The first record of a pointer counts.
void Importer::readNoteRecord() {
  std::string key, text;
  noteRecordStart(*cur_, noteWord(*cur_), key, text);
  next();
  while (cur_->level >= 1 && noteContinuation(*cur_, text)) next();
  notes_.emplace(std::move(key), std::move(text));
}

// "0 @O1@ OBJE" with its files.
void Importer::readMediaRecord() {
  std::string key = UpperAscii(cur_->tag);
  MediaLines files(0);
  next();
  while (cur_->level >= 1) {
    files.add(*cur_);
    next();
  }
  media_.emplace(std::move(key), files.done());
}

// "1 OBJE" of a person: its files inline, or a pointer to a media record whose files it
// takes, under its own title when it gives one.
void Importer::readMediaLink(int32_t person) {
  const std::string value = cur_->value;
  MediaLines files(1);
  next();
  while (cur_->level >= 2) {
    files.add(*cur_);
    next();
  }
  if (!isPointer(value)) {
    for (TMedia& m : files.done()) db_.AddPersonMedia(person, std::move(m));
    return;
  }
  const std::vector<TMedia>* linked = linkedMedia(value);
  if (!linked) return;
  for (TMedia m : *linked) {
    if (!files.title().empty()) m.Title = files.title();
    db_.AddPersonMedia(person, std::move(m));
  }
}

void Importer::mediaOf(MediaLink& link, std::vector<TMedia>& out) {
  if (!isPointer(link.value)) {
    appendAll(out, link.lines.done());
    return;
  }
  const std::vector<TMedia>* linked = linkedMedia(link.value);
  if (!linked) return;
  for (TMedia m : *linked) {
    if (!link.lines.title().empty()) m.Title = link.lines.title();
    out.push_back(std::move(m));
  }
}

void Importer::readHeader() {
  for (std::string& s : head_) s.clear();
  db_.PlaceForm.clear();
  next();
  while (cur_->level > 0) {
    if (cur_->level > 1) {
      next();
      continue;
    }
    const uint64_t tag = cur_->tagKey;
    if (tag == "SOUR"_tag) {
      head_[0] = cur_->value;
      next();
      while (cur_->level > 1) {
        if (cur_->tagKey == "VERS"_tag)
          head_[1] = cur_->value;
        else if (cur_->tagKey == "NAME"_tag)
          head_[2] = cur_->value;
        else if (cur_->tagKey == "CORP"_tag)
          head_[3] = cur_->value;
        next();
      }
    } else if (tag == "DATE"_tag) {
      head_[4] = cur_->value;
      next();
    } else if (tag == "GEDC"_tag) {
      next();
      while (cur_->level > 1) {
        if (cur_->tagKey == "VERS"_tag) head_[5] = cur_->value;
        next();
      }
    } else if (tag == "CHAR"_tag) {
      head_[6] = cur_->value;
      Charset cs;
      if (CharsetFromName(cur_->value, &cs)) reader_.selectCharset(cs);
      next();
    } else if (tag == "LANG"_tag) {
      head_[7] = cur_->value;
      next();
    } else if (tag == "NOTE"_tag) {
      head_[8] = readContinuedText(1);
    } else if (tag == "PLAC"_tag) {
      // The order of the parts of every place of the file.
      next();
      while (cur_->level > 1) {
        if (cur_->level == 2 && cur_->tagKey == "FORM"_tag) db_.PlaceForm = cur_->value;
        next();
      }
    } else {
      logLine(" HEAD : ");
      next();
    }
  }
}

void Importer::readSubmitter() {
  next();
  while (cur_->level > 0) {
    if (cur_->level > 1) {
      next();
    } else if (cur_->tagKey == "NAME"_tag) {
      head_[8] += cur_->value;
      next();
    } else if (cur_->tagKey == "ADDR"_tag) {
      head_[8] += kCrLf;
      head_[8] += readContinuedText(1);
    } else {
      logLine(" SUBM : ");
      next();
    }
  }
}

void Importer::resetScratch() {
  scratchGedcomDate_.clear();
  scratchCitations_.clear();
  scratchMedia_.clear();
  scratchResn_.clear();
  scratch_ = TEve();
  scratch_.InUse = true;
  scratch_.Quality.clear();
}

void Importer::readEventDetails(TEve& ev, bool logOthers, CitationLines* cite, MediaLink* media) {
  std::optional<MediaLink> obje;  // an OBJE under the event, read with its lines
  next();
  while (cur_->level >= 2) {
    const uint64_t tag = cur_->tagKey;
    if (cite) cite->add(*cur_);
    if (media) media->lines.add(*cur_);
    if (obje && cur_->level <= obje->level) {
      mediaOf(*obje, scratchMedia_);
      obje.reset();
    }
    if (obje) obje->lines.add(*cur_);
    if (tag == "OBJE"_tag && !obje) obje.emplace(cur_->level, cur_->value);
    if (tag == "DATE"_tag) {
      ev.Date = GedcomDateText(cur_->value);
      if (KeepsGedcomDate(cur_->value)) scratchGedcomDate_ = cur_->value;
      next();
    } else if (tag == "PLAC"_tag) {
      ev.Place = cur_->value;
      next();
    } else if (isNote()) {
      ev.Note = readNote(2);
    } else if (tag == "TYPE"_tag) {
      ev.Kind = cur_->value;
      next();
    } else if (tag == "SOUR"_tag) {
      CitationLines lines(cur_->level);
      ev.Note += kCrLf;
      ev.Note += readContinuedText(2, &lines);
      appendAll(scratchCitations_, lines.done());
    } else if (tag == "TIME"_tag) {
      ev.Time = cur_->value;
      next();
    } else if (tag == "QUAY"_tag) {
      ev.Quality = std::to_string(3 - static_cast<int64_t>(ParseInt32(cur_->value).value_or(0)));
      next();
    } else if (tag == "RESN"_tag && cur_->level == 2) {
      // A restriction on the fact, not a text of it.
      scratchResn_ = cur_->value;
      db_.Plus.NoteResn();
      next();
    } else {
      ev.Note += kCrLf;
      ev.Note += cur_->raw;
      if (logOthers) logLine(" EVE : ");
      next();
    }
  }
  if (obje) mediaOf(*obje, scratchMedia_);
}

// Reads the event at the current line for a person or a union and stores it. Without an
// owner the lines are read and the event dropped; a full pool is counted and logged.
// ownerLost: the owner itself could not be stored (already counted).
void Importer::storeEvent(Owner kind, int32_t owner, const std::string* fixedKind, bool generic,
                          bool ownerLost, CitationLines* cite, MediaLink* media) {
  std::string tag, value;
  if (generic) {
    tag = cur_->tag;
    value = cur_->value;
  }
  // The list of events names a fact by its own tag where the record takes another's kind.
  const std::string ownTag = fixedKind && !isCanonicalTag(cur_->tagKey) ? cur_->tag : "";
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
  readEventDetails(scratch_, true, cite, media);
  if (e == 0) return;
  TEve& stored = *db_.EventRecord(e);
  stored = std::move(scratch_);
  if (!scratchGedcomDate_.empty() || !ownTag.empty() || !scratchCitations_.empty() ||
      !scratchMedia_.empty() || !scratchResn_.empty()) {
    TEvePlus& plus = db_.Plus.EventFor(e);
    plus.gedcomDate = std::move(scratchGedcomDate_);
    plus.tag = ownTag;
    plus.citations = std::move(scratchCitations_);
    plus.media = std::move(scratchMedia_);
    plus.resn = std::move(scratchResn_);
  }
  if (fixedKind) {
    stored.Kind = *fixedKind;
  } else if (generic) {
    stored.Kind = stored.Kind.empty() ? tag : tag + " " + stored.Kind;
    if (!value.empty()) stored.Note = stored.Note.empty() ? value : value + kCrLf + stored.Note;
  }
}

void Importer::registerPerson(const std::string& pointer, int32_t person) {
  PointerView p = splitPointer(pointer);
  if (defaultLetters_ == kRefDefaut) defaultLetters_ = std::string(p.letters);
  if (p.letters == defaultLetters_ && mainTable_.holds(p.number)) {
    int32_t& entry = mainTable_.at(p.number);
    // A pointer taken again names another person from now on, for early families too.
    if (entry != 0 && familiesMapped_) restart_ = true;
    entry = person;
    return;
  }
  // The extra list of a fixed capacity holds as many pointers as the pools hold persons.
  ++extraCount_;
  if (db_.Growing() || extraCount_ <= static_cast<size_t>(db_.Capacity()))
    extra_.emplace(UpperAscii(pointer), person);
}

int32_t Importer::findPerson(const std::string& pointer) const {
  PointerView p = splitPointer(pointer);
  if (p.letters == defaultLetters_ && mainTable_.holds(p.number)) return mainTable_.find(p.number);
  auto it = extra_.find(UpperAscii(pointer));
  return it == extra_.end() ? 0 : it->second;
}

void Importer::splitName(int32_t person) {
  std::string surname, given;
  SplitName(cur_->value, nameCase_, surname, given);
  db_.SetSurname(person, surname);
  db_.SetGivenNames(person, given);
}

void Importer::citeSource(int32_t person, const std::string& pointer) {
  PointerView p = splitPointer(pointer);
  if (!citations_.holds(p.number)) return;
  int32_t& s = citations_.at(p.number);
  if (s == 0) {
    s = db_.NewSource();
    if (s == 0) return;
    TSrc* src = db_.SourceRecord(s);
    src->InUse = true;
    src->Title.clear();
    src->Text.clear();
    src->File.clear();
  }
  db_.AddPersonSource(person, s);
}

bool Importer::citedBelow(int64_t number) {
  if (!citedBelowKnown_) {
    citedBelowKnown_ = true;
    db_.Plus.ForEachCitation([&](TCitation& c) {
      if (!c.pointer.empty()) citedBelow_.insert(splitPointer(c.pointer).number);
    });
  }
  return citations_.holds(number) && citedBelow_.count(number) > 0;
}

void Importer::readIndividual() {
  int32_t p = db_.NewPerson();
  if (p == 0) {
    ++result_.personsDropped;
    logLine(
        " Base pleine, personne non enregistr\xE9"
        "e : ");
    do next();
    while (cur_->level >= 1);
    return;
  }
  registerPerson(cur_->tag, p);
  db_.SetPointer(p, cur_->tag);
  db_.SetSex(p, 2);  // unknown until a SEX line says otherwise
  // The notes are joined here and stored once: appending to the stored field would copy it
  // again at each note.
  std::string note = db_.GetPersonField(p, PersonCode::Note);
  const size_t noteBefore = note.size();
  JoinedNotes joined;
  next();
  while (cur_->level >= 1) {
    if (cur_->level > 1) {
      next();
      continue;
    }
    const uint64_t tag = cur_->tagKey;
    if (tag == "NAME"_tag) {
      splitName(p);
      CitationLines cites(2);
      next();
      while (cur_->level >= 2) {
        cites.add(*cur_);
        next();
      }
      if (std::vector<TCitation> found = cites.done(); !found.empty())
        appendAll(db_.Plus.PersonFor(p).nameCitations, std::move(found));
    } else if (tag == "SEX"_tag) {
      const std::string sex = UpperAscii(cur_->value);
      db_.SetSex(p, sex == "M" ? 0 : sex == "F" ? 1 : 2);
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
    } else if (isNote()) {
      CitationLines cites(2);
      note += readNote(1, &joined, &cites);
      if (std::vector<TCitation> found = cites.done(); !found.empty())
        appendAll(db_.Plus.PersonFor(p).noteCitations, std::move(found));
    } else if (tag == "OCCU"_tag || tag == "TITL"_tag) {
      std::string attrs = db_.GetPersonField(p, PersonCode::Titre);
      attrs += tag == "OCCU"_tag ? "t|Profession|" : "t|Titre|";
      attrs += cur_->value;
      attrs += '|';
      db_.SetPersonField(p, PersonCode::Titre, attrs);
      // Also a fact of the event list, with its date and place.
      TFait fact;
      fact.eve.InUse = true;
      fact.eve.Kind = cur_->tag;
      const std::string value = cur_->value;
      resetScratch();
      readEventDetails(fact.eve, false);
      if (!value.empty())
        fact.eve.Note = fact.eve.Note.empty() ? value : value + kCrLf + fact.eve.Note;
      fact.plus.gedcomDate = std::move(scratchGedcomDate_);
      fact.plus.citations = std::move(scratchCitations_);
      fact.plus.media = std::move(scratchMedia_);
      fact.plus.resn = std::move(scratchResn_);
      // One without a date, a place, a citation or a file says no more than the attribute: not
      // kept twice.
      if (!fact.eve.Date.empty() || !fact.eve.Place.empty() || !fact.plus.gedcomDate.empty() ||
          !fact.plus.citations.empty() || !fact.plus.media.empty() || !fact.plus.resn.empty())
        db_.Plus.PersonFactsFor(p).push_back(std::move(fact));
    } else if (tag == "CHAN"_tag) {
      resetScratch();
      readEventDetails(scratch_);
      db_.SetPersonField(p, PersonCode::Dcree, scratch_.Date);
      db_.SetPersonField(p, PersonCode::DdMAJ, scratch_.Date);
    } else if (tag == "SOUR"_tag) {
      citeSource(p, cur_->value);
      next();
    } else if (tag == "OBJE"_tag) {
      readMediaLink(p);
    } else if (tag == "RESN"_tag) {
      // A restriction on the whole person, not an event.
      db_.Plus.PersonFor(p).resn = cur_->value;
      db_.Plus.NoteResn();
      next();
    } else {
      // Kept as any other line; the first person numbered 1 is the reference person.
      if (db_.SosaRoot == 0 && (cur_->tag == "_SOSA" || cur_->tag == "_SOSADABOVILLE") &&
          NumbersSosaOne(cur_->value))
        db_.SosaRoot = p;
      storeEvent(Owner::Person, p, nullptr, true);
    }
  }
  if (note.size() != noteBefore) db_.SetPersonField(p, PersonCode::Note, note);
}

void Importer::readFamily() {
  int32_t husband = 0, wife = 0, u = 0;
  bool made = false;
  JoinedNotes joined;
  std::string resn;  // the family's RESN, for its union once made
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
  while (cur_->level >= 1) {
    if (cur_->level > 1) {
      next();
      continue;
    }
    const uint64_t tag = cur_->tagKey;
    if (tag == "HUSB"_tag) {
      husband = findPerson(cur_->value);
      if (db_.GetSex(husband) == 1) {  // a woman; a man or an unknown sex is taken
        husband = 0;
        logLine(
            " Femme donn\xE9"
            "e comme \xE9poux, lien non enregistr\xE9 : ");
      }
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "WIFE"_tag) {
      wife = findPerson(cur_->value);
      if (db_.GetSex(wife) == 0) {
        wife = 0;
        logLine(" Homme donn\xE9 comme \xE9pouse, lien non enregistr\xE9 : ");
      }
      if (husband > 0 && wife > 0) makeUnion();
      next();
    } else if (tag == "CHIL"_tag) {
      int32_t child = findPerson(cur_->value);
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
    } else if (isNote()) {
      std::string line = lineNo(), raw = cur_->raw;
      std::string text = readNote(1, &joined);
      if (u > 0) {
        // Read through the first "Mariage" event, written to the last one (NoteU), in place:
        // the note is not copied again at each note line.
        TEve *first = nullptr, *last = nullptr;
        if (const TUnion* un = db_.Union(u))
          for (int32_t e : un->EventList)
            if (TEve* ev = db_.EventRecord(e); ev && ev->Kind == kMariage) {
              if (!first) first = ev;
              last = ev;
            }
        const bool hasMariage = last != nullptr;
        int32_t before = db_.UnionEventCount(u);
        if (first == last && last)
          last->Note += text;
        else if (last)
          last->Note = first->Note + text;
        else
          db_.SetUnionField(u, UnionCode::NoteU, text);
        if (!hasMariage && !text.empty() && db_.UnionEventCount(u) == before) {
          ++result_.eventsDropped;  // no event slot left to hold the note
          log(line + " Base pleine, \xE9v\xE9nement non enregistr\xE9 : " + raw);
        }
      }
    } else if (tag == "EVEN"_tag) {
      storeEvent(Owner::Union, u, nullptr, false, made);
    } else if (tag == "RESN"_tag) {
      resn = cur_->value;
      next();
    } else if (tag == "SOUR"_tag || tag == "OBJE"_tag) {
      // Read as a generic event, as always; the union also keeps it as a citation or a file.
      const bool sour = tag == "SOUR"_tag;
      CitationLines cite(1);
      MediaLink media(1, cur_->value);
      if (sour) cite.add(*cur_);
      storeEvent(Owner::Union, u, nullptr, true, made, sour ? &cite : nullptr,
                 sour ? nullptr : &media);
      if (u > 0) {
        std::vector<TCitation> cites = cite.done();
        std::vector<TMedia> files;
        if (!sour) mediaOf(media, files);
        if (!cites.empty()) appendAll(db_.Plus.UnionFor(u).citations, std::move(cites));
        if (!files.empty()) appendAll(db_.Plus.UnionFor(u).media, std::move(files));
      }
    } else {
      storeEvent(Owner::Union, u, nullptr, true, made);
    }
  }
  if (u > 0 && !resn.empty()) {
    db_.Plus.UnionFor(u).resn = std::move(resn);
    db_.Plus.NoteResn();
  }
}

void Importer::readSourceRecord() {
  const int64_t number = splitPointer(cur_->tag).number;
  int32_t s = citations_.find(number);
  if (s == 0 && citedBelow(number)) {
    // Cited below a fact only: kept all the same, after the sources that individuals cite.
    s = db_.NewSource();
    if (s != 0) {
      citations_.at(number) = s;
      TSrc* src = db_.SourceRecord(s);
      src->InUse = true;
      src->Title.clear();
      src->Text.clear();
      src->File.clear();
    }
  }
  if (s == 0) {
    next();
    if (!pastEnd() && log_) log(lineNo() + " " + cur_->raw + " Pointeur de source invalide.");
    while (cur_->level >= 1) {
      next();
      if (!pastEnd() && log_) log(lineNo() + " " + cur_->raw);
    }
    return;
  }
  TSrc& src = *db_.SourceRecord(s);
  TSourcePlus plus;
  std::string* field = nullptr;  // AUTH or PUBL, continued by CONT and CONC lines under it
  std::optional<MediaLink> obje;
  next();
  while (cur_->level >= 1) {
    const uint64_t tag = cur_->tagKey;
    if (obje && cur_->level <= obje->level) {
      mediaOf(*obje, plus.media);
      obje.reset();
    }
    if (obje) obje->lines.add(*cur_);
    if (tag == "OBJE"_tag && !obje) obje.emplace(cur_->level, cur_->value);
    if (cur_->level == 1) {
      field = tag == "AUTH"_tag ? &plus.author : tag == "PUBL"_tag ? &plus.publication : nullptr;
      if (field) *field = cur_->value;
      if (tag == "REPO"_tag) {
        auto repo = repos_.find(UpperAscii(cur_->value));
        plus.repository = repo == repos_.end() ? cur_->value : repo->second;
      }
    } else if (field && cur_->level == 2 && (tag == "CONT"_tag || tag == "CONC"_tag)) {
      *field += tag == "CONT"_tag ? kCrLf : " ";
      *field += cur_->value;
    }
    if (tag == "NOTE"_tag || (cur_->level == 1 && isNote())) {
      if (cur_->level == 1) {
        src.Text = readNote(1);
        plus.note += src.Text;
        continue;
      }
      if (cur_->level == 2) {
        src.File += '|';
        src.File += cur_->value;
      }
    } else if (tag == "TITL"_tag) {
      if (!obje) src.Title = cur_->value;  // under an OBJE it names the file
    } else if (tag == "ABBR"_tag) {
      src.Abbrev = cur_->value;
    } else if (tag == "FILE"_tag) {
      src.File = cur_->value;
    } else if (tag != "OBJE"_tag && tag != "FORM"_tag) {
      src.Text += cur_->tag;
      src.Text += ": ";
      src.Text += cur_->value;
      src.Text += kCrLf;
    }
    next();
  }
  if (obje) mediaOf(*obje, plus.media);
  if (!plus.author.empty() || !plus.publication.empty() || !plus.repository.empty() ||
      !plus.note.empty() || !plus.media.empty())
    db_.Plus.SourceFor(s) = std::move(plus);
}

}  // namespace

GedPointer SplitPointer(const std::string& pointer) {
  PointerView v = splitPointer(pointer);
  return {std::string(v.letters), v.number};
}

bool NumbersSosaOne(const std::string& value) {
  size_t i = value.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  while (i < value.size() && value[i] == '0') ++i;
  if (i >= value.size() || value[i] != '1') return false;
  ++i;
  auto digit = [&value](size_t at) {
    return at < value.size() && value[at] >= '0' && value[at] <= '9';
  };
  return !digit(i) && !(i < value.size() && value[i] == '.' && digit(i + 1));
}

bool KeepsGedcomDate(const std::string& value) {
  // Most dates are plain: a quick look, without a copy, sets them aside before the whole
  // reading (this runs for every DATE line of the file).
  if (value.find_first_of("@/(") == std::string::npos) {
    const std::string_view first = std::string_view(value).substr(0, value.find(' '));
    auto is = [&first](std::string_view word) {
      if (first.size() != word.size()) return false;
      for (size_t i = 0; i < word.size(); ++i)
        if ((first[i] >= 'a' && first[i] <= 'z' ? first[i] - 32 : first[i]) != word[i])
          return false;
      return true;
    };
    bool keyword = false;
    for (std::string_view w : {"CAL", "EST", "INT", "FROM", "TO", "FRENCH_R", "JULIAN", "HEBREW"})
      keyword = keyword || is(w);
    if (!keyword) return false;
  }
  const DateOrigine d = LitDateOrigine(value);
  if (!d.valid) return false;
  const bool plain =
      d.first.calendar == Calendrier::Gregorien && d.first.dual.empty() &&
      (!d.hasSecond || (d.second.calendar == Calendrier::Gregorien && d.second.dual.empty())) &&
      d.phrase.empty() &&
      (d.qualifier.empty() || d.qualifier == "ABT" || d.qualifier == "BEF" ||
       d.qualifier == "AFT" || d.qualifier == "BET");
  return !plain;
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
    std::string capitalised = CapitaliseAnsi(givenNames);
    keepRomanNumerals(givenNames, capitalised);
    givenNames = std::move(capitalised);
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
    imp = std::make_unique<Importer>(db, head, headerOnly, nameCase, host, clock, true);
    ImportResult r = imp->run(fileName, charMode, writeLog);
    if (!imp->mustRestart()) return r;
    imp.reset();
    db.Clear();
    imp = std::make_unique<Importer>(db, head, headerOnly, nameCase, host, clock, false);
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
