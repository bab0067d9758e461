#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lignado {

class TBD;
class Host;

// A list of numbers with a fixed capacity; Lit/Ecrit are 1-based, Ajoute on a full list
// does nothing. Only the entries written are stored: the capacity is a limit, not a buffer.
class TR {
 public:
  explicit TR(int capacity = 1000);
  int32_t Nb = 0;
  int32_t Lit(int i) const;
  void Ecrit(int i, int32_t v);
  void Ajoute(int32_t v);
  int Capacity() const { return capacity_; }

 private:
  int capacity_;
  std::vector<int32_t> tab_;  // entries 1..size; those beyond read 0
};

// The unions or spouses of one person: capacity 100.
class TRR : public TR {
 public:
  TRR() : TR(100) {}
  void TrieParDate(const TBD& db, const std::string& kind);
};

// Children, siblings and descendants come in the order of their births (else baptisms), unions
// and spouses in that of the marriages: the base's dates, equal ones in file order; an entry
// without a date keeps its place among the others.
TR ParentNum(const TBD& db, int32_t p);
TR EnfantNum(const TBD& db, int32_t p);
TR FratrieNum(const TBD& db, int32_t p);
TRR UnionNumR(const TBD& db, int32_t p);
TR UnionNum(const TBD& db, int32_t p);
TR ConjointNum(const TBD& db, int32_t p);
TRR ConjointNumR(const TBD& db, int32_t p);
TR TousNum(const TBD& db);
TR AscendantNum(const TBD& db, int32_t p, int32_t n);
TR DescendantNum(const TBD& db, int32_t p, int32_t n);
// The text of a person that the text sort and the prefix search compare (the pages give the
// expansion of a tag template); none when the person's value is hidden: such a person sorts
// last, in the order of the list, and no search finds them.
using PersonText = std::function<std::optional<std::string>(int32_t person)>;

// The persons in use by the text a template gives them, for prefix searches: each distinct
// text (lowered, a-z raised) once, with the first person who has it, in text order.
class TIndexTexte {
 public:
  TIndexTexte(const TBD& db, const PersonText& text);
  // CommencePar from the index: the persons whose folded text starts with the folded prefix,
  // one per distinct text, in person-number order, at most `capacity` of them.
  TR CommencePar(const std::string& prefix, int capacity) const;

 private:
  std::vector<std::pair<std::string, int32_t>> keys_;
};

TR CommencePar(const TBD& db, const PersonText& text, const std::string& prefix);
// False when the host's stop request cut the sort short: the list is then partly sorted.
[[nodiscard]] bool TrieParTexte(TR& list, const PersonText& key, Host* host = nullptr);
void TrieParDate(const TBD& db, TR& list, const std::string& kind);
TR ValeursDistinctes(const TBD& db, int code);
int32_t DerniereUnion(const TBD& db, int32_t p);

std::string ListeVersTexte(const TR& list);
TR TexteVersListe(const std::string& text, int capacity = 1000);

}  // namespace lignado
