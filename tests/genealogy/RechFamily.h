#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/Base.h"
#include "genealogy/Rech.h"

namespace lignado::test {

inline std::vector<int32_t> entries(const TR& list) {
  std::vector<int32_t> v;
  for (int i = 1; i <= list.Nb; ++i) v.push_back(list.Lit(i));
  return v;
}

using V = std::vector<int32_t>;

inline int32_t addPerson(TBD& db, const std::string& nom, const std::string& pre, int sex,
                         int32_t father = 0, int32_t mother = 0) {
  int32_t p = db.NewPerson();
  db.SetSurname(p, nom);
  db.SetGivenNames(p, pre);
  db.SetSex(p, sex);
  db.SetFather(p, father);
  db.SetMother(p, mother);
  return p;
}

inline int32_t addUnion(TBD& db, int32_t husband, int32_t wife, const std::string& date) {
  int32_t u = db.NewUnion();
  db.SetHusband(u, husband);
  db.SetWife(u, wife);
  if (!date.empty()) db.SetUnionEvent(u, kMariage, date, 2);
  return u;
}

// Three generations and a fourth: Paul (5) married three times (1910, undated, 1900), Claire (7)
// remarried, half-siblings on the father's side (9, 10 / 11) and the mother's (11 / 15), a
// single mother (8), an unknown-sex person (13), and Theo (14) whose parents are cousins, so
// Jean (1) and Marie (2) are reached along two lines.
class Family : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(addPerson(db, "DUPONT", "Jean", 0), 1);
    ASSERT_EQ(addPerson(db, "Martin", "Marie", 1), 2);
    ASSERT_EQ(addPerson(db, "Durand", "Pierre", 0), 3);
    ASSERT_EQ(addPerson(db, "Leroy", "Anne", 1), 4);
    ASSERT_EQ(addPerson(db, "Dupont", "Paul", 0, 1, 2), 5);
    ASSERT_EQ(addPerson(db, "Durand", "Louise", 1, 3, 4), 6);
    ASSERT_EQ(addPerson(db, "Bernard", "Claire", 1), 7);
    ASSERT_EQ(addPerson(db, "Dupont", "Sophie", 1, 1, 2), 8);
    ASSERT_EQ(addPerson(db, "Dupont", "Luc", 0, 5, 6), 9);
    ASSERT_EQ(addPerson(db, "Dupont", "Emma", 1, 5, 6), 10);
    ASSERT_EQ(addPerson(db, "Dupont", "Hugo", 0, 5, 7), 11);
    ASSERT_EQ(addPerson(db, "Dupont",
                        "L\xE9"
                        "a",
                        1, 0, 8),
              12);
    ASSERT_EQ(addPerson(db, "Moreau", "Dominique", 2), 13);
    ASSERT_EQ(addPerson(db, "Dupont", "Th\xE9o", 0, 9, 12), 14);
    ASSERT_EQ(addPerson(db, "Bernard", "Jules", 0, 16, 7), 15);
    ASSERT_EQ(addPerson(db, "Bernard", "Marc", 0), 16);
    ASSERT_EQ(addPerson(db, "Petit", "Jeanne", 1), 17);
    ASSERT_EQ(addPerson(db, "Oubli", "Slot", 0, 5, 6), 18);
    db.SetPersonField(18, 0, "0");  // freed but its parent links stay: it is nobody

    ASSERT_EQ(addUnion(db, 5, 6, "1910"), 1);
    ASSERT_EQ(addUnion(db, 5, 7, ""), 2);
    ASSERT_EQ(addUnion(db, 5, 17, "1900"), 3);
    ASSERT_EQ(addUnion(db, 16, 7, "12/5/1890"), 4);
    ASSERT_EQ(addUnion(db, 9, 12, "3/6/1950"), 5);
    ASSERT_EQ(addUnion(db, 11, 13, "1960"), 6);
    ASSERT_EQ(addUnion(db, 13, 10, ""), 7);  // the unknown-sex person as husband
    ASSERT_EQ(addUnion(db, 16, 0, ""), 8);   // a union without a wife
  }
  TBD db;
};

}  // namespace lignado::test
