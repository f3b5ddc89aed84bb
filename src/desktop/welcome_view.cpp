#include "desktop/welcome_view.h"

#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"
#include "desktop/text_tone.h"

namespace qm::desktop {

WelcomeView::WelcomeView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  heading_ = new QLabel(this);
  QFont big = heading_->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  heading_->setFont(big);
  heading_->setWordWrap(true);
  heading_->setAlignment(Qt::AlignHCenter);
  text_ = new QLabel(this);
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignHCenter);
  setTextTone(text_, TextTone::secondary);
  error_ = new QLabel(this);
  error_->setWordWrap(true);
  error_->setAlignment(Qt::AlignHCenter);
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_->setAccessibleName(tr("Demo data error"));
  setTextTone(error_, TextTone::error);
  error_->hide();

  phone_ = new QPushButton(this);
  phone_->setDefault(true);
  demo_ = new QPushButton(tr("Try with Demo Data"), this);
  demo_->setToolTip(tr("Add a made-up event with 25 contacts to look around"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(phone_);
  buttons->addWidget(demo_);
  buttons->addStretch(1);

  // A column of readable width in the middle of the area, whatever its size.
  auto* column = new QWidget(this);
  column->setMaximumWidth(460);
  auto* columnLayout = new QVBoxLayout(column);
  columnLayout->setSpacing(12);
  columnLayout->addWidget(heading_);
  columnLayout->addWidget(text_);
  columnLayout->addSpacing(8);
  columnLayout->addLayout(buttons);
  columnLayout->addWidget(error_);
  // The column takes the width it may have, so its wrapped texts know their
  // height; centred by the stretches on either side.
  column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(column, 4);
  row->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->addStretch(2);
  layout->addLayout(row);
  layout->addStretch(3);

  connect(phone_, &QPushButton::clicked, this, [this] {
    if (paired_)
      Q_EMIT importRequested();
    else
      Q_EMIT pairRequested();
  });
  connect(demo_, &QPushButton::clicked, this, &WelcomeView::addDemoData);
  showTexts();
}

void WelcomeView::setPaired(bool paired) {
  if (paired == paired_) return;
  paired_ = paired;
  showTexts();
}

void WelcomeView::showTexts() {
  if (paired_) {
    heading_->setText(tr("Your phone is paired"));
    text_->setText(
        tr("Import the phone's events to see their contacts here, or look around "
           "with a demo event first."));
    phone_->setText(tr("Import Events…"));
  } else {
    heading_->setText(tr("Welcome to Quillmere"));
    text_->setText(
        tr("Pair your phone to bring over the contacts you capture at trade shows, "
           "or look around with a demo event first."));
    phone_->setText(tr("Pair Your Phone…"));
  }
}

void WelcomeView::addDemoData() {
  demo_->setEnabled(false);
  error_->hide();
  QPointer<WelcomeView> self(this);
  context_.link.request(
      {{"command", "demo.add"}}, [self](const QJsonObject& result, const QString& error) {
        if (!self) return;
        self->demo_->setEnabled(true);
        const auto eventID = uuidFromText(result.value("eventID").toString());
        if (!error.isEmpty() || !eventID) {
          self->error_->setText(
              tr("Cannot add the demo data: %1")
                  .arg(error.isEmpty() ? tr("the companion did not name the new event") : error));
          self->error_->show();
          return;
        }
        Q_EMIT self->demoAdded(*eventID);
      });
}

}  // namespace qm::desktop
