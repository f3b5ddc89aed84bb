#include "mcp/contact_index.h"

#include "mcp/mcp_tool_support.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>

namespace qm::mcp {

using support::lowercased;

namespace {

/// How many contacts of one last name are read at first, and at most at a
/// time: search stops as soon as it has its page of matches.
constexpr std::size_t kFirstPage = 64;
constexpr std::size_t kLastPage = 1024;

}  // namespace

/// Byte-comparable keys in the user's collation: natural (numbers by value),
/// ignoring case.
class ContactIndex::NaturalOrder {
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

ContactIndex::ContactIndex() = default;
ContactIndex::~ContactIndex() = default;

const std::string& ContactIndex::keyOf(const std::string& lastName) {
  auto it = keys_.find(lastName);
  if (it == keys_.end()) {
    if (!order_) order_ = std::make_unique<NaturalOrder>();  // on the first search
    it = keys_.emplace(lastName, order_->key(lastName)).first;
  }
  return it->second;
}

Status ContactIndex::visitByLastName(Store& store, std::size_t count,
                                     const std::function<bool(const ContactSearchEntry&)>& visit) {
  const auto names = QM_TRY(distinctLastNames(store));
  // Keys of names no contact has any more are dropped now and then.
  if (keys_.size() > 2 * names.size() + 1024) keys_.clear();
  std::vector<std::pair<const std::string*, const std::string*>> keyed;  // key, name
  keyed.reserve(names.size());
  for (const auto& name : names) keyed.emplace_back(&keyOf(name), &name);
  std::ranges::sort(keyed, [](const auto& a, const auto& b) { return *a.first < *b.first; });

  std::size_t handed = 0;
  const auto handOn = [&](const std::vector<ContactSearchEntry>& entries) {
    for (const auto& e : entries) {
      if (handed == count) return false;
      ++handed;
      if (!visit(e)) return false;
    }
    return handed < count;
  };
  for (std::size_t i = 0; i < keyed.size();) {
    std::size_t end = i + 1;
    while (end < keyed.size() && *keyed[end].first == *keyed[i].first) ++end;
    if (end - i == 1) {
      // One name: its contacts in stored order, a page at a time.
      Store::Position after = 0;
      for (std::size_t page = kFirstPage;; page = std::min(page * 2, kLastPage)) {
        const auto entries =
            QM_TRY(contactsWithLastName(store, *keyed[i].second, std::min(page, count), after));
        if (!handOn(entries)) return {};
        if (entries.size() < std::min(page, count)) break;
        after = entries.back().position;
      }
    } else {
      // Different names with the same key (case or width apart) sort as one
      // name: their contacts interleave in stored order.
      std::vector<ContactSearchEntry> group;
      for (std::size_t k = i; k < end; ++k) {
        auto entries = QM_TRY(contactsWithLastName(store, *keyed[k].second, count - handed));
        std::ranges::move(entries, std::back_inserter(group));
      }
      std::ranges::sort(group, {}, &ContactSearchEntry::position);
      if (!handOn(group)) return {};
    }
    i = end;
  }
  return {};
}

}  // namespace qm::mcp
