#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "desktop/text_tone.h"
#include "store/contact.h"

class QLabel;
class QWidget;

namespace qm::desktop {

/// Sends the detail pane's edits to the companion and says how they went on
/// the line under the pane: saved and sent to the phone, waiting for the
/// phone, saved here only, or why nothing was saved. The line speaks of the
/// contact the edit was about, so it shows only while that contact is shown.
/// An edit the same request can take back is offered for Undo.
class DetailEdits : public QObject {
  Q_OBJECT
 public:
  /// Runs with the companion's answer once it saved.
  using Saved = std::function<void(const QJsonObject& answer)>;
  /// Runs with the companion's reason when it refused (empty: it saved).
  using Answered = std::function<void(const QString& error)>;

  DetailEdits(DesktopContext& context, QWidget* pane);

  QLabel* statusLine() const { return line_; }
  /// The contact the pane shows now; the line is cleared for another one.
  void setShownContact(const std::optional<Uuid>& contactID);

  /// Sends `request`, an edit of something of `contactID`'s; `saved` runs on
  /// success, and the line shows the companion's reason on failure.
  void send(const Uuid& contactID, const QJsonObject& request, Saved saved);
  /// Sends a "contact.update" of `contact` and offers its undo. `answered`
  /// (when given) hears the outcome instead of the line hearing a refusal.
  void updateContact(const Contact& contact, const QJsonObject& fields, const QString& description,
                     Answered answered = {});

  /// How pushing the edited record to the phone went, from an edit's answer.
  void showPush(const Uuid& contactID, const QJsonObject& answer);
  void showDone(const Uuid& contactID, const QString& text);
  /// Offers Undo for a saved edit that sending `undo` reverses.
  void offerUndo(const QString& description, const QJsonObject& undo) {
    Q_EMIT undoableEdit(description, undo);
  }

 signals:
  /// The companion saved an edit: what the pane shows may have changed.
  void saved();
  /// An edit the companion saved that the same request with `undo` reverses.
  void undoableEdit(const QString& description, const QJsonObject& undo);

 private:
  void show(const Uuid& contactID, const QString& text, TextTone tone);

  DesktopContext& context_;
  QLabel* line_ = nullptr;
  std::optional<Uuid> shown_;
};

}  // namespace qm::desktop
