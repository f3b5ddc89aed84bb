#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/base64.h"
#include "common/result.h"

namespace qm {

/// The files of fields stored outside the main store file (a saved report's
/// PDF), one file per value, named by a random UUID, in the folder
/// `<store file>-blobs`.
///
/// Keeps a file exactly as long as a committed row names it: per open
/// transaction level it remembers the files written (removed again when the
/// level rolls back) and the files rows stopped naming (removed only once the
/// outermost level commits, so a rollback still finds them).
class ExternalBlobs {
 public:
  /// A point inside the innermost level to undo one statement's bookkeeping to.
  struct Mark {
    std::size_t written = 0;
    std::size_t released = 0;
  };

  /// The folder beside `storeFile`.
  explicit ExternalBlobs(const std::filesystem::path& storeFile);

  const std::filesystem::path& folder() const { return folder_; }

  /// Writes `data` to a new file (atomically, mode 0600) and returns its name.
  Result<std::string> write(const Bytes& data);
  /// The contents of file `name`; a missing or unreadable file is logged and
  /// reads as absent.
  std::optional<Bytes> read(std::string_view name) const;
  /// A row stopped naming file `name` (deleted or replaced). Ignored outside
  /// a transaction.
  void release(std::string_view name);

  /// How many transaction levels are open.
  std::size_t depth() const { return levels_.size(); }
  void beginLevel();
  /// The innermost level committed: at the outermost level the released files
  /// are removed, otherwise both lists pass to the enclosing level.
  void commitLevel();
  /// The innermost level rolled back: the files it wrote are removed.
  void rollbackLevel();

  /// Where the innermost level stands now. Only inside a transaction.
  Mark mark() const;
  /// Removes the files written since `mark` and forgets the releases since.
  void undoTo(const Mark& mark);

  /// Removes every file of the folder whose name is not in `referenced`: left
  /// by a crash between a commit and a removal, or by a transaction that died.
  void removeUnreferenced(const std::set<std::string>& referenced);

 private:
  struct Level {
    std::vector<std::string> written;
    std::vector<std::string> released;
  };

  void removeFiles(const std::vector<std::string>& names, std::size_t from = 0) const;

  std::filesystem::path folder_;
  std::vector<Level> levels_;
};

}  // namespace qm
