#include "desktop/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QtGlobal>

namespace qm::desktop {

namespace {

constexpr const char* kCoreContext = "CoreText";
const QString kTranslatorName = QStringLiteral("quillmere-translator");

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
  if (locale.language() != QLocale::French) return locale;
  if (!install(app, locale, QStringLiteral("quillmere_desktop"), QStringLiteral(":/i18n")))
    qWarning("The French catalogue of the window is missing");
  // Qt's own texts (standard buttons, the file dialog) when Qt's catalogues are installed.
  install(app, locale, QStringLiteral("qtbase"),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  return locale;
}

QString coreText(std::string_view english) {
  const QByteArray key(english.data(), static_cast<qsizetype>(english.size()));
  return QCoreApplication::translate(kCoreContext, key.constData());
}

}  // namespace qm::desktop
