#include "support/refused_writes.h"

#include <sqlite3.h>

namespace qm::test {

::testing::AssertionResult refuseWrites(const std::filesystem::path& storeFile,
                                        const std::string& table, const std::string& message,
                                        const std::vector<std::string>& operations,
                                        const std::string& when) {
  sqlite3* db = nullptr;
  if (sqlite3_open(storeFile.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return ::testing::AssertionFailure() << "cannot open " << storeFile;
  }
  std::string sql;
  for (const std::string& op : operations) {
    sql += "CREATE TRIGGER refuse_" + op + "_" + table + " BEFORE " + op + " ON \"" + table + "\"" +
           (when.empty() ? "" : " WHEN " + when) + " BEGIN SELECT RAISE(ABORT, '" + message +
           "'); END;";
  }
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  const std::string text = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) return ::testing::AssertionFailure() << text;
  return ::testing::AssertionSuccess();
}

}  // namespace qm::test
