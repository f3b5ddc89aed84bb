#pragma once

#include <span>
#include <string>
#include <vector>

#include "store/contact.h"
#include "store/field.h"

namespace qm {

// clang-format off
/// The stored fields of an event, in declaration order. Its contacts, saved
/// reports and opportunities point back at it and are deleted with it.
#define QM_EVENT_FIELDS(F)                                            \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::string, name, {}, {})                                        \
  F(std::optional<Date>, eventDate, {}, {})                           \
  F(std::optional<Date>, startDate, {}, {})                           \
  F(std::optional<Date>, endDate, {}, {})                             \
  F(std::optional<std::string>, location, {}, {})                     \
  F(Date, createdAt, {}, {})                                          \
  F(Date, updatedAt, {}, {})                                          \
  F(bool, euResidency, false, {})                                     \
  F(std::optional<std::string>, teamCode, {}, {})                     \
  F(bool, isAdminDevice, false, {})                                   \
  F(std::optional<std::string>, adminDeviceID, {}, {})                \
  F(std::vector<std::string>, teamMemberDeviceIDs, {}, {})            \
  F(bool, isArchived, false, {})                                      \
  F(std::optional<std::string>, eventDescription, {}, {})             \
  F(std::optional<std::string>, eventWebsite, {}, {})                 \
  F(std::optional<std::string>, ourBoothNumber, {}, {})
// clang-format on

/// One trade show or conference; the same `id` as on the phone.
struct Event {
  QM_EVENT_FIELDS(QM_RECORD_MEMBER)

  /// A new event named `name`, created and updated now, with a fresh id.
  static Event create(std::string name);
  friend bool operator==(const Event&, const Event&) = default;
};

template <>
struct RecordInfo<Event> {
  static constexpr std::string_view table = "Event";
  static const std::vector<Field<Event>>& fields();
};

/// How many of an event's contacts the user met.
std::int64_t metCount(std::span<const Contact> eventContacts);
/// How many of an event's contacts are on the target list.
std::int64_t targetCount(std::span<const Contact> eventContacts);

}  // namespace qm
