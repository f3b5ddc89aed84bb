#include "store/statement.h"

#include <sqlite3.h>

#include <utility>

namespace qm {

Result<Statement> Statement::prepare(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  // Persistent: these statements live as long as the connection.
  if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return Error(sqlite3_errmsg(db));
  }
  return Statement(stmt);
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept : stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

Statement::Use Statement::use() {
  return Use(stmt_);
}

Statement::Use::Use(Use&& other) noexcept : stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement::Use::~Use() {
  if (stmt_ == nullptr) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Result<Statement::Use> StatementCache::use(const std::string& sql) {
  auto found = statements_.find(sql);
  if (found == statements_.end()) {
    auto prepared = Statement::prepare(db_, sql);
    if (!prepared) return prepared.error();
    found = statements_.emplace(sql, std::move(prepared).value()).first;
  }
  return found->second.use();
}

}  // namespace qm
