// The window's language: the French catalogue covers every text of the
// window's sources, and with French chosen (or French as the session's
// language) the window speaks French and writes numbers and dates the French
// way.

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QXmlStreamReader>
#include <map>
#include <set>

#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/export_sheet.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/main_window.h"
#include "desktop_fixture.h"
#include "drafting/follow_up_generator.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"

namespace qm::test {
namespace {

using desktop::MainWindow;

/// One text of a catalogue: its translation(s) and whether it is finished.
struct Entry {
  QStringList translations;
  bool finished = false;
};
using Catalogue = std::map<std::pair<QString, QString>, Entry>;  // (context, source)

Catalogue readCatalogue(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  Catalogue entries;
  QXmlStreamReader xml(&file);
  QString context, source;
  Entry entry;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) {
      if (xml.isEndElement() && xml.name() == QLatin1String("message"))
        entries[{context, source}] = entry;
      continue;
    }
    if (xml.name() == QLatin1String("name")) {
      context = xml.readElementText();
    } else if (xml.name() == QLatin1String("message")) {
      entry = {};
      source.clear();
    } else if (xml.name() == QLatin1String("source")) {
      source = xml.readElementText();
    } else if (xml.name() == QLatin1String("translation")) {
      const QStringView type = xml.attributes().value(QLatin1String("type"));
      entry.finished = type.isEmpty();
      // A plural text holds its forms; a plain one its text.
      QString text;
      while (!(xml.isEndElement() && xml.name() == QLatin1String("translation")) && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("numerusform"))
          entry.translations << xml.readElementText();
        else if (xml.isCharacters())
          text += xml.text();
      }
      if (entry.translations.isEmpty()) entry.translations << text.trimmed();
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return entries;
}

/// The placeholders a text fills in: %1…%99 and the count (%n, or %Ln grouped
/// as the locale groups figures).
std::multiset<QString> placeholders(const QString& text) {
  static const QRegularExpression kPlaceholder(QStringLiteral("%(L?n|\\d{1,2})"));
  std::multiset<QString> found;
  for (auto it = kPlaceholder.globalMatch(text); it.hasNext();)
    found.insert(it.next().captured().replace(QStringLiteral("%Ln"), QStringLiteral("%n")));
  return found;
}

/// The texts of the window's sources as they are now, read the way
/// update_translations does (with `pluralOnly`, those with a count).
Catalogue scanSources(bool pluralOnly) {
  TempDir scratch;
  const std::string fresh = (scratch.path() / "fresh.ts").string();
  std::vector<std::string> args{
      DESKTOP_SOURCE_DIR, "-I",   DESKTOP_SOURCE_DIR "/..", "-extensions", "cpp,h",
      "-locations",       "none", "-no-obsolete",           "-ts",         fresh};
  if (pluralOnly) args.insert(args.end() - 2, "-pluralonly");
  const auto scanned = runCommand(LUPDATE_BINARY, args, {});
  EXPECT_EQ(scanned.exitCode, 0) << scanned.err;
  return readCatalogue(desktop::qs(fresh));
}

/// Every text of `texts` has a finished translation in `catalogue` with the
/// text's placeholders.
void expectTranslated(const Catalogue& texts, const Catalogue& catalogue) {
  QStringList missing, unfinished, wrongPlaceholders;
  for (const auto& [key, unused] : texts) {
    const QString where = key.first + QStringLiteral(": ") + key.second;
    const auto found = catalogue.find(key);
    if (found == catalogue.end()) {
      missing << where;
      continue;
    }
    const Entry& entry = found->second;
    if (!entry.finished || std::any_of(entry.translations.begin(), entry.translations.end(),
                                       [](const QString& t) { return t.trimmed().isEmpty(); })) {
      unfinished << where;
      continue;
    }
    for (const QString& translation : entry.translations)
      if (placeholders(translation) != placeholders(key.second)) wrongPlaceholders << where;
  }
  const auto list = [](const QStringList& l) {
    return l.join(QStringLiteral("\n  ")).toStdString();
  };
  EXPECT_TRUE(missing.isEmpty()) << "Not in the catalogue (build update_translations, then "
                                    "translate):\n  "
                                 << list(missing);
  EXPECT_TRUE(unfinished.isEmpty()) << "Without a finished translation:\n  " << list(unfinished);
  EXPECT_TRUE(wrongPlaceholders.isEmpty())
      << "A translation whose placeholders differ from the text's:\n  " << list(wrongPlaceholders);
}

TEST(FrenchCatalogue, TranslatesEveryTextOfTheWindowWithItsPlaceholders) {
  const Catalogue texts = scanSources(false);
  ASSERT_GT(texts.size(), 100u);
  expectTranslated(texts, readCatalogue(QStringLiteral(FRENCH_CATALOGUE)));
}

TEST(EnglishCatalogue, WritesEveryTextWithACountInTheSingularAndThePlural) {
  const Catalogue texts = scanSources(true);
  ASSERT_GT(texts.size(), 20u);
  expectTranslated(texts, readCatalogue(QStringLiteral(ENGLISH_CATALOGUE)));
}

/// 1200 with any space as the group separator.
const QString kTwelveHundred = QStringLiteral("1[\\s\\x{00A0}\\x{202F}]200");

QStringList tabTexts(const QWidget& window) {
  QStringList texts;
  for (const QTabBar* bar : window.findChildren<QTabBar*>())
    for (int i = 0; i < bar->count(); ++i) texts << bar->tabText(i);
  return texts;
}

class LanguageTest : public DesktopFixture {
 protected:
  void TearDown() override {
    // The next tests read English texts and the session's formats.
    desktop::applyLanguage(*qApp, AppLanguage::en);
    QLocale::setDefault(session_);
    DesktopFixture::TearDown();
  }

