#include "data/Base.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace lignado {
namespace {

TEST(Base, EmptyDatabaseReadsNothing) {
  TBD db;
  EXPECT_EQ(db.PersonCount, 0);
  EXPECT_EQ(db.GetPersonField(1, 2), "");
  EXPECT_EQ(db.GetPersonField(1, 4), "");
  EXPECT_EQ(db.GetFather(1), 0);
  EXPECT_EQ(db.GetSex(1), 2);
  EXPECT_EQ(db.UsedPersonCount(), 0);
  EXPECT_FALSE(db.IsPersonUsed(1));
  EXPECT_EQ(db.AddPersonEvent(1), 0);
  db.SetPersonField(1, 2, "X");  // invalid: nothing happens
  EXPECT_EQ(db.GetSurname(1), "");
}

TEST(Base, FieldCodesAndConversions) {
  TBD db;
  int p = db.NewPerson();
  ASSERT_EQ(p, 1);
  EXPECT_EQ(db.GetPersonField(p, 0), "1");
  EXPECT_EQ(db.GetPersonField(p, 1), "H");
  db.SetSex(p, 2);
  EXPECT_EQ(db.GetPersonField(p, 1), "I");
  db.SetPersonField(p, 1, "f");
  EXPECT_EQ(db.GetSex(p), 1);
  db.SetPersonField(p, 1, "H");
  EXPECT_EQ(db.GetSex(p), 0);
  db.SetPersonField(p, 1, "X");
  EXPECT_EQ(db.GetSex(p), 2);
  db.SetPersonField(p, 4, "abc");
  EXPECT_EQ(db.GetPersonField(p, 4), "0");
  db.SetPersonField(p, 5, "12");
  EXPECT_EQ(db.GetMother(p), 12);
  db.SetPersonField(p, 2, "DUPONT");
  db.SetPersonField(p, 3, "Jean Marie");
  EXPECT_EQ(db.GetPersonField(p, 25), "DUPONT Jean Marie");
  EXPECT_EQ(db.GetPersonField(p, 24), "Jean");
  EXPECT_EQ(db.GetSurnameAndUsualName(p), "DUPONT Jean");
  db.SetPersonField(p, 6, "12/5/1900");
  db.SetPersonField(p, 7, "Brest");
  db.SetPersonField(p, 13, "Paris");
  EXPECT_EQ(db.GetBirthDate(p), "12/5/1900");
  EXPECT_EQ(db.GetPersonEvent(p, kNaissance, 4), "Brest");
  EXPECT_EQ(db.GetPersonEvent(p, kDeces, 4), "Paris");
  EXPECT_EQ(db.PersonEventCount(p), 2);
  db.SetPersonField(p, 19, "Tisserand");
  EXPECT_EQ(db.GetProfession(p), "Tisserand");
  EXPECT_EQ(db.GetPersonField(p, 23), "t|Profession|Tisserand|");
  db.SetPersonField(p, 20, "photo.jpg");
  EXPECT_EQ(db.GetPersonField(p, 20), "");
  db.SetPersonField(p, 27, "x");
  EXPECT_EQ(db.GetPersonField(p, 27), "0");
  db.SetPersonField(p, 28, "42");
  EXPECT_EQ(db.GetPersonField(p, 28), "42");
  db.SetPersonField(p, 26, "1.2");
  EXPECT_EQ(db.GetPersonField(p, 26), "1.2");
  EXPECT_EQ(db.GetPersonField(p, 29), "");
  db.SetPersonField(p, 0, "0");
  EXPECT_FALSE(db.IsPersonUsed(p));
  EXPECT_EQ(db.GetSiblingLink(p), 0);
  EXPECT_EQ(db.GetChildLink(p), 0);
  EXPECT_EQ(db.GetUnionLink(p), 0);
}

TEST(Base, NumberFieldsReadOnlyDecimalText) {
  TBD db;
  int p = db.NewPerson();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"12", "12"}, {" 12", "12"}, {"+12", "12"}, {"-12", "-12"},
      {"12 ", "0"}, {"+-5", "0"},  {"++5", "0"},  {"-+5", "0"},
      {"+", "0"},   {"", "0"},     {"0x10", "0"}, {"99999999999", "0"},
  };
  for (const auto& [in, out] : cases) {
    db.SetPersonField(p, 4, in);
    EXPECT_EQ(db.GetPersonField(p, 4), out) << in;
  }
}

