#include "pages/TagMemo.h"

#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/Vivants.h"

namespace lignado {
namespace {

// Persons whose values have every length that the store handles differently: empty, short,
// long enough to fill chunks, and longer than a kept value may be.
class TagMemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= kPersons; ++i) {
      int32_t p = db.NewPerson();
      db.SetSurname(p, i % 7 == 0 ? "" : "NOM" + std::to_string(i));
      db.SetGivenNames(p, "Jean");
      db.SetPersonField(p, PersonCode::Note, std::string(static_cast<size_t>(i % 5) * 300, 'a'));
      db.SetSex(p, i % 3);
      if (i % 2) db.SetPersonEvent(p, kNaissance, std::to_string(1800 + i % 200), 2);
    }
    db.SetPersonField(6, PersonCode::Note, std::string(70000, 'n'));  // too long to keep
  }
  static constexpr int kPersons = 8000;  // notes of up to 255 bytes: more than one chunk
  TBD db{kGrowing};
  const FixedClock today{{2024, 12, 7}};
};

TEST_F(TagMemoTest, GivesWhatTheExpansionGivesOnEveryRequest) {
  const TVivants hide(db, LivingMode::Hide, today);
  TTagMemo memo(db, today, &hide);
  const std::string texts[] = {"<nom> <note>", "<h><ddn:clair>|<age>", "[<note>]", "<p\xE8re><nom>",
                               ""};
  for (int round = 0; round < 3; ++round) {
    for (const std::string& text : texts) {
      TTagMemo::Memo& m = memo.Find(text);
      for (int32_t p : {-1, 0, 1, 5, 1234, kPersons, kPersons + 1}) {
        ASSERT_EQ(memo.Expand(m, p), ExpandTags(db, p, text, today, &hide))
            << "round " << round << ", person " << p << ", " << text;
      }
      for (int32_t p = 1; p <= kPersons; ++p)
        ASSERT_EQ(memo.Expand(m, p), ExpandTags(db, p, text, today, &hide)) << p << text;
    }
  }
  // Values asked for once take a table entry, not their bytes.
  TTagMemo once(db, today, &hide);
  TTagMemo::Memo& m = once.Find("<nom> <note>");
  size_t kept = 0;
  for (int32_t p = 1; p <= kPersons; ++p) kept += once.Expand(m, p).size() + 2;
  EXPECT_LE(once.MemoryUsed(), (kPersons / 4096 + 1) * (4 * 4096 + 8u));  // 4 bytes a person
  for (int32_t p = 1; p <= kPersons; ++p) once.Expand(m, p);
  ASSERT_GT(kept, 1u << 20);
  EXPECT_GE(once.MemoryUsed(), kept);  // now kept, in more than one chunk
  for (int32_t p = 1; p <= kPersons; ++p)
    ASSERT_EQ(once.Expand(m, p), ExpandTags(db, p, "<nom> <note>", today, &hide)) << p;
}

TEST_F(TagMemoTest, ABudgetBoundsTheMemoryAndValuesStayRight) {
  const size_t budget = size_t{2} << 20;  // room for the tables and one chunk of values
  TTagMemo memo(db, today, nullptr, budget);
  const std::string text = "<nom> <note>";
  TTagMemo::Memo& m = memo.Find(text);
  for (int round = 0; round < 3; ++round)
    for (int32_t p = 1; p <= kPersons; ++p)
      ASSERT_EQ(memo.Expand(m, p), ExpandTags(db, p, text, today)) << round << " " << p;
  EXPECT_GT(memo.MemoryUsed(), size_t{1} << 20);  // it keeps what fits
  EXPECT_LE(memo.MemoryUsed(), budget);
}

TEST_F(TagMemoTest, ThreadsShareOneMemo) {
  TTagMemo memo(db, today, nullptr);
  auto work = [&](bool* ok) {
    for (int round = 0; round < 3; ++round)
      for (int32_t p = 1; p <= kPersons; ++p)
        *ok = *ok &&
              memo.Expand(memo.Find("<pre>/<nom>"), p) == ExpandTags(db, p, "<pre>/<nom>", today);
  };
  bool ok1 = true, ok2 = true;
  std::thread t(work, &ok1);
  work(&ok2);
  t.join();
  EXPECT_TRUE(ok1 && ok2);
}

}  // namespace
}  // namespace lignado
