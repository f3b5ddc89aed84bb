#include "app/demo_data.h"

#include <array>

#include "store/contact.h"
#include "store/contact_note.h"
#include "store/store.h"

namespace qm {

namespace {

constexpr std::array<const char*, 12> kFirstNames{"Ada",  "Jean",  "Øystein", "Mei",
                                                  "Sam",  "Lucía", "Noah",    "Amara",
                                                  "Yuki", "Omar",  "Greta",   "Tomás"};
constexpr std::array<const char*, 12> kLastNames{"Lovelace", "Müller", "Berg",  "Tanaka",
                                                 "Carter",   "García", "Smith", "Okafor",
                                                 "Sato",     "Haddad", "Olsen", "Silva"};
constexpr std::array<const char*, 6> kCompanies{"Acme Robotics", "Northwind",    "Globex", "",
                                                "Initech",       "Umbrella Labs"};

}  // namespace

Result<DemoData> addDemoData(Store& store, std::size_t contacts, const std::string& eventName) {
  DemoData made{Event::create(eventName), {}};
  made.event.location = "Hall 4";
  Status added = store.transaction([&]() -> Status {
    QM_TRY(store.insert(made.event));
    for (std::size_t i = 0; i < contacts; ++i) {
      Contact c = Contact::create(kFirstNames[i % kFirstNames.size()],
                                  kLastNames[(i / kFirstNames.size() + i) % kLastNames.size()],
                                  kCompanies[i % kCompanies.size()], made.event.id);
      c.title = i % 3 == 0 ? "CTO" : "Head of Sales";
      c.email = "person" + std::to_string(i) + "@example.com";
      c.status = i % 4 == 0 ? MeetingStatus::met : MeetingStatus::notMet;
      c.isTarget = i % 5 == 0;
      c.source = ContactSource::scanned;
      if (i % 7 == 0) c.rank = static_cast<std::int64_t>(i / 7 + 1);
      if (c.status == MeetingStatus::met) c.interactionRating = 3 + static_cast<int>(i % 3);
      QM_TRY(store.insert(c));
      ContactNote note;
      note.id = Uuid::random();
      note.syncID = Uuid::random();
      note.contactID = c.id;
      note.createdAt = note.updatedAt = now();
      note.textContent = "Met at the booth; interested in a pilot.";
      QM_TRY(store.insert(note));
      made.contactIDs.push_back(c.id);
    }
    return {};
  });
  if (!added) return std::move(added).takeError();
  return made;
}

}  // namespace qm
