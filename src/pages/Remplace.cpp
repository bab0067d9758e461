#include "pages/Remplace.h"

#include <array>

#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "genealogy/EnClair.h"
#include "genealogy/Rech.h"
#include "genealogy/Vivants.h"
#include "pages/Medias.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

// A value may hold its own tag (a note quoting "<note>"): the scan restarts at the front after
// every tag, so it would never end, and a long such value would fill memory within a few rounds.
constexpr int kMaxTags = 10000;
constexpr size_t kMaxGrowth = size_t{1} << 24;

// Texts whose accented letter is followed by a hex digit, so the escape must be split.
const std::string kDateDeDeces =
    "<date de d\xE9"
    "c\xE8s>";
const std::string kLieuDeDeces =
    "<lieu de d\xE9"
    "c\xE8s>";
const std::string kAnnee =
    "ann\xE9"
    "e";
const std::string kClair = "clair";
const std::string kNombreDePhotos = "<nombre de photos>";

std::string sexWord(int sex) {
  return sex == 0 ? "homme" : sex == 1 ? "femme" : "inconnu";
}

bool startsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

void appendJsUnit(std::string& out, unsigned unit) {
  out += "\\u";
  AppendHex(out, static_cast<unsigned char>(unit >> 8));
  AppendHex(out, static_cast<unsigned char>(unit & 0xFF));
}

