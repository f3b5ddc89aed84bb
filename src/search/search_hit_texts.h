#pragma once

// The texts a hit shows under its name, built the same way by the index and by
// the plain scan.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

struct Contact;
struct Opportunity;

/// "title at company", else the company, else the title, else the e-mail;
/// nothing when all are empty.
std::optional<std::string> contactSecondaryText(const Contact& contact);

/// "3 contacts", "1 contact", followed by " · industry" when there is one.
std::string companySecondaryText(std::int64_t contacts, const std::optional<std::string>& industry);

/// The stage, preceded by the value and " · " when the value is above 0.
/// `locale` is an ICU locale name; empty means the user's.
std::string opportunitySecondaryText(const Opportunity& opportunity, std::string_view locale);

/// `value` in `currency` without fraction digits, as `locale` writes money
/// ("€12,500" in en_US); the code, a blank and the whole number ("ZZZZ 12500")
/// when the code is no currency ICU can format.
std::string formatWholeCurrency(double value, std::string_view currency, std::string_view locale);

/// "location · " when there is a location, then "N contacts" / "1 contact".
std::string eventSecondaryText(const std::optional<std::string>& location, std::int64_t contacts);

}  // namespace qm
