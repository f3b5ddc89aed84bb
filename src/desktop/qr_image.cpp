#include "desktop/qr_image.h"

#include <algorithm>
#include <cstring>

namespace qm::desktop {

QImage qrImage(const QRModules& modules, int maxPixels) {
  const int size = modules.size;
  if (size <= 0 || modules.dark.size() != static_cast<std::size_t>(size) * size) return {};
  // Whole pixels per module: a scaled-down or fractional module blurs the
  // edges a phone camera looks for.
  const int scale = std::max(1, maxPixels / size);
  const int side = size * scale;
  QImage image(side, side, QImage::Format_Grayscale8);
  for (int y = 0; y < side; ++y) {
    uchar* line = image.scanLine(y);
    const int row = y / scale;
    for (int x = 0; x < size; ++x) {
      const uchar value = modules.dark[static_cast<std::size_t>(row) * size + x] ? 0 : 255;
      std::memset(line + static_cast<std::ptrdiff_t>(x) * scale, value,
                  static_cast<std::size_t>(scale));
    }
  }
  return image;
}

QImage qrImage(const QString& text, int maxPixels) {
  const QByteArray bytes = text.toUtf8();
  auto modules =
      qrModules(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (!modules) return {};
  return qrImage(*modules, maxPixels);
}

}  // namespace qm::desktop
