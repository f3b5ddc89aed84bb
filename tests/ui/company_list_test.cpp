// The company roll-up of an event's contacts.
#include "ui/company_list.h"

#include <gmock/gmock.h>

namespace qm {
namespace {

using ::testing::DoubleEq;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

Contact at(std::string company, std::string first = "X", std::string last = "Y") {
  return Contact::create(std::move(first), std::move(last), std::move(company), Uuid::random());
}

std::vector<std::string> names(const std::vector<CompanyEntry>& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.name);
  return out;
}

TEST(CompanyList, GroupsByTrimmedLowerCasedNameAndSkipsBlankCompanies) {
  std::vector<ListContact> contacts{at(""),         at("Acme"),        at("  \n"),
                                    at(" ACME \t"), at("Müller GmbH"), at("MÜLLER GMBH")};
  const auto entries = companyEntries(contacts);
  ASSERT_THAT(names(entries), ElementsAre("Acme", "Müller GmbH"));
  EXPECT_EQ(entries[0].contactCount(), 2);
  EXPECT_EQ(entries[0].contacts[1], &contacts[3]);
  EXPECT_EQ(entries[1].contactCount(), 2);

  // Named as its first contact stores it, blanks and all.
  std::vector<ListContact> reversed{at(" acme "), at("Acme")};
  EXPECT_THAT(names(companyEntries(reversed)), ElementsAre(" acme "));
  EXPECT_THAT(companyEntries(std::vector<ListContact>{at(""), at(" ")}), IsEmpty());
}

TEST(CompanyList, FiguresCountPositiveRatingsAndMetContacts) {
  std::vector<ListContact> contacts{at("Acme"), at("Acme"), at("Acme"), at("Zero"), at("Zero")};
  contacts[0].interactionRating = 4;
  contacts[1].interactionRating = 0;
  contacts[0].status = MeetingStatus::met;
  contacts[2].status = MeetingStatus::declined;
  contacts[3].interactionRating = 0;
  const auto entries = companyEntries(contacts);
  EXPECT_THAT(entries[0].averageRating(), DoubleEq(4.0));
  EXPECT_EQ(entries[0].metCountOfCompany(), 1);
  EXPECT_THAT(entries[1].averageRating(), DoubleEq(0.0));
  EXPECT_EQ(entries[1].metCountOfCompany(), 0);
}

TEST(CompanyList, SearchFindsACompanyByOneOfItsPeople) {
  std::vector<ListContact> contacts{at("Globex", "Hank", "Scorpio"),
                                    at("Initech", "Peter", "Gibbons"), at("", "Hanna", "Solo")};
  CompanyListState s;
  s.searchText = "HANK";
  EXPECT_THAT(names(visibleCompanies(contacts, s)), ElementsAre("Globex"));
  s.searchText = "k sc";  // across the joined first and last name
  EXPECT_THAT(names(visibleCompanies(contacts, s)), ElementsAre("Globex"));
  s.searchText = "itech";
  EXPECT_THAT(names(visibleCompanies(contacts, s)), ElementsAre("Initech"));
  s.searchText = "hanna";  // her contact has no company
  EXPECT_THAT(visibleCompanies(contacts, s), IsEmpty());
}

TEST(CompanyList, OrderingsWithTiesInOrderOfFirstAppearance) {
  std::vector<ListContact> contacts{at("beta"),  at("Älpha"), at("Gamma"), at("Gamma"),
                                    at("Gamma"), at("Delta"), at("Delta"), at("Omega")};
  contacts[1].status = contacts[5].status = contacts[6].status = MeetingStatus::met;
  contacts[0].interactionRating = 5;
  contacts[2].interactionRating = 3;
  contacts[7].interactionRating = 3;
  CompanyListState s;
  EXPECT_THAT(names(visibleCompanies(contacts, s)),
              ElementsAre("Älpha", "beta", "Delta", "Gamma", "Omega"));
  s.sortField = CompanySortField::mostContacts;
  EXPECT_THAT(names(visibleCompanies(contacts, s)),
              ElementsAre("Gamma", "Delta", "beta", "Älpha", "Omega"));
  s.sortField = CompanySortField::bestRated;
  EXPECT_THAT(names(visibleCompanies(contacts, s)),
              ElementsAre("beta", "Gamma", "Omega", "Älpha", "Delta"));
  s.sortField = CompanySortField::mostMet;  // two met before one met and many not met
  EXPECT_THAT(names(visibleCompanies(contacts, s)),
              ElementsAre("Delta", "Älpha", "beta", "Gamma", "Omega"));
  EXPECT_EQ(displayLabel(CompanySortField::alphabetical), "A\u2013Z");
}

}  // namespace
}  // namespace qm
