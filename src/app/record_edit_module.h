#pragma once

#include "app/companion_module.h"

namespace qm {

class SyncModule;

/// Edits made at the desk, written by the running companion (the store's one
/// writer) for the window:
///
/// - "contact.update" {"id", "fields": {name: value, …}}: changes the named
///   fields of a contact (text fields, "status", "interactionRating",
///   "isTarget", "isFavorite"; null clears an optional one), checking every
///   field before anything is written, then pushes the contact to the phone.
///   Answers {"id", "name", "previous": {the changed fields' old values},
///   "push": "sent"|"queued"|"failed", "pushMessage"}; sending "previous"
///   back undoes the edit.
/// - "contacts.update" {"contacts": [{"id", "fields"}, …]}: the same for many
///   contacts in one transaction (nothing is written when one edit is
///   refused), each pushed afterwards. Answers {"changed", "notSent",
///   "previous": [{"id", "fields"}, …]}; sending "previous" back as "contacts"
///   undoes the whole change.
/// - "note.create" {"contactID", "text", "type"?}, "note.update" {"id",
///   "text"}, "note.delete" {"id"}: notes written on this desktop (a note from
///   the phone is not changed here). The contact is pushed afterwards.
/// - "opportunity.create" {"contactID", "title", …}, "opportunity.update"
///   {"id", …}, "opportunity.delete" {"id"}: the fields "title",
///   "companyName", "value", "currency", "stage", "timeline", "confidence",
///   "nextStep", "notes".
/// - "pipeline.set" {"stages": [{"id"?, "name", "colorHex"}, …]}: replaces the
///   pipeline stages in the order given. Answers {"stages": [...]}.
class RecordEditModule final : public CompanionModule {
 public:
  RecordEditModule(CompanionContext context, SyncModule& sync) : context_(context), sync_(sync) {}

  std::string_view name() const override { return "edits"; }
  void registerCommands(ControlServer& control) override;

 private:
  void registerContactCommands(ControlServer& control);
  void registerNoteCommands(ControlServer& control);
  void registerOpportunityCommands(ControlServer& control);
  void registerPipelineCommands(ControlServer& control);

  CompanionContext context_;
  SyncModule& sync_;
};

}  // namespace qm
