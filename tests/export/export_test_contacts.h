#pragma once

// Contacts with the awkward values exports must carry: commas, quotes, line
// breaks, spaces, names in several scripts, empty and absent fields.
#include <vector>

#include "common/date.h"
#include "store/contact.h"

namespace qm::test {

/// 2026-03-05T14:30:00Z
inline Date sampleMeetingTime() {
  return dateFromUnixSeconds(1772721000);
}

/// Anna Müller: met, a target, every analysis field, a verified address.
inline Contact annaMuller() {
  Contact c = Contact::create("Anna", "Müller", "Acme, Inc.");
  c.title = "Head of \"Growth\"";
  c.email = "anna@acme.example";
  c.verifiedEmail = "anna.mueller@acme.example";
  c.phone = "+49 30 1234";
  c.linkedinURL = "https://www.linkedin.com/in/anna-mueller";
  c.country = "Germany";
  c.city = "New York";
  c.stateRegion = "NY";
  c.postalCode = "10001";
  c.tier = "A";
  c.overallScore = 8;
  c.status = MeetingStatus::met;
  c.isTarget = true;
  c.interactionRating = 4;
  c.capturedBy = "Sam";
  c.metAt = sampleMeetingTime();
  c.companyIndustry = "Logistics";
  c.companyWebsite = "https://acme.example";
  c.aiSummary = "Runs growth;\r\nbudget in Q3\nneeds a demo\rsoon";
  c.whyMeet = "Budget, timing";
  c.approachAngle = "=HYPERLINK(\"x\")";
  return c;
}

/// 田中: only a first name, no company, not met, a target, nothing else.
inline Contact tanaka() {
  Contact c = Contact::create("田中", "", "");
  c.isTarget = true;
  return c;
}

/// Øystein Nguyễn: declined, a favourite, a score of 7.25.
inline Contact oystein() {
  Contact c = Contact::create("Øystein", "Nguyễn", "Bergen Fisk");
  c.status = MeetingStatus::declined;
  c.isFavorite = true;
  c.overallScore = 7.25;
  c.email = "oystein@bergen.example";
  c.industry = "Seafood";
  return c;
}

inline std::vector<Contact> sampleContacts() {
  return {annaMuller(), tanaka(), oystein()};
}

}  // namespace qm::test
