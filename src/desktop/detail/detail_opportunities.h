#pragma once

#include <QWidget>
#include <optional>

#include "desktop/desktop_context.h"
#include "desktop/detail/contact_record.h"

class QAction;

namespace qm::desktop {

class DetailEdits;

/// The opportunities the contact is a stakeholder of or that came from the
/// contact, each with its company, stage, value, timeline and the contact's
/// role, under "New Opportunity…"; each can be edited (with the stages of the
/// user's pipeline) and deleted.
class DetailOpportunities : public QWidget {
  Q_OBJECT
 public:
  /// The title row's button does what `newOpportunity` does.
  DetailOpportunities(DesktopContext& context, DetailEdits& edits, QAction* newOpportunity,
                      QWidget* parent = nullptr);

  void showRecord(const ContactRecord& record);
  /// Asks for a new opportunity linked to the shown contact and sends it.
  void newOpportunity();

 private:
  void editOpportunity(const Opportunity& opportunity);
  void deleteOpportunity(const Opportunity& opportunity);

  DesktopContext& context_;
  DetailEdits& edits_;
  std::optional<Contact> contact_;
  QWidget* body_ = nullptr;
};

}  // namespace qm::desktop
