#include "pages/BalisesSources.h"

#include <memory>
#include <vector>

#include "data/Base.h"
#include "genealogy/Citations.h"
#include "genealogy/Evenements.h"
#include "genealogy/Vivants.h"
#include "util/Text.h"

namespace lignado {
namespace {

using std::string;

// The rule to apply: the generation's, or, without one, everything shown but what RESN hides
// (the index of citations is then made for each question that needs it: only tests ask so).
class Rule {
 public:
  Rule(const TBD& db, const TVivants* vivants) : v_(vivants) {
    if (!v_) {
      own_ = std::make_unique<TVivants>(db, LivingMode::Publish);
      v_ = own_.get();
    }
  }
  // The count of p's citations, read without making an index when there is none yet.
  int32_t Nombre(const TBD& db, int32_t p) const {
    return own_ ? TIndexCitations::Compte(db, p) : v_->Citations().Nombre(p);
  }
  // Without RESN nor a rule, every source record kept is published (the import keeps those
  // that are cited).
  bool Publiee(const TBD& db, int32_t s) const {
    if (own_ && !db.Plus.HasResn()) {
      const TSrc* src = db.SourceRecord(s);
      return src && src->InUse;
    }
    return v_->SourcePubliee(s);
  }
  const TVivants& operator*() const { return *v_; }
  const TVivants* operator->() const { return v_; }

