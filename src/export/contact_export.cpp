#include "export/contact_export.h"

#include <algorithm>

#include "export/csv_contact_layouts.h"
#include "export/vcard_contact_export.h"
#include "export/xlsx_contact_export.h"

namespace qm {

namespace {

/// The longest file name most Linux file systems take, in bytes.
constexpr std::size_t kFileNameBytes = 255;

std::string_view suffixOf(ExportFormat format) {
  switch (format) {
    case ExportFormat::csv:
      return "_contacts.csv";
    case ExportFormat::hubspot:
      return "_hubspot.csv";
    case ExportFormat::salesforce:
      return "_salesforce.csv";
    case ExportFormat::pipedrive:
      return "_pipedrive.csv";
    case ExportFormat::xlsx:
      return "_contacts.xlsx";
    case ExportFormat::vcard:
      return "_contacts.vcf";
  }
  return "_contacts.csv";
}

}  // namespace

bool isInScope(const Contact& contact, ExportScope scope) {
  switch (scope) {
    case ExportScope::all:
      return true;
    case ExportScope::met:
      return contact.status == MeetingStatus::met;
    case ExportScope::targets:
      return contact.isTarget;
    case ExportScope::favorites:
      return contact.isFavorite;
  }
  return false;
}

std::vector<Contact> contactsInScope(std::vector<Contact> contacts, ExportScope scope) {
  std::erase_if(contacts, [scope](const Contact& c) { return !isInScope(c, scope); });
  return contacts;
}

std::string proposedExportFileName(std::string_view eventName, ExportFormat format) {
  return proposedEventFileName(eventName, suffixOf(format));
}

std::string proposedEventFileName(std::string_view eventName, std::string_view suffix) {
  std::string stem;
  stem.reserve(eventName.size());
  for (char c : eventName) {
    const auto u = static_cast<unsigned char>(c);
    stem.push_back(c == ' ' || c == '/' || c == '\\' || u < 0x20 || u == 0x7F ? '_' : c);
  }
  if (stem.size() + suffix.size() > kFileNameBytes) {
    std::size_t cut = kFileNameBytes - suffix.size();
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  return stem + std::string(suffix);
}

Result<std::string> exportContacts(ExportFormat format, const std::vector<Contact>& contacts,
                                   const ContactExportMeeting& meeting,
                                   const ContactExportOptions& options) {
  switch (format) {
    case ExportFormat::csv:
      return genericCSV(contacts);
    case ExportFormat::hubspot:
      return hubspotCSV(contacts);
    case ExportFormat::salesforce:
      return salesforceCSV(contacts, meeting);
    case ExportFormat::pipedrive:
      return pipedriveCSV(contacts, meeting);
    case ExportFormat::xlsx:
      return xlsxContacts(contacts, meeting);
    case ExportFormat::vcard:
      return contactVCards(contacts, meeting, options.vcard3 ? VCardVersion::v3 : VCardVersion::v4);
  }
  return Error(ErrorCode::invalidArgument, "Unknown export format");
}

}  // namespace qm
