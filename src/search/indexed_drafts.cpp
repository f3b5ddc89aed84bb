#include "search/indexed_drafts.h"

#include <unordered_set>

#include "search/indexed_contacts.h"
#include "search/search_fields.h"
#include "store/follow_up_draft.h"

namespace qm {

namespace {

const std::vector<std::string_view> kDraftColumns{"id", "subject", "body", "contactID"};

IndexedDraft indexedDraft(const FollowUpDraft& d) {
  return {d.id,
          d.subject,
          d.contactID,
          SearchTextTable::pack(foldedTexts(draftSearchFields(d, std::nullopt, std::nullopt))),
          {},
          {},
          {}};
}

}  // namespace

Status IndexedDrafts::readAll(Store& store, const IndexedContacts& contacts) {
  auto rows = QM_TRY(store.fetchPositioned<FollowUpDraft>(kDraftColumns));
  reads_ += static_cast<std::int64_t>(rows.size());
  drafts_.clear();
  for (const auto& [position, draft] : rows) {
    IndexedDraft& entry =
        drafts_.emplace_hint(drafts_.end(), position, indexedDraft(draft))->second;
    resolve(entry, contacts);
  }
  layOut();
  return {};
}

Status IndexedDrafts::update(Store& store, const std::vector<Store::Position>& drafts,
                             const std::vector<Uuid>& changedContacts,
                             const IndexedContacts& contacts) {
  std::vector<Positioned<FollowUpDraft>> rows;
  if (!drafts.empty()) rows = QM_TRY(store.fetchPositionedAt<FollowUpDraft>(kDraftColumns, drafts));
  reads_ += static_cast<std::int64_t>(rows.size());
  if (drafts.empty() && changedContacts.empty()) return {};

  for (const Store::Position position : drafts) drafts_.erase(position);
  for (const auto& [position, draft] : rows)
    resolve(drafts_.emplace(position, indexedDraft(draft)).first->second, contacts);
  const std::unordered_set<Uuid> changed(changedContacts.begin(), changedContacts.end());
  for (auto& [position, draft] : drafts_)
    if (draft.contactID && changed.contains(*draft.contactID)) resolve(draft, contacts);
  layOut();
  return {};
}

const std::vector<std::size_t>* IndexedDrafts::ofContact(const Uuid& contact) const {
  auto it = ofContact_.find(contact);
  return it == ofContact_.end() ? nullptr : &it->second;
}

void IndexedDrafts::resolve(IndexedDraft& draft, const IndexedContacts& contacts) {
  const IndexedContact* contact = draft.contactID ? contacts.find(*draft.contactID) : nullptr;
  if (!contact) {
    draft.contactTexts.clear();
    draft.secondaryText.reset();
    draft.eventID.reset();
    return;
  }
  draft.contactTexts = SearchTextTable::pack(
      foldedTexts(draftSearchFields(FollowUpDraft{}, contact->fullName, contact->company)));
  draft.secondaryText = "To: " + contact->fullName;
  draft.eventID = contact->eventID;
}

void IndexedDrafts::layOut() {
  order_.clear();
  ofContact_.clear();
  table_ = {};
  for (const auto& [position, draft] : drafts_) {
    table_.addPacked(draft.ownTexts);
    table_.addPacked(draft.contactTexts);
    table_.endRecord();
    // Only a draft whose contact is known belongs to that contact's event.
    if (draft.secondaryText) ofContact_[*draft.contactID].push_back(order_.size());
    order_.push_back(&draft);
  }
}

}  // namespace qm
