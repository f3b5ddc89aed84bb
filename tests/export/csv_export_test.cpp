// The CSV layouts: field quoting, the exact generic and HubSpot documents,
// the Salesforce and Pipedrive headers and stand-ins for required fields,
// scopes and the proposed file names.
#include <gmock/gmock.h>

#include "export/contact_export.h"
#include "export/csv_contact_layouts.h"
#include "export/csv_field.h"
#include "export_test_contacts.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

/// The lines of a CSV document after its byte order mark.
std::vector<std::string> linesOf(const std::string& csv) {
  std::vector<std::string> lines;
  std::string_view rest(csv);
  rest.remove_prefix(kUtf8ByteOrderMark.size());
  for (;;) {
    const auto end = rest.find("\r\n");
    lines.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
  return lines;
}

TEST(CsvField, QuotesOnlyValuesWithCommaQuoteOrSpace) {
  EXPECT_EQ(csvField("Müller"), "Müller");
  EXPECT_EQ(csvField(""), "");
  EXPECT_EQ(csvField("New York"), "\"New York\"");
  EXPECT_EQ(csvField("Acme, Inc."), "\"Acme, Inc.\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csvField("\"quoted\""), "\"\"\"quoted\"\"\"");
  EXPECT_EQ(csvField("tab\there"), "tab\there");
}

TEST(CsvField, PutsLineBreaksOnOneLine) {
  EXPECT_EQ(csvField("a\r\nb"), "\"a b\"");  // the pair is one space
  EXPECT_EQ(csvField("a\nb\rc"), "\"a b c\"");
  EXPECT_EQ(csvField("a\n\r\nb"), "\"a  b\"");
  EXPECT_EQ(csvField("\r\n"), "\" \"");
}

TEST(GenericCsv, WritesTheHeaderAndOneExactLinePerContact) {
  const std::string csv = genericCSV(test::sampleContacts());
  ASSERT_THAT(csv, StartsWith("\xEF\xBB\xBF"));
  EXPECT_NE(csv.substr(csv.size() - 2), "\r\n") << "no line break after the last line";
  const auto lines = linesOf(csv);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "\"First Name\",\"Last Name\",Company,Title,Email,Phone,\"LinkedIn URL\",Country,City,"
            "State/Region,Tier,\"Overall Score\",\"Meeting Status\",\"Is Target\",\"Is "
            "Favorite\",\"Interaction Rating\",\"Captured By\",\"Met At\",\"Company "
            "Industry\",\"Company Size\",\"Company Website\",\"Verified Email\",\"Verified "
            "Phone\",\"AI Summary\",\"AI Follow-Up Priority\",\"Why Meet\",\"Approach "
            "Angle\",\"Watch Outs\"");
  EXPECT_EQ(lines[1],
            "Anna,Müller,\"Acme, Inc.\",\"Head of \"\"Growth\"\"\",anna@acme.example,\"+49 30 "
            "1234\",https://www.linkedin.com/in/anna-mueller,Germany,\"New "
            "York\",NY,A,8.0,met,Yes,No,4,Sam,2026-03-05T14:30:00Z,Logistics,,https://"
            "acme.example,anna.mueller@acme.example,,\"Runs growth; budget in Q3 needs a demo "
            "soon\",,\"Budget, timing\",\"=HYPERLINK(\"\"x\"\")\",");
  EXPECT_EQ(lines[2], "田中,,,,,,,,,,,,notMet,Yes,No,,,,,,,,,,,,,");
  EXPECT_EQ(lines[3],
            "Øystein,Nguyễn,\"Bergen Fisk\",,oystein@bergen.example,,,,,,,7.2,declined,No,Yes,,,,"
            ",,,,,,,,,");
}

TEST(GenericCsv, NoContactsGiveTheHeaderLineOnly) {
  const std::string csv = genericCSV({});
  EXPECT_THAT(linesOf(csv), ElementsAre(StartsWith("\"First Name\",")));
  EXPECT_EQ(csv.find('\n'), std::string::npos);
}

TEST(HubspotCsv, MapsStatusPreferredAddressesAndNotes) {
  Contact noShow = test::oystein();
  noShow.status = MeetingStatus::noShow;
  Contact notMetOther = test::tanaka();
  notMetOther.isTarget = false;
  notMetOther.verifiedEmail = "";  // an empty verified address is no address
  notMetOther.email = "tanaka@example.jp";
  const auto lines = linesOf(
      hubspotCSV({test::annaMuller(), test::tanaka(), test::oystein(), noShow, notMetOther}));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "\"First Name\",\"Last Name\",Email,\"Phone Number\",\"Company Name\",\"Job "
            "Title\",\"LinkedIn URL\",Country/Region,City,State/Region,\"Lead Status\",\"Lifecycle "
            "Stage\",Industry,\"Company Size\",\"Website URL\",Notes");
  EXPECT_EQ(lines[1],
            "Anna,Müller,anna.mueller@acme.example,\"+49 30 1234\",\"Acme, Inc.\",\"Head of "
            "\"\"Growth\"\"\",https://www.linkedin.com/in/anna-mueller,Germany,\"New "
            "York\",NY,Connected,lead,Logistics,,https://acme.example,\"Summary: Runs growth; "
            "budget in Q3 needs a demo soon | Why Meet: Budget, timing | Priority: A\"");
  EXPECT_EQ(lines[2], "田中,,,,,,,,,,Open,lead,,,,");
  EXPECT_EQ(lines[3],
            "Øystein,Nguyễn,oystein@bergen.example,,\"Bergen "
            "Fisk\",,,,,,Unqualified,lead,Seafood,,,");
  EXPECT_THAT(lines[4], HasSubstr(",Open,lead,"));
  EXPECT_EQ(lines[5], "田中,,tanaka@example.jp,,,,,,,,New,lead,,,,");
}

