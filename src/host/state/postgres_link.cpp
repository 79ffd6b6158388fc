#include "host/state/postgres_link.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

#include "mirelda/error.h"

namespace mirelda::host {
namespace {

// Sessions have no index but their key: every save changes the times, and without an index on
// them the server rewrites the row in place (a heap-only update) instead of updating indexes on
// each page. The sweep and the cap read the whole table, every half minute or when it is full.
// Every host runs this when it first needs the store; the advisory lock keeps two hosts that
// start together from racing on the catalog. Sent as one query, the statements are one
// transaction, which holds the lock to its end.
constexpr std::string_view kTables =
    "SELECT pg_advisory_xact_lock(7236828416512);"
    "CREATE TABLE IF NOT EXISTS mirelda_sessions ("
    "  id text PRIMARY KEY,"
    "  vals bytea NOT NULL,"
    "  version bigint NOT NULL,"
    "  last_access timestamptz NOT NULL,"
    "  expires_at timestamptz NOT NULL,"
    "  timeout_seconds integer NOT NULL,"
    "  code_page integer NOT NULL) WITH (fillfactor = 70);"
    "CREATE TABLE IF NOT EXISTS mirelda_application ("
    "  key text PRIMARY KEY,"
    "  name text NOT NULL,"
    "  value bytea NOT NULL)";

// SQLSTATE classes that mean the server or the connection went away rather than the statement
// being wrong: connection exceptions, operator intervention (shutdown, restart), and a server
// that is still starting.
bool ServerGone(const char* state) {
  if (!state) return true;
  return std::strncmp(state, "08", 2) == 0 || std::strncmp(state, "57P", 3) == 0;
}

}  // namespace

void StatementResult::Clear::operator()(pg_result* result) const noexcept { PQclear(result); }

int StatementResult::rows() const { return PQntuples(result_.get()); }

int StatementResult::affected() const { return std::atoi(PQcmdTuples(result_.get())); }

bool StatementResult::IsNull(int row, int column) const {
  return PQgetisnull(result_.get(), row, column) != 0;
}

std::string StatementResult::Text(int row, int column) const {
  return std::string(PQgetvalue(result_.get(), row, column),
                     static_cast<size_t>(PQgetlength(result_.get(), row, column)));
}

int64_t StatementResult::Integer(int row, int column) const {
  return std::strtoll(PQgetvalue(result_.get(), row, column), nullptr, 10);
}

std::string StatementResult::Bytes(int row, int column) const {
  size_t length = 0;
  unsigned char* bytes = PQunescapeBytea(
      reinterpret_cast<const unsigned char*>(PQgetvalue(result_.get(), row, column)), &length);
  if (!bytes) throw Error(errc::kOutOfMemory, "A stored value is too large to read");
  std::string out(reinterpret_cast<const char*>(bytes), length);
  PQfreemem(bytes);
  return out;
}

PostgresLink::PostgresLink(std::string url) : url_(std::move(url)) {}

PostgresLink::~PostgresLink() {
  if (conn_) PQfinish(conn_);
}

bool PostgresLink::broken() const { return !conn_ || PQstatus(conn_) != CONNECTION_OK; }

void PostgresLink::Connect() {
  if (conn_) {
    PQfinish(conn_);
    conn_ = nullptr;
  }
  prepared_.clear();
  // A server that is down answers at once; one that does not answer at all holds a page no more
  // than this. The URL may name its own.
  const char* keys[] = {"connect_timeout", "dbname", "application_name", nullptr};
  const char* values[] = {"5", url_.c_str(), "mirelda-host", nullptr};
  conn_ = PQconnectdbParams(keys, values, 1);
  if (PQstatus(conn_) != CONNECTION_OK) {
    std::string why = conn_ ? PQerrorMessage(conn_) : "out of memory";
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    throw StoreUnavailable(why);
  }
}

void PostgresLink::Fail(pg_result* result) {
  std::string why = PQresultErrorMessage(result);
  while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  bool gone = PQstatus(conn_) != CONNECTION_OK || ServerGone(state);
  bool lock = state && std::strcmp(state, "55P03") == 0;
  PQclear(result);
  if (gone) throw StoreUnavailable(why);
  if (lock) throw LockNotAvailable(why);
  throw Error(errc::kUnspecified, "The session store refused a statement: " + why);
}

StatementResult PostgresLink::Once(std::string_view sql,
                                   const std::vector<StatementValue>& values) {
  std::vector<const char*> data;
  std::vector<int> lengths;
  std::vector<int> formats;
  for (const StatementValue& v : values) {
    data.push_back(v.data.c_str());
    lengths.push_back(static_cast<int>(v.data.size()));
    formats.push_back(v.binary ? 1 : 0);
  }
  std::string text(sql);
  auto known = prepared_.find(text);
  if (known == prepared_.end()) {
    std::string name = "mirelda_" + std::to_string(prepared_.size());
    pg_result* made = PQprepare(conn_, name.c_str(), text.c_str(), 0, nullptr);
    if (!made || PQresultStatus(made) != PGRES_COMMAND_OK) Fail(made);
    PQclear(made);
    known = prepared_.emplace(std::move(text), std::move(name)).first;
  }
  pg_result* result = PQexecPrepared(conn_, known->second.c_str(), static_cast<int>(values.size()),
                                     data.data(), lengths.data(), formats.data(), 0);
  ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Fail(result);
  return StatementResult(result);
}

StatementResult PostgresLink::Run(std::string_view sql, const std::vector<StatementValue>& values,
                                  bool retry) {
  bool fresh = broken();
  if (fresh) Connect();
  try {
    return Once(sql, values);
  } catch (const StoreUnavailable&) {
    // A connection made before the server restarted fails on its first use afterwards.
    if (fresh || !retry) throw;
  }
  Connect();
  return Once(sql, values);
}

void PostgresLink::RunScript(std::string_view sql) {
  if (broken()) Connect();
  std::string text(sql);
  pg_result* result = PQexec(conn_, text.c_str());
  ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Fail(result);
  PQclear(result);
}

PostgresPool::Lease::~Lease() {
  if (pool_ && link_) pool_->Give(std::move(link_));
}

PostgresPool::Lease PostgresPool::Take() {
  std::unique_ptr<PostgresLink> link;
  bool tables_made = false;
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      link = std::move(idle_.back());
      idle_.pop_back();
    }
    tables_made = tables_made_;
  }
  if (!link) link = std::make_unique<PostgresLink>(url_);
  Lease lease(*this, std::move(link));
  if (!tables_made) MakeTables(*lease);
  return lease;
}

void PostgresPool::MakeTables(PostgresLink& link) {
  link.RunScript(kTables);
  std::lock_guard lock(mutex_);
  tables_made_ = true;
}

void PostgresPool::Give(std::unique_ptr<PostgresLink> link) {
  std::lock_guard lock(mutex_);
  idle_.push_back(std::move(link));
}

}  // namespace mirelda::host
