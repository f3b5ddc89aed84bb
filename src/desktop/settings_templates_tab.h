#pragma once

#include <QString>
#include <QTimer>
#include <array>

#include "desktop/settings_page.h"
#include "settings/settings_enums.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace qm::desktop {

/// The follow-up templates drafts are written from without an AI, one per
/// tone: the chosen tone's template in an editor (the built-in one of the
/// drafts' language while the user has none of their own), the placeholders
/// to insert, "Restore Default", and under the editor what is wrong with the
/// text. A template is kept a moment after the typing stops; one with a
/// mistake is not kept and stays in the editor, with the mistake shown, until
/// it is corrected.
class TemplatesSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  TemplatesSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

  QComboBox* toneBox() const { return tone_; }
  QPlainTextEdit* editor() const { return editor_; }
  QListWidget* placeholderList() const { return placeholders_; }
  QPushButton* restoreButton() const { return restore_; }
  QLabel* errorLabel() const { return error_; }

  /// What keeps `text` from being a template, as the window words it; empty
  /// when it is one.
  static QString problemText(const QString& text);

 private:
  /// One tone's template: the setting as kept (empty: the built-in one) and
  /// the text the editor holds for it, which differs while not yet kept.
  struct ToneTemplate {
    QString kept;
    QString shown;
    bool pending = false;
  };

  QString builtIn(int tone) const;
  QString keyOf(int tone) const;
  void showTone(int tone);
  void edited();
  void commit(int tone);
  void restoreDefault();
  void insertPlaceholder(QListWidgetItem* item);

  QComboBox* tone_ = nullptr;
  QPlainTextEdit* editor_ = nullptr;
  QListWidget* placeholders_ = nullptr;
  QPushButton* restore_ = nullptr;
  QLabel* error_ = nullptr;
  QTimer commitTimer_;
  std::array<ToneTemplate, 3> templates_;
  int shownTone_ = 1;
  AppLanguage language_ = AppLanguage::en;
};

}  // namespace qm::desktop
