#include "pages/ListesSite.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "data/Base.h"
#include "genealogy/Evenements.h"
#include "genealogy/Rech.h"
#include "genealogy/Sosa.h"
#include "genealogy/Vivants.h"
#include "pages/Medias.h"
#include "util/Text.h"

namespace lignado {
namespace {

// The letter of a Windows-1252 byte without its accent or case, or 0 for no letter.
constexpr std::array<char, 256> baseLetters() {
  std::array<char, 256> t{};
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<char>(c - 'a' + 'A');
  // 0xC0..0xFF, small letters 0x20 above their capitals.
  const char accented[] = "AAAAAAACEEEEIIIIDNOOOOO\0OUUUUY\0S";
  for (int i = 0; i < 32; ++i) {
    t[0xC0 + i] = accented[i];
    t[0xE0 + i] = i == 31 ? 'Y' : accented[i];  // 0xDF sharp s, 0xFF y diaeresis
  }
  t[0x8A] = t[0x9A] = 'S';  // S caron
  t[0x8C] = t[0x9C] = 'O';  // OE
  t[0x8E] = t[0x9E] = 'Z';  // Z caron
  t[0x9F] = 'Y';            // Y diaeresis
  return t;
}
constexpr std::array<char, 256> kBase = baseLetters();

std::vector<std::string_view> items(std::string_view list) {
  std::vector<std::string_view> out;
  if (list.empty()) return out;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = list.find('|', start);
    out.push_back(list.substr(start, bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

std::string join(const std::vector<std::string_view>& parts) {
  std::string out;
  for (std::string_view p : parts) {
    if (!out.empty()) out += '|';
    out += p;
  }
  return out;
}

std::string numbers(int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) out += (i > 1 ? "|" : "") + std::to_string(i);
  return out;
}

std::string numbersOf(const std::vector<int32_t>& list) {
  std::string out;
  for (int32_t m : list) out += (out.empty() ? "" : "|") + std::to_string(m);
  return out;
}

// The media numbers of the union of p with spouse c (0: unknown): its own files (those of its
// events come with them, liste_media_evenement).
std::string unionMedia(const TBD& db, int32_t p, int32_t c, const TVivants* vivants) {
  const TRR unions = UnionNumR(db, p);
  for (int i = 1; i <= unions.Nb; ++i) {
    const int32_t u = unions.Lit(i);
    const int32_t other = db.GetHusband(u) == p ? db.GetWife(u) : db.GetHusband(u);
    if (other != c) continue;
    if (vivants && vivants->MasqueUnion(u)) return {};
    const TUnionPlus* plus = db.Plus.Union(u);
    return plus ? numbersOf(MediaSiteOf(db, vivants)->Numbers(plus->media)) : std::string();
  }
  return {};
}

std::string initialeOf(const TBD& db, std::string_view item) {
  return InitialeDe(db.GetSurname(Int32AfterBlanks(item)));
}

}  // namespace

std::string InitialeDe(const std::string& surname) {
  char c = surname.empty() ? 0 : kBase[static_cast<unsigned char>(surname[0])];
  return c ? std::string(1, c) : kAutres;
}

std::optional<std::string> ListeSite(const TBD& db, const std::string& kind, const std::string& a,
                                     const std::string& b, const TVivants* vivants) {
  if (kind == "tranches") {
    const int n = static_cast<int>(items(a).size());
    return numbers((n + kTranche - 1) / kTranche);
  }
  if (kind == "tranche") {
    std::vector<std::string_view> all = items(b);
    const long page = Int32AfterBlanks(a);
    const long first = (page - 1) * kTranche;
    if (page < 1 || first >= static_cast<long>(all.size())) return std::string();
    const long last = std::min<long>(first + kTranche, static_cast<long>(all.size()));
    return join(std::vector<std::string_view>(all.begin() + first, all.begin() + last));
  }
  if (kind == "initiales") {
    bool seen[27] = {};
    for (std::string_view item : items(a)) {
      std::string x = initialeOf(db, item);
      seen[x == kAutres ? 26 : x[0] - 'A'] = true;
    }
    std::string out;
    for (int i = 0; i < 27; ++i) {
      if (!seen[i]) continue;
      if (!out.empty()) out += '|';
      out += i == 26 ? kAutres : std::string(1, static_cast<char>('A' + i));
    }
    return out;
  }
  if (kind == "initiale") {
    const std::string wanted = a.size() == 1 ? UpperAscii(a) : a;
    std::vector<std::string_view> kept;
    for (std::string_view item : items(b))
      if (initialeOf(db, item) == wanted) kept.push_back(item);
    return join(kept);
  }
  if (kind == "source") {
    const int32_t p = Int32AfterBlanks(a);
    const TFiche* f = db.Person(p);
    if (!f || (vivants && vivants->Masque(p))) return std::string();
    std::string out;
    for (int32_t src : f->SourceList) out += (out.empty() ? "" : "|") + std::to_string(src);
    return out;
  }
  if (kind == "photo") {  // site paths of a person's media, from number b (1 by default) on
    const int32_t p = Int32AfterBlanks(a);
    if (vivants && vivants->Masque(p)) return std::string();
    const std::vector<TMedia>& media = db.PersonMedia(p);
    const int32_t from = b.empty() ? 1 : Int32AfterBlanks(b);
    std::string out;
    for (size_t i = static_cast<size_t>(std::max(from, 1)); i <= media.size(); ++i)
      out += (out.empty() ? "" : "|") + MediaSitePath(media[i - 1].File);
    return out;
  }
  // The ascendance of the reference person (TBD::Numbering).
  if (kind == "sosa" || kind == "generations") {
    const TSosa* sosa = db.Numbering();
    if (!sosa) return std::string();
    if (kind == "generations") return numbers(sosa->Generations());
    const int32_t g = a.empty() ? 0 : Int32AfterBlanks(a);
    std::string out;
    for (int32_t p : sosa->Ancestors())
      if (g <= 0 || sosa->Generation(p) == g) out += (out.empty() ? "" : "|") + std::to_string(p);
    return out;
  }
  // Media numbers, that champ( reads with the media tags.
  if (kind == "media") {
    const int32_t p = Int32AfterBlanks(a);
    if (vivants && vivants->Masque(p)) return std::string();
    return numbersOf(MediaSiteOf(db, vivants)->Numbers(db.PersonMedia(p)));
  }
  if (kind == "media_evenement") {  // by the number liste_evenement gives
    const EvenementListe e = EvenementNumero(db, Int32AfterBlanks(a));
    if (!e.eve || !e.plus || (vivants && e.personne && vivants->Masque(e.personne)) ||
        (vivants && e.union_ && vivants->MasqueUnion(e.union_)) ||
        (vivants && TVivants::MasqueFait(e.plus)))
      return std::string();
    return numbersOf(MediaSiteOf(db, vivants)->Numbers(e.plus->media));
  }
  if (kind == "media_union")
    return unionMedia(db, Int32AfterBlanks(a), Int32AfterBlanks(b), vivants);
  if (kind == "media_source") {
    const int32_t src = Int32AfterBlanks(a);
    const TSourcePlus* plus = db.Plus.Source(src);
    const std::shared_ptr<const MediaSite> site = MediaSiteOf(db, vivants);
    return plus && site->SourceShown(src) ? numbersOf(site->Numbers(plus->media)) : std::string();
  }
  return std::nullopt;
}

}  // namespace lignado
