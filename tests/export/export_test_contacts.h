#pragma once

// Contacts with the awkward values exports must carry: commas, quotes, line
// breaks, spaces, names in several scripts, empty and absent fields; and the
// notes and event of a meeting.
#include <vector>

#include "common/date.h"
#include "export/contact_export_meeting.h"
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
  c.ownedBy = "Sam Lee";
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

/// A note about `contact` written at `unixSeconds`, saying nothing yet.
inline ContactNote noteAbout(const Contact& contact, std::int64_t unixSeconds) {
  ContactNote note;
  note.id = Uuid::random();
  note.contactID = contact.id;
  note.createdAt = note.updatedAt = dateFromUnixSeconds(unixSeconds);
  return note;
}

/// The event "Tech Expo, Berlin" and `anna`'s notes, in this order: a typed
/// one of 2026-03-04, one without any text, one dictated on 2026-03-05 at
/// 10:00 known only by its raw transcription, and one of 16:45 that day whose
/// cleaned text (comma, quotes, line break) replaces what was typed.
inline ContactExportMeeting sampleMeeting(const Contact& anna) {
  ContactNote typed = noteAbout(anna, 1772614800);  // 2026-03-04T09:00:00Z
  typed.textContent = "Asked about pricing";
  ContactNote empty = noteAbout(anna, 1772900000);  // 2026-03-07
  empty.textContent = "";
  ContactNote cleaned = noteAbout(anna, 1772729100);  // 2026-03-05T16:45:00Z
  cleaned.textContent = "wants pilot soon send deck";
  cleaned.cleanedText = "Wants a pilot, \"soon\";\nsend the deck";
  ContactNote dictated = noteAbout(anna, 1772704800);  // 2026-03-05T10:00:00Z
  dictated.noteType = NoteType::voice;
  dictated.transcriptionRaw = "Call back Tuesday";
  return {.eventName = "Tech Expo, Berlin",
          .notes = {{anna.id, {typed, empty, dictated, cleaned}}}};
}

/// `sampleMeeting`'s notes as its exports write them, newest first, joined by
/// `separator`.
inline std::string sampleNotesText(std::string_view separator) {
  const std::string joint(separator);
  return "2026-03-05: Wants a pilot, \"soon\";\nsend the deck" + joint +
         "2026-03-05: Call back Tuesday" + joint + "2026-03-04: Asked about pricing";
}

}  // namespace qm::test
