#include "search_test_data.h"

#include <array>
#include <string_view>

#include "common/date.h"

namespace qm::test {

namespace {

#define QM_CHECK_OK(expr)                                                   \
  do {                                                                      \
    if (Status s = (expr); !s) throw std::runtime_error(s.error().message); \
  } while (0)

constexpr std::array<std::string_view, 19> kWords{
    "Müller",  "Mu\xCC\x88ller", "Muller",    "Øystein",  "Oystein",
    "田中",    "太郎",           "Nguyễn",    "Nguyen",   "Jo",
    "Smith",   "Acme",           "Łódź",      "lodz",     "Straße",
    "strasse", "ACME Robotics",  "logistics", "São Paulo"};
constexpr std::array<std::string_view, 6> kGlue{" ", "  ", "\u3000", "\u00A0", "-", ""};

std::uint64_t next(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::size_t below(std::uint64_t& state, std::size_t n) {
  return next(state) % n;
}

std::string phrase(std::uint64_t& state, int maxWords) {
  std::string text;
  const int words = 1 + static_cast<int>(below(state, static_cast<std::size_t>(maxWords)));
  for (int i = 0; i < words; ++i) {
    if (i) text += kGlue[below(state, kGlue.size())];
    text += kWords[below(state, kWords.size())];
  }
  return text;
}

std::optional<std::string> maybe(std::uint64_t& state, int maxWords) {
  switch (below(state, 4)) {
    case 0:
      return std::nullopt;
    case 1:
      return std::string();
    default:
      return phrase(state, maxWords);
  }
}

}  // namespace

Event addEvent(Store& store, std::string name, std::optional<std::string> location) {
  Event event = Event::create(std::move(name));
  event.location = std::move(location);
  QM_CHECK_OK(store.insert(event));
  return event;
}

Contact addContact(Store& store, const Event& event, std::string first, std::string last,
                   std::string company) {
  Contact c = Contact::create(std::move(first), std::move(last), std::move(company), event.id);
  QM_CHECK_OK(store.insert(c));
  return c;
}

ContactNote addNote(Store& store, const Contact& contact, std::string text) {
  ContactNote note;
  note.id = Uuid::random();
  note.syncID = Uuid::random();
  note.contactID = contact.id;
  note.createdAt = note.updatedAt = now();
  note.textContent = std::move(text);
  QM_CHECK_OK(store.insert(note));
  return note;
}

Opportunity addOpportunity(Store& store, const Event& event, std::string title,
                           std::optional<double> value, std::string currency) {
  Opportunity o = Opportunity::create(std::move(title), "Acme", event.id);
  o.value = value;
  o.currency = std::move(currency);
  QM_CHECK_OK(store.insert(o));
  return o;
}

FollowUpDraft addDraft(Store& store, const std::optional<Contact>& contact, std::string subject,
                       std::string body) {
  FollowUpDraft d = FollowUpDraft::create(std::move(subject), std::move(body),
                                          contact ? std::optional(contact->id) : std::nullopt);
  QM_CHECK_OK(store.insert(d));
  return d;
}

void fillGenerated(Store& store, std::uint64_t seed, int events, int contactsPerEvent) {
  std::uint64_t state = seed;
  std::vector<Contact> all;
  QM_CHECK_OK(store.transaction([&]() -> Status {
    for (int e = 0; e < events; ++e) {
      Event event = Event::create(phrase(state, 2));
      event.location = maybe(state, 2);
      QM_TRY(store.insert(event));
      const int count = contactsPerEvent / 2 +
                        static_cast<int>(below(state, static_cast<std::size_t>(contactsPerEvent)));
      for (int i = 0; i < count; ++i) {
        Contact c = Contact::create(phrase(state, 1), below(state, 5) ? phrase(state, 1) : "",
                                    below(state, 4) ? phrase(state, 2) : "", event.id);
        if (below(state, 6) == 0) c.company = "  " + c.company + " ";
        c.title = maybe(state, 2);
        c.email = maybe(state, 1);
        c.city = maybe(state, 1);
        c.companyIndustry = maybe(state, 1);
        c.companySummary = maybe(state, 3);
        c.companyWebsite = maybe(state, 1);
        c.whyMeet = maybe(state, 4);
        c.boothNumber = maybe(state, 1);
        QM_TRY(store.insert(c));
        for (std::size_t n = below(state, 3); n > 0; --n) {
          ContactNote note;
          note.id = Uuid::random();
          note.syncID = Uuid::random();
          note.contactID = c.id;
          note.createdAt = note.updatedAt = Date{};
          note.textContent = maybe(state, 5);
          QM_TRY(store.insert(note));
        }
        all.push_back(std::move(c));
      }
      for (std::size_t n = below(state, 4); n > 0; --n) {
        Opportunity o = Opportunity::create(phrase(state, 2), phrase(state, 1), event.id);
        o.value = below(state, 3) ? std::optional(static_cast<double>(below(state, 50000)))
                                  : std::nullopt;
        o.currency = std::array<const char*, 4>{"EUR", "USD", "JPY", "euros"}[below(state, 4)];
        o.notes = maybe(state, 3);
        o.nextStep = phrase(state, 2);
        QM_TRY(store.insert(o));
      }
    }
    // A contact outside every event: searched by no event, but its drafts are.
    Contact loose = Contact::create("Jo", "Smith", "Acme");
    QM_TRY(store.insert(loose));
    all.push_back(loose);
    for (std::size_t n = all.size() / 3; n > 0; --n) {
      std::optional<Uuid> to;
      if (below(state, 5)) to = all[below(state, all.size())].id;
      FollowUpDraft d = FollowUpDraft::create(phrase(state, 3), phrase(state, 6), to);
      QM_TRY(store.insert(d));
    }
    return {};
  }));
}

std::string generatedQuery(std::uint64_t& state) {
  std::string query;
  const int words = 1 + static_cast<int>(below(state, 3));
  for (int i = 0; i < words; ++i) {
    if (i) query += below(state, 5) ? " " : "\u3000";
    std::string word(kWords[below(state, kWords.size())]);
    switch (below(state, 5)) {
      case 0:  // the start of a word (whole code points only: the first byte is ASCII or not)
        word = word.substr(0, static_cast<unsigned char>(word[0]) < 0x80 ? 2 : word.size());
        break;
      case 1:
        word = word.substr(0, 1);  // one letter (or the lead bytes of one character)
        if (static_cast<unsigned char>(word[0]) >= 0x80) word = "o";
        break;
      case 2:
        for (char& ch : word)
          if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        break;
      default:
        break;
    }
    query += word;
  }
  return query;
}

}  // namespace qm::test
