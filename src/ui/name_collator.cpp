#include "ui/name_collator.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdint>

#include "common/text.h"

namespace qm {

struct NameCollator::Impl {
  std::unique_ptr<icu::Collator> collator;
};

NameCollator::NameCollator() : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale locale = icu::Locale::getDefault();
  // The POSIX locale's collation ranks capitals apart from small letters even
  // at secondary strength, so it cannot ignore case; the root collation can.
  if (std::string_view(locale.getVariant()) == "POSIX") locale = icu::Locale::getRoot();
  impl_->collator.reset(icu::Collator::createInstance(locale, status));
  if (U_SUCCESS(status) && impl_->collator) {
    impl_->collator->setStrength(icu::Collator::SECONDARY);
    impl_->collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
  }
  if (U_FAILURE(status)) impl_->collator.reset();
}

NameCollator::~NameCollator() = default;

NameCollator& NameCollator::forThisThread() {
  thread_local NameCollator collator;
  return collator;
}

std::string NameCollator::sortKey(std::string_view text) const {
  std::string out;
  appendSortKey(text, out);
  return out;
}

void NameCollator::appendSortKey(std::string_view text, std::string& out) const {
  if (!impl_->collator) {
    out += lowercaseUnicode(text);
    return;
  }
  const auto unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  const std::size_t start = out.size();
  std::size_t room = text.size() * 2 + 16;
  out.resize(start + room);
  auto size =
      impl_->collator->getSortKey(unicode, reinterpret_cast<std::uint8_t*>(out.data() + start),
                                  static_cast<std::int32_t>(room));
  if (size > static_cast<std::int32_t>(room)) {
    room = static_cast<std::size_t>(size);
    out.resize(start + room);
    size = impl_->collator->getSortKey(unicode, reinterpret_cast<std::uint8_t*>(out.data() + start),
                                       size);
  }
  // The key ends with a zero byte that bytewise comparison does not need.
  out.resize(start + (size > 0 ? static_cast<std::size_t>(size - 1) : 0));
}

int NameCollator::compare(std::string_view a, std::string_view b) const {
  if (!impl_->collator) return lowercaseUnicode(a).compare(lowercaseUnicode(b));
  UErrorCode status = U_ZERO_ERROR;
  const auto order = impl_->collator->compareUTF8(
      icu::StringPiece(a.data(), static_cast<std::int32_t>(a.size())),
      icu::StringPiece(b.data(), static_cast<std::int32_t>(b.size())), status);
  return order == UCOL_LESS ? -1 : order == UCOL_GREATER ? 1 : 0;
}

}  // namespace qm
