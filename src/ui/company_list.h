#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/enum_info.h"
#include "ui/list_contact.h"

namespace qm {

/// The orderings of the company list; the label is also the raw text.
enum class CompanySortField { alphabetical, mostContacts, bestRated, mostMet };

template <>
struct EnumInfo<CompanySortField> {
  using E = CompanySortField;
  static constexpr std::array<EnumCase<E>, 4> cases{{
      {E::alphabetical, "A\u2013Z", "A\u2013Z"},
      {E::mostContacts, "Most Contacts", "Most Contacts"},
      {E::bestRated, "Best Rated", "Best Rated"},
      {E::mostMet, "Most Met", "Most Met"},
  }};
};

/// One company of an event, made from its contacts (there is no company
/// record): the contacts whose company names agree once trimmed and
/// lower-cased, named as the first of them writes it.
struct CompanyEntry {
  std::string name;
  /// In the order the event's contacts are stored.
  std::vector<const ListContact*> contacts;

  std::int64_t contactCount() const { return static_cast<std::int64_t>(contacts.size()); }
  /// The mean of the positive interaction ratings; 0 when no contact has one.
  double averageRating() const;
  /// How many of the contacts have status met.
  std::int64_t metCountOfCompany() const;
};

struct CompanyListState {
  std::string searchText;
  CompanySortField sortField = CompanySortField::alphabetical;
};

/// The companies of an event's contacts (in stored order), in order of first
/// appearance. Contacts with an empty or blank company belong to none.
std::vector<CompanyEntry> companyEntries(std::span<const ListContact> eventContacts);

/// The entries the company list shows: those whose name, or one of whose
/// contacts' "first last" name (trimmed), holds the search text, all folded
/// (`foldForSearch`: case and accents set aside); ordered by `sortField`. The sort is stable: equal
/// entries keep their order of first appearance.
std::vector<CompanyEntry> visibleCompanies(std::span<const ListContact> eventContacts,
                                           const CompanyListState& state);

}  // namespace qm
