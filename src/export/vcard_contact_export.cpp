#include "export/vcard_contact_export.h"

#include <cctype>

#include "common/text.h"
#include "export/content_line.h"
#include "export/csv_contact_layouts.h"

namespace qm {

namespace {

/// Builds content lines: the name and parameters as given, then the value.
class VCardBuilder {
 public:
  explicit VCardBuilder(std::string& out) : out_(out) {}

  /// A property with one text value; nothing when the value is empty.
  void text(std::string_view nameAndParameters, std::string_view value) {
    if (value.empty()) return;
    line_.assign(nameAndParameters).push_back(':');
    appendEscapedText(line_, value);
    flush();
  }
  /// A property whose value is a list of components, each escaped, joined by
  /// semicolons; nothing when every component is empty.
  void structured(std::string_view nameAndParameters,
                  std::initializer_list<std::string_view> components, bool keepEmpty = false) {
    bool any = keepEmpty;
    for (auto c : components) any = any || !c.empty();
    if (!any) return;
    line_.assign(nameAndParameters).push_back(':');
    bool first = true;
    for (auto c : components) {
      if (!first) line_.push_back(';');
      first = false;
      appendEscapedText(line_, c);
    }
    flush();
  }
  /// A property with an address value: not escaped, but a line break cannot
  /// be part of an address and is left out.
  void uri(std::string_view nameAndParameters, std::string_view value) {
    if (value.empty()) return;
    line_.assign(nameAndParameters).push_back(':');
    for (char c : value)
      if (c != '\r' && c != '\n') line_.push_back(c);
    flush();
  }
  void literal(std::string_view line) { appendFoldedLine(out_, line); }

 private:
  void flush() { appendFoldedLine(out_, line_); }

  std::string& out_;
  std::string line_;
};

std::string_view orEmpty(const std::optional<std::string>& value) {
  return value ? std::string_view(*value) : std::string_view();
}

void appendVCard(VCardBuilder& card, const Contact& c, const ContactExportMeeting& meeting,
                 VCardVersion version) {
  const bool v4 = version == VCardVersion::v4;
  card.literal("BEGIN:VCARD");
  card.literal(v4 ? "VERSION:4.0" : "VERSION:3.0");
  const std::string fullName = c.fullName();
  const std::string_view company = trimUnicodeWhitespace(c.company);
  const std::string_view email = preferredEmail(c);
  // FN is required and must name someone.
  card.text("FN", !fullName.empty()  ? std::string_view(fullName)
                  : !company.empty() ? company
                  : !email.empty()   ? email
                                     : std::string_view("Unknown"));
  card.structured("N", {c.lastName, c.firstName, "", "", ""}, /*keepEmpty=*/true);
  card.structured("ORG", {company});
  card.text("TITLE", orEmpty(c.title));
  card.text(v4 ? "EMAIL;TYPE=work" : "EMAIL;TYPE=INTERNET,WORK", email);
  card.text(v4 ? "TEL;TYPE=work,voice" : "TEL;TYPE=WORK,VOICE", preferredPhone(c));
  card.structured(v4 ? "ADR;TYPE=work" : "ADR;TYPE=WORK",
                  {"", "", "", orEmpty(c.city), orEmpty(c.stateRegion), orEmpty(c.postalCode),
                   orEmpty(c.country)});
  card.uri(v4 ? "URL;TYPE=work" : "URL;TYPE=WORK", orEmpty(c.companyWebsite));
  card.uri("X-SOCIALPROFILE;TYPE=linkedin", orEmpty(c.linkedinURL));
  // Escaped as text, a comma in the event's name stays inside one category.
  card.text("CATEGORIES", meeting.eventName);
  const std::string owner = hasText(c.ownedBy) ? "Follow-Up Owner: " + *c.ownedBy : "";
  card.text(
      "NOTE",
      joinNonEmpty({meetingNotesText(meeting, c, "\n"), owner, contactNotesText(c, "\n")}, "\n"));
  std::string id = c.id.str();
  if (v4) {  // a URN, written in lower case as RFC 4122 recommends
    for (char& ch : id) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    id.insert(0, "urn:uuid:");
  }
  card.uri("UID", id);
  card.literal("END:VCARD");
}

}  // namespace

std::string contactVCards(const std::vector<Contact>& contacts, const ContactExportMeeting& meeting,
                          VCardVersion version) {
  std::string out;
  out.reserve(contacts.size() * 512);
  VCardBuilder card(out);
  for (const Contact& c : contacts) appendVCard(card, c, meeting, version);
  return out;
}

}  // namespace qm
