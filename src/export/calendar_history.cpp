#include "export/calendar_history.h"

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"

namespace qm {

namespace {

using nlohmann::json;

constexpr int kHistoryVersion = 1;

Error unreadable(const std::filesystem::path& file, std::string_view why) {
  return Error(ErrorCode::dataLoss,
               "Cannot read the calendar history " + file.string() + ": " + std::string(why));
}

}  // namespace

std::uint64_t contentFingerprint(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::filesystem::path CalendarHistory::fileIn(const std::filesystem::path& applicationSupport) {
  return applicationSupport / "calendar_history.json";
}

Result<CalendarHistory> CalendarHistory::load(const std::filesystem::path& file) {
  CalendarHistory history;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return history;
  const std::string text = QM_TRY(readFile(file));
  const json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object() || doc.value("version", 0) != kHistoryVersion || !doc.contains("tasks") ||
      !doc["tasks"].is_object())
    return unreadable(file, "not a calendar history of version 1");
  for (const auto& [uid, entry] : doc["tasks"].items()) {
    const auto fingerprint = entry.find("fingerprint");
    const auto sequence = entry.find("sequence");
    const auto modified = entry.find("modified");
    if (!entry.is_object() || fingerprint == entry.end() || !fingerprint->is_string() ||
        sequence == entry.end() || !sequence->is_number_integer() || modified == entry.end() ||
        !modified->is_string())
      return unreadable(file, "the entry of " + uid + " is incomplete");
    const auto at = parseISO8601(modified->get<std::string>());
    std::uint64_t number = 0;
    try {
      number = std::stoull(fingerprint->get<std::string>(), nullptr, 16);
    } catch (const std::exception&) {
      return unreadable(file, "the fingerprint of " + uid + " is not a number");
    }
    if (!at) return unreadable(file, "the time of " + uid + " is not a date");
    history.revisions_[uid] = {number, sequence->get<std::int64_t>(), *at};
  }
  return history;
}

TaskRevision CalendarHistory::revise(const std::string& uid, std::uint64_t fingerprint, Date now) {
  // Whole seconds: the file shows no more, and an unchanged to-do must read
  // back exactly as it was written.
  const Date stamp = std::chrono::floor<std::chrono::seconds>(now);
  auto [at, added] = revisions_.try_emplace(uid, TaskRevision{fingerprint, 0, stamp});
  if (!added && at->second.fingerprint != fingerprint)
    at->second = {fingerprint, at->second.sequence + 1, std::max(stamp, at->second.modified)};
  return at->second;
}

Status CalendarHistory::save(const std::filesystem::path& file) const {
  json tasks = json::object();
  for (const auto& [uid, revision] : revisions_) {
    char fingerprint[17];
    std::snprintf(fingerprint, sizeof fingerprint, "%016llx",
                  static_cast<unsigned long long>(revision.fingerprint));
    tasks[uid] = {{"fingerprint", fingerprint},
                  {"sequence", revision.sequence},
                  {"modified", formatISO8601(revision.modified)}};
  }
  const json doc = {{"version", kHistoryVersion}, {"tasks", std::move(tasks)}};
  return writeFileAtomically(file, doc.dump(1), 0600);
}

}  // namespace qm
