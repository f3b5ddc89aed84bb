#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace qm {

/// Locale-aware, case-insensitive comparison of names (people and companies):
/// the user's collation at secondary strength, so "müller" and "Müller" are
/// equal, "Émile" sorts among the E names, and digits compare by value
/// ("Hall 9" before "Hall 10"). Comparing two sort keys bytewise gives the
/// collation's order, so a list of n names is keyed n times, not n log n.
/// Under the POSIX locale (no LANG) the root collation is used.
///
/// One collator per thread; not to be shared between threads.
class NameCollator {
 public:
  NameCollator();
  ~NameCollator();
  NameCollator(const NameCollator&) = delete;
  NameCollator& operator=(const NameCollator&) = delete;

  /// The collator of the calling thread, made on first use.
  static NameCollator& forThisThread();

  /// A byte string whose bytewise order is the collation order of `text`
  /// (UTF-8). Without ICU collation data: the lower-cased text.
  std::string sortKey(std::string_view text) const;
  /// Appends the sort key of `text` to `out` (for many keys in one buffer).
  void appendSortKey(std::string_view text, std::string& out) const;
  /// <0, 0 or >0 as `a` sorts before, with or after `b`.
  int compare(std::string_view a, std::string_view b) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qm
