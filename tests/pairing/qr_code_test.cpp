#include "pairing/qr_code.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

/// What zbarimg reads from `file` (without telling D-Bus, which prints
/// "Connection Error" lines where no system bus runs).
std::string scan(const std::filesystem::path& file) {
  const auto read =
      test::runCommand("/usr/bin/env", {"zbarimg", "--raw", "-q", "--nodbus", file.string()}, {});
  EXPECT_NE(read.exitCode, 127) << "zbarimg is missing: run scripts/setup.sh";
  return read.exitCode == 0 ? read.out : "exit code " + std::to_string(read.exitCode);
}

TEST(QRCodeTest, PngScansBackToTheExactText) {
  test::TempDir dir;
  const std::string text = "eyJkZXZpY2VVVUlEIjoiQUJDIiwidmVyc2lvbiI6MX0=";
  ASSERT_TRUE(writeQRPng(text, dir / "qr.png"));
  EXPECT_EQ(scan(dir / "qr.png"), text + "\n");
  ASSERT_TRUE(writeQRPng("second", dir / "qr.png", 3));
  EXPECT_EQ(scan(dir / "qr.png"), "second\n");
  EXPECT_FALSE(writeQRPng("x", dir / "bad.png", 0));
}

TEST(QRCodeTest, TerminalDrawingHasALightQuietZoneAndSquareRows) {
  std::istringstream lines(renderQRForTerminal("hello"));
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);

  // Version 1 is 21 modules wide, 29 with the quiet zone: 15 lines of 29 cells.
  ASSERT_EQ(rows.size(), 15U);
  std::string fullLight;
  for (int i = 0; i < 29; ++i) fullLight += "█";
  EXPECT_EQ(rows[0], fullLight);
  EXPECT_EQ(rows[1], fullLight);
  // Line 2 holds module rows 4 and 5: the finder's dark top edge over its dark
  // sides and light inside, after four cells of quiet zone.
  EXPECT_EQ(rows[2].substr(0, std::string("████ ▄▄▄▄▄ ").size()), "████ ▄▄▄▄▄ ");
  EXPECT_TRUE(renderQRForTerminal("").empty());
}

}  // namespace
}  // namespace qm
