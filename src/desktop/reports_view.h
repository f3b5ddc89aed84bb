#pragma once

#include <QWidget>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class QTreeWidget;

namespace qm::desktop {

/// The reports the phone wrote about one event: their type, date, AI provider
/// and detail level, the chosen one's text formatted, copying it, and its PDF
/// opened in the PDF viewer from a private copy.
class ReportsView : public QWidget {
  Q_OBJECT
 public:
  ReportsView(DesktopContext& context, QWidget* parent = nullptr);
  void setEvent(const std::optional<Uuid>& eventID);
  void reload();
  void reveal(const Uuid& reportID);

  QTreeWidget* tree() const { return tree_; }
  QTextBrowser* content() const { return content_; }
  QPushButton* openPdfButton() const { return openPdf_; }
  /// Why the PDF could not be opened, or that it was.
  QLabel* feedback() const { return feedback_; }

 public slots:
  void openPdf();
  void copyReport();

 private:
  void showReport();
  void say(const QString& text, bool error = false);

  DesktopContext& context_;
  std::optional<Uuid> eventID_;
  std::optional<Uuid> shown_;
  QStackedWidget* pages_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QLabel* title_ = nullptr;
  QTextBrowser* content_ = nullptr;
  QPushButton* openPdf_ = nullptr;
  QPushButton* copy_ = nullptr;
  QLabel* feedback_ = nullptr;
};

}  // namespace qm::desktop
