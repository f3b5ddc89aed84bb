#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "desktop/desktop_context.h"
#include "store/contact_note.h"

namespace qm::desktop {

/// This desk as the records credit it: the device identifier the notes
/// written here carry (only those can be edited here), and the user's own
/// names, which are never listed as teammates who also met a contact: the
/// name the companion credits the user's phone's records to, and this
/// desktop's display name. Asked of the companion at start and whenever the
/// pairing changes (another phone, another name).
class DeskIdentity : public QObject {
  Q_OBJECT
 public:
  explicit DeskIdentity(DesktopContext& context, QObject* parent = nullptr);

  bool wroteHere(const ContactNote& note) const;
  /// `names` (a contact's "also met by") without the user's own.
  QStringList teammates(const std::vector<std::string>& names) const;

 signals:
  /// What this desk knows of itself changed: what the pane shows may differ.
  void changed();

 private:
  void ask();

  DesktopContext& context_;
  QString deviceID_;
  QStringList ownNames_;
};

}  // namespace qm::desktop
