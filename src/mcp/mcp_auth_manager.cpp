#include "mcp/mcp_auth_manager.h"

#include <chrono>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/uuid.h"
#include "store/mcp_records.h"
#include "store/store.h"

namespace qm::mcp {

namespace {

using namespace std::chrono_literals;

/// How often old log rows are looked for, and how long rows are kept.
constexpr auto kPurgeInterval = 1h;
constexpr int kLogRetentionDays = 30;

constexpr const char* kReadOnly = "readOnly";
constexpr const char* kReadWrite = "readWrite";
constexpr const char* kDenied = "denied";

/// Every authorisation record named exactly `clientName`, in stored order.
Result<std::vector<MCPClientAuthorization>> recordsNamed(Store& store,
                                                         const std::string& clientName) {
  return store.fetch<MCPClientAuthorization>({Match{"clientName", clientName}});
}

/// The first record named `clientName`; nothing when there is none or the store
/// could not be read (that failure is logged).
std::optional<MCPClientAuthorization> firstRecordNamed(Store& store,
                                                       const std::string& clientName) {
  auto records = recordsNamed(store, clientName);
  if (!records) {
    log::mcp().error("Could not read the MCP client \"{}\": {}", clientName,
                     records.error().message);
    return std::nullopt;
  }
  if (records->empty()) return std::nullopt;
  return std::move(records->front());
}

/// Applies `change` to every record of `clientName` in one transaction.
template <class Change>
Status changeEveryRecord(Store& store, const std::string& clientName, Change change) {
  auto records = recordsNamed(store, clientName);
  if (!records) return records.error();
  if (records->empty()) return Error("Unknown MCP client \"" + clientName + "\"");
  return store.transaction([&]() -> Status {
    for (MCPClientAuthorization& record : *records) {
      change(record);
      QM_TRY(store.update(record));
    }
    return {};
  });
}

}  // namespace

MCPAuthManager::MCPAuthManager(Store& store, Clock clock)
    : store_(store), clock_(std::move(clock)) {}

void MCPAuthManager::authorizeClient(const std::string& clientName) {
  auto records = recordsNamed(store_, clientName);
  if (!records) {
    log::mcp().error("Could not read the MCP client \"{}\": {}", clientName,
                     records.error().message);
    return;
  }

  const Date at = clock_();
  if (records->empty()) {
    MCPClientAuthorization record;
    record.id = Uuid::random();
    record.clientName = clientName;
    record.firstAuthorizedAt = at;
    record.lastAccessedAt = at;
    record.permissions = kReadOnly;
    if (Status inserted = store_.insert(record); !inserted) {
      log::mcp().error("Could not authorise the MCP client \"{}\": {}", clientName,
                       inserted.error().message);
      unrecorded_.insert(clientName);
      return;
    }
    log::mcp().info("Auto-authorized new MCP client: {}", clientName);
    return;
  }

  // A known client: only its last access moves, so a revoked or denied client
  // stays that way however often it reconnects.
  MCPClientAuthorization& record = records->front();
  record.lastAccessedAt = at;
  if (Status saved = store_.save(record); !saved) {
    log::mcp().error("Could not record the access of the MCP client \"{}\": {}", clientName,
                     saved.error().message);
  }
}

Result<ClientAccess> MCPAuthManager::access(const std::string& clientName) {
  auto records = recordsNamed(store_, clientName);
  if (!records) return records.error();
  if (records->empty())
    return unrecorded_.contains(clientName) ? ClientAccess::read : ClientAccess::none;
  const MCPClientAuthorization& record = records->front();
  if (!record.isActive()) return ClientAccess::none;
  return record.permissions == kReadWrite ? ClientAccess::readWrite : ClientAccess::read;
}

void MCPAuthManager::logAccess(const std::string& clientName, const std::string& toolName,
                               std::optional<std::int64_t> resultCount) {
  auto client = firstRecordNamed(store_, clientName);
  if (!client) return;

  const Date at = clock_();
  const bool purgeDue = !lastPurgeAt_ || at - *lastPurgeAt_ >= kPurgeInterval;

  const auto write = [&]() -> Status {
    MCPAccessLog entry;
    entry.id = Uuid::random();
    entry.clientID = client->id;
    entry.method = toolName;
    entry.timestamp = at;
    entry.resultCount = resultCount;
    QM_TRY(store_.insert(entry));

    if (!purgeDue) return {};
    // The store matches by equality only, so the rows are read and the old ones
    // removed one by one; the log holds at most a month of tool calls.
    const Date cutoff = calendarDaysBefore(at, kLogRetentionDays);
    auto rows = store_.fetch<MCPAccessLog>();
    if (!rows) return rows.error();
    for (const MCPAccessLog& row : *rows) {
      if (row.timestamp < cutoff) QM_TRY(store_.remove<MCPAccessLog>(row.id));
    }
    return {};
  };
  // Logged without waiting for the disk: a power cut may lose the last lines,
  // and waiting for it would add milliseconds to every tool call.
  Status written = store_.transaction(write, Store::Durability::relaxed);

  if (!written) {
    log::mcp().error("Could not log the MCP tool call {} of \"{}\": {}", toolName, clientName,
                     written.error().message);
    return;
  }
  if (purgeDue) lastPurgeAt_ = at;
}

Status MCPAuthManager::revoke(Store& store, const std::string& clientName, Date at) {
  return changeEveryRecord(store, clientName,
                           [at](MCPClientAuthorization& record) { record.revokedAt = at; });
}

Status MCPAuthManager::allowWrites(Store& store, const std::string& clientName, bool allowed) {
  auto records = recordsNamed(store, clientName);
  if (!records) return records.error();
  if (records->empty())
    return Error(ErrorCode::notFound, "Unknown MCP client \"" + clientName + "\"");
  if (!records->front().isActive())
    return Error(ErrorCode::failedPrecondition,
                 clientName + " is revoked; restore it first with: quillmere mcp restore \"" +
                     clientName + "\"");
  return changeEveryRecord(store, clientName, [allowed](MCPClientAuthorization& record) {
    record.permissions = allowed ? kReadWrite : kReadOnly;
  });
}

Status MCPAuthManager::restore(Store& store, const std::string& clientName) {
  return changeEveryRecord(store, clientName, [](MCPClientAuthorization& record) {
    record.revokedAt.reset();
    if (record.permissions == kDenied) record.permissions = kReadOnly;
  });
}

}  // namespace qm::mcp
