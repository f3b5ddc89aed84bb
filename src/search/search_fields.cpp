#include "search/search_fields.h"

#include <unordered_map>
#include <utility>

#include "common/text.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"

namespace qm {

namespace {

std::optional<std::string_view> view(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return std::string_view(*text);
}

}  // namespace

const std::vector<std::string_view>& contactSearchColumns() {
  static const std::vector<std::string_view> columns{
      "id",          "eventID", "firstName", "lastName",       "company",         "title",
      "email",       "phone",   "city",      "country",        "companyIndustry", "delegation",
      "boothNumber", "whyMeet", "aiSummary", "companySummary", "companyWebsite"};
  return columns;
}

std::vector<SearchField> contactSearchFields(const Contact& c,
                                             const std::vector<ContactNote>& notes) {
  std::vector<SearchField> fields{
      {c.firstName, 3},        {c.lastName, 3},          {c.company, 2},
      {view(c.title), 2},      {view(c.email), 1.5},     {view(c.phone), 1.5},
      {view(c.city), 1},       {view(c.country), 1},     {view(c.companyIndustry), 1.5},
      {view(c.delegation), 1}, {view(c.boothNumber), 1}, {view(c.whyMeet), 0.5},
      {view(c.aiSummary), 0.5}};
  for (const ContactNote& note : notes) fields.push_back({view(note.textContent), 0.5});
  return fields;
}

std::vector<SearchField> companySearchFields(const CompanyGroup& company) {
  return {{company.name, 3},
          {view(company.industry), 2},
          {view(company.summary), 0.5},
          {view(company.website), 1}};
}

void CompanyGrouper::add(const Contact& c) {
  std::string key = lowercaseUnicode(trimUnicodeWhitespace(c.company));
  if (key.empty()) return;
  auto [it, added] = byKey_.try_emplace(std::move(key), groups_.size());
  if (added) groups_.push_back({c.company, {}, {}, {}, 0});
  CompanyGroup& group = groups_[it->second];
  ++group.contacts;
  if (!hasText(group.industry) && hasText(c.companyIndustry)) group.industry = c.companyIndustry;
  if (!hasText(group.summary) && hasText(c.companySummary)) group.summary = c.companySummary;
  if (!hasText(group.website) && hasText(c.companyWebsite)) group.website = c.companyWebsite;
}

std::vector<CompanyGroup> CompanyGrouper::take() {
  byKey_.clear();
  return std::exchange(groups_, {});
}

std::vector<CompanyGroup> groupCompanies(const std::vector<const Contact*>& contacts) {
  CompanyGrouper grouper;
  for (const Contact* contact : contacts) grouper.add(*contact);
  return grouper.take();
}

std::vector<SearchField> opportunitySearchFields(const Opportunity& o) {
  return {{o.title, 3}, {o.companyName, 2}, {o.stage, 2}, {o.nextStep, 1}, {view(o.notes), 0.5}};
}

std::vector<SearchField> draftSearchFields(const FollowUpDraft& draft,
                                           const std::optional<std::string>& contactName,
                                           const std::optional<std::string>& contactCompany) {
  return {
      {draft.subject, 3}, {view(contactName), 2}, {view(contactCompany), 1.5}, {draft.body, 0.5}};
}

std::vector<SearchField> eventSearchFields(const Event& event) {
  return {{event.name, 3}, {view(event.location), 2}};
}

}  // namespace qm