TEST(SalesforceCsv, NeverLeavesLastNameOrCompanyEmpty) {
  Contact nameless = Contact::create("", " ", "");
  nameless.email = "who@example.org";
  Contact nobody = Contact::create("", "", "  ");
  const Contact anna = test::annaMuller();
  const auto lines =
      linesOf(salesforceCSV({anna, test::tanaka(), nameless, nobody}, test::sampleMeeting(anna)));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            "\"First Name\",\"Last Name\",Company,Title,Email,Phone,Website,City,State/"
            "Province,\"Postal Code\",Country,Industry,\"Lead Status\",\"Lead "
            "Source\",\"Follow-Up Owner\",Description");
  EXPECT_THAT(lines[1], StartsWith("Anna,Müller,\"Acme, Inc.\","));
  EXPECT_THAT(lines[1], HasSubstr(",10001,Germany,Logistics,\"Working - Contacted\",\"Tech "
                                  "Expo, Berlin\",\"Sam Lee\",\"2026-03-05: "));
  EXPECT_THAT(lines[1], HasSubstr("| LinkedIn: https://www.linkedin.com/in/anna-mueller\""));
  EXPECT_EQ(lines[2],
            ",田中,\"Unknown Company\",,,,,,,,,,\"Open - Not Contacted\",\"Tech Expo, Berlin\",,");
  EXPECT_THAT(lines[3], StartsWith(",who@example.org,\"Unknown Company\","));
  EXPECT_THAT(lines[4], StartsWith(",Unknown,\"Unknown Company\","));
}

TEST(PipedriveCsv, NamesEveryPerson) {
  Contact nameless = Contact::create("", "", "Acme");
  nameless.phone = "+1 555 0100";
  const auto lines =
      linesOf(pipedriveCSV({test::annaMuller(), nameless, Contact::create("", "", "")},
                           {.eventName = "Messe", .notes = {}}));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "Name,\"First name\",\"Last name\",Email,Phone,Organization,\"Job "
            "title\",Label,\"Follow-Up Owner\",Note");
  EXPECT_THAT(lines[1], StartsWith("\"Anna Müller\",Anna,Müller,anna.mueller@acme.example,"));
  EXPECT_EQ(lines[2], "\"+1 555 0100\",,,,\"+1 555 0100\",Acme,,Messe,,");
  EXPECT_EQ(lines[3], "Unknown,,,,,,,Messe,,");
}

TEST(ExportScope, SelectsInGivenOrderKeepingArchivedContacts) {
  Contact archivedMet = test::oystein();
  archivedMet.status = MeetingStatus::met;
  archivedMet.isArchived = true;
  const std::vector<Contact> contacts = {test::tanaka(), test::annaMuller(), test::oystein(),
                                         archivedMet};
  const auto names = [](const std::vector<Contact>& chosen) {
    std::vector<std::string> out;
    for (const auto& c : chosen) out.push_back(c.firstName);
    return out;
  };
  EXPECT_THAT(names(contactsInScope(contacts, ExportScope::all)),
              ElementsAre("田中", "Anna", "Øystein", "Øystein"));
  EXPECT_THAT(names(contactsInScope(contacts, ExportScope::met)), ElementsAre("Anna", "Øystein"));
  EXPECT_THAT(names(contactsInScope(contacts, ExportScope::targets)), ElementsAre("田中", "Anna"));
  EXPECT_THAT(names(contactsInScope(contacts, ExportScope::favorites)),
              ElementsAre("Øystein", "Øystein"));
}

TEST(ProposedExportFileName, NamesTheEventAndFormat) {
  EXPECT_EQ(proposedExportFileName("Tech Expo 2026", ExportFormat::csv),
            "Tech_Expo_2026_contacts.csv");
  EXPECT_EQ(proposedExportFileName("Tech Expo 2026", ExportFormat::hubspot),
            "Tech_Expo_2026_hubspot.csv");
  EXPECT_EQ(proposedExportFileName("Messe", ExportFormat::salesforce), "Messe_salesforce.csv");
  EXPECT_EQ(proposedExportFileName("Messe", ExportFormat::pipedrive), "Messe_pipedrive.csv");
  EXPECT_EQ(proposedExportFileName("Messe", ExportFormat::xlsx), "Messe_contacts.xlsx");
  EXPECT_EQ(proposedExportFileName("Messe", ExportFormat::vcard), "Messe_contacts.vcf");
  // The name stays one file inside its folder.
  EXPECT_EQ(proposedExportFileName("../A/B\nC", ExportFormat::csv), ".._A_B_C_contacts.csv");
  std::string longName(201, 'x');
  for (int i = 0; i < 40; ++i) longName += "東";
  const std::string shortened = proposedExportFileName(longName, ExportFormat::csv);
  EXPECT_EQ(shortened.size(), 201u + 13 * 3 + 13) << "cut before the character that would split";
  EXPECT_THAT(shortened, ::testing::EndsWith("東_contacts.csv"));
}

}  // namespace
}  // namespace qm