TEST(Base, AppendModeNeverReusesAFreeSlot) {
  TBD db;
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(db.NewPerson(), i);
    ASSERT_EQ(db.NewUnion(), i);
  }
  db.ClearPerson(2);
  db.ClearUnion(1);
  db.AppendMode = true;
  EXPECT_EQ(db.NewPerson(), 4);
  EXPECT_EQ(db.NewUnion(), 4);
  db.AppendMode = false;
  EXPECT_EQ(db.NewPerson(), 2);
  EXPECT_EQ(db.NewUnion(), 1);
  EXPECT_EQ(db.NewPerson(), 5);
}

TEST(Base, FirstReadLastWrittenEventOfAKind) {
  TBD db;
  int p = db.NewPerson();
  db.SetPersonEvent(p, kNaissance, "1900", 2);
  int e2 = db.AddPersonEvent(p);
  ASSERT_GT(e2, 0);
  db.SetPersonEventField(p, 2, kNaissance, 1);
  db.SetPersonEventField(p, 2, "1901", 2);
  EXPECT_EQ(db.GetBirthDate(p), "1900");
  db.SetPersonEvent(p, kNaissance, "1950", 2);
  EXPECT_EQ(db.GetPersonEventField(p, 1, 2), "1900");
  EXPECT_EQ(db.GetPersonEventField(p, 2, 2), "1950");
  // No event of that kind and an empty value: nothing is created.
  db.SetPersonEvent(p, kDeces, "", 2);
  EXPECT_EQ(db.PersonEventCount(p), 2);
  EXPECT_EQ(db.GetPersonEventField(p, 1, 6), "0");
  EXPECT_EQ(db.GetPersonEventField(p, 1, 7), "");
}

TEST(Base, Attributes) {
  TBD db;
  int p = db.NewPerson();
  db.SetPersonField(p, 23, "t|Profession|A|t|Titre|B|");
  db.SetAttribute(p, "Profession", "");
  EXPECT_EQ(db.GetPersonField(p, 23), "t|Titre|B|");
  db.SetPersonField(p, 23, "t|Profession|A|");
  EXPECT_EQ(db.GetAttribute(p, "Titre"), "");
  EXPECT_EQ(db.GetAttribute(p, "Profession"), "A");
  // Repeated names: the first wins on read, every one is rewritten on write.
  db.SetPersonField(p, 23, "x|Profession|A|t|Profession|B|t|Vide||");
  EXPECT_EQ(db.GetAttribute(p, "Profession"), "A");
  db.SetAttribute(p, "Profession", "C");
  EXPECT_EQ(db.GetPersonField(p, 23), "t|Profession|C|t|Profession|C|");
  db.SetAttribute(p, "Titre", "Comte");
  EXPECT_EQ(db.GetPersonField(p, 23), "t|Profession|C|t|Profession|C|t|Titre|Comte|");
}

TEST(Base, UsualGivenName) {
  EXPECT_EQ(TBD::UsualName("Pierre, Paul"), "Pierre");
  EXPECT_EQ(TBD::UsualName("\"Jo\""), "Jo");
  EXPECT_EQ(TBD::UsualName("Marie \"Jo\" Anne"), "Jo");
  EXPECT_EQ(TBD::UsualName("Jean Marie"), "Jean");
  EXPECT_EQ(TBD::UsualName("Jean \"Marie"), "Jean");
  EXPECT_EQ(TBD::UsualName(""), "");
}

TEST(Base, EventPoolAtCapacity) {
  TBD db;
  int p = db.NewPerson();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(db.AddPersonEvent(p), i + 1);
  EXPECT_EQ(db.AddPersonEvent(p), 0);
  EXPECT_EQ(db.EventCount, 1000);
  EXPECT_EQ(db.PersonEventCount(p), 1000);
  // Outside append mode a removed event's slot is reused.
  db.RemovePersonEvent(p, 10);
  EXPECT_EQ(db.PersonEventCount(p), 999);
  EXPECT_EQ(db.AddPersonEvent(p), 10);
  db.AppendMode = true;
  db.RemovePersonEvent(p, 1);
  EXPECT_EQ(db.AddPersonEvent(p), 0);
}

TEST(Base, PersonAndUnionPoolsRefuseWhenFull) {
  TBD db(3);
  EXPECT_EQ(db.NewPerson(), 1);
  EXPECT_EQ(db.NewPerson(), 2);
  EXPECT_EQ(db.NewPerson(), 3);
  db.SetSurname(3, "GARDE");
  EXPECT_EQ(db.NewPerson(), 0);
  EXPECT_EQ(db.PersonCount, 3);
  EXPECT_EQ(db.GetSurname(3), "GARDE");
  db.ClearPerson(2);
  EXPECT_EQ(db.NewPerson(), 2);  // free slot reused
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(db.NewUnion(), i);
  EXPECT_EQ(db.NewUnion(), 0);
  EXPECT_EQ(db.UnionCount, 3);
}

