#pragma once

#include "app/companion_module.h"
#include "app/sync_module.h"

namespace qm {

/// The contacts list's bulk edits in the running companion, the store's one
/// writer. Command "contacts.mark" {"action": "target"|"met", "ids": [...]}:
/// every named contact becomes a target, or is marked met now, in one
/// transaction; an id that names no contact fails the whole request before
/// anything is written. The changed contacts go to the phone as the edits of
/// one contact do. Answers {"changed": n, "notSent": how many could not be
/// sent now, "queued": how many of those wait for the phone's return}.
///
/// Command "demo.add" {"contacts": n, "event": name} (both optional: 25,
/// "Demo Expo") adds the demo event and its contacts (`addDemoData`) and
/// answers {"eventID", "eventName", "contactCount"}.
class ListModule final : public CompanionModule {
 public:
  ListModule(CompanionContext context, SyncModule& sync) : context_(context), sync_(sync) {}

  std::string_view name() const override { return "lists"; }
  void registerCommands(ControlServer& control) override;

 private:
  CompanionContext context_;
  SyncModule& sync_;
};

}  // namespace qm
