// The folding every search shares: what a name typed without its accents must
// find, and what must stay as it is.
#include "common/search_folding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace qm {
namespace {

TEST(SearchFolding, SetsAccentsAndLetterVariantsAside) {
  const std::pair<std::string, std::string> cases[] = {
      {"Müller", "muller"},
      {"ÖZTÜRK", "ozturk"},
      {"Ayşe García", "ayse garcia"},
      {"Düsseldorf", "dusseldorf"},
      {"São Paulo", "sao paulo"},
      {"Łódź", "lodz"},
      {"Straße", "strasse"},
      {"Ærø Øster", "aero oster"},
      {"Œuvre", "oeuvre"},
      {"Đorđe Þór Ðan", "dorde thor dan"},
      {"Işık İstanbul", "isik istanbul"},
      {"Nguyễn Thị Hương", "nguyen thi huong"},
      {"Ἀθῆναι ΟΔΟΣ", "αθηναι οδοσ"},
      {"O’Brien", "o'brien"},
      // Decomposed as another device may store it: e + combining acute.
      {"Rene\xCC\x81", "rene"},
  };
  for (const auto& [text, folded] : cases) EXPECT_EQ(foldForSearch(text), folded) << text;
}

TEST(SearchFolding, LeavesOtherScriptsAsTheyAre) {
  // Han, kana with its voicing mark (composed or not), Hangul: only case and
  // composition are folded.
  EXPECT_EQ(foldForSearch("田中　太郎"), "田中　太郎");
  EXPECT_EQ(foldForSearch("がくせい"), "がくせい");
  EXPECT_EQ(foldForSearch("\xE3\x81\x8B\xE3\x82\x99"), "が");  // か + U+3099
  EXPECT_EQ(foldForSearch("김민준"), "김민준");
  EXPECT_EQ(foldForSearch("Quảng Châu 广州"), "quang chau 广州");
}

TEST(SearchFolding, KeepsBothFormsOnlyWhenTheyDiffer) {
  const SearchForms plain = searchForms("ACME Robotics");
  EXPECT_TRUE(plain.plain());
  EXPECT_EQ(plain.folded, "acme robotics");
  EXPECT_EQ(plain.exactForm(), "acme robotics");

  const SearchForms accented = searchForms("MÜLLER");
  EXPECT_FALSE(accented.plain());
  EXPECT_EQ(accented.folded, "muller");
  EXPECT_EQ(accented.exactForm(), "müller");

  // Case and composition alone fold into the exact form.
  EXPECT_TRUE(searchForms("田中").plain());
  EXPECT_EQ(foldCase("Mu\xCC\x88LLER"), "müller");
  // Folding twice changes nothing more.
  EXPECT_EQ(foldForSearch(foldForSearch("Ærøskøbing Łódź")), foldForSearch("Ærøskøbing Łódź"));
}

}  // namespace
}  // namespace qm
