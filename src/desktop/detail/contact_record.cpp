#include "desktop/detail/contact_record.h"

#include <algorithm>
#include <filesystem>

#include "desktop/qt_text.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm::desktop {

QString captureImageFile(const AppPaths& paths, const Contact& contact,
                         const CaptureMedia& capture) {
  if (!contact.eventID || capture.imageFileName.empty()) return {};
  return qs(captureImageURL(paths.documents, *contact.eventID, capture.imageFileName).string());
}

Result<std::optional<ContactRecord>> readContactRecord(Store& store, const AppPaths& paths,
                                                       const Uuid& contactID) {
  auto contact = QM_TRY(store.find<Contact>(contactID));
  if (!contact) return std::optional<ContactRecord>{};
  ContactRecord r;
  r.contact = std::move(*contact);
  r.notes = QM_TRY(notesOf(store, contactID));
  std::stable_sort(r.notes.begin(), r.notes.end(), [](const ContactNote& a, const ContactNote& b) {
    return a.createdAt > b.createdAt;
  });
  r.captures = QM_TRY(capturesOf(store, contactID));
  for (const CaptureMedia& capture : r.captures) {
    std::error_code error;
    r.captureFilesPresent.push_back(
        std::filesystem::is_regular_file(utf8(captureImageFile(paths, r.contact, capture)), error));
  }
  r.drafts = QM_TRY(draftsOf(store, contactID));
  const auto links = QM_TRY(stakeholdersOfContact(store, contactID));
  for (const OpportunityStakeholder& link : links) {
    if (!link.opportunityID) continue;
    auto opportunity = QM_TRY(store.find<Opportunity>(*link.opportunityID));
    if (!opportunity) continue;
    r.opportunities.push_back(std::move(*opportunity));
    r.roles.push_back(link.role);
  }
  const auto originated = QM_TRY(store.fetch<Opportunity>({Match{"originContactID", contactID}}));
  for (const Opportunity& o : originated) {
    if (std::any_of(r.opportunities.begin(), r.opportunities.end(),
                    [&](const Opportunity& known) { return known.id == o.id; }))
      continue;
    r.opportunities.push_back(o);
    r.roles.push_back(std::nullopt);
  }
  return std::optional<ContactRecord>{std::move(r)};
}

}  // namespace qm::desktop
