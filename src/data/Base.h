#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/Complements.h"
#include "data/Liens.h"

namespace lignado {

class TSosa;  // genealogy/Sosa.h

using NumList = std::vector<int32_t>;

struct TFiche {  // one person
  bool InUse = false;
  uint8_t Sexe = 0;  // 0 man, 1 woman, 2 unknown
  std::string Nom, Pre;
  int32_t NumP = 0, NumM = 0;
  int32_t Extra1 = 0, Extra2 = 0;
  std::string Note, Dcree, DdMAJ, Attributes;
  NumList EventList;
  std::string RefNumber;
  NumList SourceList;
  std::string SpareText;
  int32_t SiblingLink = 0, ChildLink = 0, UnionLink = 0;
  std::vector<TMedia> Media;  // in file order
  std::string Pointer;        // the GEDCOM pointer as written ("@I12@"); empty when none
};

struct TUnion {
  bool InUse = false;
  int32_t NumH = 0, NumF = 0;
  NumList EventList;
  int32_t NextUnionLink = 0;
};

struct TSrc {
  bool InUse = false;
  std::string Title, Abbrev, Text, File;
};

// Event kinds as stored (Windows-1252 bytes).
inline const std::string kNaissance = "Naissance";
inline const std::string kBapteme = "Bapt\xEAme";
inline const std::string kDeces =
    "D\xE9"
    "c\xE8s";
inline const std::string kSepulture = "S\xE9pulture";
inline const std::string kMariage = "Mariage";
inline const std::string kDivorce = "Divorce";

// Field codes of GetPersonField / SetPersonField (the numbers are those of the stored format).
namespace PersonCode {
enum : int {
  InUse = 0,
  Sexe = 1,
  Nom = 2,
  Pre = 3,
  NumP = 4,
  NumM = 5,
  DdN = 6,  // date, place and note of the birth event (kNaissance)
  LdN = 7,
  NoteN = 8,
  DdB = 9,  // of the baptism (kBapteme)
  LdB = 10,
  NoteB = 11,
  DdD = 12,  // of the death (kDeces)
  LdD = 13,
  NoteD = 14,
  DdE = 15,  // of the burial (kSepulture)
  LdE = 16,
  NoteE = 17,
  Note = 18,
  Prof = 19,  // the attribute "Profession"
  Photo = 20,
  Dcree = 21,
  DdMAJ = 22,
  Titre = 23,  // the whole attribute list
  UsualName = 24,
  FullName = 25,  // Nom, a space, Pre
  RefNumber = 26,
  Extra1 = 27,
  Extra2 = 28,
};
}  // namespace PersonCode

// Field codes of GetUnionField / SetUnionField.
namespace UnionCode {
enum : int {
  NumH = 1,
  NumF = 2,
  DdM = 3,  // date of the "Mariage" event
  DdS = 4,  // date of the "Divorce" event
  LdM = 5,
  LdS = 6,
  NoteU = 7,  // note of the "Mariage" event
};
}  // namespace UnionCode

// Field codes of an event (GetPersonEventField, GetPersonEvent and their union forms).
namespace EventCode {
enum : int { Kind = 1, Date = 2, Time = 3, Place = 4, Note = 5, Quality = 6 };
}  // namespace EventCode

// Field names of the person codes 1..23 and union codes 1..7 (index = code - 1).
extern const char* const kPersonFieldNames[23];
extern const char* const kUnionFieldNames[7];
extern const char* const kOptionNames[4];
extern const char* const kMainEventKinds[4];
extern const char* const kMainEventTags[4];

// Records in chunks of a fixed count: growing never moves a record, and memory comes in steps
// that the allocator takes from its heap and reuses.
template <typename T>
class RecordPool {
 public:
  static constexpr size_t kChunk = 256;
  explicit RecordPool(size_t n) { grow(n); }
  size_t size() const { return size_; }
  void grow(size_t n) {
    while (chunks_.size() * kChunk < n) chunks_.push_back(std::make_unique<T[]>(kChunk));
    if (n > size_) size_ = n;
  }
  T& operator[](size_t i) { return chunks_[i / kChunk][i % kChunk]; }
  const T& operator[](size_t i) const { return chunks_[i / kChunk][i % kChunk]; }

 private:
  std::vector<std::unique_ptr<T[]>> chunks_;
  size_t size_ = 0;
};

// Capacity of a database whose pools grow with the data, with no fixed limit.
inline constexpr int kGrowing = 0;

// The genealogy database: pools of persons, unions, events and sources, numbered from 1. With a
// fixed capacity each pool holds that many records and refuses more; with kGrowing the pools
// take memory as records are made.
class TBD {
 public:
  explicit TBD(int capacity = 1000);

