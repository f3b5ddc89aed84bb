#include "desktop/confirmation.h"

#include <QCoreApplication>
#include <QPushButton>

namespace qm::desktop {

bool confirm(QWidget* parent, const Confirmation& asked) {
  QMessageBox box(asked.icon, asked.title, asked.question, QMessageBox::NoButton, parent);
  box.setInformativeText(asked.explanation);
  QPushButton* cancel = box.addButton(
      QCoreApplication::translate("qm::desktop::Confirmation", "Cancel"), QMessageBox::RejectRole);
  QPushButton* action = box.addButton(asked.action, asked.role);
  box.setDefaultButton(cancel);
  box.exec();
  return box.clickedButton() == action;
}

}  // namespace qm::desktop
