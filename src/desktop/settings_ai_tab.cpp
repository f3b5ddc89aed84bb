#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/companion_link.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "settings/app_settings.h"

namespace qm::desktop {

AiSettingsTab::AiSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  kind_ = new QComboBox(this);
  kind_->setObjectName(QStringLiteral("aiEndpointKind"));
  kind_->setAccessibleName(tr("Kind of AI endpoint"));
  kind_->addItem(tr("AI proxy service"), qs(rawValue(AIEndpointKind::proxy)));
  kind_->addItem(tr("Chat completions server (OpenAI-compatible)"),
                 qs(rawValue(AIEndpointKind::chatCompletions)));
  endpoint_ = new QLineEdit(this);
  endpoint_->setObjectName(QStringLiteral("aiEndpoint"));
  endpoint_->setAccessibleName(tr("AI endpoint address"));
  endpoint_->setPlaceholderText(tr("https://… (or http:// on this computer)"));
  model_ = new QLineEdit(this);
  model_->setObjectName(QStringLiteral("aiModel"));
  model_->setAccessibleName(tr("Model"));
  token_ = new QLineEdit(this);
  token_->setObjectName(QStringLiteral("aiToken"));
  token_->setAccessibleName(tr("Token"));
  token_->setEchoMode(QLineEdit::Password);
  credential_ = new QLabel(this);
  credential_->setAccessibleName(tr("Stored token"));
  logIn_ = new QPushButton(tr("Log In"), this);
  logIn_->setObjectName(QStringLiteral("aiLogIn"));
  logIn_->setAccessibleName(tr("Keep the endpoint and its token"));
  logOut_ = new QPushButton(tr("Log Out"), this);
  logOut_->setObjectName(QStringLiteral("aiLogOut"));
  logOut_->setAccessibleName(tr("Remove the stored token"));
  test_ = new QPushButton(tr("Test Connection"), this);
  test_->setObjectName(QStringLiteral("aiTest"));
  test_->setAccessibleName(tr("Send a short request to the endpoint"));
  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("aiTestResult"));
  result_->setAccessibleName(tr("Connection test result"));
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  result_->hide();
  error_ = makeErrorLabel();
  error_->setObjectName(QStringLiteral("aiError"));

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(tr("Kind:"), kind_);
  form->addRow(tr("Address:"), endpoint_);
  form->addRow(tr("Model:"), model_);
  form->addRow(tr("Token:"), token_);
  form->addRow(QString(), credential_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(logIn_);
  buttons->addWidget(logOut_);
  buttons->addStretch(1);
  buttons->addWidget(test_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("AI Endpoint")));
  auto* about = new QLabel(tr("Follow-up drafts are written by this endpoint when one is set; "
                              "otherwise, or when it fails, by the paired phone."),
                           this);
  about->setWordWrap(true);
  layout->addWidget(about);
  layout->addLayout(form);
  layout->addLayout(buttons);
  layout->addWidget(result_);
  layout->addWidget(error_);
  layout->addStretch(1);

  connect(kind_, &QComboBox::currentIndexChanged, this, &AiSettingsTab::kindChanged);
  connect(logIn_, &QPushButton::clicked, this, &AiSettingsTab::logIn);
  connect(token_, &QLineEdit::returnPressed, this, &AiSettingsTab::logIn);
  connect(logOut_, &QPushButton::clicked, this, &AiSettingsTab::logOut);
  connect(test_, &QPushButton::clicked, this, &AiSettingsTab::testConnection);
  kindChanged();
}

void AiSettingsTab::kindChanged() {
  const bool chat =
      kind_->currentData().toString() == qs(rawValue(AIEndpointKind::chatCompletions));
  model_->setEnabled(chat);
  model_->setPlaceholderText(chat ? tr("The model the server runs") : tr("Chosen by the proxy"));
  token_->setPlaceholderText(chat ? tr("Optional for a server on this computer")
                                  : tr("The proxy's token"));
}

void AiSettingsTab::reload() {
  const StoredSettings stored = readSettings();
  kind_->setCurrentIndex(
      std::max(0, kind_->findData(qs(rawValue(stored.settings->aiEndpointKind())))));
  endpoint_->setText(qs(stored.settings->aiEndpoint()));
  model_->setText(qs(stored.settings->aiModel()));
  // Whether a token is stored is the companion's to say: it holds the keychain.
  QPointer<AiSettingsTab> self(this);
  context_.link.request({{"command", "status"}}, [self](const QJsonObject& status, const QString&) {
    if (!self || status.isEmpty()) return;
    self->showEndpoint({{"credential", status.value("aiCredentialStored")}});
  });
}

void AiSettingsTab::showEndpoint(const QJsonObject& answer) {
  const bool stored = answer.value("credential").toBool();
  credential_->setText(stored ? tr("A token is stored in the keychain.")
                              : tr("No token is stored."));
  logOut_->setEnabled(stored);
}

void AiSettingsTab::logIn() {
  QJsonObject request{{"command", "ai.login"},
                      {"endpointKind", kind_->currentData().toString()},
                      {"endpoint", endpoint_->text().trimmed()}};
  if (model_->isEnabled()) request["model"] = model_->text().trimmed();
  // An empty token field keeps the stored token.
  if (!token_->text().isEmpty()) request["token"] = token_->text();
  showText(error_, {});
  result_->hide();
  QPointer<AiSettingsTab> self(this);
  const QString sentToken = request.value("token").toString();
  context_.link.request(request,
                        [self, sentToken](const QJsonObject& answer, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) {
                            showText(self->error_, error);
                            return;
                          }
                          // Only the token this request kept leaves the field: the answer to an
                          // earlier save (of the address, say) must not wipe a token typed since.
                          if (!sentToken.isEmpty() && self->token_->text() == sentToken)
                            self->token_->clear();
                          self->showEndpoint(answer);
                          self->result_->setStyleSheet({});
                          showText(self->result_, tr("Saved."));
                        });
}

void AiSettingsTab::logOut() {
  showText(error_, {});
  result_->hide();
  QPointer<AiSettingsTab> self(this);
  context_.link.request({{"command", "ai.logout"}},
                        [self](const QJsonObject& answer, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) return showText(self->error_, error);
                          self->showEndpoint(answer);
                        });
}

void AiSettingsTab::testConnection() {
  showText(error_, {});
  result_->setStyleSheet({});
  showText(result_, tr("Testing…"));
  test_->setEnabled(false);
  QPointer<AiSettingsTab> self(this);
  context_.link.request(
      {{"command", "ai.test"}}, [self](const QJsonObject& answer, const QString& error) {
        if (!self) return;
        self->test_->setEnabled(true);
        if (!error.isEmpty()) {
          self->result_->setStyleSheet(QStringLiteral("color: #c62828;"));
          showText(self->result_, tr("✗ %1").arg(error));
          return;
        }
        self->result_->setStyleSheet(QStringLiteral("color: #2e7d32;"));
        const QString reply = answer.value("reply").toString().simplified();
        const QString provider = answer.value("provider").toString();
        showText(self->result_,
                 provider.isEmpty()
                     ? tr("✓ Connected. The endpoint answered: %1").arg(reply.left(200))
                     : tr("✓ Connected to %1. It answered: %2").arg(provider, reply.left(200)));
      });
}

}  // namespace qm::desktop
