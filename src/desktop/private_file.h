#pragma once

#include <QString>
#include <functional>
#include <string_view>

class QObject;

namespace qm::desktop {

/// Writes `contents` as `fileName` (made unique) into this process's private
/// folder (mode 0700, in the user's runtime folder when there is one) with mode
/// 0600, for another program to open: the file names a person or holds a
/// report. Returns its path, or an empty text and the reason in `error`.
QString writePrivateCopy(const QString& fileName, std::string_view contents, QString* error);

/// Opens `path` in the program the desktop chose for its kind, through
/// `xdg-open`. `done` runs once with an empty text, or with why it could not
/// be opened.
using ExternalOpener =
    std::function<void(const QString& path, std::function<void(const QString& error)> done)>;

/// The opener the window uses; tests put one of their own here so that no
/// viewer is launched.
ExternalOpener& externalOpener();

/// The default opener: `xdg-open path` as a child of `QCoreApplication`.
void openWithXdgOpen(const QString& path, std::function<void(const QString& error)> done);

}  // namespace qm::desktop
