#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/contact.h"

namespace qm {

// clang-format off
/// The contact fields the lists, the company roll-up and the dashboards read.
#define QM_LIST_CONTACT_FIELDS(F)                                             \
  F(id) F(eventID) F(firstName) F(lastName) F(company) F(title) F(email)      \
  F(status) F(alsoMetBy) F(isArchived) F(isTarget) F(isFavorite)              \
  F(interactionRating) F(actionPlanEditedByUser) F(tier) F(overallScore)      \
  F(metAt) F(rank) F(ownedBy) F(capturedBy) F(enrichmentStatus)               \
  F(enrichmentConflicts)
// clang-format on

/// A contact as the lists and dashboards see it: the fields they read and
/// nothing else, named and typed as in `Contact`. A full record takes about
/// 3 KB whatever it holds; an event of 50,000 contacts kept as these takes a
/// fraction of that, which keeps the window small. The detail pane and every
/// writer read the full record by id.
struct ListContact {
// Value-initialised, as `Contact`'s own defaults are (status not met, flags off).
#define QM_LIST_CONTACT_MEMBER(name) decltype(Contact::name) name{};
  QM_LIST_CONTACT_FIELDS(QM_LIST_CONTACT_MEMBER)
#undef QM_LIST_CONTACT_MEMBER

  ListContact() = default;
  /// The list fields of `contact` (implicit: a contact is always listable).
  ListContact(const Contact& contact);  // NOLINT(google-explicit-constructor)
  ListContact(Contact&& contact);       // NOLINT(google-explicit-constructor)

  std::string fullName() const {
    return joinedContactName(firstName, lastName);
  }
  std::string displayCompany() const {
    return company.empty() ? std::string("Unknown Company") : company;
  }
  EnrichmentState enrichmentState() const {
    return enrichmentStateOf(enrichmentStatus);
  }
  std::vector<EnrichmentConflict> conflicts() const {
    return decodeEnrichmentConflicts(enrichmentConflicts);
  }
  std::int64_t unresolvedConflictCount() const {
    return unresolvedConflictCountOf(enrichmentConflicts);
  }
  MeetingIndicator meetingIndicator() const {
    return meetingIndicatorOf(isArchived, status, alsoMetBy, eventID.has_value());
  }
};

/// How many of an event's contacts have status met, and how many are targets.
std::int64_t metCount(std::span<const ListContact> eventContacts);
std::int64_t targetCount(std::span<const ListContact> eventContacts);

/// The names of `ListContact`'s fields, for `Store::fetchOnly` and its kin.
extern const std::vector<std::string_view> kListContactFields;

}  // namespace qm
