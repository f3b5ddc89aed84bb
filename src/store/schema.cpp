#include "store/schema.h"

#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/contact_review_state.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/mcp_records.h"
#include "store/opportunity.h"
#include "store/qlm_import_record.h"
#include "store/saved_report.h"

namespace qm {

const std::vector<const TableSchema*>& storeSchema() {
  static const std::vector<const TableSchema*> schema{
      &Store::schemaOf<Event>(),
      &Store::schemaOf<Contact>(),
      &Store::schemaOf<ContactNote>(),
      &Store::schemaOf<CaptureMedia>(),
      &Store::schemaOf<Opportunity>(),
      &Store::schemaOf<SavedReport>(),
      &Store::schemaOf<QLMImportRecord>(),
      &Store::schemaOf<FollowUpDraft>(),
      &Store::schemaOf<OpportunityStakeholder>(),
      &Store::schemaOf<ContactReviewState>(),
      &Store::schemaOf<MCPClientAuthorization>(),
      &Store::schemaOf<MCPAccessLog>(),
  };
  return schema;
}

}  // namespace qm