TEST(Base, ClearPersonFreesEventsKeepsCount) {
  TBD db;
  int p = db.NewPerson();
  db.SetPersonField(p, 6, "1900");
  db.SetPersonField(p, 12, "1950");
  db.AddPersonSource(p, 3);
  db.SetPersonField(p, 27, "7");
  db.ClearPerson(p);
  EXPECT_EQ(db.PersonCount, 1);
  EXPECT_EQ(db.PersonEventCount(p), 0);
  EXPECT_FALSE(db.EventRecord(1)->InUse);
  EXPECT_EQ(db.EventRecord(1)->Quality, "0");
  EXPECT_TRUE(db.Person(p)->SourceList.empty());
  EXPECT_EQ(db.GetPersonField(p, 27), "7");  // spare numbers are left alone
  int q = db.NewPerson();
  EXPECT_EQ(q, p);
  EXPECT_EQ(db.AddPersonEvent(q), 1);
}

TEST(Base, Unions) {
  TBD db;
  int h = db.NewPerson(), f = db.NewPerson();
  int u = db.NewUnion();
  EXPECT_EQ(db.GetUnionField(u, 1), "0");
  EXPECT_FALSE(db.IsUnionValid(u));
  db.SetHusband(u, h);
  EXPECT_FALSE(db.IsUnionValid(u));
  db.SetWife(u, f);
  EXPECT_TRUE(db.IsUnionValid(u));
  db.SetUnionField(u, 3, "1/6/1920");
  db.SetUnionField(u, 5, "Brest");
  db.SetUnionField(u, 7, "note");
  db.SetUnionField(u, 4, "1930");
  EXPECT_EQ(db.GetUnionField(u, 3), "1/6/1920");
  EXPECT_EQ(db.GetUnionField(u, 5), "Brest");
  EXPECT_EQ(db.GetUnionField(u, 7), "note");
  EXPECT_EQ(db.GetUnionField(u, 4), "1930");
  EXPECT_EQ(db.GetUnionEvent(u, kDivorce, 2), "1930");
  EXPECT_EQ(db.UnionEventCount(u), 2);
  EXPECT_EQ(db.GetUnionField(u, 8), "");
  // A single-parent union: counting valid unions must not free it.
  int u2 = db.NewUnion();
  db.SetWife(u2, f);
  EXPECT_EQ(db.ValidUnionCount(), 1);
  EXPECT_EQ(db.GetWife(u2), f);
  EXPECT_EQ(db.NewUnion(), 3);
  db.ClearUnion(u);
  EXPECT_EQ(db.GetHusband(u), 0);
  EXPECT_EQ(db.UnionEventCount(u), 0);
  db.SetHusband(u, h);  // stored whatever InUse says, but not read back
  EXPECT_EQ(db.GetHusband(u), 0);
  EXPECT_EQ(db.GetUnionField(u, 1), std::to_string(h));
}

TEST(Base, Sources) {
  TBD db;
  int p = db.NewPerson();
  EXPECT_TRUE(db.AddPersonSource(p, 4));
  EXPECT_FALSE(db.AddPersonSource(p, 4));
  EXPECT_EQ(db.Person(p)->SourceList.size(), 1u);
  TSrc* s = db.SourceRecord(1);
  s->InUse = true;
  s->Title = "Registre";
  s->Abbrev = "REG";
  s->Text = "texte";
  db.SourceCount = 1;
  db.ClearSource(1);
  EXPECT_FALSE(s->InUse);
  EXPECT_EQ(s->Title, "");
  EXPECT_EQ(s->Text, "");
  EXPECT_EQ(s->Abbrev, "REG");
  EXPECT_EQ(db.SourceRecord(0), nullptr);
  EXPECT_EQ(db.SourceRecord(1001), nullptr);
}

