// The field-by-field merge of an incoming contact into the desktop's copy.
#include <algorithm>

#include "store/store.h"
#include "sync/sync_merge_engine.h"

namespace qm::SyncMergeEngine {

namespace {

bool isEnriched(EnrichmentState state) {
  return state == EnrichmentState::complete || state == EnrichmentState::partial;
}

/// Whether a desktop status `from` may move on to the incoming `to`: only
/// forward, and never away from "complete" or "awaitingDomainVerification".
bool enrichmentMovesForward(EnrichmentState from, EnrichmentState to) {
  using S = EnrichmentState;
  switch (from) {
    case S::none:
      return to != S::none;
    case S::inProgress:
      return to != S::inProgress && to != S::none;
    case S::partial:
      return to == S::complete;
    case S::failed:
      return to == S::complete || to == S::partial;
    case S::complete:
    case S::awaitingDomainVerification:
      return false;
  }
  return false;
}

/// One merge in progress: the desktop contact, the incoming record, whether
/// anything changed and the labels of what gained a value.
class ContactMerge {
 public:
  ContactMerge(Contact& contact, const ContactSyncModel& incoming, const SyncMergeContext& context)
      : c_(contact), in_(incoming), context_(context) {}

  Result<std::optional<MergeDetail>> run(Store& store, EventHoldings& holdings) {
    phoneIsFresher();
    fill(c_.email, in_.email, "email");
    fill(c_.phone, in_.phone, "phone");
    fill(c_.linkedinURL, in_.linkedinURL, "LinkedIn");
    fill(c_.companyWebsite, in_.companyWebsite, "website");
    fill(c_.title, in_.title, "title");
    location();
    fill(c_.companyIndustry, in_.companyIndustry, "industry");
    fill(c_.companySize, in_.companySize, "company size");
    fill(c_.companySummary, in_.companySummary, "company summary");
    fill(c_.whyMeet, in_.whyMeet, "why meet");
    fill(c_.approachAngle, in_.approachAngle, "approach angle");
    fill(c_.watchOuts, in_.watchOuts, "watch outs");
    fill(c_.whoTheyAre, in_.whoTheyAre, "bio");
    fill(c_.companySnapshot, in_.companySnapshot, "company snapshot");
    fill(c_.personTalkingPoints, in_.personTalkingPoints, "talking points");
    fill(c_.companyTalkingPoints, in_.companyTalkingPoints, "company talking points");
    fill(c_.rank, in_.rank);
    fill(c_.overallScore, in_.overallScore);
    fill(c_.fitScore, in_.fitScore);
    fill(c_.valueScore, in_.valueScore);
    fill(c_.tier, in_.tier, "tier");
    fill(c_.priorityTier, in_.priorityTier);
    fill(c_.boothNumber, in_.boothNumber, "booth number");
    owner();
    rating();
    meetingStatus();
    aiText();
    enrichmentStatus();
    verification();
    if (in_.isTarget) set(c_.isTarget, true);

    const std::int64_t notesMerged = QM_TRY(mergeNotes(store, holdings, in_.notes, c_.id));
    if (notesMerged > 0) changed_ = true;
    const std::int64_t opportunities =
        QM_TRY(mergeOpportunities(store, holdings, in_.opportunities, c_.eventID, c_.id));
    if (opportunities > 0) {
      changed_ = true;
      addLabel(std::to_string(opportunities) +
               (opportunities == 1 ? " opportunity" : " opportunities"));
    }
    alsoMetBy();

    c_.lastSyncedAt = context_.now;
    ++c_.syncCount;
    if (!changed_) {
      // Most contacts of a repeated snapshot are unchanged: write only what moved.
      QM_TRY(store.updateOnly(c_, {"lastSyncedAt", "syncCount"}));
      return std::optional<MergeDetail>{};
    }
    QM_TRY(store.update(c_));
    return std::optional<MergeDetail>{MergeDetail{c_, context_.senderName, notesMerged, 0,
                                                  ratingChanged_, std::move(infoAdded_)}};
  }

