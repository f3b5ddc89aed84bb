#include "ui/company_list.h"

#include <algorithm>
#include <unordered_map>

#include "common/search_folding.h"
#include "common/text.h"
#include "ui/name_collator.h"

namespace qm {

double CompanyEntry::averageRating() const {
  std::int64_t sum = 0, rated = 0;
  for (const ListContact* c : contacts) {
    if (c->interactionRating && *c->interactionRating > 0) {
      sum += *c->interactionRating;
      ++rated;
    }
  }
  return rated == 0 ? 0.0 : static_cast<double>(sum) / static_cast<double>(rated);
}

std::int64_t CompanyEntry::metCountOfCompany() const {
  return std::count_if(contacts.begin(), contacts.end(),
                       [](const ListContact* c) { return c->status == MeetingStatus::met; });
}

std::vector<CompanyEntry> companyEntries(std::span<const ListContact> eventContacts) {
  std::vector<CompanyEntry> entries;
  std::unordered_map<std::string, std::size_t> byKey;
  for (const ListContact& c : eventContacts) {
    std::string key = lowercaseUnicode(trimUnicodeWhitespace(c.company));
    if (key.empty()) continue;
    auto [it, added] = byKey.try_emplace(std::move(key), entries.size());
    if (added) entries.push_back({c.company, {}});
    entries[it->second].contacts.push_back(&c);
  }
  return entries;
}

namespace {

/// "first last" trimmed of spaces and tabs at both ends.
std::string joinedName(const ListContact& c) {
  std::string name = c.firstName + " " + c.lastName;
  const auto first = name.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = name.find_last_not_of(" \t");
  return name.substr(first, last - first + 1);
}

bool matches(const CompanyEntry& entry, const std::string& query) {
  if (foldForSearch(entry.name).find(query) != std::string::npos) return true;
  return std::any_of(entry.contacts.begin(), entry.contacts.end(), [&](const ListContact* c) {
    return foldForSearch(joinedName(*c)).find(query) != std::string::npos;
  });
}

}  // namespace

std::vector<CompanyEntry> visibleCompanies(std::span<const ListContact> eventContacts,
                                           const CompanyListState& state) {
  std::vector<CompanyEntry> entries = companyEntries(eventContacts);
  if (!state.searchText.empty()) {
    const std::string query = foldForSearch(state.searchText);
    std::erase_if(entries, [&](const CompanyEntry& e) { return !matches(e, query); });
  }

  struct Keyed {
    std::string key;
    double figure = 0;
    std::size_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(entries.size());
  const NameCollator& collator = NameCollator::forThisThread();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Keyed k{{}, 0, i};
    switch (state.sortField) {
      case CompanySortField::alphabetical:
        k.key = collator.sortKey(entries[i].name);
        break;
      case CompanySortField::mostContacts:
        k.figure = static_cast<double>(entries[i].contactCount());
        break;
      case CompanySortField::bestRated:
        k.figure = entries[i].averageRating();
        break;
      case CompanySortField::mostMet:
        k.figure = static_cast<double>(entries[i].metCountOfCompany());
        break;
    }
    keyed.push_back(std::move(k));
  }
  const bool byName = state.sortField == CompanySortField::alphabetical;
  std::stable_sort(keyed.begin(), keyed.end(), [byName](const Keyed& a, const Keyed& b) {
    return byName ? a.key < b.key : a.figure > b.figure;
  });
  std::vector<CompanyEntry> out;
  out.reserve(entries.size());
  for (const Keyed& k : keyed) out.push_back(std::move(entries[k.index]));
  return out;
}

}  // namespace qm
