#include "desktop/detail/detail_drafts.h"

#include <QLabel>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/detail/pane_text.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

DetailDrafts::DetailDrafts(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(sectionTitle(tr("Drafts"), this));
}

void DetailDrafts::showRecord(const ContactRecord& record) {
  delete body_;
  body_ = nullptr;
  setVisible(!record.drafts.empty());
  if (record.drafts.empty()) return;
  body_ = new QWidget(this);
  auto* layout = new QVBoxLayout(body_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (const FollowUpDraft& d : record.drafts) {
    const QString subject = d.subject.empty() ? tr("(no subject)") : qs(d.subject);
    auto* link = new QLabel(body_);
    link->setTextFormat(Qt::RichText);
    link->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(uuidText(d.id), subject.toHtmlEscaped()));
    link->setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    link->setSizePolicy(policy);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setAccessibleName(tr("Draft: %1").arg(subject));
    link->setToolTip(tr("Show this draft"));
    connect(link, &QLabel::linkActivated, this, [this](const QString& href) {
      if (auto id = uuidFromText(href)) Q_EMIT draftChosen(*id);
    });
    layout->addWidget(link);
    const auto status = parseEnum<DraftStatus>(d.status);
    QLabel* about = paneDetail(joined({status ? coreText(displayLabel(*status)) : qs(d.status),
                                       mediumDate(d.editedAt.value_or(d.generatedAt))}),
                               body_);
    about->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(about);
  }
  // Added to a shown pane, it would otherwise show only at the next turn.
  this->layout()->addWidget(body_);
  body_->show();
}

}  // namespace qm::desktop
