#include "mcp/contact_index.h"

#include <string.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <iterator>
#include <tuple>
#include <unordered_set>

#include "common/search_folding.h"
#include "common/text.h"
#include "mcp/mcp_tool_support.h"
#include "store/contact.h"
#include "store/record_changes.h"

namespace qm::mcp {

using support::lowercased;

namespace {

/// How many contacts of one last name are read at first, and at most at a
/// time, while the window is read.
constexpr std::size_t kFirstPage = 64;
constexpr std::size_t kLastPage = 1024;

/// How many contacts a search reads at first when the window is new; each
/// further read takes four times as many, up to the window's size.
constexpr std::size_t kFirstRead = 256;

/// Past this many records written since the last look, reading the window
/// again costs less than reading them one by one.
constexpr std::size_t kMostChangesFollowed = 2'000;

bool holds(std::string_view texts, std::string_view query) {
  return memmem(texts.data(), texts.size(), query.data(), query.size()) != nullptr;
}

/// `first last` as `Contact::fullName` makes it.
std::string fullName(std::string_view first, std::string_view last) {
  std::string name(first);
  name += ' ';
  name += last;
  return std::string(trimUnicodeWhitespace(name));
}

/// The window's order: by last name's collation key, then stored order.
std::tuple<const std::string&, Store::Position> orderOf(const std::string& key,
                                                        Store::Position position) {
  return {key, position};
}

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

ContactIndex::ContactIndex(std::size_t window) : windowSize_(window) {}
ContactIndex::~ContactIndex() = default;

const std::string& ContactIndex::keyOf(const std::string& lastName) {
  auto it = keys_.find(lastName);
  if (it == keys_.end()) {
    if (!order_) order_ = std::make_unique<NaturalOrder>();  // on the first search
    it = keys_.emplace(lastName, order_->key(lastName)).first;
  }
  return it->second;
}

ContactIndex::Entry ContactIndex::entryOf(const ContactSearchEntry& contact) {
  Entry entry{keyOf(contact.lastName), contact.position, {}, {}};
  const std::string name = fullName(contact.firstName, contact.lastName);
  const std::string_view email = contact.email ? std::string_view(*contact.email) : "";
  for (const std::string_view text :
       {std::string_view(name), std::string_view(contact.company), email}) {
    SearchForms forms = searchForms(text);
    entry.folded += forms.folded;
    entry.folded += '\0';
    entry.exact += forms.exactForm();
    entry.exact += '\0';
  }
  if (entry.exact == entry.folded) entry.exact.clear();
  return entry;
}

Status ContactIndex::refresh(Store& store) {
  const RecordChanges changes = QM_TRY(recordChangesSince(store, followed_, kMostChangesFollowed));
  if (!changes.tables) {
    listTexts_.clear();
    window_.clear();  // read again as searches need it
    exhausted_ = false;
  } else if (auto written = changes.tables->find("Contact"); written != changes.tables->end()) {
    for (const Store::Position position : written->second) listTexts_.erase(position);
    if (!window_.empty() || exhausted_) QM_TRY(follow(store, written->second));
  }
  followed_ = changes.latest;
  return {};
}

Status ContactIndex::readMore(Store& store, std::size_t upTo) {
  upTo = std::min(upTo, windowSize_);
  if (exhausted_ || window_.size() >= upTo) return {};
  const auto names = QM_TRY(distinctLastNames(store));
  // Keys of names no contact has any more are dropped now and then.
  if (keys_.size() > 2 * names.size() + 1024) keys_.clear();
  std::vector<std::pair<std::string, const std::string*>> keyed;  // key, name
  keyed.reserve(names.size());
  for (const auto& name : names) keyed.emplace_back(keyOf(name), &name);
  std::ranges::sort(keyed, {}, &std::pair<std::string, const std::string*>::first);

  // On after the last contact read: its name's later contacts, then the
  // names that follow.
  std::optional<Entry> from;
  if (!window_.empty()) from = window_.back();
  const auto take = [&](const std::vector<ContactSearchEntry>& entries) {
    for (const auto& e : entries) {
      if (window_.size() == upTo) return false;
      window_.push_back(entryOf(e));
    }
    return window_.size() < upTo;
  };
  for (std::size_t i = 0; i < keyed.size();) {
    std::size_t end = i + 1;
    while (end < keyed.size() && keyed[end].first == keyed[i].first) ++end;
    const std::string& key = keyed[i].first;
    if (from && key < from->key) {
      i = end;
      continue;
    }
    Store::Position after = from && key == from->key ? from->position : 0;
    const std::size_t left = upTo - window_.size();
    if (end - i == 1) {
      // One name: its contacts in stored order, a page at a time.
      for (std::size_t page = kFirstPage;; page = std::min(page * 2, kLastPage)) {
        const auto entries =
            QM_TRY(contactsWithLastName(store, *keyed[i].second, std::min(page, left), after));
        if (!take(entries)) return {};
        if (entries.size() < std::min(page, left)) break;
        after = entries.back().position;
      }
    } else {
      // Different names with the same key (case or width apart) sort as one
      // name: their contacts interleave in stored order.
      std::vector<ContactSearchEntry> group;
      for (std::size_t k = i; k < end; ++k) {
        auto entries = QM_TRY(contactsWithLastName(store, *keyed[k].second, left, after));
        std::ranges::move(entries, std::back_inserter(group));
      }
      std::ranges::sort(group, {}, &ContactSearchEntry::position);
      if (!take(group)) return {};
    }
    i = end;
  }
  exhausted_ = true;
  return {};
}

Status ContactIndex::follow(Store& store, const std::vector<Store::Position>& written) {
  auto rows = QM_TRY(
      store.fetchPositionedAt<Contact>({"firstName", "lastName", "company", "email"}, written));
  const std::unordered_set<Store::Position> changed(written.begin(), written.end());
  std::erase_if(window_, [&](const Entry& e) { return changed.contains(e.position); });
  for (auto& [position, c] : rows) {
    Entry entry = entryOf({position, std::move(c.firstName), std::move(c.lastName),
                           std::move(c.company), std::move(c.email)});
    // Past the last contact read, a contact is read when a search gets there.
    if (!exhausted_ && (window_.empty() || orderOf(window_.back().key, window_.back().position) <
                                               orderOf(entry.key, entry.position)))
      continue;
    const auto at =
        std::ranges::lower_bound(window_, orderOf(entry.key, entry.position), {},
                                 [](const Entry& e) { return orderOf(e.key, e.position); });
    window_.insert(at, std::move(entry));
  }
  if (window_.size() > windowSize_) {
    window_.resize(windowSize_);
    exhausted_ = false;
  }
  return {};
}

Result<std::vector<Store::Position>> ContactIndex::search(Store& store, std::string_view query,
                                                          std::size_t limit) {
  QM_TRY(refresh(store));
  const SearchForms forms = searchForms(query);
  std::vector<Store::Position> exact, folded;
  // A later exact match goes before an earlier folded one, so the window is
  // read on until the page holds exact matches only, or to its end.
  std::size_t next = 0;
  while (exact.size() < limit) {
    for (; next < window_.size() && exact.size() < limit; ++next) {
      const Entry& e = window_[next];
      if (!holds(e.folded, forms.folded)) continue;
      const bool same = forms.plain() && e.exact.empty();
      if (same || holds(e.exact.empty() ? e.folded : e.exact, forms.exactForm()))
        exact.push_back(e.position);
      else if (folded.size() < limit)
        folded.push_back(e.position);
    }
    if (next < window_.size() || exhausted_ || window_.size() >= windowSize_) break;
    QM_TRY(readMore(store, window_.empty() ? kFirstRead : window_.size() * 4));
  }
  folded.resize(std::min(folded.size(), limit - exact.size()));
  exact.insert(exact.end(), folded.begin(), folded.end());
  return exact;
}

bool ContactIndex::nameOrCompanyHolds(const ContactListEntry& contact,
                                      std::string_view foldedQuery) {
  auto it = listTexts_.find(contact.position);
  if (it == listTexts_.end()) {
    std::string texts = foldForSearch(fullName(contact.firstName, contact.lastName));
    texts += '\0';
    texts += foldForSearch(contact.company);
    it = listTexts_.emplace(contact.position, std::move(texts)).first;
  }
  return holds(it->second, foldedQuery);
}

}  // namespace qm::mcp