  int32_t PersonCount = 0;
  int32_t UnionCount = 0;
  int32_t EventCount = 0;
  int32_t SourceCount = 0;
  bool AppendMode = false;
  // The order of a place's parts that the file declares ("Lieudit, Commune, ..."); empty
  // when it declares none.
  std::string PlaceForm;
  // The person the file numbers Sosa 1 (a "_SOSA" or "_SOSADABOVILLE" value); 0 when none.
  int32_t SosaRoot = 0;

  bool Growing() const { return capacity_ == kGrowing; }
  // The fixed capacity; when growing, the larger of PersonCount and UnionCount (at least 1),
  // the most that a list of persons or unions needs.
  int Capacity() const;

  // Empties every record and sets the four counts to 0, as the wizard does before an import.
  void Clear();

  // Records. NewPerson / NewUnion give 0 when the pool is full.
  int32_t NewPerson();
  void ClearPerson(int32_t p);
  bool IsPersonUsed(int32_t p) const;
  int32_t UsedPersonCount() const;
  int32_t NewUnion();
  void ClearUnion(int32_t u);
  bool IsUnionValid(int32_t u) const;  // reads only; never frees the union
  int32_t ValidUnionCount() const;
  void ClearSource(int32_t s);
  // Takes the next source number (SourceCount + 1); 0 when the pool is full.
  int32_t NewSource();

  // Events of a person (index is 1-based into its EventList); field codes 1..6.
  int32_t AddPersonEvent(int32_t p);
  int32_t PersonEventCount(int32_t p) const;
  void RemovePersonEvent(int32_t p, int32_t index);
  std::string GetPersonEventField(int32_t p, int32_t index, int code) const;
  void SetPersonEventField(int32_t p, int32_t index, const std::string& text, int code);
  std::string GetPersonEvent(int32_t p, const std::string& kind, int code) const;  // first
  void SetPersonEvent(int32_t p, const std::string& kind, const std::string& text,
                      int code);  // last

  // The same on a union's EventList.
  int32_t AddUnionEvent(int32_t u);
  int32_t UnionEventCount(int32_t u) const;
  void RemoveUnionEvent(int32_t u, int32_t index);
  std::string GetUnionEventField(int32_t u, int32_t index, int code) const;
  void SetUnionEventField(int32_t u, int32_t index, const std::string& text, int code);
  std::string GetUnionEvent(int32_t u, const std::string& kind, int code) const;
  void SetUnionEvent(int32_t u, const std::string& kind, const std::string& text, int code);

  // Named fields by code (person 0..28, union 1..7).
  std::string GetPersonField(int32_t p, int code) const;
  void SetPersonField(int32_t p, int code, const std::string& text);
  std::string GetUnionField(int32_t u, int code) const;
  void SetUnionField(int32_t u, int code, const std::string& text);

  std::string GetAttribute(int32_t p, const std::string& name) const;
  // Every value of attribute name, in file order (GetAttribute gives the first).
  std::vector<std::string> GetAttributeValues(int32_t p, const std::string& name) const;
  void SetAttribute(int32_t p, const std::string& name, const std::string& value);
  bool AddPersonSource(int32_t p, int32_t source);  // true if appended
  void AddPersonMedia(int32_t p, TMedia media);
  // Empty for an invalid person.
  const std::vector<TMedia>& PersonMedia(int32_t p) const;

  void SetPointer(int32_t p, const std::string& pointer);  // TFiche::Pointer
  std::string GetSurname(int32_t p) const;
  void SetSurname(int32_t p, const std::string& s);
  std::string GetGivenNames(int32_t p) const;
  void SetGivenNames(int32_t p, const std::string& s);
  std::string GetUsualName(int32_t p) const;  // field code 24
  std::string GetSurnameAndUsualName(int32_t p) const;
  std::string GetProfession(int32_t p) const;
  std::string GetBirthDate(int32_t p) const;
  std::string GetDeathDate(int32_t p) const;
  int32_t GetFather(int32_t p) const;
  void SetFather(int32_t p, int32_t f);
  int32_t GetMother(int32_t p) const;
  void SetMother(int32_t p, int32_t m);
  int GetSex(int32_t p) const;  // 2 for an invalid person
  void SetSex(int32_t p, int sex);
  int32_t GetHusband(int32_t u) const;  // 0 when the union is not in use
  int32_t GetWife(int32_t u) const;
  void SetHusband(int32_t u, int32_t p);
  void SetWife(int32_t u, int32_t p);
  int32_t GetSiblingLink(int32_t p) const;
  int32_t GetChildLink(int32_t p) const;
  int32_t GetUnionLink(int32_t p) const;
  int32_t GetNextUnionLink(int32_t u) const;

