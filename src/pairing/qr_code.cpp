#include "pairing/qr_code.h"

#include <png.h>
#include <qrencode.h>

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/atomic_file.h"

namespace qm {

namespace {

constexpr int kQuietZone = 4;

struct QRcodeDeleter {
  void operator()(QRcode* code) const { QRcode_free(code); }
};
using QRcodePtr = std::unique_ptr<QRcode, QRcodeDeleter>;

/// The modules of a QR code with its quiet zone: true is dark.
class ModuleGrid {
 public:
  explicit ModuleGrid(const QRcode& code) : width_(code.width), data_(code.data) {}
  int size() const { return width_ + 2 * kQuietZone; }
  bool dark(int x, int y) const {
    const int cx = x - kQuietZone;
    const int cy = y - kQuietZone;
    if (cx < 0 || cy < 0 || cx >= width_ || cy >= width_) return false;
    return (data_[cy * width_ + cx] & 1U) != 0;  // bit 0 of each module byte is "dark"
  }

 private:
  int width_;
  const unsigned char* data_;
};

Result<QRcodePtr> encode(std::string_view text) {
  const std::string copy(text);  // libqrencode wants a zero-terminated string
  errno = 0;
  QRcodePtr code(QRcode_encodeString(copy.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1));
  if (!code) {
    const int error = errno;
    return Error("Cannot make a QR code of this text: " +
                 std::string(error != 0 ? std::strerror(error) : "unknown error"));
  }
  return code;
}

void appendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

/// Encodes square 8-bit grey `pixels` into `out`; false when libpng fails.
/// libpng reports errors by longjmp, so nothing here needs a destructor.
bool encodePng(const std::uint8_t* pixels, png_uint_32 side, std::string* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, appendPngBytes, nullptr);
  png_set_IHDR(png, info, side, side, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (png_uint_32 y = 0; y < side; ++y)
    png_write_row(png, pixels + static_cast<std::size_t>(y) * side);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

Result<QRModules> qrModules(std::string_view text) {
  auto code = encode(text);
  if (!code) return code.error();
  const ModuleGrid grid(**code);
  QRModules modules;
  modules.size = grid.size();
  modules.dark.resize(static_cast<std::size_t>(modules.size) * modules.size);
  for (int y = 0; y < modules.size; ++y)
    for (int x = 0; x < modules.size; ++x)
      modules.dark[static_cast<std::size_t>(y) * modules.size + x] = grid.dark(x, y);
  return modules;
}

std::string renderQRForTerminal(std::string_view text) {
  auto code = encode(text);
  if (!code) return {};
  const ModuleGrid grid(**code);
  const int size = grid.size();
  // A terminal cell can only show its upper half, lower half, both or neither
  // in the foreground colour. Scanners need dark modules on a light ground, and
  // on a dark terminal the foreground is the light colour, so light modules (and
  // the quiet zone) are drawn as blocks and dark modules stay blank. Below the
  // last row (the size is odd) the terminal's own dark background shows.
  std::string out;
  for (int y = 0; y < size; y += 2) {
    for (int x = 0; x < size; ++x) {
      const bool topLight = !grid.dark(x, y);
      const bool bottomLight = y + 1 < size && !grid.dark(x, y + 1);
      if (topLight && bottomLight) {
        out += "█";
      } else if (topLight) {
        out += "▀";
      } else if (bottomLight) {
        out += "▄";
      } else {
        out += " ";
      }
    }
    out += "\n";
  }
  return out;
}

Status writeQRPng(std::string_view text, const std::filesystem::path& file, int scale) {
  if (scale < 1 || scale > 64) return Error("The QR code scale must be between 1 and 64.");
  auto code = encode(text);
  if (!code) return code.error();
  const ModuleGrid grid(**code);
  const auto side = static_cast<std::size_t>(grid.size() * scale);

  std::vector<std::uint8_t> pixels(side * side, 0xFF);
  for (std::size_t y = 0; y < side; ++y) {
    for (std::size_t x = 0; x < side; ++x) {
      if (grid.dark(static_cast<int>(x) / scale, static_cast<int>(y) / scale)) {
        pixels[y * side + x] = 0x00;
      }
    }
  }
  std::string png;
  if (!encodePng(pixels.data(), static_cast<png_uint_32>(side), &png)) {
    return Error("Cannot encode the QR code as PNG.");
  }
  // The code lets whoever holds it pair while it is on show: for this user only.
  if (auto written = writeFileAtomically(file, png, 0600); !written) {
    return Error("Cannot write " + file.string() + ": " + written.error().message);
  }
  return {};
}

}  // namespace qm
