#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "common/app_paths.h"
#include "common/result.h"
#include "common/uuid.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"

namespace qm {
class Store;
}

namespace qm::desktop {

/// Everything the detail pane shows of one contact, read in one go. Equal
/// records show the same pane, so a reload that changed nothing keeps it as
/// it is (and where the user scrolled to).
struct ContactRecord {
  Contact contact;
  std::vector<ContactNote> notes;  ///< newest first
  std::vector<CaptureMedia> captures;
  std::vector<bool> captureFilesPresent;  ///< whether each capture's image is on disk
  std::vector<FollowUpDraft> drafts;
  /// Those the contact is a stakeholder of or that came from the contact.
  std::vector<Opportunity> opportunities;
  std::vector<std::optional<std::string>> roles;  ///< the contact's role in each
  bool operator==(const ContactRecord&) const = default;
};

/// The contact `contactID` and what belongs to it; nothing when the store has
/// no such contact.
Result<std::optional<ContactRecord>> readContactRecord(Store& store, const AppPaths& paths,
                                                       const Uuid& contactID);

/// Where the image of `capture` is kept (the file may be missing); empty when
/// the capture has no image.
QString captureImageFile(const AppPaths& paths, const Contact& contact,
                         const CaptureMedia& capture);

}  // namespace qm::desktop
