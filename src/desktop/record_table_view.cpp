#include "desktop/record_table_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <unordered_map>

#include "common/log.h"
#include "desktop/qt_text.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

constexpr int kRecordRole = Qt::UserRole;
constexpr int kContactRole = Qt::UserRole + 1;

QTreeWidget* makeTree(QWidget* parent, const QString& name, const QStringList& headers) {
  auto* tree = new QTreeWidget(parent);
  tree->setAccessibleName(name);
  tree->setRootIsDecorated(false);
  tree->setUniformRowHeights(true);
  tree->setAlternatingRowColors(true);
  tree->setHeaderLabels(headers);
  tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tree->header()->setStretchLastSection(false);
  return tree;
}

QLabel* makeEmpty(QWidget* parent, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  return label;
}

void selectRecord(QTreeWidget* tree, const Uuid& id) {
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = tree->topLevelItem(i);
    if (uuidFromText(item->data(0, kRecordRole).toString()) == id) {
      tree->setCurrentItem(item);
      tree->scrollToItem(item, QAbstractItemView::PositionAtCenter);
      return;
    }
  }
}

}  // namespace

OpportunitiesView::OpportunitiesView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  auto* layout = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  tree_ = makeTree(pages_, tr("Opportunities"),
                   {tr("Opportunity"), tr("Company"), tr("Stage"), tr("Value"), tr("Timeline"),
                    tr("Confidence"), tr("Next step")});
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) Q_EMIT contactChosen(uuidFromText(item->data(0, kContactRole).toString()));
  });
  pages_->addWidget(tree_);
  pages_->addWidget(makeEmpty(pages_, tr("No opportunities for this event yet.")));
  layout->addWidget(pages_);
}

void OpportunitiesView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  reload();
}

void OpportunitiesView::reload() {
  tree_->clear();
  std::vector<Opportunity> opportunities;
  if (eventID_) {
    auto read = opportunitiesOf(context_.store, *eventID_);
    if (read) {
      opportunities = std::move(*read);
    } else {
      log::data().error("Cannot read the opportunities: {}", read.error().message);
    }
  }
  for (const Opportunity& o : opportunities) {
    auto* item = new QTreeWidgetItem(tree_, {qs(o.title), qs(o.companyName), qs(o.stage),
                                             o.value ? moneyText(*o.value, o.currency) : QString(),
                                             qs(o.timeline), qs(o.confidence), qs(o.nextStep)});
    item->setData(0, kRecordRole, uuidText(o.id));
    if (o.originContactID) item->setData(0, kContactRole, uuidText(*o.originContactID));
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  }
  pages_->setCurrentIndex(opportunities.empty() ? 1 : 0);
}

void OpportunitiesView::reveal(const Uuid& opportunityID) {
  selectRecord(tree_, opportunityID);
}

DraftsView::DraftsView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* label = new QLabel(tr("Status:"), this);
  status_ = new QComboBox(this);
  status_->setAccessibleName(tr("Show drafts with status"));
  label->setBuddy(status_);
  status_->addItem(tr("All"), QString());
  for (const char* status : {"draft", "approved", "sent", "dismissed"})
    status_->addItem(QString::fromLatin1(status), QString::fromLatin1(status));
  connect(status_, &QComboBox::currentIndexChanged, this, [this] { reload(); });
  bar->addWidget(label);
  bar->addWidget(status_);
  bar->addStretch();
  layout->addLayout(bar);
  pages_ = new QStackedWidget(this);
  tree_ = makeTree(pages_, tr("Drafts"),
                   {tr("Contact"), tr("Subject"), tr("Status"), tr("Tone"), tr("Written")});
  tree_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  tree_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  tree_->setColumnWidth(0, 180);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) Q_EMIT contactChosen(uuidFromText(item->data(0, kContactRole).toString()));
  });
  pages_->addWidget(tree_);
  pages_->addWidget(makeEmpty(pages_, tr("No drafts yet. Select met contacts and choose "
                                         "Generate Drafts.")));
  layout->addWidget(pages_);
}

void DraftsView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  const QSignalBlocker quiet(status_);
  status_->setCurrentIndex(0);
  reload();
}

void DraftsView::showStatus(const QString& status) {
  status_->setCurrentIndex(std::max(0, status_->findData(status)));
  reload();
}

void DraftsView::reload() {
  tree_->clear();
  if (!eventID_) {
    pages_->setCurrentIndex(1);
    return;
  }
  auto contacts = contactsOf(context_.store, *eventID_);
  auto drafts = context_.store.fetch<FollowUpDraft>();
  if (!contacts || !drafts) {
    log::data().error("Cannot read the drafts: {}",
                      (!contacts ? contacts.error() : drafts.error()).message);
    return;
  }
  std::unordered_map<Uuid, const Contact*> byID;
  for (const Contact& c : *contacts) byID.emplace(c.id, &c);
  const QString wanted = status_->currentData().toString();
  int shown = 0;
  for (const FollowUpDraft& d : *drafts) {
    if (!d.contactID) continue;
    const auto contact = byID.find(*d.contactID);
    if (contact == byID.end()) continue;
    if (!wanted.isEmpty() && qs(d.status) != wanted) continue;
    auto* item = new QTreeWidgetItem(tree_, {qs(contact->second->fullName()), qs(d.subject),
                                             qs(d.status), qs(d.tone), shortDate(d.generatedAt)});
    item->setData(0, kRecordRole, uuidText(d.id));
    item->setData(0, kContactRole, uuidText(*d.contactID));
    ++shown;
  }
  pages_->setCurrentIndex(shown == 0 ? 1 : 0);
}

void DraftsView::reveal(const Uuid& draftID) {
  {
    const QSignalBlocker quiet(status_);
    status_->setCurrentIndex(0);
  }
  reload();
  selectRecord(tree_, draftID);
}

}  // namespace qm::desktop
