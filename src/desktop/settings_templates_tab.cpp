#include "desktop/settings_templates_tab.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <utility>
#include <variant>

#include "desktop/qt_text.h"
#include "settings/app_settings.h"
#include "settings/effective_language.h"
#include "settings/follow_up_template_defaults.h"
#include "settings/follow_up_template_form.h"

namespace qm::desktop {

namespace {

/// What a placeholder stands for, as the list beside the editor says it.
QString meaningOf(std::string_view placeholder) {
  if (placeholder == "firstName")
    return TemplatesSettingsTab::tr("first name (the full name when there is none)");
  if (placeholder == "fullName") return TemplatesSettingsTab::tr("full name");
  if (placeholder == "company") return TemplatesSettingsTab::tr("company");
  if (placeholder == "title") return TemplatesSettingsTab::tr("job title");
  if (placeholder == "event") return TemplatesSettingsTab::tr("the event's name");
  if (placeholder == "meetingDate")
    return TemplatesSettingsTab::tr("the day you met, in the draft's language");
  if (placeholder == "noteFirstLine")
    return TemplatesSettingsTab::tr("first line of your newest note about them");
  if (placeholder == "myName")
    return TemplatesSettingsTab::tr("your name (sender name, else display name)");
  return {};
}

}  // namespace

TemplatesSettingsTab::TemplatesSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  tone_ = new QComboBox(this);
  tone_->setObjectName(QStringLiteral("templateTone"));
  tone_->setAccessibleName(tr("Tone of the template"));
  tone_->addItem(tr("Warm"));
  tone_->addItem(tr("Neutral"));
  tone_->addItem(tr("Formal"));
  tone_->setCurrentIndex(shownTone_);
  restore_ = new QPushButton(tr("Restore Default"), this);
  restore_->setObjectName(QStringLiteral("restoreTemplate"));
  restore_->setAccessibleName(tr("Restore the built-in template of this tone"));
  editor_ = new QPlainTextEdit(this);
  editor_->setObjectName(QStringLiteral("templateText"));
  editor_->setAccessibleName(tr("Template"));
  editor_->setTabChangesFocus(true);
  editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  placeholders_ = new QListWidget(this);
  placeholders_->setObjectName(QStringLiteral("templatePlaceholders"));
  placeholders_->setAccessibleName(tr("Placeholders"));
  placeholders_->setWordWrap(true);
  for (const std::string_view name : kFollowUpPlaceholders) {
    const QString written = QStringLiteral("{%1}").arg(qs(name));
    auto* item = new QListWidgetItem(written + QStringLiteral("\n") + meaningOf(name));
    item->setData(Qt::UserRole, written);
    item->setToolTip(tr("Double-click or press Enter to insert %1").arg(written));
    placeholders_->addItem(item);
  }
  error_ = makeErrorLabel();
  error_->setObjectName(QStringLiteral("templateError"));

  auto* about = new QLabel(
      tr("“Write from Template” writes a follow-up at once from the tone's template, and a batch "
         "does when no AI endpoint is set up and the phone is not connected. The first line is "
         "the subject (“Subject: …”), then a blank line and the message. A line whose placeholder "
         "has no value for a contact is left out. Changes are kept as you type."),
      this);
  about->setWordWrap(true);
  auto* toneRow = new QHBoxLayout;
  auto* toneLabel = new QLabel(tr("&Tone:"), this);
  toneLabel->setBuddy(tone_);
  toneRow->addWidget(toneLabel);
  toneRow->addWidget(tone_);
  toneRow->addStretch(1);
  toneRow->addWidget(restore_);
  auto* side = new QVBoxLayout;
  auto* listLabel = new QLabel(tr("&Placeholders:"), this);
  listLabel->setBuddy(placeholders_);
  side->addWidget(listLabel);
  side->addWidget(placeholders_, 1);
  auto* editing = new QHBoxLayout;
  editing->addWidget(editor_, 3);
  editing->addLayout(side, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("Follow-Up Templates")));
  layout->addWidget(about);
  layout->addLayout(toneRow);
  layout->addLayout(editing, 1);
  layout->addWidget(error_);

  commitTimer_.setSingleShot(true);
  commitTimer_.setInterval(700);
  connect(&commitTimer_, &QTimer::timeout, this, [this] { commit(shownTone_); });
  connect(editor_, &QPlainTextEdit::textChanged, this, &TemplatesSettingsTab::edited);
  connect(tone_, &QComboBox::currentIndexChanged, this, &TemplatesSettingsTab::showTone);
  connect(restore_, &QPushButton::clicked, this, &TemplatesSettingsTab::restoreDefault);
  connect(placeholders_, &QListWidget::itemActivated, this,
          &TemplatesSettingsTab::insertPlaceholder);
}

