#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/opportunity.h"
#include "store/record_enums.h"

namespace qm {

/// What a follow-up e-mail is written from: the contact, its event, the
/// contact's notes in stored order and the event's opportunities (those of the
/// contact's company are picked out).
struct FollowUpSubject {
  const Contact& contact;
  const Event& event;
  const std::vector<ContactNote>& notes;
  const std::vector<Opportunity>& eventOpportunities;
};

/// The instruction sent to the model for a follow-up e-mail: plain English
/// lines joined by "\n", with the reply format it must answer in. The meeting
/// date is written as an abbreviated date in `locale` (an ICU locale name such
/// as "en_US" or "fr_FR"; empty: this computer's locale).
std::string buildFollowUpPrompt(const FollowUpSubject& subject, Tone tone, std::string_view locale);

/// A note's text by its kind: typed text, or the cleaned text of a voice or
/// handwritten note falling back to its raw transcription or recognised text.
/// The prompt and the templates read a note through this.
const std::optional<std::string>& noteText(const ContactNote& note);

/// The date without time, abbreviated as `locale` writes it ("Mar 14, 2025"
/// in US English, "14 mars 2025" in French; empty: this computer's locale), in
/// this computer's time zone.
std::string abbreviatedDate(Date date, std::string_view locale);

/// `text` on one line: each line break (LF, CR or CR LF), with the blanks
/// around it, becomes one space. A subject is a one-line header; a model that
/// wraps it must not split the draft's subject in lists or in an .eml header.
std::string oneLine(std::string_view text);

/// The tone's instruction line, as the prompt states it.
std::string_view toneLine(Tone tone);

/// An opportunity's value as the prompt writes it: the whole number with the
/// fraction dropped, in plain digits also beyond the 64-bit range (never in
/// exponent form). Nothing for a value that is not finite: the line then reads
/// as one without a value rather than telling the model "inf" or "nan".
std::optional<std::string> wholeNumber(double value);

/// A model's reply split into subject and body.
struct FollowUpReply {
  std::string subject;
  std::string body;
  friend bool operator==(const FollowUpReply&, const FollowUpReply&) = default;
};

/// Splits `reply` at its first "---" line into a "SUBJECT:" header and a body;
/// without one, or with an empty part, falls back to "Follow-up: " +
/// `contactName` and the whole reply. The subject comes out on one line: a
/// line break inside it (a header over two lines) becomes a space.
FollowUpReply parseFollowUpReply(std::string_view reply, std::string_view contactName);

}  // namespace qm
