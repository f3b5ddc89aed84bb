#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qm {

/// The modules of a QR code with its four-module quiet zone, row by row:
/// `dark[y * size + x]`.
struct QRModules {
  int size = 0;
  std::vector<bool> dark;
};

/// `text` as QR modules (error correction M, byte mode), for a window that
/// draws the code itself.
Result<QRModules> qrModules(std::string_view text);

/// `text` as a QR code (error correction M, byte mode) drawn with Unicode half
/// blocks, two module rows per line, with a four-module quiet zone. Meant for a
/// dark terminal: light modules are drawn, dark ones left blank. Empty when the
/// text cannot be encoded (empty, or too long for any QR code).
std::string renderQRForTerminal(std::string_view text);

/// Writes `text` as a QR code to `file` as an 8-bit grey PNG, black on white,
/// `scale` pixels per module, with a four-module quiet zone. The file is
/// replaced atomically.
Status writeQRPng(std::string_view text, const std::filesystem::path& file, int scale = 8);

}  // namespace qm
