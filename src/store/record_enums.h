#pragma once

#include <array>
#include <string_view>

#include "common/enum_info.h"

namespace qm {

/// How a contact came into the store.
enum class ContactSource { imported, scanned, manual, screenshotImport };
/// Whether the user met the contact.
enum class MeetingStatus { notMet, met, declined, noShow };
/// Progress of a contact's enrichment; parsed from `Contact::enrichmentStatus`.
enum class EnrichmentState {
  none,
  inProgress,
  complete,
  partial,
  failed,
  awaitingDomainVerification
};
/// The six-valued status lists show per contact; the numbers are fixed.
enum class MeetingIndicator {
  met = 0,
  metByTeammate = 1,
  notMet = 2,
  archived = 3,
  declined = 4,
  noShow = 5
};
enum class NoteType { text, voice, handwriting };
enum class CaptureType { businessCard, badge, document, nfc, other };
/// Tone of a follow-up e-mail.
enum class Tone { warm, neutral, formal };
/// Workflow state of a follow-up draft (stored as its raw text).
enum class DraftStatus { draft, approved, sent, dismissed };
enum class OpportunityTimeline { thisMonth, thisQuarter, nextQuarter, nextYear };
enum class OpportunityConfidence { low, medium, high };
/// The sections an event report can be made of, in report order.
enum class ReportSection {
  executiveSummary,
  performanceOverview,
  companiesTable,
  contactsTable,
  topPriorityFollowUp,
  accountOpportunities,
  teamActivity,
  missedTargets,
  keyThemes,
  dataGaps,
  recommendedActions,
  contactAppendix,
  draftFollowUpMessages,
};

template <>
struct EnumInfo<ContactSource> {
  using E = ContactSource;
  static constexpr std::array<EnumCase<E>, 4> cases{{
      {E::imported, "imported", "Imported"},
      {E::scanned, "scanned", "Scanned"},
      {E::manual, "manual", "Manual"},
      {E::screenshotImport, "screenshotImport", "Screenshot Import"},
  }};
};

template <>
struct EnumInfo<MeetingStatus> {
  using E = MeetingStatus;
  static constexpr std::array<EnumCase<E>, 4> cases{{
      {E::notMet, "notMet", "Not Met"},
      {E::met, "met", "Met"},
      {E::declined, "declined", "Declined"},
      {E::noShow, "noShow", "No Show"},
  }};
};

template <>
struct EnumInfo<EnrichmentState> {
  using E = EnrichmentState;
  static constexpr std::array<EnumCase<E>, 6> cases{{
      {E::none, "none", "None"},
      {E::inProgress, "inProgress", "In Progress"},
      {E::complete, "complete", "Complete"},
      {E::partial, "partial", "Partial"},
      {E::failed, "failed", "Failed"},
      {E::awaitingDomainVerification, "awaitingDomainVerification", "Awaiting Domain Verification"},
  }};
};

template <>
struct EnumInfo<MeetingIndicator> {
  using E = MeetingIndicator;
  static constexpr std::array<EnumCase<E>, 6> cases{{
      {E::met, "met", "Met"},
      {E::metByTeammate, "metByTeammate", "Met by Teammate"},
      {E::notMet, "notMet", "Not Met"},
      {E::archived, "archived", "Archived"},
      {E::declined, "declined", "Declined"},
      {E::noShow, "noShow", "No Show"},
  }};
};

template <>
struct EnumInfo<NoteType> {
  using E = NoteType;
  static constexpr std::array<EnumCase<E>, 3> cases{{
      {E::text, "text", "Text"},
      {E::voice, "voice", "Voice"},
      {E::handwriting, "handwriting", "Handwriting"},
  }};
};

template <>
struct EnumInfo<CaptureType> {
  using E = CaptureType;
  static constexpr std::array<EnumCase<E>, 5> cases{{
      {E::businessCard, "businessCard", "Business Card"},
      {E::badge, "badge", "Badge"},
      {E::document, "document", "Document"},
      {E::nfc, "nfc", "NFC"},
      {E::other, "other", "Other"},
  }};
};

template <>
struct EnumInfo<Tone> {
  using E = Tone;
  static constexpr std::array<EnumCase<E>, 3> cases{{
      {E::warm, "warm", "Warm"},
      {E::neutral, "neutral", "Neutral"},
      {E::formal, "formal", "Formal"},
  }};
};

template <>
struct EnumInfo<DraftStatus> {
  using E = DraftStatus;
  static constexpr std::array<EnumCase<E>, 4> cases{{
      {E::draft, "draft", "Draft"},
      {E::approved, "approved", "Approved"},
      {E::sent, "sent", "Sent"},
      {E::dismissed, "dismissed", "Dismissed"},
  }};
};

/// The raw value is also the label.
template <>
struct EnumInfo<OpportunityTimeline> {
  using E = OpportunityTimeline;
  static constexpr std::array<EnumCase<E>, 4> cases{{
      {E::thisMonth, "This month", "This month"},
      {E::thisQuarter, "This quarter", "This quarter"},
      {E::nextQuarter, "Next quarter", "Next quarter"},
      {E::nextYear, "Next year", "Next year"},
  }};
};

template <>
struct EnumInfo<OpportunityConfidence> {
  using E = OpportunityConfidence;
  static constexpr std::array<EnumCase<E>, 3> cases{{
      {E::low, "Low", "Low"},
      {E::medium, "Medium", "Medium"},
      {E::high, "High", "High"},
  }};
};

/// The label is the section's title (English; it is also the key of its translation).
template <>
struct EnumInfo<ReportSection> {
  using E = ReportSection;
  static constexpr std::array<EnumCase<E>, 13> cases{{
      {E::executiveSummary, "executiveSummary", "Executive Summary"},
      {E::performanceOverview, "performanceOverview", "Performance Overview"},
      {E::companiesTable, "companiesTable", "Companies Engaged Table"},
      {E::contactsTable, "contactsTable", "Contacts Met Table"},
      {E::topPriorityFollowUp, "topPriorityFollowUp", "Top-Priority Follow-Up"},
      {E::accountOpportunities, "accountOpportunities", "Account / Company Opportunities"},
      {E::teamActivity, "teamActivity", "Team Activity & Coordination"},
      {E::missedTargets, "missedTargets", "Missed Targets & Recovery"},
      {E::keyThemes, "keyThemes", "Key Themes & Market Insights"},
      {E::dataGaps, "dataGaps", "Data Gaps & Recovery"},
      {E::recommendedActions, "recommendedActions", "Recommended Next Actions"},
      {E::contactAppendix, "contactAppendix", "Contact Appendix"},
      {E::draftFollowUpMessages, "draftFollowUpMessages", "Draft Follow-Up Messages"},
  }};
};

}  // namespace qm