// Safe between the quotes of a JavaScript string, in a script or in an attribute: nothing
// that ends the string, the script or the attribute is left as it is. A character the import
// kept as a reference ("&#321;") becomes its JavaScript escape.
std::string jsString(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned cp = 0;
    if (size_t len = c == '&' ? ImportReferenceAt(s, i, cp) : 0) {
      // Beyond the first plane, the two halves of its UTF-16 form.
      if (cp >= 0x10000) {
        appendJsUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
        cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
      }
      appendJsUnit(out, cp);
      i += len - 1;
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == '<' || c == '>' || c == '"' || c == '\'' || c == '&' || c == '$') {
      out += "\\x";
      AppendHex(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A value as HTML text, in an element or an attribute: it shows as written and never opens a
// tag, an attribute, a reference or a template variable, except the references the import made for
// characters Windows-1252 cannot hold, which stay as they are.
void appendHtmlText(std::string& out, const std::string& value) {
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    unsigned cp = 0;
    switch (c) {
      case '&':
        if (size_t len = ImportReferenceAt(value, i, cp)) {
          out.append(value, i, len);
          i += len - 1;
        } else {
          out += "&amp;";
        }
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '$':  // a template's text would take "$500" or "$fil" for one of its variables
        out += "&#36;";
        break;
      default:
        out += c;
    }
  }
}

std::string crlfToBlank(std::string s) {
  size_t pos = 0;
  while ((pos = s.find("\r\n", pos)) != std::string::npos) s.replace(pos, 2, " ");
  return s;
}

// The N-th entry of a kinship list as the numbered navigation tags read it: 0 is the last,
// anything else outside 1..Nb (or not a number) is none.
int32_t pickEntry(const TR& list, const std::string& rest) {
  if (rest.empty()) return 0;  // the bare keyword closed at once
  int32_t v = ParseInt32(std::string_view(rest).substr(1)).value_or(-1);
  if (v == 0) return list.Lit(list.Nb);
  if (v < 1 || v > list.Nb) return 0;
  return list.Lit(v);
}

enum class Field { None, Date, Time, Place, Note };

struct Expansion {
  const TBD& db;
  const Clock& clock;
  const TVivants* vivants;
  int32_t start;
  int32_t person;
  int32_t uni = 0;
  bool withheld = false;  // a tag asked for a value that vivants hides
  // Set when handle gave a tag to scan in turn (the baptism or burial fallback), not a value.
  bool retag = false;

  // Handles one tag and gives the text that takes its place.
  std::string handle(const std::string& tag) {
    // "<nom:js>": any tag but an event tag, its value written for a JavaScript string.
    if (tag.size() > 5 && tag.compare(tag.size() - 4, 4, ":js>") == 0 && !startsWith(tag, "<e") &&
        !startsWith(tag, "<\xE9"))
      return jsString(handle(tag.substr(0, tag.size() - 4) + ">"));
    if (startsWith(tag, "<i")) return identityNavigation(tag);
    if (tag == "<p\xE8re>" || tag == "<m\xE8re>" || startsWith(tag, "<conjoint") ||
        startsWith(tag, "<union"))
      return navigation(tag);
    if (startsWith(tag, "<e") || startsWith(tag, "<\xE9")) return eventTag(tag);
    if (startsWith(tag, "<source:")) return sourceTag(tag);
    if (person == 0) return {};
    if (vivants && vivants->Masque(person)) return livingPersonTag(tag);
    return personTag(tag);
  }

  bool hidden(int32_t p) { return withhold(vivants && vivants->Masque(p)); }
  // A union's events are hidden while one of its spouses is.
  bool hiddenUnion(int32_t u) { return withhold(vivants && vivants->MasqueUnion(u)); }
  bool withhold(bool h) {
    withheld = withheld || h;
    return h;
  }
  std::string unionField(int32_t u, int code) {
    return hiddenUnion(u) ? std::string() : db.GetUnionField(u, code);
  }
  std::string unionEvent(int32_t u, const std::string& kind, int code) {
    return hiddenUnion(u) ? std::string() : db.GetUnionEvent(u, kind, code);
  }
  std::string personEvent(int32_t p, const std::string& kind, int code) {
    return hidden(p) ? std::string() : db.GetPersonEvent(p, kind, code);
  }

  // A hidden living person keeps the tags below, and shows what a person without dates,
  // places, notes, sources or attributes shows; every other tag, new ones too, is empty.
  std::string livingPersonTag(const std::string& tag) {
    const int32_t p = person;
    if (tag == "<nom>") return db.GetSurname(p);
    if (tag == "<pre>" || tag == "<pr\xE9nom>" || tag == "<pr\xE9noms>")
      return vivants->Anonyme(p) ? kPersonneVivante : db.GetGivenNames(p);
    if (tag == "<pr\xE9nom principal>")
      return vivants->Anonyme(p) ? kPersonneVivante : db.GetPersonField(p, PersonCode::UsualName);
    if (tag == "<num\xE9ro>" || tag == "<Sosa>" || tag == "<Aboville>")
      return db.GetPersonField(p, PersonCode::RefNumber);
    if (tag == "<ks-num>") return std::to_string(p);
    if (tag == "<sexe>") return sexWord(db.GetSex(p));
    // So that a page can say why it shows so little; empty for anyone else (unknown tag).
    if (tag == "<masqu\xE9>") return "oui";
    if (tag != "<h>" && tag != "<f>") withheld = true;
    if (tag == "<age>" || tag == kNombreDePhotos) return "0";
    if (startsWith(tag, "<ddn ")) return birthPattern(std::string(), inner(tag, 5));
    return {};
  }

  std::string identityNavigation(const std::string& tag) {
    if (tag == "<individu>") {
      person = start;
      uni = 0;
    } else if (tag == "<i-p\xE8re>" || tag == "<i-m\xE8re>") {
      return navigation(tag.substr(0, 1) + tag.substr(3));
    } else if (startsWith(tag, "<i-conjoint")) {
      person = pickEntry(ConjointNumR(db, person), inner(tag, 11));
      uni = 0;
    } else if (startsWith(tag, "<i-union")) {
      uni = pickEntry(UnionNumR(db, person), inner(tag, 8));
    }
    return {};
  }

  std::string navigation(const std::string& tag) {
    if (tag == "<p\xE8re>") {
      person = db.GetFather(person);
      uni = 0;
    } else if (tag == "<m\xE8re>") {
      person = db.GetMother(person);
      uni = 0;
    } else if (startsWith(tag, "<conjoint")) {
      person = pickEntry(ConjointNum(db, person), inner(tag, 9));
      uni = 0;
    } else {
      uni = pickEntry(UnionNum(db, person), inner(tag, 6));
    }
    return {};
  }

  // The text between a keyword of `len` characters and the closing ">".
  static std::string inner(const std::string& tag, size_t len) {
    return tag.size() > len + 1 ? tag.substr(len, tag.size() - len - 1) : std::string();
  }

  std::string personTag(const std::string& tag) {
    if (std::string value; otherForm(tag, value)) return value;
    const int32_t p = person;
    if (tag == "<nom>") return db.GetSurname(p);
    if (tag == "<pre>" || tag == "<pr\xE9nom>" || tag == "<pr\xE9noms>") return db.GetGivenNames(p);
    if (tag == "<pr\xE9nom principal>") return db.GetPersonField(p, PersonCode::UsualName);
    if (tag == "<profession>") return db.GetProfession(p);
    if (startsWith(tag, "<chp:")) {
      std::string name = inner(tag, 5);
      return name.empty() ? std::string() : db.GetAttribute(p, name);
    }
    if (tag == "<note>") return crlfToBlank(db.GetPersonField(p, PersonCode::Note));
    if (tag == "<num\xE9ro>" || tag == "<Sosa>" || tag == "<Aboville>")
      return db.GetPersonField(p, PersonCode::RefNumber);
    if (tag == "<ks-num>") return std::to_string(p);
    if (tag == "<sexe>") return sexWord(db.GetSex(p));
    if (tag == "<age>") {
      std::string death = db.GetDeathDate(p);
      std::string birth = db.GetBirthDate(p);
      return std::to_string(death.empty() ? AgeActuel(birth, clock) : AgeEntre(birth, death));
    }
    if (tag == "<o+x>") return summary();
    if (tag == kNombreDePhotos) return std::to_string(db.PersonMedia(p).size());
    if (startsWith(tag, "<photo ")) return media(inner(tag, 7), false);
    if (startsWith(tag, "<titre de photo ")) return media(inner(tag, 16), true);
    if (startsWith(tag, "<ddn "))
      return birthPattern(db.GetPersonField(p, PersonCode::DdN), inner(tag, 5));
    if (tag == "<ddn>" || tag == "<date de naissance>")
      return db.GetPersonField(p, PersonCode::DdN);
    if (tag == "<ddb>" || tag == "<date de bapt\xEAme>")
      return db.GetPersonField(p, PersonCode::DdB);
    if (tag == "<ddd>" || tag == kDateDeDeces) return db.GetPersonField(p, PersonCode::DdD);
    if (tag == "<dds>" || tag == "<date de s\xE9pulture>")
      return db.GetPersonField(p, PersonCode::DdE);
    if (tag == "<ddm>" || tag == "<date de mariage>")
      return unionField(DerniereUnion(db, p), UnionCode::DdM);
    if (tag == "<date de divorce>") return unionField(DerniereUnion(db, p), UnionCode::DdS);
    if (tag == "<date cr\xE9\xE9>") return db.GetPersonField(p, PersonCode::Dcree);
    if (tag == "<date maj>") return db.GetPersonField(p, PersonCode::DdMAJ);
    if (tag == "<ldn>" || tag == "<lieu de naissance>")
      return db.GetPersonField(p, PersonCode::LdN);
    if (tag == "<ldb>" || tag == "<lieu de bapt\xEAme>")
      return db.GetPersonField(p, PersonCode::LdB);
    if (tag == "<ldd>" || tag == kLieuDeDeces) return db.GetPersonField(p, PersonCode::LdD);
    if (tag == "<lds>" || tag == "<lieu de s\xE9pulture>")
      return db.GetPersonField(p, PersonCode::LdE);
    if (tag == "<ldm>" || tag == "<lieu de mariage>")
      return unionField(DerniereUnion(db, p), UnionCode::LdM);
    if (tag == "<lieu de divorce>") return unionField(DerniereUnion(db, p), UnionCode::LdS);
    return {};  // "<h>", "<f>" and every unknown tag
  }

  // "<photo N>", "<titre de photo N>": the site path or the title of the person's media N
  // (1..count, 0 the last).
  std::string media(const std::string& n, bool title) const {
    const std::vector<TMedia>& list = db.PersonMedia(person);
    int32_t v = ParseInt32(n).value_or(-1);
    if (v == 0) v = static_cast<int32_t>(list.size());
    if (v < 1 || static_cast<size_t>(v) > list.size()) return {};
    const TMedia& m = list[static_cast<size_t>(v - 1)];
    return title ? m.Title : MediaSitePath(m.File);
  }

  // "<ddn:clair>", "<ldn:clair>", "<ddd:ann\xE9e>": a date or place tag of the table in
  // words, or a date tag's year. False when the tag is no such form.
  bool otherForm(const std::string& tag, std::string& value) {
    if (tag[1] != 'd' && tag[1] != 'l') return false;
    const size_t colon = tag.rfind(':');
    if (colon == std::string::npos || startsWith(tag, "<ddn ")) return false;
    const std::string form = tag.substr(colon + 1, tag.size() - colon - 2);
    const bool date = tag[1] == 'd';
    if (form != kClair && !(date && form == kAnnee)) return false;
    value = personTag(tag.substr(0, colon) + ">");
    if (form == kAnnee)
      value = AnneeEnClair(value);
    else
      value = date ? DateEnClair(value) : LieuEnClair(value);
    return true;
  }

  // "<source:titre>", "<source:texte>": of the source whose number the expansion was given
  // (liste_source gives a person's).
  std::string sourceTag(const std::string& tag) const {
    const TSrc* src = db.SourceRecord(start);
    if (!src || !src->InUse) return {};
    if (tag == "<source:titre>") return src->Title;
    if (tag == "<source:texte>") return crlfToBlank(src->Text);
    return {};
  }

  std::string birthPattern(const std::string& date, std::string pattern) {
    DateComponents c = LitDate(date);
    auto put = [&pattern](const char* key, int v) {
      size_t pos = pattern.find(key);
      if (pos != std::string::npos) pattern.replace(pos, 2, std::to_string(v));
    };
    put("JJ", c.day);
    put("MM", c.month);
    put("AA", c.year);
    return c.qualifier + " " + pattern;
  }

  std::string summary() {
    std::string out;
    auto item = [&out](char symbol, const std::string& date, const std::string& place) {
      DateComponents c = LitDate(date);
      bool d = c.qualifier.empty() && c.day != 0 && c.month != 0 && c.year != 0;
      bool l = !place.empty();
      if (!d && !l) return;
      if (!out.empty()) out += ' ';
      out += symbol;
      if (d != l) out += d ? 'd' : 'l';
    };
    item('o', db.GetPersonEvent(person, kNaissance, EventCode::Date),
         db.GetPersonEvent(person, kNaissance, EventCode::Place));
    item('+', db.GetPersonEvent(person, kDeces, EventCode::Date),
         db.GetPersonEvent(person, kDeces, EventCode::Place));
    TRR unions = UnionNumR(db, person);
    for (int i = 1; i <= unions.Nb; ++i) {
      int32_t u = unions.Lit(i);
      item('x', unionEvent(u, kMariage, EventCode::Date),
           unionEvent(u, kMariage, EventCode::Place));
    }
    return out;
  }

  // "<eve:KIND,SUBFIELD>". An empty birth or death value hands over to the baptism or burial:
  // the tag becomes a copy of itself for that kind, marked " b" or " ()".
  std::string eventTag(const std::string& tag) {
    if (!startsWith(tag, "<eve:") && !startsWith(tag, "<\xE9v\xE9:") &&
        !startsWith(tag, "<\xE9v\xE8:"))
      return {};
    size_t comma = tag.find(',');
    if (comma == std::string::npos || comma < 6) return {};
    std::string kind = tag.substr(5, comma - 5);
    std::string sub = LowerAscii(std::string_view(tag).substr(comma + 1, tag.size() - comma - 2));
    if (!startsWith(sub, "code postal")) sub = sub.substr(0, sub.find(' '));
    // "date:clair", "lieu:clair": the value in words.
    bool inWords = false;
    if (size_t colon = sub.find(':'); colon != std::string::npos) {
      inWords = sub.compare(colon + 1, std::string::npos, kClair) == 0;
      sub.resize(colon);
      if (!inWords || (sub != "date" && sub != "lieu")) return {};
    }

    Field field = Field::None;
    if (sub == "date" || sub == "jour" || sub == "mois" || sub == kAnnee || sub == "f\xEAte" ||
        sub == "zodiaque")
      field = Field::Date;
    else if (sub == "heure")
      field = Field::Time;
    else if (sub == "lieu" || sub == "pays" || sub == "r\xE9gion" || sub == "d\xE9partement" ||
             sub == "commune" || sub == "lieu-dit" || startsWith(sub, "code postal") ||
             sub == "adresse")
      field = Field::Place;
    else if (sub == "note")
      field = Field::Note;
    if (field == Field::None) return {};

    const int code = field == Field::Date    ? EventCode::Date
                     : field == Field::Time  ? EventCode::Time
                     : field == Field::Place ? EventCode::Place
                                             : EventCode::Note;
    std::string raw;
    if (uni != 0)
      raw = unionEvent(uni, kind, code);
    else if (person != 0)
      raw = personEvent(person, kind, code);

    std::string value = raw.empty() ? std::string() : subField(sub, raw);
    if (inWords) value = sub == "date" ? DateEnClair(value) : LieuEnClair(value);
    if (!value.empty()) return value;

    const std::string* other = kind == kNaissance ? &kBapteme
                               : kind == kDeces   ? &kSepulture
                                                  : nullptr;
    if (other && !personEvent(person, *other, code).empty()) {
      std::string copy = tag.substr(0, tag.size() - 1);
      copy.replace(copy.find(kind), kind.size(), *other);
      retag = true;
      return copy + (other == &kBapteme ? " > b" : " > ()");
    }
    return {};
  }

  std::string subField(const std::string& sub, const std::string& raw) const {
    auto nonZero = [](std::string s) { return s == "0" ? std::string() : s; };
    if (sub == "date" || sub == "heure" || sub == "lieu") return raw;
    if (sub == "jour") return nonZero(JourTexte(raw));
    if (sub == "mois") return nonZero(MoisTexte(raw));
    if (sub == kAnnee) return nonZero(AnneeTexte(raw));
    if (sub == "f\xEAte") return Fete(raw);
    if (sub == "zodiaque") return Zodiaque(raw);
    if (sub == "note") return crlfToBlank(raw);
    auto parts = SousChampsLieu(raw, db.PlaceForm);
    if (sub == "pays") return parts[kPays];
    if (sub == "r\xE9gion") return parts[kRegion];
    if (sub == "d\xE9partement") return parts[kDepartement];
    if (sub == "commune") return parts[kCommune];
    if (sub == "lieu-dit") return parts[kLieuDit];
    if (sub == "adresse") return parts[kLieuDit] + " " + parts[kCodePostal] + " " + parts[kCommune];
    return parts[kCodePostal];  // "code postal"
  }
};

}  // namespace

std::string ExpandTags(const TBD& db, int32_t person, const std::string& text, const Clock& clock,
                       const TVivants* vivants, bool* withheld) {
  if (withheld) *withheld = false;
  if (text.empty() || person <= 0) return {};
  Expansion ex{db, clock, vivants, person, person};

  // The working text is `done` followed by `rest` read backwards: its front is rest.back().
  // Nothing in `done` is a "<" or ">", so it never needs scanning again, and replacing the
  // tag at the front costs only the size of the value. A value goes to `done` as HTML text:
  // it is never scanned for tags; only a fallback's tag goes back into `rest`.
  std::string done;
  std::string rest(text.rbegin(), text.rend());
  const size_t limit = text.size() + kMaxGrowth;
  for (int handled = 0; handled < kMaxTags && done.size() + rest.size() <= limit; ++handled) {
    size_t lt = rest.rfind('<');
    size_t gt = rest.rfind('>');
    if (lt == std::string::npos || gt == std::string::npos || gt > lt) break;
    std::string tag(rest.rbegin() + static_cast<std::ptrdiff_t>(rest.size() - 1 - lt),
                    rest.rbegin() + static_cast<std::ptrdiff_t>(rest.size() - gt));
    done.append(rest.rbegin(), rest.rbegin() + static_cast<std::ptrdiff_t>(rest.size() - 1 - lt));
    rest.resize(gt);

    ex.retag = false;
    std::string value = ex.handle(tag);
    if (ex.retag)
      rest.append(value.rbegin(), value.rend());
    else
      appendHtmlText(done, value);

    if ((tag == "<h>" && db.GetSex(ex.person) != 0) ||
        (tag == "<f>" && db.GetSex(ex.person) != 1)) {
      done.clear();
      rest.clear();
      break;
    }
  }
  done.append(rest.rbegin(), rest.rend());
  if (withheld) *withheld = ex.withheld;
  return done;
}

}  // namespace lignado
