#pragma once

#include <QUrl>
#include <QWidget>

#include "store/contact.h"

class QVBoxLayout;

namespace qm::desktop {

class DeskIdentity;

/// The contact's fields in titled groups (how to reach them, their company,
/// the meeting, talking points); a row without a value and a group without
/// any are left out. The e-mail address, phone number, LinkedIn profile and
/// website are links that open the mail program, the dialer and the browser.
class DetailFields : public QWidget {
  Q_OBJECT
 public:
  DetailFields(const DeskIdentity& desk, QWidget* parent = nullptr);

  void showContact(const Contact& contact);

 signals:
  /// A link was chosen: mailto:, tel:, or a web address.
  void linkActivated(const QUrl& url);

 private:
  const DeskIdentity& desk_;
  QWidget* body_ = nullptr;
};

/// The address that opens the mail program on `email`, the dialer on
/// `phone`, or a web page (https:// added when the text has no scheme);
/// invalid for text that is none of these.
QUrl mailtoURL(const QString& email);
QUrl telURL(const QString& phone);
QUrl webURL(const QString& address);

}  // namespace qm::desktop
