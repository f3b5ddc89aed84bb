#include "desktop/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <QtGlobal>

namespace qm::desktop {

namespace {

constexpr const char* kCoreContext = "CoreText";
const QString kTranslatorName = QStringLiteral("quillmere-translator");

// The English texts the core libraries hand the window: the labels of their
// choices and the sentences of the dashboard and the contacts list. A count
// in a sentence stands as %n (and a second one as %1), as coreText looks it
// up. Listed here so that lupdate puts them in the catalogue.
[[maybe_unused]] constexpr const char* kCoreTexts[] = {
    // Filter chips and orderings of the contacts and companies lists.
    QT_TRANSLATE_NOOP("CoreText", "Favorites"),
    QT_TRANSLATE_NOOP("CoreText", "Targets"),
    QT_TRANSLATE_NOOP("CoreText", "Met"),
    QT_TRANSLATE_NOOP("CoreText", "Not Met"),
    QT_TRANSLATE_NOOP("CoreText", "Follow-Up"),
    QT_TRANSLATE_NOOP("CoreText", "Team Met"),
    QT_TRANSLATE_NOOP("CoreText", "Notes"),
    QT_TRANSLATE_NOOP("CoreText", "Name"),
    QT_TRANSLATE_NOOP("CoreText", "Company"),
    QT_TRANSLATE_NOOP("CoreText", "Tier"),
    QT_TRANSLATE_NOOP("CoreText", "Score"),
    QT_TRANSLATE_NOOP("CoreText", "Status"),
    QT_TRANSLATE_NOOP("CoreText", "Targets First"),
    QT_TRANSLATE_NOOP("CoreText", "Recently Met"),
    QT_TRANSLATE_NOOP("CoreText", "Highest Rated"),
    QT_TRANSLATE_NOOP("CoreText", "Lowest Rated"),
    QT_TRANSLATE_NOOP("CoreText", "Title"),
    QT_TRANSLATE_NOOP("CoreText", "A–Z"),
    QT_TRANSLATE_NOOP("CoreText", "Most Contacts"),
    QT_TRANSLATE_NOOP("CoreText", "Best Rated"),
    QT_TRANSLATE_NOOP("CoreText", "Most Met"),
    // Record states and kinds.
    QT_TRANSLATE_NOOP("CoreText", "Imported"),
    QT_TRANSLATE_NOOP("CoreText", "Scanned"),
    QT_TRANSLATE_NOOP("CoreText", "Manual"),
    QT_TRANSLATE_NOOP("CoreText", "Screenshot Import"),
    QT_TRANSLATE_NOOP("CoreText", "Declined"),
    QT_TRANSLATE_NOOP("CoreText", "No Show"),
    QT_TRANSLATE_NOOP("CoreText", "None"),
    QT_TRANSLATE_NOOP("CoreText", "In Progress"),
    QT_TRANSLATE_NOOP("CoreText", "Complete"),
    QT_TRANSLATE_NOOP("CoreText", "Partial"),
    QT_TRANSLATE_NOOP("CoreText", "Failed"),
    QT_TRANSLATE_NOOP("CoreText", "Awaiting Domain Verification"),
    QT_TRANSLATE_NOOP("CoreText", "Met by Teammate"),
    QT_TRANSLATE_NOOP("CoreText", "Archived"),
    QT_TRANSLATE_NOOP("CoreText", "Text"),
    QT_TRANSLATE_NOOP("CoreText", "Voice"),
    QT_TRANSLATE_NOOP("CoreText", "Handwriting"),
    QT_TRANSLATE_NOOP("CoreText", "Business Card"),
    QT_TRANSLATE_NOOP("CoreText", "Badge"),
    QT_TRANSLATE_NOOP("CoreText", "Document"),
    QT_TRANSLATE_NOOP("CoreText", "NFC"),
    QT_TRANSLATE_NOOP("CoreText", "Other"),
    QT_TRANSLATE_NOOP("CoreText", "Warm"),
    QT_TRANSLATE_NOOP("CoreText", "Neutral"),
    QT_TRANSLATE_NOOP("CoreText", "Formal"),
    QT_TRANSLATE_NOOP("CoreText", "Draft"),
    QT_TRANSLATE_NOOP("CoreText", "Approved"),
    QT_TRANSLATE_NOOP("CoreText", "Sent"),
    QT_TRANSLATE_NOOP("CoreText", "Dismissed"),
    QT_TRANSLATE_NOOP("CoreText", "This month"),
    QT_TRANSLATE_NOOP("CoreText", "This quarter"),
    QT_TRANSLATE_NOOP("CoreText", "Next quarter"),
    QT_TRANSLATE_NOOP("CoreText", "Next year"),
    QT_TRANSLATE_NOOP("CoreText", "Low"),
    QT_TRANSLATE_NOOP("CoreText", "Medium"),
    QT_TRANSLATE_NOOP("CoreText", "High"),
    // What a contact's field breaks (store/record_checks.h).
    QT_TRANSLATE_NOOP("CoreText", "A contact needs a first or a last name"),
    QT_TRANSLATE_NOOP("CoreText", "Not an e-mail address"),
    // Report sections.
    QT_TRANSLATE_NOOP("CoreText", "Executive Summary"),
    QT_TRANSLATE_NOOP("CoreText", "Performance Overview"),
    QT_TRANSLATE_NOOP("CoreText", "Companies Engaged Table"),
    QT_TRANSLATE_NOOP("CoreText", "Contacts Met Table"),
    QT_TRANSLATE_NOOP("CoreText", "Top-Priority Follow-Up"),
    QT_TRANSLATE_NOOP("CoreText", "Account / Company Opportunities"),
    QT_TRANSLATE_NOOP("CoreText", "Team Activity & Coordination"),
    QT_TRANSLATE_NOOP("CoreText", "Missed Targets & Recovery"),
    QT_TRANSLATE_NOOP("CoreText", "Key Themes & Market Insights"),
    QT_TRANSLATE_NOOP("CoreText", "Data Gaps & Recovery"),
    QT_TRANSLATE_NOOP("CoreText", "Recommended Next Actions"),
    QT_TRANSLATE_NOOP("CoreText", "Contact Appendix"),
    QT_TRANSLATE_NOOP("CoreText", "Draft Follow-Up Messages"),
    // Pairing states.
    QT_TRANSLATE_NOOP("CoreText", "Not paired"),
    QT_TRANSLATE_NOOP("CoreText", "Waiting for the phone"),
    QT_TRANSLATE_NOOP("CoreText", "Connecting"),
    QT_TRANSLATE_NOOP("CoreText", "Paired"),
    QT_TRANSLATE_NOOP("CoreText", "Reconnecting"),
    QT_TRANSLATE_NOOP("CoreText", "Pairing failed"),
    // Where the phone stands (ui/phone_state.h).
    QT_TRANSLATE_NOOP("CoreText", "Waiting for a phone to pair"),
    QT_TRANSLATE_NOOP("CoreText", "Paired with %1, not connected"),
    QT_TRANSLATE_NOOP("CoreText", "Paired with %1, reconnecting"),
    QT_TRANSLATE_NOOP("CoreText", "Connected to %1"),
    QT_TRANSLATE_NOOP("CoreText", "your phone"),
    QT_TRANSLATE_NOOP("CoreText", "Last sync: %1"),
    QT_TRANSLATE_NOOP("CoreText", "Never synced"),
    // Setting up the AI applications that use the MCP server.
    QT_TRANSLATE_N_NOOP("CoreText",
                        "Restart Claude Desktop after saving. The %n Quillmere tools will appear "
                        "in the MCP tools menu (🔌 icon)."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Restart ChatGPT Desktop after saving. Enable MCP tools in Settings → Beta "
                      "Features → MCP Servers."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Restart Claude Code. `claude mcp list` shows whether it reaches Quillmere."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Restart Cursor. The Quillmere tools appear in its settings under MCP."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Reload VS Code. The Quillmere tools appear in the chat's agent mode."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Zed reads the change at once. The Quillmere tools appear in the Agent "
                      "Panel."),
    QT_TRANSLATE_NOOP("CoreText", "Restart goose. Quillmere appears among its extensions."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Restart LM Studio. The Quillmere tools appear with its integrations."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Reload your editor. Continue reads every file in ~/.continue/mcpServers."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Open Cline's MCP Servers view in VS Code; Quillmere is listed as "
                      "installed."),
    QT_TRANSLATE_NOOP("CoreText", "Press Refresh in the MCP panel of Cascade (the plug icon)."),
    QT_TRANSLATE_NOOP("CoreText", "Restart Codex. `codex mcp list` shows the server."),
    QT_TRANSLATE_NOOP("CoreText",
                      "Restart Gemini CLI. `gemini mcp list` shows whether it reaches Quillmere."),
    // Settings choices and export scopes and formats. The language names stay
    // in their own language; the format names are names.
    QT_TRANSLATE_NOOP("CoreText", "System"),
    QT_TRANSLATE_NOOP("CoreText", "Brief"),
    QT_TRANSLATE_NOOP("CoreText", "Standard"),
    QT_TRANSLATE_NOOP("CoreText", "Detailed"),
    QT_TRANSLATE_NOOP("CoreText", "AI proxy"),
    QT_TRANSLATE_NOOP("CoreText", "Chat completions (OpenAI-compatible)"),
    QT_TRANSLATE_NOOP("CoreText", "CSV (Generic)"),
    QT_TRANSLATE_NOOP("CoreText", "All Contacts"),
    QT_TRANSLATE_NOOP("CoreText", "Met Only"),
    QT_TRANSLATE_NOOP("CoreText", "Targets Only"),
    QT_TRANSLATE_NOOP("CoreText", "Favorites Only"),
    // The dashboard and the contacts list.
    QT_TRANSLATE_NOOP("CoreText", "All caught up — no pending actions"),
    QT_TRANSLATE_N_NOOP("CoreText", "Review %n draft"),
    QT_TRANSLATE_N_NOOP("CoreText", "Review %n drafts"),
    QT_TRANSLATE_N_NOOP("CoreText", "Fix %n missing email"),
    QT_TRANSLATE_N_NOOP("CoreText", "Fix %n missing emails"),
    QT_TRANSLATE_N_NOOP("CoreText", "Follow up with %n high-priority contact"),
    QT_TRANSLATE_N_NOOP("CoreText", "Follow up with %n high-priority contacts"),
    QT_TRANSLATE_N_NOOP("CoreText", "Export %n CRM-ready contact"),
    QT_TRANSLATE_N_NOOP("CoreText", "Export %n CRM-ready contacts"),
    QT_TRANSLATE_N_NOOP("CoreText", "Review %n contact with data issues"),
    QT_TRANSLATE_N_NOOP("CoreText", "Review %n contacts with data issues"),
    QT_TRANSLATE_N_NOOP("CoreText", "Assign owners to %n contact"),
    QT_TRANSLATE_N_NOOP("CoreText", "Assign owners to %n contacts"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n event with no meetings yet"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n events with no meetings yet"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n contact missing email across %1 event"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n contact missing email across %1 events"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n contacts missing email across %1 event"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n contacts missing email across %1 events"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n opportunity without next steps"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n opportunities without next steps"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n contact without tier assignment"),
    QT_TRANSLATE_N_NOOP("CoreText", "%n contacts without tier assignment"),
    // The companion's errors a person can act on from the window.
    QT_TRANSLATE_NOOP("CoreText",
                      "No AI endpoint is set up and the phone is not connected. Set up an AI "
                      "endpoint in Settings ▸ AI, pair the phone, or write from a template"),
};

/// Loads `file` (a catalogue base name) for `locale` from `folder` and
/// installs it; false when there is no such catalogue.
bool install(QCoreApplication& app, const QLocale& locale, const QString& file,
             const QString& folder) {
  auto* translator = new QTranslator(&app);
  translator->setObjectName(kTranslatorName);
  if (!translator->load(locale, file, QStringLiteral("_"), folder)) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace

QLocale localeFor(AppLanguage language, const QLocale& session) {
  switch (language) {
    case AppLanguage::fr:
      return session.language() == QLocale::French ? session
                                                   : QLocale(QLocale::French, QLocale::France);
    case AppLanguage::en:
      return session.language() == QLocale::English
                 ? session
                 : QLocale(QLocale::English, QLocale::UnitedStates);
    case AppLanguage::system:
      break;
  }
  return session;
}

QLocale applyLanguage(QCoreApplication& app, AppLanguage language) {
  const QLocale locale = localeFor(language);
  QLocale::setDefault(locale);
  // A second call (another language) replaces what the first installed.
  for (QTranslator* old : app.findChildren<QTranslator*>(kTranslatorName)) {
    QCoreApplication::removeTranslator(old);
    delete old;
  }
  if (locale.language() != QLocale::French) {
    // English texts are the sources; the catalogue gives those with a count
    // their singular ("1 contact"), whatever the region.
    if (!install(app, QLocale(QLocale::English), QStringLiteral("quillmere_desktop"),
                 QStringLiteral(":/i18n")))
      qWarning("The English catalogue of the window is missing");
    return locale;
  }
  if (!install(app, locale, QStringLiteral("quillmere_desktop"), QStringLiteral(":/i18n")))
    qWarning("The French catalogue of the window is missing");
  // Qt's own texts (standard buttons, the file dialog) when Qt's catalogues are installed.
  install(app, locale, QStringLiteral("qtbase"),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  return locale;
}

QString coreText(std::string_view english) {
  // "3 contacts selected" is looked up as "%n contacts selected" with n = 3;
  // a second count stands as %1.
  static const QRegularExpression kNumber(QStringLiteral("\\d+"));
  const QString text = QString::fromUtf8(english.data(), static_cast<qsizetype>(english.size()));
  QString key;
  QList<qlonglong> counts;
  qsizetype from = 0;
  for (auto it = kNumber.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    key += text.mid(from, m.capturedStart() - from);
    key += counts.isEmpty() ? QStringLiteral("%n") : QStringLiteral("%%1").arg(counts.size());
    counts.push_back(m.captured().toLongLong());
    from = m.capturedEnd();
  }
  key += text.mid(from);
  const QByteArray source = key.toUtf8();
  const int n = counts.isEmpty() ? -1 : static_cast<int>(counts[0]);
  QString shown = QCoreApplication::translate(kCoreContext, source.constData(), nullptr, n);
  // No translation: the text as it came (counts written as they were, "007" too).
  if (shown == QString(key).replace(QStringLiteral("%n"), QString::number(n))) return text;
  for (qsizetype i = 1; i < counts.size(); ++i) shown = shown.arg(QLocale().toString(counts[i]));
  return shown;
}

}  // namespace qm::desktop
