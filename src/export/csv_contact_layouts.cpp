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

constexpr std::array<std::string_view, 14> kSalesforceColumns = {
    "First Name", "Last Name", "Company",     "Title",          "Email",
    "Phone",      "Website",   "City",        "State/Province", "Postal Code",
    "Country",    "Industry",  "Lead Status", "Description"};

constexpr std::array<std::string_view, 8> kPipedriveColumns = {
    "Name", "First name", "Last name", "Email", "Phone", "Organization", "Job title", "Note"};

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

std::string salesforceCSV(const std::vector<Contact>& contacts) {
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
    std::string description = contactNotesText(c, " | ");
    if (c.linkedinURL && !c.linkedinURL->empty()) {
      if (!description.empty()) description += " | ";
      description += "LinkedIn: " + *c.linkedinURL;
    }
    csv.text(description);
  }
  return std::move(csv).take();
}

std::string pipedriveCSV(const std::vector<Contact>& contacts) {
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
    csv.text(contactNotesText(c, " | "));
  }
  return std::move(csv).take();
}

}  // namespace qm
