// Terminal columns of names in any script.
#include "ui/display_width.h"

#include "ui/text_table.h"

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

namespace qm {
namespace {

TEST(TextTable, DropsOptionalColumnsBeforeCuttingEssentialOnesAndAlignsWideText) {
  const std::vector<TextColumn> columns{{"Name", TextColumn::Align::left, true, 6, 0},
                                        {"Note", TextColumn::Align::left, true, 4, 1},
                                        {"N", TextColumn::Align::right, false, 1, 0}};
  const std::vector<std::vector<std::string>> rows{{"田中太郎", "a long remark", "7"},
                                                   {"Ada", "short", "12"}};
  EXPECT_EQ(renderTextTable(columns, rows, 40),
            "Name      Note            N\n"
            "田中太郎  a long remark   7\n"
            "Ada       short          12\n");
  // Too narrow for the note without cutting the names: the note goes.
  EXPECT_EQ(renderTextTable(columns, rows, 14),
            "Name       N\n"
            "田中太郎   7\n"
            "Ada       12\n");
  // Narrower still: names are cut, by columns.
  EXPECT_EQ(renderTextTable(columns, rows, 10, {true}),
            "Name     N\n"
            "──────────\n"
            "田中…    7\n"
            "Ada     12\n");
}

}  // namespace
}  // namespace qm