  // Direct access to stored records, for numbers 1..capacity (growing: 1..count); nullptr
  // outside.
  TEve* EventRecord(int32_t e);
  const TEve* EventRecord(int32_t e) const;
  TSrc* SourceRecord(int32_t s);
  const TSrc* SourceRecord(int32_t s) const;
  const TFiche* Person(int32_t p) const;  // valid numbers only
  const TUnion* Union(int32_t u) const;

  // Usual given name of a given-names text (code 24 rule).
  static std::string UsualName(const std::string& pre);

  // What the import kept beyond the records, for the event lists.
  TComplements Plus;

  // Indexes the first event of each main kind of every person and union, so that reading one
  // compares no kinds; the import calls it once done. Any change to an event drops the index
  // until the next call.
  void IndexEvents();

  // Events by number, for the event lists: the records 1..EventCount, then the facts of
  // Plus.PersonFacts numbered on, person by person in file order. The owner of number n: a
  // person (> 0) or a union (< 0), 0 for none; fact: its index in the person's facts (-1 for
  // a record). Read from IndexEvents' index, or found by a walk over the records without it.
  int32_t EventOwner(int32_t n, int32_t* fact = nullptr) const;
  // The number of person p's first fact (the others follow it), 0 when p has none.
  int32_t FirstFactNumber(int32_t p) const;

  // Children by parent and unions by spouse, read from the records on the first question after
  // a link (a parent, a spouse, a slot in use, a count) changed. Threads may ask at once while
  // nothing changes the database.
  const TLiens& Liens() const;

  // The Sosa and d'Aboville numbers worked out for a reference person (NumberTree); dropped
  // when a link changes, since they would no longer be those of the tree. None: not worked out.
  const TSosa* Numbering() const { return numbering_.get(); }
  void SetNumbering(std::shared_ptr<const TSosa> numbering) { numbering_ = std::move(numbering); }

 private:
  void linksChanged() {
    liens_.Drop();
    numbering_.reset();
  }
  // The counts are public: a slot is looked at only when the pool holds it.
  bool validPerson(int32_t p) const {
    return p >= 1 && p <= PersonCount && static_cast<size_t>(p) < persons_.size();
  }
  bool validUnion(int32_t u) const {
    return u >= 1 && u <= UnionCount && static_cast<size_t>(u) < unions_.size();
  }
  bool heldEvent(int32_t e) const { return e >= 1 && static_cast<size_t>(e) < events_.size(); }
  int32_t limit() const;  // most records a pool may hold
  int32_t addEvent(NumList& list);
  void resetEvent(TEve& e);
  void removeEvent(NumList& list, int32_t index);
  std::string eventField(const NumList& list, int32_t index, int code) const;
  void setEventField(const NumList& list, int32_t index, const std::string& text, int code);
  std::string firstEventOfKind(const NumList& list, const std::string& kind, int code) const;
  void setEventOfKind(NumList& list, const std::string& kind, const std::string& text, int code);

  int capacity_;                // kGrowing, or the fixed size of every pool
  RecordPool<TFiche> persons_;  // index 0 unused; growing: as many slots as were used
  RecordPool<TUnion> unions_;
  RecordPool<TEve> events_;
  RecordPool<TSrc> sources_;

  mutable TLiensCache liens_;
  std::shared_ptr<const TSosa> numbering_;

  // Where the first event of each main kind of a person (kMainEventKinds) and of a union
  // (marriage, divorce) stands, as IndexEvents found it; dropped when an event changes.
  struct EventIndex;
  class EventIndexCache {
   public:
    EventIndexCache();
    EventIndexCache(const EventIndexCache&) : EventIndexCache() {}
    EventIndexCache& operator=(const EventIndexCache&);
    ~EventIndexCache();
    const EventIndex* Get() const { return current_.load(std::memory_order_acquire); }
    void Set(std::unique_ptr<const EventIndex> index);
    void Drop() { current_.store(nullptr, std::memory_order_relaxed); }

   private:
    std::unique_ptr<const EventIndex> owned_;
    std::atomic<const EventIndex*> current_{nullptr};
  };
  // The event number of list's first event of a main kind, -1 when kind is none of them.
  int32_t indexedEvent(bool isUnion, int32_t n, const std::string& kind) const;
  const EventIndex* currentEventIndex() const;  // none when dropped or the counts moved
  mutable EventIndexCache eventIndex_;
};

}  // namespace lignado
