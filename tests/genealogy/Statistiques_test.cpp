#include "genealogy/Statistiques.h"

#include <gtest/gtest.h>

#include "data/Base.h"
#include "genealogy/Vivants.h"
#include "pages/FamilleModele.h"

namespace lignado {
namespace {

using E = Statistiques::Effectif;
using Decades = std::map<int32_t, int32_t>;

// The family of the template guide, worked out by hand. Corentin (born 1925, Brest) is living
// in 2024: hidden, his birth counts nowhere, his name does.
TEST(Statistiques, FiguresOfAKnownFamily) {
  TBD db;
  test::BuildFamilleModele(db);
  const FixedClock today({2024, 12, 7});
  const TVivants hide(db, LivingMode::Hide, today), publish(db, LivingMode::Publish, today);
  const Statistiques st = ComputeStatistiques(db, &hide);

  EXPECT_EQ(std::vector<int32_t>({st.persons, st.men, st.women, st.unknownSex, st.unions}),
            std::vector<int32_t>({10, 6, 4, 0, 3}));
  EXPECT_EQ(st.surnames,
            (std::vector<E>{
                {"DUPONT", 6}, {"KERMARREC", 1}, {"L'HOSTIS", 1}, {"LE GALL", 1}, {"MARTIN", 1}}));
  // Births, a baptism, marriages and a death; the divorce's Rennes is no event counted.
  EXPECT_EQ(st.places, (std::vector<E>{{"Brest", 4}, {"Quimper", 2}}));
  // Paul's baptism stands for his birth; "vers 1895" counts in its decade.
  EXPECT_EQ(st.births, (Decades{{1820, 1}, {1850, 2}, {1870, 2}, {1880, 1}, {1890, 1}}));
  EXPECT_EQ(st.marriages, (Decades{{1870, 1}, {1890, 1}}));
  EXPECT_EQ(st.deaths, (Decades{{1880, 1}, {1920, 1}}));
  // Marie: 1852 to 1889; Pierre: 1/2/1850 to 3/4/1920.
  ASSERT_EQ(st.ageAtDeath.size(), 2u);
  const Statistiques::Ages& d19 = st.ageAtDeath.at(19);
  const Statistiques::Ages& d20 = st.ageAtDeath.at(20);
  EXPECT_EQ(std::vector<int64_t>({d19.count, d19.sum, d19.Mean(), d20.count, d20.Mean()}),
            std::vector<int64_t>({1, 37, 37, 1, 70}));
  // First marriages: Pierre at 24 (1874, not 1890), Marie at 22; Jeanne has no birth date.
  ASSERT_EQ(st.ageAtFirstMarriage.size(), 1u);
  const Statistiques::Ages& m = st.ageAtFirstMarriage.at(19);
  EXPECT_EQ(std::vector<int32_t>({m.count, m.min, m.max, m.Mean()}),
            std::vector<int32_t>({2, 22, 24, 23}));

  // Published, Corentin's birth and place count.
  const Statistiques all = ComputeStatistiques(db, &publish);
  EXPECT_EQ(all.births.at(1920), 1);
  EXPECT_EQ(all.places.front(), (E{"Brest", 5}));
  EXPECT_EQ(all.surnames, st.surnames);
}

}  // namespace
}  // namespace lignado
