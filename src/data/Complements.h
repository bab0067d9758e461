#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/Eve.h"

namespace lignado {

// A source citation kept with the fact it supports.
struct TCitation {
  int32_t source = 0;   // the source record's number; 0 for an inline source or an unknown pointer
  std::string pointer;  // the pointer as written ("@S1@"); empty for an inline source
  std::string page;     // PAGE
  std::string text;     // DATA/TEXT (TEXT for an inline source), lines joined by CR LF
  std::string quay;     // QUAY as written
  std::string inline_;  // an inline source's own text, with its CONT and CONC lines
  bool operator==(const TCitation&) const = default;
};

// What the file says of an event beyond its stored fields, for the few events that need it.
struct TEvePlus {
  std::string gedcomDate;  // the DATE value when the date text cannot say it (another calendar...)
  std::string tag;         // the GEDCOM tag when the stored kind is another's ("ENGA": "Mariage")
  std::vector<TCitation> citations;
  std::vector<TMedia> media;  // its OBJE lines
  std::string resn;           // its RESN value as written (TVivants reads it)
};

// A fact kept for the event lists only, outside the records.
struct TFait {
  TEve eve;
  TEvePlus plus;
};

// Citations below a person's NAME and NOTE lines.
struct TPersonPlus {
  std::vector<TCitation> nameCitations, noteCitations;
  std::string resn;  // the record's RESN value as written
};

// A union's own citations and documents (level-1 SOUR and OBJE of its family record).
struct TUnionPlus {
  std::vector<TCitation> citations;
  std::vector<TMedia> media;
  std::string resn;
};

// Fields of a source record that its stored text only holds as "TAG: value" lines.
struct TSourcePlus {
  std::string author, publication;
  std::string repository;  // the REPO record's name, or the value when it is no pointer
  std::string note;        // its level-1 NOTE alone (the stored text also holds other lines)
  std::vector<TMedia> media;
};

// What the import keeps beyond the records: kept apart so that the records, their counts and
// every template reading them stay as they are. Entries exist only for owners with something.
class TComplements {
 public:
  const TEvePlus* Event(int32_t e) const;  // nullptr when the event has nothing more
  TEvePlus& EventFor(int32_t e);
  void DropEvent(int32_t e);

  // Facts kept for the event lists only (an occupation or a title with a date or a place), by
  // owner, in file order.
  const std::vector<TFait>& PersonFacts(int32_t p) const;
  std::vector<TFait>& PersonFactsFor(int32_t p);
  void DropPerson(int32_t p);

  const TPersonPlus* Person(int32_t p) const;
  TPersonPlus& PersonFor(int32_t p);
  const TUnionPlus* Union(int32_t u) const;
  TUnionPlus& UnionFor(int32_t u);
  const TSourcePlus* Source(int32_t s) const;
  TSourcePlus& SourceFor(int32_t s);

  // Every citation kept, to set their source numbers once the file is read.
  template <class F>
  void ForEachCitation(F&& f) {
    auto all = [&](std::vector<TCitation>& list) {
      for (TCitation& c : list) f(c);
    };
    for (auto& [e, plus] : events_) all(plus.citations);
    for (auto& [p, facts] : personFacts_)
      for (TFait& fact : facts) all(fact.plus.citations);
    for (auto& [p, plus] : persons_) {
      all(plus.nameCitations);
      all(plus.noteCitations);
    }
    for (auto& [u, plus] : unions_) all(plus.citations);
  }

  // Whether some RESN line was kept, so that readers skip the look-up when none was.
  bool HasResn() const { return hasResn_; }
  void NoteResn() { hasResn_ = true; }

  void Clear();

 private:
  bool hasResn_ = false;
  std::unordered_map<int32_t, TEvePlus> events_;
  std::unordered_map<int32_t, std::vector<TFait>> personFacts_;
  std::unordered_map<int32_t, TPersonPlus> persons_;
  std::unordered_map<int32_t, TUnionPlus> unions_;
  std::unordered_map<int32_t, TSourcePlus> sources_;
};

}  // namespace lignado