 private:
  const TVivants* v_;
  std::unique_ptr<TVivants> own_;
};

string blanks(string s) {
  size_t pos = 0;
  while ((pos = s.find("\r\n", pos)) != string::npos) s.replace(pos, 2, " ");
  return s;
}

string joined(const std::vector<int32_t>& list) {
  string out;
  for (int32_t n : list) {
    if (!out.empty()) out += '|';
    out += std::to_string(n);
  }
  return out;
}

const char* qualityWords(const string& quay) {
  const string q(TrimBlanks(quay));
  if (q == "0") return "peu fiable";
  if (q == "1") return "douteuse";
  if (q == "2") return "indirecte";
  if (q == "3") return "directe";
  return "";
}

// The shown citations of p's page, with their numbers.
struct Shown {
  int32_t number;
  CitationPage c;
};
std::vector<Shown> shownOf(const TBD& db, const Rule& rule, int32_t p) {
  std::vector<Shown> out;
  // Most pages cite nothing: the count says so without making the page's list.
  const TVivants& v = *rule;
  if (rule.Nombre(db, p) == 0 || v.Masque(p)) return out;
  const int32_t first = v.Citations().Premier(p);
  int32_t k = 0;
  for (CitationPage& c : CitationsPage(db, p)) {
    ++k;
    if (!v.MasqueCitation(p, c)) out.push_back({first + k, std::move(c)});
  }
  return out;
}

// "P/evenement/E": the complement of event E of the list (its union's, or one of P's own),
// that P's page cites; none when E is not an event of P's page.
struct EventOfPage {
  bool given = false;
  int32_t uni = 0;
  const TEvePlus* plus = nullptr;
};
EventOfPage eventOfPage(const TBD& db, int32_t p, std::string_view fait) {
  constexpr std::string_view kEvent = "evenement/";
  if (!fait.starts_with(kEvent)) return {};
  EventOfPage out{true, 0, nullptr};
  const EvenementListe e = EvenementNumero(db, Int32AfterBlanks(fait.substr(kEvent.size())));
  if (!e.eve) return out;
  if (e.union_) {
    const TUnion* un = db.Union(e.union_);
    if (un && (un->NumH == p || un->NumF == p)) out = {true, e.union_, e.plus};
  } else if (e.personne == p) {
    out.plus = ComplementEvenement(db, e);
  }
  return out;
}

// "P/FAIT": whether citation c of P's page supports that fact.
bool supports(const TBD& db, int32_t p, std::string_view fait, const CitationPage& c,
              const EventOfPage& event) {
  if (event.given) return event.plus && c.plus == event.plus && c.uni == event.uni;
  if (fait == "nom") return c.uni == 0 && !c.plus && c.fait == "Nom";
  if (fait == "note") return c.uni == 0 && !c.plus && c.fait == "Note";
  if (fait.starts_with("conjoint/")) {
    if (c.uni == 0) return false;
    const TUnion* un = db.Union(c.uni);
    const int32_t spouse = un ? (un->NumH == p ? un->NumF : un->NumH) : -1;
    return spouse == Int32AfterBlanks(fait.substr(9));
  }
  if (c.uni != 0 || !c.plus) return false;
  // The first event of that kind, as the event tags read it.
  const TFiche* f = db.Person(p);
  if (!f) return false;
  for (int32_t e : f->EventList) {
    const TEve* ev = db.EventRecord(e);
    if (ev && ev->InUse && ev->Kind == fait) return db.Plus.Event(e) == c.plus;
  }
  return false;
}

}  // namespace

string SourceTag(TagState& s, const TagRow& row, std::string_view) {
  Rule v(s.db, s.vivants);
  if (!v.Publiee(s.db, s.start)) {
    s.withheld = true;
    return {};
  }
  if (row.code == kPubliee) return "oui";
  const TSourcePlus* plus = s.db.Plus.Source(s.start);
  if (!plus) return {};
  switch (row.code) {
    case kAuteur:
      return blanks(plus->author);
    case kPublication:
      return blanks(plus->publication);
    case kDepot:
      return plus->repository;
    default:
      return string(TrimBlanks(blanks(plus->note)));
  }
}

string CitationTag(TagState& s, const TagRow& row, std::string_view) {
  Rule v(s.db, s.vivants);
  const auto [p, k] = v->Citations().Situe(s.start);
  if (p == 0 || v->Masque(p)) {
    s.withheld = s.withheld || p != 0;
    return {};
  }
  const std::vector<CitationPage> page = CitationsPage(s.db, p);
  if (k < 1 || static_cast<size_t>(k) > page.size()) return {};
  const CitationPage& c = page[static_cast<size_t>(k - 1)];
  if (v->MasqueCitation(p, c)) {
    s.withheld = true;
    return {};
  }
  const TCitation& cit = *c.citation;
  const bool published = cit.source > 0 && v.Publiee(s.db, cit.source);
  switch (row.code) {
    case kRang: {
      int32_t rank = 0;
      for (int32_t i = 0; i < k; ++i)
        if (!v->MasqueCitation(p, page[static_cast<size_t>(i)])) ++rank;
      return std::to_string(rank);
    }
    case kFait:
      return c.fait;
    case kSource:
      return published ? std::to_string(cit.source) : string();
    case kTitre: {
      if (cit.source == 0) return blanks(cit.inline_);
      const TSrc* src = published ? s.db.SourceRecord(cit.source) : nullptr;
      if (!src) return {};
      return src->Title.empty() ? src->Abbrev : src->Title;
    }
    case kPage:
      return blanks(cit.page);
    case kTexte:
      return blanks(cit.text);
    default:
      return qualityWords(cit.quay);
  }
}

string UnionTag(TagState& s, const TagRow& row, std::string_view) {
  const TUnion* un = s.db.Union(s.start);
  if (!un || !un->InUse) return {};
  const int32_t p = row.code == kMari ? un->NumH : un->NumF;
  return p > 0 ? std::to_string(p) : string();
}

std::optional<string> ListeSources(const TBD& db, const string& kind, const string& a,
                                   const TVivants* vivants) {
  if (kind != "citation" && kind != "renvoi" && kind != "citeur" && kind != "citeurunion")
    return std::nullopt;
  Rule v(db, vivants);
  std::vector<int32_t> out;
  if (kind == "citation" || kind == "renvoi") {
    const size_t slash = a.find('/');
    if (kind == "renvoi" && slash == string::npos) return string();
    const int32_t p = Int32AfterBlanks(std::string_view(a).substr(0, slash));
    const std::string_view fait =
        kind == "renvoi" ? std::string_view(a).substr(slash + 1) : std::string_view();
    const std::vector<Shown> shown = shownOf(db, v, p);
    // Most pages cite nothing: the event is looked for only when there is something to mark.
    const EventOfPage event = shown.empty() ? EventOfPage{} : eventOfPage(db, p, fait);
    for (const Shown& sh : shown)
      if (kind == "citation" || supports(db, p, fait, sh.c, event)) out.push_back(sh.number);
    return joined(out);
  }
  const int32_t src = Int32AfterBlanks(a);
  if (!v.Publiee(db, src)) return string();
  if (kind == "citeur") {
    for (int32_t p : v->Citations().Personnes(src))
      if (!v->Masque(p)) out.push_back(p);
  } else {
    for (int32_t u : v->Citations().Unions(src))
      if (!v->MasqueUnion(u)) out.push_back(u);
  }
  return joined(out);
}

}  // namespace lignado
