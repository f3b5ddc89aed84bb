#include "support/record_fillers.h"

#include <array>
#include <stdexcept>

namespace qm::test {

namespace {

constexpr std::array<std::string_view, 48> kWords = {
    "booth",     "follow-up", "pipeline",  "enterprise",  "procurement", "Müller",
    "São Paulo", "田中",      "logistics", "integration", "budget",      "Q3",
    "pilot",     "renewal",   "CFO",       "roadmap",     "demo",        "partner",
    "EMEA",      "warehouse", "platform",  "compliance",  "onboarding",  "analytics",
    "contract",  "timeline",  "shortlist", "champion",    "decision",    "security",
    "API",       "migration", "pricing",   "discount",    "reference",   "expansion",
    "team",      "workshop",  "keynote",   "panel",       "@acme.io",    "+49 30 1234",
    "https://",  "linkedin",  "verified",  "«urgent»",    "\"quoted\"",  "hardware"};

}  // namespace

SampleValues::SampleValues(std::uint64_t seed, SampleStyle style, std::string_view stream)
    : seed_(seed),
      style_(style),
      ordinal_(static_cast<std::int64_t>(seed * 1000)),
      random_(seed * 7919 + stream.size()) {}

std::uint64_t SampleValues::nextRandom() {
  // splitmix64
  std::uint64_t z = (random_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::string SampleValues::prose(std::size_t minLength, std::size_t maxLength) {
  const std::size_t target = minLength + below(maxLength - minLength + 1);
  std::string text;
  text.reserve(target + 16);
  while (text.size() < target) {
    if (!text.empty()) text += ' ';
    text += kWords[below(kWords.size())];
  }
  return text;
}

std::string SampleValues::text(std::string_view label) {
  const std::int64_t n = nextOrdinal();
  if (style_ == SampleStyle::phoneSnapshot) return prose(10, 100);
  if (realistic()) return prose(20, 200);
  return std::string(label) + " «Müller» \"" + std::to_string(n) + "\" 田中";
}

Date SampleValues::date() {
  const std::int64_t n = nextOrdinal();
  if (style_ == SampleStyle::phoneSnapshot) return dateFromUnixSeconds(1'700'000'000 + n);
  if (realistic()) return dateFromUnixSeconds(1'700'000'000 + n, n % 1'000'000);
  return dateFromUnixSeconds(n % 2 ? 1'700'000'000 + n : -86'400 - n, (123'456 + n) % 1'000'000);
}

bool SampleValues::flag() {
  nextOrdinal();
  return true;  // every flag of a fresh record is false
}

std::int64_t SampleValues::integer() {
  const std::int64_t n = nextOrdinal();
  return realistic() ? 1'000'000 + n : -9'000'000'000 - n;
}

double SampleValues::decimal() {
  const std::int64_t n = nextOrdinal();
  if (realistic()) return 0.001 * static_cast<double>(n % 100'000) + 1e-9;
  return 0.1 * static_cast<double>(n) + 1e-9;
}

double SampleValues::float32() {
  const std::int64_t n = nextOrdinal();
  if (realistic()) return static_cast<double>(static_cast<float>(n % 1000) / 1000.0f);
  return static_cast<double>(0.25f * static_cast<float>(n % 1'000'000));
}

std::vector<std::string> SampleValues::textList() {
  const std::int64_t n = nextOrdinal();
  if (style_ == SampleStyle::phoneSnapshot) return {prose(10, 100), prose(10, 100)};
  if (realistic()) return {prose(20, 60), prose(20, 60), prose(20, 60)};
  return {"a", "", "ü \"q\"", std::to_string(n)};
}

Bytes SampleValues::bytes() {
  const std::int64_t n = nextOrdinal();
  if (realistic()) {
    Bytes b(1024);
    for (auto& byte : b) byte = static_cast<std::uint8_t>(nextRandom());
    return b;
  }
  Bytes b(4096 + static_cast<std::size_t>(n % 4096));
  for (std::size_t i = 0; i < b.size(); ++i)
    b[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(n));
  b[0] = 0;
  return b;
}

Uuid SampleValues::uuid() {
  nextOrdinal();
  return Uuid::random();
}

std::string SampleValues::choice(const std::vector<std::string_view>& choices) {
  nextOrdinal();
  const std::size_t k = seed_ % choices.size();
  return std::string(realistic() ? choices.at(k) : choices.at(choices.size() - 1 - k));
}

FieldValue SampleValues::value(FieldType type, std::string_view name,
                               const std::vector<std::string_view>& choices) {
  switch (type) {
    case FieldType::uuid:
      return uuid();
    case FieldType::text:
      return text(name);
    case FieldType::date:
      return date();
    case FieldType::boolean:
      return flag();
    case FieldType::integer:
      return integer();
    case FieldType::decimal:
      return decimal();
    case FieldType::float32:
      return float32();
    case FieldType::textList:
      return textList();
    case FieldType::bytes:
      return bytes();
    case FieldType::enumText:
      return choice(choices);
  }
  return {};
}

void fillSample(std::string& member, SampleValues& values) {
  member = values.text();
}
void fillSample(Date& member, SampleValues& values) {
  member = values.date();
}
void fillSample(bool& member, SampleValues& values) {
  member = values.flag();
}
void fillSample(std::int64_t& member, SampleValues& values) {
  member = values.integer();
}
void fillSample(double& member, SampleValues& values) {
  member = values.decimal();
}
void fillSample(float& member, SampleValues& values) {
  member = static_cast<float>(values.float32());
}
void fillSample(std::vector<std::string>& member, SampleValues& values) {
  member = values.textList();
}
void fillSample(Bytes& member, SampleValues& values) {
  member = values.bytes();
}
void fillSample(Uuid& member, SampleValues& values) {
  member = values.uuid();
}

namespace detail {

void cannotFill(std::string_view table, std::string_view field) {
  throw std::logic_error("cannot fill " + std::string(table) + "." + std::string(field) +
                         " with a sample value");
}

}  // namespace detail

}  // namespace qm::test
