#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QLabel;
class QLayout;
class QPushButton;
class QWidget;

namespace qm::desktop {

// What the detail pane's sections write with, so that every section looks
// and wraps alike.

/// Plain text that wraps to the pane instead of widening it, and can be
/// selected and copied.
QLabel* paneText(const QString& text, QWidget* parent);
/// `paneText` in the secondary tone: what describes a value.
QLabel* paneDetail(const QString& text, QWidget* parent);
/// The title of one of the pane's sections.
QLabel* sectionTitle(const QString& text, QWidget* parent);
/// A section's title with the button that adds to the section beside it,
/// or under it when the pane is too narrow for both.
QLayout* titleRow(const QString& title, QPushButton* button, QWidget* parent);
/// A small flat button under a record ("Edit…", "Delete…").
QPushButton* recordButton(const QString& text, const QString& accessibleName, QWidget* parent);
/// A button that does what `action` does and shows its text, tooltip and
/// whether it is enabled, as they change.
QPushButton* actionButton(QAction* action, QWidget* parent);
/// The non-empty `pieces` with " · " between them.
QString joined(const QStringList& pieces);

}  // namespace qm::desktop
