#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"

namespace qm::desktop {

// How the window writes dates, amounts of money and counts in the user's
// locale. Every list, pane and line of the window goes through these, so a
// value reads the same wherever it is shown.

/// The locale's date with the month by name and no weekday: "Dec 7, 2026",
/// "7 déc. 2026", never the all-digit "12/7/26" whose order differs by country.
QString mediumDate(const std::optional<Date>& date, const QLocale& locale = QLocale());
QString mediumDate(const QDate& date, const QLocale& locale = QLocale());

/// `mediumDate` and the locale's short time: "Dec 7, 2026 9:30 AM", "7 déc. 2026 09:30".
/// A QDateTime is shown in local time.
QString mediumDateTime(const std::optional<Date>& date, const QLocale& locale = QLocale());
QString mediumDateTime(const QDateTime& at, const QLocale& locale = QLocale());

/// How an amount names its currency.
enum class CurrencyMark {
  /// The currency's sign where it has a well-known one ("€188,000.00",
  /// "188 000,00 €"), else its ISO code.
  symbol,
  /// The ISO code ("EUR 188,000.00", "188 000,00 EUR"): for amounts shown
  /// together in several currencies, where "$" could be read as another dollar.
  code,
};

/// `code` when `currencies` (ISO codes, letter case and empty ones aside)
/// name more than one currency, else `symbol`.
CurrencyMark currencyMarkFor(const std::vector<std::string>& currencies);

/// An amount as the locale writes money, with the currency's sign or ISO code
/// where the locale puts it. The digits follow the currency (none for the yen).
/// A currency the window knows no sign of is written with its code ("CHF 12.00");
/// with no currency the amount is written alone ("12,500.00").
QString moneyText(double amount, std::string_view currency,
                  CurrencyMark mark = CurrencyMark::symbol, const QLocale& locale = QLocale());

}  // namespace qm::desktop
