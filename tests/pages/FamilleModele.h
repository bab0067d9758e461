#pragma once

#include <cstdint>
#include <string>

#include "data/Base.h"
#include "genealogy/Sosa.h"

namespace lignado::test {

// The small family of the template tests and of the examples of docs/modeles.md.
enum FamilleModele : int32_t {
  kPierre = 1,     // married Marie (1874, Brest; divorced 1885, Rennes), then Jeanne (1890)
  kMarie = 2,      // Pierre's first wife
  kJeanne = 3,     // Pierre's second wife
  kJean = 4,       // son of Pierre and Marie, born 1880
  kAnne = 5,       // daughter of Pierre and Marie, born 1875
  kLouis = 6,      // son of Pierre and Jeanne, born 1895
  kPaul = 7,       // son of Pierre, mother unknown, born 1870
  kJacques = 8,    // Pierre's father
  kYvonne = 9,     // Pierre's mother
  kCorentin = 10,  // son of Jean, surname with an apostrophe, born 1925: living in 2024
};

inline void BuildFamilleModele(TBD& db) {
  auto person = [&db](const char* nom, const char* pre, int sex, int32_t father = 0,
                      int32_t mother = 0) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, nom);
    db.SetGivenNames(p, pre);
    db.SetSex(p, sex);
    db.SetFather(p, father);
    db.SetMother(p, mother);
    return p;
  };
  auto event = [&db](int32_t p, const std::string& kind, const std::string& date,
                     const std::string& place) {
    int32_t e = db.AddPersonEvent(p);
    db.EventRecord(e)->Kind = kind;
    db.EventRecord(e)->Date = date;
    db.EventRecord(e)->Place = place;
  };
  auto unite = [&db](int32_t h, int32_t f, const std::string& date, const std::string& place) {
    int32_t u = db.NewUnion();
    db.SetHusband(u, h);
    db.SetWife(u, f);
    if (!date.empty()) db.SetUnionEvent(u, kMariage, date, 2);
    if (!place.empty()) db.SetUnionEvent(u, kMariage, place, 4);
  };

  person("DUPONT", "Pierre", 0, kJacques, kYvonne);
  person("LE GALL", "Marie", 1);
  person("MARTIN", "Jeanne", 1);
  person("DUPONT", "Jean", 0, kPierre, kMarie);
  person("DUPONT", "Anne", 1, kPierre, kMarie);
  person("DUPONT", "Louis", 0, kPierre, kJeanne);
  person("DUPONT", "Paul", 0, kPierre);
  person("DUPONT", "Jacques", 0);
  person("KERMARREC", "Yvonne", 1);
  person("L'HOSTIS", "Corentin", 0, kJean);

  event(kPierre, kNaissance, "1/2/1850", "Brest");
  event(kPierre, kDeces, "3/4/1920", "Quimper");
  db.SetAttribute(kPierre, "Profession", "Cultivateur");
  db.SetAttribute(kPierre, "Titre", "Maire");
  db.SetPersonField(kPierre, 18, "Conseiller municipal\r\npuis maire.");
  event(kMarie, kNaissance, "1852", "");
  event(kMarie, kDeces, "1889", "");
  event(kJean, kNaissance, "5/6/1880", "Brest");
  event(kAnne, kNaissance, "1875", "");
  event(kLouis, kNaissance, "vers 1895", "");
  event(kPaul, kBapteme, "1870", "Brest");
  event(kJacques, kNaissance, "1820", "");
  event(kCorentin, kNaissance, "12/3/1925", "France, Bretagne, 29, 200 Brest");
  db.SetPersonField(kCorentin, 18,
                    "Marin p\xEA"
                    "cheur.");
  db.SourceRecord(1)->InUse = true;
  db.SourceRecord(1)->Title = "Registres de Brest";
  db.SourceRecord(1)->Text = "Naissances, acte 12";
  db.AddPersonSource(kPierre, 1);
  db.AddPersonSource(kCorentin, 1);
  db.AddPersonMedia(kPierre, {"photos/Pierre.jpg", "Pierre vers 1900"});
  db.AddPersonMedia(kPierre, {"C:\\Photos\\Mariage 1874.JPG", "Le mariage"});
  db.AddPersonMedia(kCorentin, {"photos/corentin.jpg", "Corentin"});

  unite(kPierre, kMarie, "10/5/1874", "Brest");
  db.SetUnionEvent(1, kDivorce, "1885", 2);
  db.SetUnionEvent(1, kDivorce, "Rennes", 4);
  unite(kPierre, kJeanne, "1890", "Quimper");
  unite(kJacques, kYvonne, "", "");
  // Files of a fact, of a union and of a source.
  db.Plus.EventFor(*db.Person(kPierre)->EventList.begin())
      .media.push_back({"actes/naissance Pierre.pdf", "Acte de naissance"});
  db.Plus.UnionFor(1).media.push_back({"photos/noces.png", ""});
  db.Plus.SourceFor(1).media.push_back({"registres/brest.txt", "Transcription"});
  NumberTree(db);  // as an import does: the first person is the reference person
  // Pierre's birth cites source 1; his first marriage, a source written in the citation.
  db.Plus.EventFor(db.Person(kPierre)->EventList[0])
      .citations.push_back({1, "@S1@", "acte 12", "Pierre, fils de Jacques", "3", ""});
  db.Plus.EventFor(db.Union(1)->EventList[0])
      .citations.push_back({0, "", "", "", "", "Livret de famille"});
}

}  // namespace lignado::test