QString TemplatesSettingsTab::problemText(const QString& text) {
  using Kind = TemplateProblem::Kind;
  const auto read = readFollowUpTemplate(utf8(text));
  const auto* problem = std::get_if<TemplateProblem>(&read);
  if (problem == nullptr) return {};
  const QString written = qs(problem->written);
  switch (problem->kind) {
    case Kind::noSubjectLine:
      return tr("The first line must give the subject, as “Subject: …”.");
    case Kind::emptySubject:
      return tr("The subject line is empty.");
    case Kind::noBody:
      return tr("The template has no message: write it below the subject, after a blank line.");
    case Kind::unknownPlaceholder:
      return tr("Unknown placeholder %1 on line %2. The placeholders are those of the list.")
          .arg(written)
          .arg(problem->line);
    case Kind::unclosedPlaceholder:
      return tr("The placeholder %1 on line %2 has no closing }.").arg(written).arg(problem->line);
    case Kind::strayClosingBrace:
      return tr("The } on line %1 closes no placeholder; write }} for a brace.").arg(problem->line);
  }
  return qs(problem->message());
}

QString TemplatesSettingsTab::builtIn(int tone) const {
  return qs(builtInFollowUpTemplate(kFollowUpTemplateSettings.at(tone).tone, language_));
}

QString TemplatesSettingsTab::keyOf(int tone) const {
  return qs(kFollowUpTemplateSettings.at(tone).key);
}

void TemplatesSettingsTab::reload() {
  const StoredSettings stored = readSettings();
  language_ = effectiveLanguage(stored.settings->appLanguage());
  for (int tone = 0; tone < static_cast<int>(templates_.size()); ++tone) {
    ToneTemplate& t = templates_[tone];
    const auto kept = stored.settings->get(utf8(keyOf(tone)));
    t.kept = kept ? qs(*kept) : QString();
    // A text not yet kept (one with a mistake) stays as typed.
    if (!t.pending) t.shown = t.kept.isEmpty() ? builtIn(tone) : t.kept;
  }
  showTone(tone_->currentIndex());
}

void TemplatesSettingsTab::showTone(int tone) {
  if (tone < 0) return;
  // What was typed for the tone shown so far is kept (or its mistake
  // remembered) before the editor shows another.
  if (commitTimer_.isActive() && shownTone_ != tone) {
    commitTimer_.stop();
    commit(shownTone_);
  }
  shownTone_ = tone;
  const ToneTemplate& t = templates_[tone];
  if (editor_->toPlainText() != t.shown) {
    const QSignalBlocker quiet(editor_);
    editor_->setPlainText(t.shown);
  }
  showText(error_, t.pending ? problemText(t.shown) : QString());
}

void TemplatesSettingsTab::edited() {
  ToneTemplate& t = templates_[shownTone_];
  t.shown = editor_->toPlainText();
  t.pending = true;
  // A mistake shown goes as soon as it is corrected; a new one waits for the pause.
  if (!error_->isHidden() && problemText(t.shown).isEmpty()) showText(error_, {});
  commitTimer_.start();
}

void TemplatesSettingsTab::commit(int tone) {
  ToneTemplate& t = templates_[tone];
  if (!t.pending) return;
  const QString problem = problemText(t.shown);
  if (!problem.isEmpty()) {
    if (tone == shownTone_) showText(error_, problem);
    return;
  }
  // The built-in text is kept as no template of one's own, so that it
  // follows the language.
  const QString value = t.shown == builtIn(tone) ? QString() : t.shown;
  if (value == t.kept) {
    t.pending = false;
    return;
  }
  // Taken as kept from now on, so that a change made before the answer
  // (Restore Default at once) is compared with it; a refusal takes it back.
  const QString sent = t.shown;
  const QString before = std::exchange(t.kept, value);
  QPointer<TemplatesSettingsTab> self(this);
  setSetting(keyOf(tone), value, [self, tone, sent, value, before](const QString& error) {
    if (!self) return;
    ToneTemplate& now = self->templates_[tone];
    if (!error.isEmpty()) {
      if (now.kept == value) now.kept = before;
      if (tone == self->shownTone_) showText(self->error_, error);
      return;
    }
    if (now.shown == sent) now.pending = false;
  });
}

void TemplatesSettingsTab::restoreDefault() {
  commitTimer_.stop();
  ToneTemplate& t = templates_[shownTone_];
  t.shown = builtIn(shownTone_);
  t.pending = true;
  showTone(shownTone_);
  commit(shownTone_);
}

void TemplatesSettingsTab::insertPlaceholder(QListWidgetItem* item) {
  editor_->insertPlainText(item->data(Qt::UserRole).toString());
  editor_->setFocus();
}

}  // namespace qm::desktop
