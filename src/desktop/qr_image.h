#pragma once

#include <QImage>
#include <QString>

#include "pairing/qr_code.h"

namespace qm::desktop {

/// The QR code as an image black on white, quiet zone included, each module a
/// square of whole pixels so the code stays sharp: the largest size that fits
/// in `maxPixels` (at least one pixel a module). Null for an empty grid.
QImage qrImage(const QRModules& modules, int maxPixels);

/// `text` as a QR image no larger than `maxPixels`; null when it cannot be
/// encoded.
QImage qrImage(const QString& text, int maxPixels);

}  // namespace qm::desktop
