#pragma once

// The made-up trade-show contacts the MCP benchmarks fill their stores with:
// varied names, companies, e-mail addresses, titles, ranks, meeting statuses
// and target flags, the same sequence in every run.

#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bench_support.h"
#include "common/uuid.h"
#include "store/contact.h"

namespace qm::bench {

inline constexpr std::array<std::string_view, 32> kFirstNames = {
    "Anna",    "Ben",   "Chloé",  "David", "Elif",   "Farah",  "Gustav", "Hana",
    "Ivan",    "Julia", "Kenji",  "Lena",  "Mateo",  "Nora",   "Oskar",  "Priya",
    "Quentin", "Rosa",  "Sven",   "Tara",  "Umar",   "Vera",   "Wei",    "Ximena",
    "Yusuf",   "Zoë",   "Amélie", "Bruno", "Carmen", "Dmitri", "Emma",   "François"};

inline constexpr std::array<std::string_view, 32> kLastNames = {
    "Andersen", "Becker", "Castro",   "Dubois", "Eriksson",  "Fischer",  "García",  "Hoffmann",
    "Ito",      "Jansen", "Kowalski", "Larsen", "Müller",    "Nakamura", "O'Brien", "Petrov",
    "Quinn",    "Rossi",  "Schmidt",  "Tanaka", "Ullmann",   "Varga",    "Weber",   "Xu",
    "Yilmaz",   "Zimmer", "Novák",    "Santos", "Lindqvist", "Moreau",   "Costa",   "Hughes"};

/// A company name with the e-mail domain of its people.
struct BenchCompany {
  std::string_view name;
  std::string_view domain;
};

inline constexpr std::array<BenchCompany, 24> kCompanies = {{
    {"Acme Logistics", "acme-logistics.com"},
    {"Nordlicht Systems", "nordlicht.de"},
    {"Bluewave Analytics", "bluewave.io"},
    {"Cedar & Pine Retail", "cedarpine.com"},
    {"Helios Energy", "helios-energy.eu"},
    {"Quantix Robotics", "quantix.ai"},
    {"Maison Lumière", "maisonlumiere.fr"},
    {"Vertex Procurement", "vertexproc.com"},
    {"Kumo Cloud", "kumocloud.jp"},
    {"Sierra Foods", "sierrafoods.es"},
    {"Orbital Freight", "orbitalfreight.com"},
    {"Tidewater Marine", "tidewater.co.uk"},
    {"Granite Security", "granitesec.com"},
    {"Polaris Health", "polarishealth.org"},
    {"Saffron Media", "saffron.media"},
    {"Ironclad Manufacturing", "ironclad-mfg.com"},
    {"Lumen Payments", "lumenpay.com"},
    {"Atlas Warehousing", "atlaswh.com"},
    {"Brightpath Education", "brightpath.edu"},
    {"Zenith Aerospace", "zenith-aero.com"},
    {"Evergreen Pharma", "evergreenpharma.ch"},
    {"Copperline Telecom", "copperline.net"},
    {"Falcon Insurance", "falconins.com"},
    {"Mosaic Software", "mosaicsoft.dev"},
}};

/// A substring of one company name (and of its people's e-mail addresses):
/// matches about one contact in 24, well over search_contacts' page size.
inline constexpr std::string_view kSearchQuery = "licht";

inline constexpr std::array<std::string_view, 6> kTitles = {
    "CEO", "Head of Procurement", "VP Sales", "Operations Manager", "CTO", "Buyer"};

/// `name` in ASCII lower case without apostrophes and spaces, for e-mail addresses.
inline std::string asciiFolded(std::string_view name) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && c != '\'' && c != ' ') out += static_cast<char>(std::tolower(u));
  }
  return out;
}

/// Contact number `i` of a benchmark event, drawing its name, company and
/// title from `rng`: every fifth ranked, three in ten met, one in ten
/// declined, one in ten no-show, one in seven a target.
inline Contact benchContact(Rng& rng, std::size_t i, const Uuid& eventID) {
  const auto first = kFirstNames[rng.below(kFirstNames.size())];
  const auto last = kLastNames[rng.below(kLastNames.size())];
  const BenchCompany& company = kCompanies[rng.below(kCompanies.size())];
  Contact c =
      Contact::create(std::string(first), std::string(last), std::string(company.name), eventID);
  c.email = asciiFolded(first) + "." + asciiFolded(last) + std::to_string(i % 97) + "@" +
            std::string(company.domain);
  c.title = std::string(kTitles[rng.below(kTitles.size())]);
  if (i % 5 == 0) c.rank = static_cast<std::int64_t>(1 + rng.below(500));
  switch (i % 10) {
    case 0:
    case 1:
    case 2:
      c.status = MeetingStatus::met;
      break;
    case 3:
      c.status = MeetingStatus::declined;
      break;
    case 4:
      c.status = MeetingStatus::noShow;
      break;
    default:
      c.status = MeetingStatus::notMet;
      break;
  }
  c.isTarget = i % 7 == 0;
  c.boothNumber = "H" + std::to_string(1 + i % 27) + "-" + std::to_string(100 + i % 400);
  return c;
}

}  // namespace qm::bench
