#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "common/result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qm {

/// One compiled SQL statement of a connection, kept for repeated use and
/// finalized when the object goes away. Move-only.
class Statement {
 public:
  class Use;

  /// Compiles `sql` on `db`; the error carries SQLite's message.
  static Result<Statement> prepare(sqlite3* db, std::string_view sql);

  Statement() = default;
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return stmt_ != nullptr; }
  /// Starts a use: bind, step, read; the use puts the statement back.
  Use use();

 private:
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}

  sqlite3_stmt* stmt_ = nullptr;
};

/// A statement while it is being used. When the use ends, the statement is
/// reset and its bindings cleared, so it holds no read transaction open and
/// the next use starts clean, whichever way the user left it.
class Statement::Use {
 public:
  Use(Use&& other) noexcept;
  Use& operator=(Use&&) = delete;
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  ~Use();

  sqlite3_stmt* get() const { return stmt_; }
  operator sqlite3_stmt*() const { return stmt_; }  // NOLINT(google-explicit-constructor)

 private:
  friend class Statement;
  explicit Use(sqlite3_stmt* stmt) : stmt_(stmt) {}

  sqlite3_stmt* stmt_;
};

/// The statements of one connection, compiled once per SQL text and reused
/// for the connection's life. Finalizes them all when it goes away, so it must
/// go before the connection is closed.
class StatementCache {
 public:
  explicit StatementCache(sqlite3* db) : db_(db) {}

  /// The statement for `sql`, compiled on first use.
  Result<Statement::Use> use(const std::string& sql);
  /// Finalizes every statement.
  void clear() { statements_.clear(); }

 private:
  sqlite3* db_;
  std::map<std::string, Statement, std::less<>> statements_;
};

}  // namespace qm