 private:
  void addLabel(std::string label) {
    if (!label.empty() &&
        std::find(infoAdded_.begin(), infoAdded_.end(), label) == infoAdded_.end())
      infoAdded_.push_back(std::move(label));
  }

  /// Takes the incoming value when the desktop has none.
  template <class T>
  void fill(std::optional<T>& desktop, const std::optional<T>& incoming,
            std::string_view label = {}) {
    if (desktop || !incoming) return;
    desktop = incoming;
    changed_ = true;
    addLabel(std::string(label));
  }

  /// Sets a value the merge decided on; a change only when it differs.
  template <class T, class U>
  void set(T& desktop, U&& value) {
    if (desktop == value) return;
    desktop = std::forward<U>(value);
    changed_ = true;
  }

  /// An enriched phone record is fresher than an unenriched desktop one: its
  /// contact details win.
  void phoneIsFresher() {
    const auto incoming = parseEnum<EnrichmentState>(in_.enrichmentStatus.value_or("none"));
    if (!incoming || !isEnriched(*incoming) || isEnriched(c_.enrichmentState())) return;
    auto replace = [&](std::optional<std::string>& desktop, const std::optional<std::string>& value,
                       std::string_view label) {
      if (!value || desktop == value) return;
      desktop = value;
      changed_ = true;
      addLabel(std::string(label));
    };
    replace(c_.phone, in_.phone, "phone");
    replace(c_.email, in_.email, "email");
    replace(c_.linkedinURL, in_.linkedinURL, "LinkedIn");
    replace(c_.title, in_.title, "title");
    replace(c_.companyWebsite, in_.companyWebsite, "website");
  }

  void location() {
    const bool hadCountryCode = c_.countryCode.has_value();
    fill(c_.countryCode, in_.countryCode);
    if (!hadCountryCode && c_.countryCode) set(c_.locationSource, in_.locationSource);
    fill(c_.city, in_.city);
    fill(c_.stateRegion, in_.stateRegion);
    fill(c_.postalCode, in_.postalCode);
  }

  /// The phone is authoritative for the owner, including clearing it.
  void owner() {
    if (!in_.ownedBy) {
      if (!c_.ownedBy) return;
      c_.ownedBy.reset();
      changed_ = true;
      addLabel("owner cleared");
    } else if (c_.ownedBy != in_.ownedBy) {
      c_.ownedBy = in_.ownedBy;
      changed_ = true;
      addLabel("owner");
    }
  }

  /// The rating only moves up.
  void rating() {
    if (!in_.interactionRating) return;
    if (c_.interactionRating && *c_.interactionRating >= *in_.interactionRating) return;
    c_.interactionRating = in_.interactionRating;
    changed_ = true;
    ratingChanged_ = true;
  }

  void meetingStatus() {
    const auto incoming = parseEnum<MeetingStatus>(in_.status);
    if (!incoming) return;
    const std::string& sender = context_.senderName;
    switch (*incoming) {
      case MeetingStatus::met:
        if (c_.status != MeetingStatus::met) {
          c_.status = MeetingStatus::met;
          c_.metAt = in_.metAt ? in_.metAt : c_.metAt ? c_.metAt : context_.now;
          changed_ = true;
        }
        if (!sender.empty() &&
            std::find(c_.alsoMetBy.begin(), c_.alsoMetBy.end(), sender) == c_.alsoMetBy.end()) {
          c_.alsoMetBy.push_back(sender);
          changed_ = true;
        }
        break;
      case MeetingStatus::notMet:
        if (std::erase(c_.alsoMetBy, sender) > 0) changed_ = true;
        // The only person who had met the contact takes it back.
        if (c_.status == MeetingStatus::met && !in_.metAt && c_.alsoMetBy.empty()) {
          c_.status = MeetingStatus::notMet;
          c_.metAt.reset();
          c_.interactionRating.reset();
          changed_ = true;
          ratingChanged_ = true;
        }
        break;
      case MeetingStatus::declined:
      case MeetingStatus::noShow:
        if (c_.status == MeetingStatus::notMet) set(c_.status, *incoming);
        break;
    }
  }

