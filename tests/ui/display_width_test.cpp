// Terminal columns of names in any script.
#include "ui/display_width.h"

#include <gmock/gmock.h>

namespace qm {
namespace {

TEST(DisplayWidth, WideCharactersTakeTwoColumnsAndMarksNone) {
  EXPECT_EQ(displayWidth("Müller"), 6u);
  EXPECT_EQ(displayWidth("田中太郎"), 8u);
  EXPECT_EQ(displayWidth("Nguye\u0302\u0303n"), 6u);  // combining marks
  EXPECT_EQ(displayWidth("ＡＢ"), 4u);                // full-width Latin
}

TEST(DisplayWidth, FittingCutsWholeCharactersAndMarksTheCut) {
  EXPECT_EQ(fitToWidth("Øystein", 7), "Øystein");
  EXPECT_EQ(fitToWidth("Øystein", 5), "Øyst…");
  EXPECT_EQ(fitToWidth("田中太郎", 6), "田中…");  // 4 + 1, a third 田 would not fit
  EXPECT_EQ(displayWidth(fitToWidth("田中太郎", 6)), 5u);
  EXPECT_EQ(fitToWidth("two\nlines", 20), "two lines");
  EXPECT_EQ(fitToWidth("abc", 0), "");
}

}  // namespace
}  // namespace qm
