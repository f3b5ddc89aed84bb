#include "pairing/qr_code.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "support/temp_dir.h"

namespace qm {
namespace {

/// What `zbarimg --raw -q` reads from `file`, without the final newline.
std::optional<std::string> scan(const std::filesystem::path& file) {
  const std::string command = "zbarimg --raw -q '" + file.string() + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string text;
  std::array<char, 512> buffer{};
  while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
    text.append(buffer.data(), n);
  if (pclose(pipe) != 0) return std::nullopt;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(QRCodeTest, PngScansBackToTheExactText) {
  ASSERT_EQ(std::system("command -v zbarimg >/dev/null 2>&1"), 0)
      << "zbarimg is missing: run scripts/setup.sh";
  test::TempDir dir;
  const std::string text = "eyJkZXZpY2VVVUlEIjoiQUJDIiwidmVyc2lvbiI6MX0=";
  ASSERT_TRUE(writeQRPng(text, dir / "qr.png"));
  EXPECT_EQ(scan(dir / "qr.png"), text);

  ASSERT_TRUE(writeQRPng("second", dir / "qr.png", 3));
  EXPECT_EQ(scan(dir / "qr.png"), "second");
  EXPECT_FALSE(writeQRPng("x", dir / "bad.png", 0));
}

TEST(QRCodeTest, TerminalDrawingHasALightQuietZoneAndSquareRows) {
  const std::string drawing = renderQRForTerminal("hello");
  ASSERT_FALSE(drawing.empty());
  std::istringstream lines(drawing);
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
