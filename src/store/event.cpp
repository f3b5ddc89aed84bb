#include "store/event.h"

#include <algorithm>

namespace qm {

QM_DEFINE_RECORD_FIELDS(Event, QM_EVENT_FIELDS)

Event Event::create(std::string eventName) {
  Event e;
  e.id = Uuid::random();
  e.name = std::move(eventName);
  e.createdAt = e.updatedAt = now();
  return e;
}

std::int64_t metCount(std::span<const Contact> eventContacts) {
  return std::ranges::count_if(eventContacts,
                               [](const Contact& c) { return c.status == MeetingStatus::met; });
}

std::int64_t targetCount(std::span<const Contact> eventContacts) {
  return std::ranges::count_if(eventContacts, [](const Contact& c) { return c.isTarget; });
}

}  // namespace qm
