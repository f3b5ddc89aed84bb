#include "export/csv_contact_layouts.h"

#include <cstdio>

#include "common/date.h"
#include "common/text.h"
#include "export/csv_field.h"

namespace qm {

namespace {

/// The first of `values` that is present and not empty.
std::string_view firstPresent(std::initializer_list<const std::optional<std::string>*> values) {
  for (const auto* v : values) {
    if (*v && !(*v)->empty()) return **v;
  }
  return {};
}

std::string_view yesNo(bool value) {
  return value ? "Yes" : "No";
}

constexpr std::array<std::string_view, 16> kHubspotColumns = {
    "First Name",   "Last Name",    "Email",        "Phone Number",
    "Company Name", "Job Title",    "LinkedIn URL", "Country/Region",
    "City",         "State/Region", "Lead Status",  "Lifecycle Stage",
    "Industry",     "Company Size", "Website URL",  "Notes"};

// "Follow-Up Owner" is the teammate's name as the app holds it: the importers
// map "Lead Owner" / "Record Owner" and "Owner" to one of their users, which
// a name typed on the phone need not match, so the column is left for the
// person importing to map or keep.
constexpr std::array<std::string_view, 16> kSalesforceColumns = {
    "First Name",  "Last Name",   "Company",         "Title",       "Email",   "Phone",
    "Website",     "City",        "State/Province",  "Postal Code", "Country", "Industry",
    "Lead Status", "Lead Source", "Follow-Up Owner", "Description"};

constexpr std::array<std::string_view, 10> kPipedriveColumns = {
    "Name",         "First name", "Last name", "Email",           "Phone",
    "Organization", "Job title",  "Label",     "Follow-Up Owner", "Note"};

/// What the CSV layouts join the parts of one text field with.
constexpr std::string_view kCsvPartSeparator = " | ";

/// Salesforce's lead statuses as a new org lists them.
std::string_view salesforceLeadStatus(const Contact& contact) {
  switch (contact.status) {
    case MeetingStatus::met:
      return "Working - Contacted";
    case MeetingStatus::declined:
      return "Closed - Not Converted";
    case MeetingStatus::notMet:
    case MeetingStatus::noShow:
      break;
  }
  return "Open - Not Contacted";
}

}  // namespace

std::string_view hubspotLeadStatus(const Contact& contact) {
  switch (contact.status) {
    case MeetingStatus::met:
      return "Connected";
    case MeetingStatus::declined:
      return "Unqualified";
    case MeetingStatus::noShow:
      return "Open";
    case MeetingStatus::notMet:
      break;
  }
  return contact.isTarget ? "Open" : "New";
}

std::string contactNotesText(const Contact& contact, std::string_view separator) {
  std::string notes;
  const auto add = [&](std::string_view label, const std::optional<std::string>& value) {
    if (!value || value->empty()) return;
    if (!notes.empty()) notes.append(separator);
    notes.append(label).append(*value);
  };
  add("Summary: ", contact.aiSummary);
  add("Why Meet: ", contact.whyMeet);
  add("Priority: ", contact.tier);
  return notes;
}

std::string joinNonEmpty(std::initializer_list<std::string_view> parts,
                         std::string_view separator) {
  std::string joined;
  for (std::string_view part : parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined.append(separator);
    joined.append(part);
  }
  return joined;
}

std::string_view preferredEmail(const Contact& contact) {
  return firstPresent({&contact.verifiedEmail, &contact.email});
}

std::string_view preferredPhone(const Contact& contact) {
  return firstPresent({&contact.verifiedPhone, &contact.phone});
}

std::string genericCSV(const std::vector<Contact>& contacts) {
  CsvDocument csv(kGenericColumns, contacts.size());
  char number[64];
  for (const Contact& c : contacts) {
    csv.newRow();
    csv.text(c.firstName);
    csv.text(c.lastName);
    csv.text(c.company);
    csv.text(c.title);
    csv.text(c.email);
    csv.text(c.phone);
    csv.text(c.linkedinURL);
    csv.text(c.country);
    csv.text(c.city);
    csv.text(c.stateRegion);
    csv.text(c.tier);
    if (c.overallScore) {
      std::snprintf(number, sizeof number, "%.1f", *c.overallScore);
      csv.plain(number);
    } else {
      csv.plain("");
    }
    csv.text(rawValue(c.status));
    csv.plain(yesNo(c.isTarget));
    csv.plain(yesNo(c.isFavorite));
    csv.plain(c.interactionRating ? std::to_string(*c.interactionRating) : std::string());
    csv.text(c.capturedBy);
    csv.plain(c.metAt ? formatISO8601(*c.metAt) : std::string());
    csv.text(c.companyIndustry);
    csv.text(c.companySize);
    csv.text(c.companyWebsite);
    csv.text(c.verifiedEmail);
    csv.text(c.verifiedPhone);
    csv.text(c.aiSummary);
    csv.text(c.aiFollowUpPriority);
    csv.text(c.whyMeet);
    csv.text(c.approachAngle);
    csv.text(c.watchOuts);
  }
  return std::move(csv).take();
}

std::string hubspotCSV(const std::vector<Contact>& contacts) {
  CsvDocument csv(kHubspotColumns, contacts.size());
  for (const Contact& c : contacts) {
    csv.newRow();
    csv.text(c.firstName);
    csv.text(c.lastName);
    csv.text(preferredEmail(c));
    csv.text(preferredPhone(c));
    csv.text(c.company);
    csv.text(c.title);
    csv.text(c.linkedinURL);
    csv.text(c.country);
    csv.text(c.city);
    csv.text(c.stateRegion);
    csv.text(hubspotLeadStatus(c));
    csv.plain("lead");
    csv.text(firstPresent({&c.companyIndustry, &c.industry}));
    csv.text(c.companySize);
    csv.text(c.companyWebsite);
    csv.text(contactNotesText(c, " | "));
  }
  return std::move(csv).take();
}

std::string salesforceCSV(const std::vector<Contact>& contacts,
                          const ContactExportMeeting& meeting) {
  CsvDocument csv(kSalesforceColumns, contacts.size());
  for (const Contact& c : contacts) {
    csv.newRow();
    // Salesforce refuses a lead without a last name: a person known by one
    // name keeps it as the last name (not twice), else the e-mail address
    // names the lead.
    const std::string_view first = trimUnicodeWhitespace(c.firstName);
    const std::string_view last = trimUnicodeWhitespace(c.lastName);
    const std::string_view email = preferredEmail(c);
    if (!last.empty()) {
      csv.text(c.firstName);
      csv.text(c.lastName);
    } else {
      csv.text("");
      csv.text(!first.empty() ? first : !email.empty() ? email : std::string_view("Unknown"));
    }
    csv.text(trimUnicodeWhitespace(c.company).empty() ? std::string_view("Unknown Company")
                                                      : std::string_view(c.company));
    csv.text(c.title);
    csv.text(email);
    csv.text(preferredPhone(c));
    csv.text(c.companyWebsite);
    csv.text(c.city);
    csv.text(c.stateRegion);
    csv.text(c.postalCode);
    csv.text(c.country);
    csv.text(firstPresent({&c.companyIndustry, &c.industry}));
    csv.text(salesforceLeadStatus(c));
    csv.text(meeting.eventName);
    csv.text(c.ownedBy);
    const std::string linkedin = hasText(c.linkedinURL) ? "LinkedIn: " + *c.linkedinURL : "";
    csv.text(joinNonEmpty({meetingNotesText(meeting, c, kCsvPartSeparator),
                           contactNotesText(c, kCsvPartSeparator), linkedin},
                          kCsvPartSeparator));
  }
  return std::move(csv).take();
}

std::string pipedriveCSV(const std::vector<Contact>& contacts,
                         const ContactExportMeeting& meeting) {
  CsvDocument csv(kPipedriveColumns, contacts.size());
  for (const Contact& c : contacts) {
    csv.newRow();
    // Pipedrive skips a person without a name: the e-mail address, else the
    // phone number, names one who has none.
    const std::string fullName = c.fullName();
    const std::string_view email = preferredEmail(c);
    const std::string_view phone = preferredPhone(c);
    csv.text(!fullName.empty() ? std::string_view(fullName)
             : !email.empty()  ? email
             : !phone.empty()  ? phone
                               : std::string_view("Unknown"));
    csv.text(c.firstName);
    csv.text(c.lastName);
    csv.text(email);
    csv.text(phone);
    csv.text(c.company);
    csv.text(c.title);
    csv.text(meeting.eventName);
    csv.text(c.ownedBy);
    csv.text(joinNonEmpty(
        {meetingNotesText(meeting, c, kCsvPartSeparator), contactNotesText(c, kCsvPartSeparator)},
        kCsvPartSeparator));
  }
  return std::move(csv).take();
}

}  // namespace qm
