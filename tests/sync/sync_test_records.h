#pragma once

#include <string>

#include "common/uuid.h"
#include "sync/contact_sync_model.h"
#include "sync/event_sync_model.h"

namespace qm::test {

/// A phone's contact with fresh ids, not met, nothing optional set.
inline ContactSyncModel wireContact(std::string first, std::string last, std::string company) {
  ContactSyncModel c{};
  c.id = Uuid::random();
  c.syncID = Uuid::random();
  c.firstName = std::move(first);
  c.lastName = std::move(last);
  c.company = std::move(company);
  c.source = "scanned";
  c.status = "notMet";
  return c;
}

/// A phone's event created and updated at `updatedAt`.
inline EventSyncModel wireEvent(std::string name,
                                Date updatedAt = dateFromUnixSeconds(1'700'000'000)) {
  EventSyncModel e{};
  e.id = Uuid::random();
  e.name = std::move(name);
  e.createdAt = dateFromUnixSeconds(1'600'000'000);
  e.updatedAt = updatedAt;
  return e;
}

inline NoteSyncModel wireNote(std::string text) {
  NoteSyncModel n{};
  n.id = Uuid::random();
  n.syncID = Uuid::random();
  n.createdAt = dateFromUnixSeconds(1'700'000'100);
  n.noteType = "text";
  n.textContent = std::move(text);
  return n;
}

inline OpportunitySyncModel wireOpportunity(std::string title, Date updatedAt) {
  OpportunitySyncModel o{};
  o.id = Uuid::random();
  o.createdAt = dateFromUnixSeconds(1'700'000'000);
  o.updatedAt = updatedAt;
  o.title = std::move(title);
  o.companyName = "Acme";
  o.currency = "EUR";
  o.stage = "Exploring";
  return o;
}

}  // namespace qm::test
