#include "desktop/locale_text.h"

#include <QRegularExpression>
#include <algorithm>
#include <set>

#include "desktop/qt_text.h"

namespace qm::desktop {

namespace {

/// The locale's long date format without the weekday and with the month's
/// short name: "dddd, MMMM d, yyyy" becomes "MMM d, yyyy".
QString mediumDateFormat(const QLocale& locale) {
  QString format = locale.dateFormat(QLocale::LongFormat);
  static const QRegularExpression kWeekday(QStringLiteral("d{3,4}"));
  static const QRegularExpression kEdges(QStringLiteral("^[\\s,.،]+|[\\s,،]+$"));
  format.remove(kWeekday).remove(kEdges);
  format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
  return format;
}

/// The locale's short time without the seconds some locales add.
QString shortTimeFormat(const QLocale& locale) {
  static const QRegularExpression kSeconds(QStringLiteral("[:.]ss"));
  return locale.timeFormat(QLocale::ShortFormat).remove(kSeconds);
}

/// A currency the window writes with its sign, and its digits after the point.
struct KnownCurrency {
  const char* code;
  const char* sign;
  int digits;
};

// Signs that name one currency wherever they are read. The Canadian or the
// Australian dollar has none here: "$" alone is the US dollar, and those are
// written with their code unless they are the locale's own currency.
constexpr KnownCurrency kKnownCurrencies[] = {
    {"EUR", "€", 2}, {"USD", "$", 2}, {"GBP", "£", 2}, {"JPY", "¥", 0},
    {"INR", "₹", 2}, {"KRW", "₩", 0}, {"ILS", "₪", 2},
};

const KnownCurrency* knownCurrency(const QString& code) {
  for (const KnownCurrency& known : kKnownCurrencies)
    if (code == QLatin1String(known.code)) return &known;
  return nullptr;
}

QString normalisedCode(std::string_view currency) {
  return qs(currency).trimmed().toUpper();
}

/// The sign `code` is written with in `locale`: the locale's own sign for its
/// own currency, else the known sign unless the locale's own currency uses it
/// too (a US dollar in Canada), else the code.
QString currencySign(const QString& code, const QLocale& locale) {
  const QString ownSign = locale.currencySymbol(QLocale::CurrencySymbol);
  if (code == locale.currencySymbol(QLocale::CurrencyIsoCode) && !ownSign.isEmpty()) return ownSign;
  const KnownCurrency* known = knownCurrency(code);
  if (!known) return code;
  const QString sign = QString::fromUtf8(known->sign);
  return sign == ownSign ? code : sign;
}

/// Keeps a sign made of letters ("EUR") apart from the digits next to it, as
/// locales that glue "$" or "€" to the amount would write "EUR188,000.00".
QString spacedApart(QString text, const QString& sign) {
  const qsizetype at = text.indexOf(sign);
  if (at < 0 || sign.isEmpty()) return text;
  const qsizetype end = at + sign.size();
  constexpr QChar kNoBreakSpace(0x00A0);
  if (end < text.size() && text[end].isDigit() && sign.back().isLetter())
    text.insert(end, kNoBreakSpace);
  if (at > 0 && text[at - 1].isDigit() && sign.front().isLetter()) text.insert(at, kNoBreakSpace);
  return text;
}

}  // namespace

QString mediumDate(const QDate& date, const QLocale& locale) {
  if (!date.isValid()) return {};
  return locale.toString(date, mediumDateFormat(locale));
}

QString mediumDate(const std::optional<Date>& date, const QLocale& locale) {
  if (!date) return {};
  return mediumDate(toQDateTime(*date).date(), locale);
}

QString mediumDateTime(const QDateTime& at, const QLocale& locale) {
  if (!at.isValid()) return {};
  const QDateTime local = at.toLocalTime();
  return mediumDate(local.date(), locale) + QLatin1Char(' ') +
         locale.toString(local.time(), shortTimeFormat(locale));
}

QString mediumDateTime(const std::optional<Date>& date, const QLocale& locale) {
  if (!date) return {};
  return mediumDateTime(toQDateTime(*date), locale);
}

CurrencyMark currencyMarkFor(const std::vector<std::string>& currencies) {
  std::set<QString> named;
  for (const std::string& currency : currencies) {
    const QString code = normalisedCode(currency);
    if (!code.isEmpty()) named.insert(code);
  }
  return named.size() > 1 ? CurrencyMark::code : CurrencyMark::symbol;
}

QString moneyText(double amount, std::string_view currency, CurrencyMark mark,
                  const QLocale& locale) {
  const QString code = normalisedCode(currency);
  const KnownCurrency* known = knownCurrency(code);
  const int digits = known ? known->digits : 2;
  if (code.isEmpty()) return locale.toString(amount, 'f', digits);
  const QString sign = mark == CurrencyMark::code ? code : currencySign(code, locale);
  return spacedApart(locale.toCurrencyString(amount, sign, digits), sign);
}

}  // namespace qm::desktop
