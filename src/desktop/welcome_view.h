#pragma once

#include <QWidget>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QLabel;
class QPushButton;

namespace qm::desktop {

/// The first step, shown while the store holds no events and no contacts:
/// a welcome, what to do, and two ways in. Before a phone is paired the first
/// button pairs one; once it is, it imports the phone's events. "Try with
/// Demo Data" asks the companion for the demo event ("demo.add") and says
/// why when it cannot.
class WelcomeView : public QWidget {
  Q_OBJECT
 public:
  WelcomeView(DesktopContext& context, QWidget* parent = nullptr);

  /// Whether a phone is paired: the first button imports rather than pairs.
  void setPaired(bool paired);

  QLabel* headingLabel() const { return heading_; }
  QLabel* textLabel() const { return text_; }
  QLabel* errorLabel() const { return error_; }
  /// "Pair Your Phone…" or "Import Events…".
  QPushButton* phoneButton() const { return phone_; }
  QPushButton* demoButton() const { return demo_; }

 signals:
  void pairRequested();
  void importRequested();
  /// The companion added the demo event.
  void demoAdded(const qm::Uuid& eventID);

 private:
  void addDemoData();
  void showTexts();

  DesktopContext& context_;
  bool paired_ = false;
  QLabel* heading_ = nullptr;
  QLabel* text_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* phone_ = nullptr;
  QPushButton* demo_ = nullptr;
};

}  // namespace qm::desktop
