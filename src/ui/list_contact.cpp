#include "ui/list_contact.h"

#include <algorithm>
#include <utility>

namespace qm {

// A value-initialised status is a contact's default, not met.
static_assert(MeetingStatus{} == MeetingStatus::notMet);

#define QM_LIST_CONTACT_NAME(name) #name,
const std::vector<std::string_view> kListContactFields{
    QM_LIST_CONTACT_FIELDS(QM_LIST_CONTACT_NAME)};
#undef QM_LIST_CONTACT_NAME

ListContact::ListContact(const Contact& contact) {
#define QM_LIST_CONTACT_COPY(name) name = contact.name;
  QM_LIST_CONTACT_FIELDS(QM_LIST_CONTACT_COPY)
#undef QM_LIST_CONTACT_COPY
}

ListContact::ListContact(Contact&& contact) {
#define QM_LIST_CONTACT_MOVE(name) name = std::move(contact.name);
  QM_LIST_CONTACT_FIELDS(QM_LIST_CONTACT_MOVE)
#undef QM_LIST_CONTACT_MOVE
}

std::int64_t metCount(std::span<const ListContact> eventContacts) {
  return std::ranges::count_if(eventContacts,
                               [](const ListContact& c) { return c.status == MeetingStatus::met; });
}

std::int64_t targetCount(std::span<const ListContact> eventContacts) {
  return std::ranges::count_if(eventContacts, &ListContact::isTarget);
}

}  // namespace qm
