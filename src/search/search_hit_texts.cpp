#include "search/search_hit_texts.h"

#include <unicode/currunit.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>

#include <cmath>
#include <cstdio>

#include "common/text.h"
#include "store/contact.h"
#include "store/opportunity.h"

namespace qm {

namespace {

std::string countOfContacts(std::int64_t contacts) {
  return std::to_string(contacts) + (contacts == 1 ? " contact" : " contacts");
}

/// The whole-number part of `value` as digits.
std::string wholeNumber(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.0f", std::trunc(value));
  return buffer;
}

}  // namespace

std::optional<std::string> contactSecondaryText(const Contact& contact) {
  const bool hasTitle = hasText(contact.title);
  const bool hasCompany = !contact.company.empty();
  if (hasTitle && hasCompany) return *contact.title + " at " + contact.company;
  if (hasCompany) return contact.company;
  if (hasTitle) return *contact.title;
  if (hasText(contact.email)) return *contact.email;
  return std::nullopt;
}

std::string companySecondaryText(std::int64_t contacts,
                                 const std::optional<std::string>& industry) {
  std::string text = countOfContacts(contacts);
  if (hasText(industry)) text += " · " + *industry;
  return text;
}

std::string formatWholeCurrency(double value, std::string_view currency, std::string_view locale) {
  const std::string fallback = std::string(currency) + " " + wholeNumber(value);
  if (!std::isfinite(value)) return fallback;
  UErrorCode status = U_ZERO_ERROR;
  const icu::CurrencyUnit unit(
      icu::StringPiece(currency.data(), static_cast<std::int32_t>(currency.size())), status);
  if (U_FAILURE(status)) return fallback;
  const icu::Locale where =
      locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
  const auto formatter = icu::number::NumberFormatter::withLocale(where).unit(unit).precision(
      icu::number::Precision::integer());
  const auto formatted = formatter.formatDouble(value, status);
  if (U_FAILURE(status)) return fallback;
  const icu::UnicodeString text = formatted.toString(status);
  if (U_FAILURE(status)) return fallback;
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::string opportunitySecondaryText(const Opportunity& opportunity, std::string_view locale) {
  if (opportunity.value && *opportunity.value > 0)
    return formatWholeCurrency(*opportunity.value, opportunity.currency, locale) + " · " +
           opportunity.stage;
  return opportunity.stage;
}

std::string eventSecondaryText(const std::optional<std::string>& location, std::int64_t contacts) {
  std::string text;
  if (hasText(location)) text = *location + " · ";
  return text + countOfContacts(contacts);
}

}  // namespace qm
