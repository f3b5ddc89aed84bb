// The scoring rule: what a token finds in a field, how tokens combine, and how
// queries and texts are folded and split.
#include <gmock/gmock.h>

#include <random>

#include "common/search_folding.h"
#include "search/search_scoring.h"

namespace qm {
namespace {

using ::testing::DoubleEq;
using ::testing::ElementsAre;
using ::testing::Optional;

std::optional<double> score(const std::vector<SearchField>& fields, std::string_view query) {
  return scoreRecord(fields, searchTokens(query));
}

TEST(SearchScoring, WeightsTheBestKindOfMatchPerToken) {
  // A first name (weight 3) equal to the token: 6; starting with it: 4.5;
  // merely containing it: 3.
  EXPECT_THAT(score({{"Jo", 3}}, "jo"), Optional(6.0));
  EXPECT_THAT(score({{"Jonas", 3}}, "jo"), Optional(4.5));
  EXPECT_THAT(score({{"Bjorn", 3}}, "jo"), Optional(3.0));
  // A note (0.5) that contains the token inside a word: 0.5; as a whole word: 1;
  // as the start of a later word: 0.75.
  EXPECT_THAT(score({{"the pilotage plan", 0.5}}, "lot"), Optional(0.5));
  EXPECT_THAT(score({{"met at the booth", 0.5}}, "booth"), Optional(1.0));
  EXPECT_THAT(score({{"met at the boothcamp", 0.5}}, "booth"), Optional(0.75));
  // The best field wins, not the sum of the fields.
  EXPECT_THAT(score({{"Smith", 3}, {"smith@example.com", 1.5}}, "smith"), Optional(6.0));
  // A later whole-word occurrence beats an earlier one inside a word.
  EXPECT_THAT(score({{"bjohn john", 1}}, "john"), Optional(2.0));
}

TEST(SearchScoring, EveryTokenMustMatchAndTheirBestsAddUp) {
  const std::vector<SearchField> joSmith{{"Jo", 3}, {"Smith", 3}};
  const std::vector<SearchField> joBrown{{"Jo", 3}, {"Brown", 3}};
  EXPECT_THAT(score(joSmith, "jo sm"), Optional(6.0 + 4.5));
  EXPECT_EQ(score(joBrown, "jo sm"), std::nullopt);
  // Absent and empty texts are skipped.
  EXPECT_EQ(score({{std::nullopt, 3}, {"", 3}}, "jo"), std::nullopt);
  // A token may be scored by the same field as another.
  EXPECT_THAT(score({{"Jo", 3}}, "jo JO"), Optional(12.0));
}

TEST(SearchScoring, FoldsAccentsAndRanksExactMatchesAboveFoldedOnes) {
  EXPECT_THAT(score({{"MÜLLER", 3}}, "müller"), Optional(6.0));
  // Stored decomposed (u + combining diaeresis), typed composed.
  EXPECT_THAT(score({{"Mu\xCC\x88ller", 3}}, "Müller"), Optional(6.0));
  // Found with the accents set aside, on either side, at 0.9 of the exact score.
  EXPECT_THAT(score({{"Müller", 3}}, "muller"), Optional(DoubleEq(0.9 * 6.0)));
  EXPECT_THAT(score({{"Muller", 3}}, "müller"), Optional(DoubleEq(0.9 * 6.0)));
  EXPECT_THAT(score({{"Łódź", 1}}, "lodz"), Optional(DoubleEq(0.9 * 2.0)));
  EXPECT_THAT(score({{"Ayşe", 3}, {"García", 3}}, "ayse garcia"), Optional(DoubleEq(0.9 * 12.0)));
  // An exact match anywhere in the text wins over a folded one.
  EXPECT_THAT(score({{"Müller Muller", 1}}, "muller"), Optional(2.0));
  // A folded whole word still beats an exact start of a word.
  EXPECT_THAT(score({{"Mullerton", 1}, {"Müller", 1}}, "muller"), Optional(DoubleEq(0.9 * 2.0)));
  EXPECT_THAT(score({{"田中 太郎", 3}}, "太郎"), Optional(6.0));
  EXPECT_THAT(score({{"田中太郎", 3}}, "中"), Optional(3.0));
}

TEST(SearchScoring, SplitsQueriesAndTextsAtBlanksOnly) {
  const auto words = [](std::string_view query) {
    std::vector<std::string> out;
    for (const SearchToken& token : searchTokens(query)) out.push_back(token.folded);
    return out;
  };
  // Ideographic and no-break spaces separate words; other punctuation does not.
  EXPECT_THAT(words("田中\u3000太郎"), ElementsAre("田中", "太郎"));
  EXPECT_THAT(words(" Ada\t\u00A0LOVELACE  "), ElementsAre("ada", "lovelace"));
  EXPECT_THAT(words("jean-luc o'neil"), ElementsAre("jean-luc", "o'neil"));
  // Line breaks at either end are trimmed off before the split.
  EXPECT_THAT(words("jo\n"), ElementsAre("jo"));
  EXPECT_THAT(words("\r\nada lovelace\u2028"), ElementsAre("ada", "lovelace"));
  EXPECT_THAT(searchTokens("SÃO Paulo"),
              ElementsAre(SearchToken{"são", "sao"}, SearchToken{"paulo", "paulo"}));
  EXPECT_THAT(score({{"Jo", 3}}, "jo\n"), Optional(6.0));
  EXPECT_THAT(score({{"hall\u3000four", 1}}, "four"), Optional(2.0));
  EXPECT_THAT(score({{"acme-robotics", 1}}, "robotics"), Optional(1.0));
}

TEST(SearchScoring, QueriesShorterThanTwoCharactersAreNotSearched) {
  EXPECT_FALSE(isSearchableQuery("  a \n"));
  EXPECT_FALSE(isSearchableQuery("田"));
  EXPECT_FALSE(isSearchableQuery("e\xCC\x81"));  // one accented letter, two code points
  EXPECT_FALSE(isSearchableQuery("\u3000"));
  EXPECT_TRUE(isSearchableQuery(" jo "));
  EXPECT_TRUE(isSearchableQuery("田中"));
  EXPECT_TRUE(isSearchableQuery("a b"));
}

// The index scores texts by stepping over the token's occurrences in both
// forms; it must give exactly what the rule gives on every text.
TEST(SearchScoring, OccurrenceScanAgreesWithTheRule) {
  const std::vector<std::string> pieces{"a",  "ab", "b", " ",  "\u3000", "\u00A0", "\t", "é", "e",
                                        "田", "ba", "-", "aa", "ß",      "ss",     "Ø",  "o"};
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    std::string text, query;
    for (int k = static_cast<int>(random() % 7); k >= 0; --k)
      text += pieces[random() % pieces.size()];
    do {
      query.clear();
      for (int k = static_cast<int>(random() % 2); k >= 0; --k)
        query += pieces[random() % pieces.size()];
    } while (searchTokens(query).size() != 1);
    const SearchToken token = searchTokens(query).front();
    const auto expected = scoreRecord({{text, 2}}, {token});
    const SearchForms forms = searchForms(text);
    const auto exact = forms.plain() ? std::nullopt : std::optional<std::string_view>(forms.exact);
    EXPECT_EQ(tokenScore(forms.folded, exact, token, 2), expected.value_or(0))
        << "text \"" << text << "\", query \"" << query << "\"";
  }
}

}  // namespace
}  // namespace qm
