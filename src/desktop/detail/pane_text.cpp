#include "desktop/detail/pane_text.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include "desktop/flow_layout.h"
#include "desktop/text_tone.h"

namespace qm::desktop {

QLabel* paneText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  label->setSizePolicy(policy);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  return label;
}

QLabel* paneDetail(const QString& text, QWidget* parent) {
  QLabel* label = paneText(text, parent);
  setTextTone(label, TextTone::secondary);
  return label;
}

QLabel* sectionTitle(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.1);
  label->setFont(font);
  label->setContentsMargins(0, 12, 0, 2);
  label->setAccessibleName(text);
  return label;
}

QLayout* titleRow(const QString& title, QPushButton* button, QWidget* parent) {
  auto* row = new FlowLayout(nullptr, 12);
  QLabel* label = sectionTitle(title, parent);
  label->setContentsMargins(0, 0, 0, 0);
  row->addWidget(label);
  row->addWidget(button);
  row->setContentsMargins(0, 12, 0, 2);
  return row;
}

QPushButton* recordButton(const QString& text, const QString& accessibleName, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFlat(true);
  button->setAccessibleName(accessibleName);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

QPushButton* actionButton(QAction* action, QWidget* parent) {
  auto* button = new QPushButton(parent);
  const auto mirror = [button, action] {
    button->setText(action->text());
    button->setToolTip(action->toolTip());
    button->setEnabled(action->isEnabled());
  };
  mirror();
  QObject::connect(action, &QAction::changed, button, mirror);
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  return button;
}

QString joined(const QStringList& pieces) {
  QStringList kept;
  for (const QString& piece : pieces)
    if (!piece.trimmed().isEmpty()) kept << piece;
  return kept.join(QStringLiteral(" · "));
}

}  // namespace qm::desktop
