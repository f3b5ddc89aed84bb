#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "settings/app_settings.h"

namespace qm::desktop {

MailSettingsTab::MailSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  chooseCAFile = [this] {
    return QFileDialog::getOpenFileName(this, tr("Certificate Authority"), QString(),
                                        tr("Certificates (*.pem *.crt);;All files (*)"));
  };
  host_ = new QLineEdit(this);
  host_->setObjectName(QStringLiteral("smtpHost"));
  host_->setAccessibleName(tr("Mail server"));
  host_->setPlaceholderText(QStringLiteral("smtp.example.com"));
  security_ = new QComboBox(this);
  security_->setObjectName(QStringLiteral("smtpSecurity"));
  security_->setAccessibleName(tr("Security"));
  security_->addItem(tr("STARTTLS (usually port 587)"), QStringLiteral("starttls"));
  security_->addItem(tr("TLS (usually port 465)"), QStringLiteral("tls"));
  security_->addItem(tr("None: only a server on this computer"), QStringLiteral("none"));
  port_ = new QLineEdit(this);
  port_->setObjectName(QStringLiteral("smtpPort"));
  port_->setAccessibleName(tr("Port"));
  port_->setMaximumWidth(90);
  user_ = new QLineEdit(this);
  user_->setObjectName(QStringLiteral("smtpUser"));
  user_->setAccessibleName(tr("User name"));
  user_->setPlaceholderText(tr("Often your e-mail address"));
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("smtpPassword"));
  password_->setAccessibleName(tr("Password"));
  password_->setEchoMode(QLineEdit::Password);
  caFile_ = new QLineEdit(this);
  caFile_->setObjectName(QStringLiteral("smtpCAFile"));
  caFile_->setAccessibleName(tr("Certificate authority file"));
  caFile_->setPlaceholderText(tr("Only for a company server with its own authority"));
  auto* chooseCA = new QPushButton(tr("Choose…"), this);
  chooseCA->setAccessibleName(tr("Choose the certificate authority file"));
  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("mailState"));
  state_->setAccessibleName(tr("Mail account state"));
  state_->setWordWrap(true);
  state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  signIn_ = new QPushButton(tr("Sign In"), this);
  signIn_->setObjectName(QStringLiteral("mailSignIn"));
  signIn_->setAccessibleName(tr("Log in to the mail server and keep the account"));
  signOut_ = new QPushButton(tr("Sign Out"), this);
  signOut_->setObjectName(QStringLiteral("mailSignOut"));
  signOut_->setAccessibleName(tr("Forget the mail account and its password"));
  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("mailResult"));
  result_->setWordWrap(true);
  result_->hide();
  error_ = makeErrorLabel();
  error_->setObjectName(QStringLiteral("mailError"));

  auto* serverRow = new QHBoxLayout;
  serverRow->addWidget(host_, 1);
  auto* portLabel = new QLabel(tr("Port:"), this);
  portLabel->setBuddy(port_);
  serverRow->addWidget(portLabel);
  serverRow->addWidget(port_);
  auto* caRow = new QHBoxLayout;
  caRow->addWidget(caFile_, 1);
  caRow->addWidget(chooseCA);
  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(tr("Server:"), serverRow);
  form->addRow(tr("Security:"), security_);
  form->addRow(tr("User:"), user_);
  form->addRow(tr("Password:"), password_);
  form->addRow(tr("Extra authority:"), caRow);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(signIn_);
  buttons->addWidget(signOut_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("Mail Server")));
  auto* about = new QLabel(tr("Follow-ups are sent through your own mail server, from the sender "
                              "address set in General. The password stays in Quillmere's "
                              "keychain."),
                           this);
  about->setWordWrap(true);
  layout->addWidget(about);
  layout->addLayout(form);
  layout->addWidget(state_);
  layout->addLayout(buttons);
  layout->addWidget(result_);
  layout->addWidget(error_);
  layout->addStretch(1);

  connect(security_, &QComboBox::currentIndexChanged, this, &MailSettingsTab::securityChanged);
  connect(signIn_, &QPushButton::clicked, this, &MailSettingsTab::signIn);
  connect(password_, &QLineEdit::returnPressed, this, &MailSettingsTab::signIn);
  connect(signOut_, &QPushButton::clicked, this, &MailSettingsTab::signOut);
  connect(chooseCA, &QPushButton::clicked, this, [this] {
    if (const QString file = chooseCAFile(); !file.isEmpty()) caFile_->setText(file);
  });
  securityChanged();
}

