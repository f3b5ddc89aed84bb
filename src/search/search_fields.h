#pragma once

// Which texts of each record kind search looks at, with their weights: the one
// list both the plain scan and the index read.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "search/search_scoring.h"

namespace qm {

struct Contact;
struct ContactNote;
struct Opportunity;
struct FollowUpDraft;
struct Event;

/// The fields of a contact read to search it (for `Store::fetchOnly`).
const std::vector<std::string_view>& contactSearchColumns();

/// A contact's own fields, then one field per note text (0.5 each).
std::vector<SearchField> contactSearchFields(const Contact& contact,
                                             const std::vector<ContactNote>& notes);

/// A company of an event's contacts, as search sees it.
struct CompanyGroup {
  std::string name;  ///< the first contact's company text
  std::optional<std::string> industry, summary, website;
  std::int64_t contacts = 0;
};
std::vector<SearchField> companySearchFields(const CompanyGroup& company);

/// Groups contacts by company (trimmed, lower-cased) as they come, so that a
/// caller reading an event's contacts one at a time never holds them all;
/// contacts whose company is empty after trimming form no group. Groups in
/// order of first appearance. Reads the company fields only.
class CompanyGrouper {
 public:
  void add(const Contact& contact);
  std::vector<CompanyGroup> take();

 private:
  std::vector<CompanyGroup> groups_;
  std::unordered_map<std::string, std::size_t> byKey_;
};

/// The groups of `contacts` (see `CompanyGrouper`).
std::vector<CompanyGroup> groupCompanies(const std::vector<const Contact*>& contacts);

std::vector<SearchField> opportunitySearchFields(const Opportunity& opportunity);

/// `contactName` and `contactCompany` are absent for a draft without a contact.
std::vector<SearchField> draftSearchFields(const FollowUpDraft& draft,
                                           const std::optional<std::string>& contactName,
                                           const std::optional<std::string>& contactCompany);

std::vector<SearchField> eventSearchFields(const Event& event);

}  // namespace qm