  /// What a French window shows: its own texts, the core's labels, a grouped
  /// number and a day-first date.
  void expectFrenchWindow() {
    MainWindow window(context());
    window.show();
    EXPECT_TRUE(tabTexts(window).contains("Entreprises"))
        << tabTexts(window).join(", ").toStdString();
    QStringList actions;
    for (QAction* a : window.findChild<QToolBar*>()->actions()) actions << a->text();
    EXPECT_TRUE(actions.contains("Synchroniser")) << actions.join(", ").toStdString();

    desktop::EventSidebar& sidebar = *window.sidebar();
    EXPECT_EQ(sidebar.item(0)->text(), "Tous les événements");
    // "1 200 contacts": the French group separator is a (narrow) no-break space.
    const QString details = sidebar.item(1)->data(Qt::AccessibleTextRole).toString();
    EXPECT_TRUE(details.contains(QRegularExpression(kTwelveHundred + QStringLiteral(" contacts"))))
        << details.toStdString();

    sidebar.setCurrentRow(1);
    window.setMode(MainWindow::Mode::contacts);
    desktop::ContactsView& contacts = *window.contactsView();
    QStringList chips;
    for (auto* chip : contacts.findChildren<QToolButton*>()) chips << chip->text();
    EXPECT_TRUE(chips.contains("Favoris")) << chips.join(", ").toStdString();
    EXPECT_EQ(contacts.model()
                  ->headerData(desktop::ContactListModel::company, Qt::Horizontal, Qt::DisplayRole)
                  .toString(),
              "Entreprise");

    // The first contact's note, written today, is dated day first with the
    // month by name.
    contacts.reveal(contacts.model()->contactAt(0)->id);
    const QString today = QLocale().toString(QDate::currentDate(), QStringLiteral("d MMM yyyy"));
    QStringList texts;
    for (auto* label : window.detailView()->findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.filter(today).size() > 0) << texts.join(" | ").toStdString();

    window.exportContacts();
    desktop::ExportSheet& sheet = *window.exportSheet();
    EXPECT_EQ(sheet.windowTitle(), "Exporter les contacts");
    EXPECT_TRUE(sheet.countLabel()->text().contains(QRegularExpression(
        QStringLiteral("^") + kTwelveHundred + QStringLiteral(" contacts seront exportés$"))))
        << sheet.countLabel()->text().toStdString();
    sheet.reject();
  }

  QLocale session_ = QLocale();
};

TEST_F(LanguageTest, TheFrenchSettingShowsTheWindowInFrench) {
  demoData(1200, "Salon Lyon");
  UserDefaults defaults(paths.defaultsFile());
  ASSERT_TRUE(AppSettings(defaults).setAppLanguage(AppLanguage::fr).ok());
  const QLocale chosen = desktop::applyLanguage(*qApp, AppSettings(defaults).appLanguage());
  EXPECT_EQ(chosen.language(), QLocale::French);
  expectFrenchWindow();
  // What to do when nothing can write a draft, as the companion says it.
  EXPECT_EQ(desktop::utf8(desktop::coreText(FollowUpGenerator::kNoRoute)),
            "Aucun service d’IA n’est configuré et le téléphone n’est pas connecté. Configurez "
            "un service d’IA dans Réglages ▸ IA, jumelez le téléphone ou rédigez à partir d’un "
            "modèle");

  // English again: the window's own texts are English.
  desktop::applyLanguage(*qApp, AppLanguage::en);
  MainWindow window(context());
  EXPECT_TRUE(tabTexts(window).contains("Companies")) << tabTexts(window).join(", ").toStdString();
}

// Runs as its own test with LANG=fr_FR.UTF-8 (see the CMake file); in an
// English session it has nothing to show.
TEST_F(LanguageTest, TheSystemSettingFollowsAFrenchSession) {
  if (QLocale::system().language() != QLocale::French)
    GTEST_SKIP() << "the session is not French; run with LANG=fr_FR.UTF-8";
  demoData(1200, "Salon Lyon");
  UserDefaults defaults(paths.defaultsFile());
  ASSERT_EQ(AppSettings(defaults).appLanguage(), AppLanguage::system);
  desktop::applyLanguage(*qApp, AppSettings(defaults).appLanguage());
  expectFrenchWindow();
}

/// The window's locale set for one test and the session's given back after it.
class WindowLocale : public ::testing::Test {
 protected:
  void TearDown() override {
    desktop::applyLanguage(*qApp, AppLanguage::en);
    QLocale::setDefault(session_);
  }
  static void use(const char* name) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }

  QLocale session_;
};

/// Spaces of any width as one, for comparing with the locale's no-break spaces.
std::string plainSpaces(QString text) {
  for (const char16_t space : {u'\u00A0', u'\u202F'}) text.replace(QChar(space), QLatin1Char(' '));
  return text.toStdString();
}

TEST_F(WindowLocale, MoneyReadsTheLocaleWayWithACodeWhenCurrenciesMix) {
  using desktop::CurrencyMark;
  using desktop::moneyText;
  const std::vector<std::string> euros{"EUR", "eur", ""};
  const std::vector<std::string> mixed{"EUR", "USD"};
  EXPECT_EQ(desktop::currencyMarkFor(euros), CurrencyMark::symbol);
  EXPECT_EQ(desktop::currencyMarkFor(mixed), CurrencyMark::code);

  use("en_US");
  EXPECT_EQ(plainSpaces(moneyText(188000, "EUR")), "€188,000.00");
  EXPECT_EQ(plainSpaces(moneyText(188000, "EUR", CurrencyMark::code)), "EUR 188,000.00");
  EXPECT_EQ(plainSpaces(moneyText(2500.5, "USD", CurrencyMark::code)), "USD 2,500.50");
  EXPECT_EQ(plainSpaces(moneyText(1200, "CHF")), "CHF 1,200.00");
  EXPECT_EQ(plainSpaces(moneyText(1200, "")), "1,200.00");

  use("fr_FR");
  EXPECT_EQ(plainSpaces(moneyText(188000, "EUR")), "188 000,00 €");
  EXPECT_EQ(plainSpaces(moneyText(188000, "EUR", CurrencyMark::code)), "188 000,00 EUR");
  EXPECT_EQ(plainSpaces(moneyText(2500.5, "USD")), "2 500,50 $");
  EXPECT_EQ(plainSpaces(moneyText(1200, "XYZ")), "1 200,00 XYZ");
  // The yen has no cents.
  EXPECT_EQ(plainSpaces(moneyText(1200, "JPY")), "1 200 ¥");

  // A dollar that is not the locale's own "$" is written with its code.
  use("en_CA");
  EXPECT_EQ(plainSpaces(moneyText(10, "USD")), "USD 10.00");
  EXPECT_EQ(plainSpaces(moneyText(10, "CAD")), "$10.00");
}

TEST_F(WindowLocale, DatesNameTheMonthInEveryLocale) {
  const QDate date(2026, 12, 7);
  const std::map<std::string, std::string> expected{{"en_US", "Dec 7, 2026"},
                                                    {"en_GB", "7 Dec 2026"},
                                                    {"fr_FR", "7 déc. 2026"},
                                                    {"de_DE", "7. Dez. 2026"},
                                                    {"ja_JP", "2026年12月7日"}};
  for (const auto& [name, text] : expected)
    EXPECT_EQ(desktop::mediumDate(date, QLocale(desktop::qs(name))).toStdString(), text) << name;

  const QDateTime at(date, QTime(9, 30));
  EXPECT_EQ(plainSpaces(desktop::mediumDateTime(at, QLocale(QStringLiteral("en_US")))),
            "Dec 7, 2026 9:30 AM");
  EXPECT_EQ(desktop::mediumDateTime(at, QLocale(QStringLiteral("fr_FR"))).toStdString(),
            "7 déc. 2026 09:30");
}

TEST_F(WindowLocale, CountsTakeTheSingularOrThePluralAndAreGrouped) {
  const auto selected = [](int n) {
    return plainSpaces(QCoreApplication::translate("qm::desktop::ContactsView",
                                                   "%Ln contacts selected", nullptr, n));
  };
  desktop::applyLanguage(*qApp, AppLanguage::en);
  use("en_US");
  EXPECT_EQ(selected(0), "0 contacts selected");
  EXPECT_EQ(selected(1), "1 contact selected");
  EXPECT_EQ(selected(2), "2 contacts selected");
  EXPECT_EQ(selected(20000), "20,000 contacts selected");
  // What the core says in English, grouped too.
  EXPECT_EQ(desktop::coreText("Review 20000 drafts").toStdString(), "Review 20,000 drafts");

  desktop::applyLanguage(*qApp, AppLanguage::fr);
  use("fr_FR");
  // In French, none is singular.
  EXPECT_EQ(selected(0), "0 contact sélectionné");
  EXPECT_EQ(selected(1), "1 contact sélectionné");
  EXPECT_EQ(selected(2), "2 contacts sélectionnés");
  EXPECT_EQ(selected(20000), "20 000 contacts sélectionnés");
}

}  // namespace
}  // namespace qm::test
