#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

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
/// Wizard maps by itself; Last Name and Company are never empty.
std::string salesforceCSV(const std::vector<Contact>& contacts);
/// The contacts as Pipedrive people, with the column names its spreadsheet
/// import maps by itself; Name is never empty.
std::string pipedriveCSV(const std::vector<Contact>& contacts);

/// HubSpot's lead status for the contact's meeting status: met "Connected",
/// declined "Unqualified", no-show "Open", not met "Open" for a target and
/// "New" otherwise.
std::string_view hubspotLeadStatus(const Contact& contact);

/// The present ones of "Summary: " + AI summary, "Why Meet: " + why meet and
/// "Priority: " + tier, joined by `separator`; empty when none is present.
/// An empty text counts as absent.
std::string contactNotesText(const Contact& contact, std::string_view separator);

/// The verified address if there is one, else the captured one (empty texts
/// count as absent); the same for phone numbers.
std::string_view preferredEmail(const Contact& contact);
std::string_view preferredPhone(const Contact& contact);

}  // namespace qm