TEST(Base, GrowingPoolsFollowTheDataFixedOnesRefuse) {
  for (int capacity : {kGrowing, 3}) {
    TBD db(capacity);
    const int32_t most = db.Growing() ? 3000 : 3;
    for (int32_t i = 1; i <= most; ++i) {
      ASSERT_EQ(db.NewPerson(), i);
      ASSERT_EQ(db.NewUnion(), i);
      ASSERT_EQ(db.AddPersonEvent(i), i);
      ASSERT_EQ(db.NewSource(), i);
    }
    EXPECT_EQ(db.Capacity(), most);
    db.SetSurname(most, "DERNIER");
    EXPECT_EQ(db.GetSurname(most), "DERNIER");
    ASSERT_NE(db.SourceRecord(most), nullptr);
    ASSERT_NE(db.EventRecord(most), nullptr);
    if (db.Growing()) {
      EXPECT_EQ(db.SourceRecord(most + 1), nullptr);  // nothing beyond what was made
      EXPECT_EQ(db.EventRecord(most + 1), nullptr);
      continue;
    }
    EXPECT_EQ(db.NewPerson(), 0);
    EXPECT_EQ(db.NewUnion(), 0);
    EXPECT_EQ(db.AddPersonEvent(1), 0);
    EXPECT_EQ(db.NewSource(), 0);
    EXPECT_EQ(db.SourceCount, 3);
  }
}

TEST(Base, ClearEmptiesEverything) {
  for (int capacity : {1000, kGrowing}) {
    TBD db(capacity);
    for (int i = 0; i < 5; ++i) db.SetPersonField(db.NewPerson(), 6, "1900");
    db.SetSurname(1, "ANCIEN");
    db.NewUnion();
    db.Clear();
    EXPECT_EQ(db.PersonCount, 0);
    EXPECT_EQ(db.UnionCount, 0);
    EXPECT_EQ(db.EventCount, 0);
    EXPECT_EQ(db.NewPerson(), 1);
    EXPECT_EQ(db.GetSurname(1), "");
    EXPECT_EQ(db.PersonEventCount(1), 0);
    EXPECT_EQ(db.AddPersonEvent(1), 1);
  }
}

// The index of main events gives what a scan of the event lists gives, and follows every change.
TEST(EventIndexTest, SameAnswersAsTheListsAndDroppedOnChange) {
  TBD db(kGrowing);
  const int32_t a = db.NewPerson(), b = db.NewPerson();
  const int32_t u = db.NewUnion();
  auto add = [&db](int32_t p, const std::string& kind, const std::string& date) {
    int32_t e = db.AddPersonEvent(p);
    db.EventRecord(e)->Kind = kind;
    db.EventRecord(e)->Date = date;
    return e;
  };
  add(a, "Profession", "1900");
  add(a, kNaissance, "1850");
  add(a, kNaissance, "1851");  // the first of a kind counts
  const int32_t death = add(a, kDeces, "1920");
  add(b, std::string("Bapt\xEA") + "me", "1860");  // the kind as another text
  db.SetUnionEvent(u, kMariage, "1875", EventCode::Date);
  db.SetUnionEvent(u, kDivorce, "Rennes", EventCode::Place);
  const std::string kinds[] = {kNaissance, kBapteme, kDeces, kSepulture, "Profession", ""};
  auto answers = [&] {
    std::vector<std::string> out;
    for (int32_t p : {0, a, b, 3})
      for (const std::string& k : kinds)
        for (int code : {EventCode::Date, EventCode::Place, EventCode::Kind})
          out.push_back(db.GetPersonEvent(p, k, code));
    for (const std::string* k : {&kMariage, &kDivorce, &kNaissance})
      for (int code : {EventCode::Date, EventCode::Place})
        out.push_back(db.GetUnionEvent(u, *k, code));
    return out;
  };
  const std::vector<std::string> scanned = answers();
  EXPECT_EQ(db.GetPersonEvent(a, kNaissance, EventCode::Date), "1850");
  db.IndexEvents();
  EXPECT_EQ(answers(), scanned);

  // Changes after the index: a kind changed in place, an event removed, one added, a count.
  db.EventRecord(death)->Kind = kSepulture;
  EXPECT_EQ(db.GetPersonEvent(a, kDeces, EventCode::Date), "");
  EXPECT_EQ(db.GetPersonEvent(a, kSepulture, EventCode::Date), "1920");
  db.IndexEvents();
  db.RemovePersonEvent(a, 2);
  EXPECT_EQ(db.GetPersonEvent(a, kNaissance, EventCode::Date), "1851");
  db.IndexEvents();
  db.SetPersonEvent(b, kNaissance, "1859", EventCode::Date);
  EXPECT_EQ(db.GetPersonEvent(b, kNaissance, EventCode::Date), "1859");
  db.IndexEvents();
  const int32_t c = db.NewPerson();
  db.SetPersonEventField(a, 1, kDeces, EventCode::Kind);
  EXPECT_EQ(db.GetPersonEvent(a, kDeces, EventCode::Date), "1900");
  db.IndexEvents();
  add(c, kDeces, "2000");
  EXPECT_EQ(db.GetPersonEvent(c, kDeces, EventCode::Date), "2000");
}

}  // namespace
}  // namespace lignado
