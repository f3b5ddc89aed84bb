#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/enum_info.h"
#include "common/result.h"
#include "export/contact_export_meeting.h"
#include "settings/settings_enums.h"
#include "store/contact.h"

namespace qm {

/// Which contacts of an event an export takes.
enum class ExportScope { all, met, targets, favorites };

template <>
struct EnumInfo<ExportScope> {
  static constexpr std::array<EnumCase<ExportScope>, 4> cases = {{
      {ExportScope::all, "all", "All Contacts"},
      {ExportScope::met, "met", "Met Only"},
      {ExportScope::targets, "targets", "Targets Only"},
      {ExportScope::favorites, "favorites", "Favorites Only"},
  }};
};

/// Whether `contact` belongs to `scope`: all of them; those met; targets;
/// favourites. Archived contacts are not left out.
bool isInScope(const Contact& contact, ExportScope scope);

/// The contacts of `scope`, in the order given (an event's contacts in stored
/// order; nothing is sorted).
std::vector<Contact> contactsInScope(std::vector<Contact> contacts, ExportScope scope);

/// The file name an export of `eventName` proposes: the name with each space
/// replaced by "_", then "_contacts", "_hubspot", "_salesforce" or "_pipedrive",
/// and the format's extension (".csv", ".xlsx", ".vcf"): Tech Expo 2026 gives
/// "Tech_Expo_2026_contacts.csv". A folder separator or control character in
/// the name becomes "_" too, so the name stays one file inside its folder, and
/// a very long name is shortened (at a character boundary) to fit a file name.
std::string proposedExportFileName(std::string_view eventName, ExportFormat format);

/// The same for any export of an event: the event's name made a file name as
/// above, then `suffix` ("_follow-ups.ics").
std::string proposedEventFileName(std::string_view eventName, std::string_view suffix);

/// Options of the formats that have any.
struct ContactExportOptions {
  bool vcard3 = false;  ///< vCard 3.0 for older address books instead of 4.0
};

/// The bytes of the export file of `contacts` in `format`. The Salesforce,
/// Pipedrive, Excel and vCard formats carry `meeting` too (the event's name,
/// the notes); the generic and HubSpot layouts keep their fixed columns.
/// `loadContactExportMeeting` (contact_export_loader.h) reads it from a store.
Result<std::string> exportContacts(ExportFormat format, const std::vector<Contact>& contacts,
                                   const ContactExportMeeting& meeting,
                                   const ContactExportOptions& options = {});

}  // namespace qm
