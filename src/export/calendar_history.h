#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "common/date.h"
#include "common/result.h"

namespace qm {

/// What a to-do of the follow-up calendar said when it was last exported: a
/// calendar that imports the file again by the to-do's UID replaces its copy
/// when the SEQUENCE is higher or, at the same SEQUENCE, the time stamp newer.
struct TaskRevision {
  std::uint64_t fingerprint = 0;  ///< of the to-do's content, time stamps left out
  std::int64_t sequence = 0;
  Date modified;
};

/// The revisions of every to-do the follow-up calendars of this store ever
/// held, by UID, so that exporting twice gives an unchanged to-do the same
/// SEQUENCE and time stamps (the files are the same) and a changed one a
/// higher SEQUENCE and the time of the export that saw the change. The
/// records themselves carry no time of their last change (a contact edited in
/// the window keeps no such date), so the history is kept beside the store as
/// a small JSON file.
class CalendarHistory {
 public:
  /// Where the history of the store in `applicationSupport` is kept.
  static std::filesystem::path fileIn(const std::filesystem::path& applicationSupport);

  /// The history in `file`; an empty one when there is no such file. A file
  /// that cannot be read as a history is an error (dataLoss) naming it.
  static Result<CalendarHistory> load(const std::filesystem::path& file);

  /// The revision of the to-do `uid` whose content now has `fingerprint`: the
  /// one recorded when the content is the same; otherwise the next SEQUENCE
  /// (0 for a to-do never exported) at `now`, which is recorded.
  TaskRevision revise(const std::string& uid, std::uint64_t fingerprint, Date now);

  /// Writes the history to `file` whole and atomically (mode 0600).
  Status save(const std::filesystem::path& file) const;

 private:
  std::map<std::string, TaskRevision, std::less<>> revisions_;
};

/// A stable 64-bit fingerprint of `text` (FNV-1a): the same text gives the
/// same number in every build, unlike std::hash.
std::uint64_t contentFingerprint(std::string_view text);

}  // namespace qm
