#include "desktop/detail/detail_opportunities.h"

#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/confirmation.h"
#include "desktop/detail/detail_edits.h"
#include "desktop/detail/pane_text.h"
#include "desktop/locale_text.h"
#include "desktop/opportunity_edit_dialog.h"
#include "desktop/qt_text.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"

namespace qm::desktop {

namespace {

/// The user's pipeline stages as the companion keeps them.
std::vector<PipelineStage> pipelineStages(const DesktopContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  return PipelineManager(defaults).stages();
}

}  // namespace

DetailOpportunities::DetailOpportunities(DesktopContext& context, DetailEdits& edits,
                                         QAction* newOpportunity, QWidget* parent)
    : QWidget(parent), context_(context), edits_(edits) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  QPushButton* add = actionButton(newOpportunity, this);
  add->setObjectName(QStringLiteral("newOpportunity"));
  layout->addLayout(titleRow(tr("Opportunities"), add, this));
}

void DetailOpportunities::showRecord(const ContactRecord& record) {
  contact_ = record.contact;
  delete body_;
  body_ = new QWidget(this);
  auto* layout = new QVBoxLayout(body_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  std::vector<std::string> currencies;
  for (const Opportunity& o : record.opportunities)
    if (o.value) currencies.push_back(o.currency);
  const CurrencyMark mark = currencyMarkFor(currencies);
  for (std::size_t i = 0; i < record.opportunities.size(); ++i) {
    const Opportunity& o = record.opportunities[i];
    QLabel* title = paneText(o.title.empty() ? tr("Untitled opportunity") : qs(o.title), body_);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto* row = new QHBoxLayout;
    row->addWidget(paneDetail(joined({qs(o.companyName), qs(o.stage),
                                      o.value ? moneyText(*o.value, o.currency, mark) : QString(),
                                      qs(o.timeline), qs(record.roles[i])}),
                              body_),
                   1);
    QPushButton* edit = recordButton(tr("Edit…"), tr("Edit opportunity"), body_);
    connect(edit, &QPushButton::clicked, this, [this, o] { editOpportunity(o); });
    QPushButton* remove = recordButton(tr("Delete…"), tr("Delete opportunity"), body_);
    connect(remove, &QPushButton::clicked, this, [this, o] { deleteOpportunity(o); });
    row->addWidget(edit, 0, Qt::AlignTop);
    row->addWidget(remove, 0, Qt::AlignTop);
    row->setContentsMargins(0, 0, 0, 8);
    layout->addLayout(row);
  }
  // Added to a shown pane, it would otherwise show only at the next turn.
  this->layout()->addWidget(body_);
  body_->show();
}

void DetailOpportunities::newOpportunity() {
  if (!contact_) return;
  const Contact about = *contact_;
  Opportunity blank = Opportunity::create("", about.company, about.eventID);
  const auto stages = pipelineStages(context_);
  if (!stages.empty()) blank.stage = stages.front().name;
  OpportunityEditDialog dialog(blank, stages, true, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QJsonObject request = dialog.fields();
  request[QStringLiteral("command")] = QStringLiteral("opportunity.create");
  request[QStringLiteral("contactID")] = uuidText(about.id);
  edits_.send(about.id, request, [this, id = about.id](const QJsonObject&) {
    edits_.showDone(id, tr("Opportunity saved."));
  });
}

void DetailOpportunities::editOpportunity(const Opportunity& opportunity) {
  if (!contact_) return;
  const Uuid contactID = contact_->id;
  OpportunityEditDialog dialog(opportunity, pipelineStages(context_), false, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QJsonObject request = dialog.fields();
  if (request.isEmpty()) return;
  // Undo sends back the fields as they were before this edit.
  QJsonObject undo;
  const QJsonObject was = opportunityFields(opportunity);
  for (auto it = request.begin(); it != request.end(); ++it) undo[it.key()] = was.value(it.key());
  const QString id = uuidText(opportunity.id);
  request[QStringLiteral("command")] = undo[QStringLiteral("command")] =
      QStringLiteral("opportunity.update");
  request[QStringLiteral("id")] = undo[QStringLiteral("id")] = id;
  edits_.send(contactID, request,
              [this, undo, contactID, title = qs(opportunity.title)](const QJsonObject&) {
                edits_.showDone(contactID, tr("Opportunity saved."));
                edits_.offerUndo(tr("Edit of %1").arg(title), undo);
              });
}

void DetailOpportunities::deleteOpportunity(const Opportunity& opportunity) {
  if (!contact_) return;
  const Uuid contactID = contact_->id;
  if (!confirm(this, {tr("Delete Opportunity?"),
                      tr("“%1” and its links to contacts will be deleted. This cannot be undone.")
                          .arg(qs(opportunity.title)),
                      {},
                      tr("Delete Opportunity")}))
    return;
  edits_.send(contactID,
              {{QStringLiteral("command"), QStringLiteral("opportunity.delete")},
               {QStringLiteral("id"), uuidText(opportunity.id)}},
              [this, contactID](const QJsonObject&) {
                edits_.showDone(contactID, tr("Opportunity deleted."));
              });
}

}  // namespace qm::desktop