  void aiText() {
    fill(c_.aiSummary, in_.aiSummary, "AI summary");
    if (!c_.aiActionPlan) {
      fill(c_.aiActionPlan, in_.aiActionPlan, "action plan");
    } else if (!c_.actionPlanEditedByUser && in_.aiActionPlan && in_.actionPlanEditedByUser) {
      // A plan the user edited on the phone beats a generated one.
      c_.aiActionPlan = in_.aiActionPlan;
      c_.actionPlanEditedByUser = true;
      changed_ = true;
      addLabel("edited action plan");
    }
    fill(c_.aiFollowUpPriority, in_.aiFollowUpPriority, "follow-up priority");
    if (in_.actionPlanEditedByUser) set(c_.actionPlanEditedByUser, true);
  }

  void enrichmentStatus() {
    const auto incoming = parseEnum<EnrichmentState>(in_.enrichmentStatus.value_or("none"));
    if (!incoming || !enrichmentMovesForward(c_.enrichmentState(), *incoming)) return;
    c_.enrichmentStatus = in_.enrichmentStatus;
    c_.enrichedAt = in_.enrichedAt;
    c_.enrichmentSource = in_.enrichmentSource;
    changed_ = true;
    addLabel("enrichment");
  }

  void verification() {
    fill(c_.verifiedEmail, in_.verifiedEmail);
    fill(c_.verifiedPhone, in_.verifiedPhone);
    if (in_.emailVerified == true) set(c_.emailVerified, true);
    if (in_.phoneVerified == true) set(c_.phoneVerified, true);
    fill(c_.pdlPersonLikelihood, in_.pdlPersonLikelihood);
    fill(c_.pdlPersonJSON, in_.pdlPersonJSON);
    fill(c_.companyHQ, in_.companyHQ);
    fill(c_.companyFounded, in_.companyFounded);
    fill(c_.companyType, in_.companyType);
    fill(c_.companyRevenue, in_.companyRevenue);
    fill(c_.companyFundingTotal, in_.companyFundingTotal);
    fill(c_.companyFundingStage, in_.companyFundingStage);
    fill(c_.companyTags, in_.companyTags);
    fill(c_.companyLinkedInURL, in_.companyLinkedInURL);
    fill(c_.linkedinMatchMethod, in_.linkedinMatchMethod);
    fill(c_.linkedinMatchScore, in_.linkedinMatchScore);
  }

  /// Teammates who also met the person join the list; this desktop's own
  /// name never stays in it.
  void alsoMetBy() {
    const std::string& self = context_.desktopDisplayName;
    for (const auto& name : in_.alsoMetBy) {
      if ((!self.empty() && name == self) ||
          std::find(c_.alsoMetBy.begin(), c_.alsoMetBy.end(), name) != c_.alsoMetBy.end())
        continue;
      c_.alsoMetBy.push_back(name);
      changed_ = true;
    }
    if (!self.empty() && std::erase(c_.alsoMetBy, self) > 0) changed_ = true;
  }

  Contact& c_;
  const ContactSyncModel& in_;
  const SyncMergeContext& context_;
  bool changed_ = false;
  bool ratingChanged_ = false;
  std::vector<std::string> infoAdded_;
};

}  // namespace

Result<std::optional<MergeDetail>> mergeContact(Store& store, EventHoldings& holdings,
                                                const ContactSyncModel& incoming, Contact& existing,
                                                const SyncMergeContext& context) {
  return ContactMerge(existing, incoming, context).run(store, holdings);
}

}  // namespace qm::SyncMergeEngine
