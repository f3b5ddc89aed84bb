#include "sync/contact_matcher.h"

#include <algorithm>

#include "common/text.h"

namespace qm {

namespace {

/// One key for a name and a company; the length prefix keeps ("ab", "c") and
/// ("a", "bc") apart.
std::string nameAndCompanyKey(std::string_view fullName, std::string_view company) {
  std::string name = ContactMatcher::normalized(fullName);
  return std::to_string(name.size()) + ":" + name + ContactMatcher::normalized(company);
}

/// The normalized text, or nothing when it is absent or normalizes to nothing.
std::optional<std::string> presentKey(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  std::string key = ContactMatcher::normalized(*text);
  if (key.empty()) return std::nullopt;
  return key;
}

}  // namespace

std::string ContactMatcher::normalized(std::string_view text) {
  return lowercaseUnicode(trimUnicodeWhitespace(text));
}

ContactMatcher::ContactMatcher(const std::vector<Contact>& candidates) : candidates_(candidates) {
  bySyncID_.reserve(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i)
    bySyncID_.emplace(candidates[i].syncID, i);  // keeps the first holder of a sync id
}

void ContactMatcher::indexTexts() const {
  if (textsIndexed_) return;
  textsIndexed_ = true;
  keys_.reserve(candidates_.size());
  for (std::size_t i = 0; i < candidates_.size(); ++i) {
    const Contact& c = candidates_[i];
    keys_.push_back(keysOf(c));
    if (keys_.back().email) add(byEmail_, *keys_.back().email, i);
    if (keys_.back().linkedin) add(byLinkedIn_, *keys_.back().linkedin, i);
    add(byNameAndCompany_, nameAndCompanyKey(c.fullName(), c.company), i);
  }
}

ContactMatcher::Keys ContactMatcher::keysOf(const Contact& contact) const {
  return Keys{presentKey(contact.email), presentKey(contact.linkedinURL)};
}

void ContactMatcher::add(Index& index, const std::string& key, std::size_t position) {
  auto& positions = index[key];
  positions.insert(std::lower_bound(positions.begin(), positions.end(), position), position);
}

void ContactMatcher::remove(Index& index, const std::string& key, std::size_t position) {
  auto it = index.find(key);
  if (it == index.end()) return;
  std::erase(it->second, position);
  if (it->second.empty()) index.erase(it);
}

std::optional<std::size_t> ContactMatcher::first(const Index& index, const std::string& key) {
  auto it = index.find(key);
  if (it == index.end() || it->second.empty()) return std::nullopt;
  return it->second.front();
}

std::optional<std::size_t> ContactMatcher::find(const ContactSyncModel& incoming) const {
  if (auto it = bySyncID_.find(incoming.syncID); it != bySyncID_.end()) return it->second;
  indexTexts();
  if (auto email = presentKey(incoming.email)) {
    if (auto found = first(byEmail_, *email)) return found;
  }
  if (auto linkedin = presentKey(incoming.linkedinURL)) {
    if (auto found = first(byLinkedIn_, *linkedin)) return found;
  }
  const std::string fullName = incoming.firstName + " " + incoming.lastName;
  if (!normalized(fullName).empty() || !normalized(incoming.company).empty())
    return first(byNameAndCompany_, nameAndCompanyKey(fullName, incoming.company));
  return std::nullopt;
}

void ContactMatcher::refresh(std::size_t position) {
  if (!textsIndexed_) return;  // built from the contacts as they are then
  Keys now = keysOf(candidates_.at(position));
  Keys& before = keys_.at(position);
  if (now.email != before.email) {
    if (before.email) remove(byEmail_, *before.email, position);
    if (now.email) add(byEmail_, *now.email, position);
  }
  if (now.linkedin != before.linkedin) {
    if (before.linkedin) remove(byLinkedIn_, *before.linkedin, position);
    if (now.linkedin) add(byLinkedIn_, *now.linkedin, position);
  }
  before = std::move(now);
}

}  // namespace qm
