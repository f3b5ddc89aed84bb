#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "export/contact_export_meeting.h"
#include "store/contact.h"

namespace qm {

/// The columns of the generic layout, which carries the app's own analysis
/// (scores, tier, AI summary); the XLSX export uses the same columns.
inline constexpr std::array<std::string_view, 28> kGenericColumns = {"First Name",
                                                                     "Last Name",
                                                                     "Company",
                                                                     "Title",
                                                                     "Email",
                                                                     "Phone",
                                                                     "LinkedIn URL",
                                                                     "Country",
                                                                     "City",
                                                                     "State/Region",
                                                                     "Tier",
                                                                     "Overall Score",
                                                                     "Meeting Status",
                                                                     "Is Target",
                                                                     "Is Favorite",
                                                                     "Interaction Rating",
                                                                     "Captured By",
                                                                     "Met At",
                                                                     "Company Industry",
                                                                     "Company Size",
                                                                     "Company Website",
                                                                     "Verified Email",
                                                                     "Verified Phone",
                                                                     "AI Summary",
                                                                     "AI Follow-Up Priority",
                                                                     "Why Meet",
                                                                     "Approach Angle",
                                                                     "Watch Outs"};

/// The contacts in the generic layout (kGenericColumns), in the given order.
std::string genericCSV(const std::vector<Contact>& contacts);
/// The contacts in the layout HubSpot's contact import maps by itself.
std::string hubspotCSV(const std::vector<Contact>& contacts);
/// The contacts as Salesforce leads, with the column names the Data Import
/// Wizard maps by itself; Last Name and Company are never empty. The event is
/// the lead source, the notes lead the description.
std::string salesforceCSV(const std::vector<Contact>& contacts,
                          const ContactExportMeeting& meeting);
/// The contacts as Pipedrive people, with the column names its spreadsheet
/// import maps by itself; Name is never empty. The event is the label, the
/// notes lead the note.
std::string pipedriveCSV(const std::vector<Contact>& contacts, const ContactExportMeeting& meeting);

/// HubSpot's lead status for the contact's meeting status: met "Connected",
/// declined "Unqualified", no-show "Open", not met "Open" for a target and
/// "New" otherwise.
std::string_view hubspotLeadStatus(const Contact& contact);

/// The present ones of "Summary: " + AI summary, "Why Meet: " + why meet and
/// "Priority: " + tier, joined by `separator`; empty when none is present.
/// An empty text counts as absent.
std::string contactNotesText(const Contact& contact, std::string_view separator);

/// The texts of `parts` that are not empty, joined by `separator`.
std::string joinNonEmpty(std::initializer_list<std::string_view> parts, std::string_view separator);

/// The verified address if there is one, else the captured one (empty texts
/// count as absent); the same for phone numbers.
std::string_view preferredEmail(const Contact& contact);
std::string_view preferredPhone(const Contact& contact);

}  // namespace qm
