#include "desktop/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "common/version.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

AboutDialog::AboutDialog(const AppPaths& paths, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About Quillmere"));
  auto* title = new QLabel(QStringLiteral("<h2>Quillmere</h2>"), this);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("aboutText"));
  text_->setTextFormat(Qt::PlainText);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text_->setText(tr("Version %1").arg(qs(quillmereVersion())) + QStringLiteral("\n\n") +
                 tr("The desktop companion of the Quillmere phone app.") + QStringLiteral("\n\n") +
                 tr("Store: %1").arg(qs(paths.storeFile().string())) + QLatin1Char('\n') +
                 tr("Settings: %1").arg(qs(paths.defaultsFile().string())) + QLatin1Char('\n') +
                 tr("Log: %1").arg(qs(paths.logFile().string())));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(text_);
  layout->addWidget(buttons);
}

}  // namespace qm::desktop
