#include "mcp/contact_index.h"

#include "mcp/mcp_tool_support.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace qm::mcp {

using support::lowercased;

namespace {

/// The fields the contact list and search items are made of, plus the sort keys.
const std::vector<std::string_view> kIndexedFields{
    "id",         "eventID",           "firstName",   "lastName",   "company", "title",
    "email",      "companyIndustry",   "companySize", "rank",       "status",  "isTarget",
    "isFavorite", "interactionRating", "companyHQ",   "crmPushedTo"};

/// Byte-comparable keys in the user's collation: natural (numbers by value),
/// ignoring case.
class NaturalOrder {
 public:
  NaturalOrder() {
    icu::Locale locale = icu::Locale::getDefault();
    // The POSIX locale's collation ranks capitals apart from small letters even
    // at secondary strength, so it cannot ignore case; the root collation can.
    if (std::string_view(locale.getVariant()) == "POSIX") locale = icu::Locale::getRoot();
    UErrorCode status = U_ZERO_ERROR;
    collator_.reset(icu::Collator::createInstance(locale, status));
    if (U_SUCCESS(status) && collator_) {
      collator_->setStrength(icu::Collator::SECONDARY);
      collator_->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    }
    if (U_FAILURE(status)) collator_.reset();
  }

  std::string key(std::string_view text) const {
    if (!collator_) return lowercased(text);
    const auto unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    std::string out(64, '\0');
    auto size = collator_->getSortKey(unicode, reinterpret_cast<std::uint8_t*>(out.data()),
                                      static_cast<std::int32_t>(out.size()));
    if (size > static_cast<std::int32_t>(out.size())) {
      out.resize(static_cast<std::size_t>(size));
      size = collator_->getSortKey(unicode, reinterpret_cast<std::uint8_t*>(out.data()), size);
    }
    out.resize(static_cast<std::size_t>(std::max(size, 0)));
    return out;
  }

 private:
  std::unique_ptr<icu::Collator> collator_;
};

}  // namespace

Status ContactIndex::refresh(Store& store) {
  auto stamp = store.changeStamp(RecordInfo<Contact>::table);
  if (!stamp) return stamp.error();
  if (stamp_ && *stamp_ == *stamp) return {};

  auto contacts = store.fetchOnly<Contact>(kIndexedFields);
  if (!contacts) return contacts.error();
  entries_.clear();
  byEvent_.clear();
  byLastName_.clear();
  entries_.reserve(contacts->size());
  for (auto& c : *contacts) {
    Entry e;
    e.fullName = c.fullName();
    e.lowerName = lowercased(e.fullName);
    e.lowerCompany = lowercased(c.company);
    if (c.email) e.lowerEmail = lowercased(*c.email);
    e.contact = std::move(c);
    entries_.push_back(std::move(e));
  }

  const NaturalOrder order;
  std::vector<std::pair<std::string, const Entry*>> keyed;
  keyed.reserve(entries_.size());
  for (const auto& e : entries_) {
    keyed.emplace_back(order.key(e.contact.lastName), &e);
    if (e.contact.eventID) byEvent_[*e.contact.eventID].push_back(&e);
  }
  // Stable: equal last names keep their stored order.
  std::ranges::stable_sort(keyed, {}, &std::pair<std::string, const Entry*>::first);
  for (const auto& [key, e] : keyed) byLastName_.push_back(e);

  for (auto& [event, list] : byEvent_) {
    std::ranges::stable_sort(list, [](const Entry* a, const Entry* b) {
      const auto& ra = a->contact.rank;
      const auto& rb = b->contact.rank;
      if (ra.has_value() != rb.has_value()) return ra.has_value();
      if (ra && *ra != *rb) return *ra < *rb;
      return a->fullName < b->fullName;
    });
  }
  stamp_ = *stamp;
  return {};
}

const std::vector<const ContactIndex::Entry*>& ContactIndex::ofEvent(const Uuid& eventID) const {
  static const std::vector<const Entry*> none;
  auto it = byEvent_.find(eventID);
  return it == byEvent_.end() ? none : it->second;
}

}  // namespace qm::mcp
