#pragma once

#include <string>
#include <vector>

#include "export/contact_export_meeting.h"
#include "store/contact.h"

namespace qm {

/// The vCard versions an export can be written in: 4.0 (RFC 6350) for
/// current address books, 3.0 (RFC 2426) for older ones.
enum class VCardVersion { v4, v3 };

/// One vCard per contact, in the given order: name (FN is never empty; the
/// company or the e-mail address stands in for a missing name), company,
/// title, the preferred e-mail address and phone number, the work address
/// (city, region, postal code, country), the company website, the LinkedIn
/// profile, the event as a category and a note with the notes newest first,
/// the follow-up owner, the summary, why to meet and the tier, one per line.
/// Lines end with CR LF and are folded at 75 octets. No contacts give an
/// empty text.
std::string contactVCards(const std::vector<Contact>& contacts, const ContactExportMeeting& meeting,
                          VCardVersion version);

}  // namespace qm
