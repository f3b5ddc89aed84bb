// Field tables and creation defaults of the smaller record kinds.
#include "store/capture_media.h"
#include "store/contact_note.h"
#include "store/contact_review_state.h"
#include "store/follow_up_draft.h"
#include "store/mcp_records.h"
#include "store/opportunity.h"
#include "store/qlm_import_record.h"
#include "store/saved_report.h"

namespace qm {

QM_DEFINE_RECORD_FIELDS(ContactNote, QM_CONTACT_NOTE_FIELDS)
QM_DEFINE_RECORD_FIELDS(CaptureMedia, QM_CAPTURE_MEDIA_FIELDS)
QM_DEFINE_RECORD_FIELDS(FollowUpDraft, QM_FOLLOW_UP_DRAFT_FIELDS)
QM_DEFINE_RECORD_FIELDS(ContactReviewState, QM_CONTACT_REVIEW_STATE_FIELDS)
QM_DEFINE_RECORD_FIELDS(Opportunity, QM_OPPORTUNITY_FIELDS)
QM_DEFINE_RECORD_FIELDS(OpportunityStakeholder, QM_OPPORTUNITY_STAKEHOLDER_FIELDS)
QM_DEFINE_RECORD_FIELDS(SavedReport, QM_SAVED_REPORT_FIELDS)
QM_DEFINE_RECORD_FIELDS(QLMImportRecord, QM_QLM_IMPORT_RECORD_FIELDS)
QM_DEFINE_RECORD_FIELDS(MCPClientAuthorization, QM_MCP_CLIENT_AUTHORIZATION_FIELDS)
QM_DEFINE_RECORD_FIELDS(MCPAccessLog, QM_MCP_ACCESS_LOG_FIELDS)

std::filesystem::path captureImageURL(const std::filesystem::path& documentsDirectory,
                                      const Uuid& eventID, std::string_view fileName) {
  return documentsDirectory / "events" / eventID.str() / "photos" / fileName;
}

FollowUpDraft FollowUpDraft::create(std::string subjectText, std::string bodyText,
                                    std::optional<Uuid> contact) {
  FollowUpDraft d;
  d.id = Uuid::random();
  d.subject = std::move(subjectText);
  d.body = std::move(bodyText);
  d.generatedAt = now();
  d.contactID = contact;
  return d;
}

ContactReviewState ContactReviewState::create(const Uuid& contact) {
  ContactReviewState s;
  s.id = Uuid::random();
  s.contactID = contact;
  return s;
}

Opportunity Opportunity::create(std::string titleText, std::string company,
                                std::optional<Uuid> event) {
  Opportunity o;
  o.id = Uuid::random();
  o.createdAt = o.updatedAt = now();
  o.title = std::move(titleText);
  o.companyName = std::move(company);
  o.eventID = event;
  return o;
}

OpportunityStakeholder OpportunityStakeholder::create(std::optional<Uuid> contact,
                                                      std::optional<Uuid> opportunity,
                                                      std::optional<std::string> roleText) {
  OpportunityStakeholder s;
  s.id = Uuid::random();
  s.addedAt = now();
  s.contactID = contact;
  s.opportunityID = opportunity;
  s.role = std::move(roleText);
  return s;
}

SavedReport SavedReport::create(std::string type, std::string content, std::optional<Uuid> event) {
  SavedReport r;
  r.id = Uuid::random();
  r.reportType = std::move(type);
  r.reportContent = std::move(content);
  r.generatedAt = now();
  r.eventID = event;
  return r;
}

}  // namespace qm