void MailSettingsTab::securityChanged() {
  const QString security = security_->currentData().toString();
  port_->setPlaceholderText(security == QLatin1String("tls")    ? QStringLiteral("465")
                            : security == QLatin1String("none") ? QStringLiteral("25")
                                                                : QStringLiteral("587"));
}

void MailSettingsTab::reload() {
  const StoredSettings stored = readSettings();
  host_->setText(qs(stored.settings->smtpHost()));
  port_->setText(qs(stored.settings->smtpPort()));
  security_->setCurrentIndex(std::max(0, security_->findData(qs(stored.settings->smtpSecurity()))));
  user_->setText(qs(stored.settings->smtpUser()));
  caFile_->setText(qs(stored.settings->smtpCAFile()));
  // Whether a password is stored is the companion's to say: it holds the keychain.
  QPointer<MailSettingsTab> self(this);
  context_.link.request({{"command", "mail.status"}},
                        [self](const QJsonObject& account, const QString&) {
                          if (self && !account.isEmpty()) self->showAccount(account);
                        });
}

void MailSettingsTab::showAccount(const QJsonObject& account) {
  const bool stored = account.value("passwordStored").toBool();
  password_->setPlaceholderText(stored ? tr("Stored; type a new one to replace it")
                                       : tr("Password or app password"));
  signOut_->setEnabled(stored || !account.value("host").toString().isEmpty());
  if (account.value("ready").toBool()) {
    state_->setStyleSheet({});
    state_->setText(
        tr("Ready: follow-ups go through %1 from %2.")
            .arg(account.value("host").toString(), account.value("senderEmail").toString()));
  } else {
    state_->setStyleSheet(QStringLiteral("color: #8a6d00;"));
    state_->setText(account.value("problem").toString());
  }
}

void MailSettingsTab::signIn() {
  QJsonObject request{
      {"command", "mail.login"},         {"host", host_->text().trimmed()},
      {"port", port_->text().trimmed()}, {"security", security_->currentData().toString()},
      {"user", user_->text().trimmed()}, {"caFile", caFile_->text().trimmed()}};
  // An empty field keeps the stored password.
  if (!password_->text().isEmpty()) request["password"] = password_->text();
  showText(error_, {});
  result_->setStyleSheet({});
  showText(result_, tr("Signing in…"));
  signIn_->setEnabled(false);
  QPointer<MailSettingsTab> self(this);
  const QString sentPassword = password_->text();
  context_.link.request(
      request, [self, sentPassword](const QJsonObject& answer, const QString& error) {
        if (!self) return;
        self->signIn_->setEnabled(true);
        if (!error.isEmpty()) {
          self->result_->hide();
          showText(self->error_, error);
          return;
        }
        // Only the password this request kept leaves the field.
        if (self->password_->text() == sentPassword) self->password_->clear();
        self->showAccount(answer);
        self->result_->setStyleSheet(QStringLiteral("color: #2e7d32;"));
        showText(self->result_, tr("✓ Signed in to %1.").arg(answer.value("host").toString()));
      });
}

void MailSettingsTab::signOut() {
  showText(error_, {});
  result_->hide();
  QPointer<MailSettingsTab> self(this);
  context_.link.request({{"command", "mail.logout"}},
                        [self](const QJsonObject& answer, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) return showText(self->error_, error);
                          self->reload();
                          self->showAccount(answer);
                          self->result_->setStyleSheet({});
                          showText(self->result_, tr("Signed out."));
                        });
}

}  // namespace qm::desktop
