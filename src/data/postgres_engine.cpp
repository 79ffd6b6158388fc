#include "data/postgres_engine.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "data/postgres_table.h"
#include "data/server_dialect.h"
#include "data/sql_trace.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr std::string_view kEngineName = "postgresql";
constexpr const char* kSource = "PostgreSQL";

std::string Trimmed(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// The server refusing the login is "logon failed", whatever it refused: user, password or
// database (the replaced server reports an unknown database that way too).
Error ConnectError(PGconn* conn) {
  std::string message = Trimmed(PQerrorMessage(conn));
  bool refused = Contains(message, "password authentication failed") ||
                 Contains(message, "no password supplied") ||
                 (Contains(message, "role \"") && Contains(message, "does not exist")) ||
                 (Contains(message, "database \"") && Contains(message, "does not exist")) ||
                 Contains(message, "pg_hba.conf") ||
                 Contains(message, "permission denied for database");
  return Error(refused ? errc::kLogonFailed : errc::kUnspecified, message, kSource);
}

Error ResultError(PGconn* conn, const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  std::string message = primary ? Trimmed(primary) : Trimmed(PQerrorMessage(conn));
  std::string code = state ? state : "";
  int32_t number = errc::kUnspecified;
  if (code == "42P01") {
    number = errc::kNoSuchTable;
  } else if (code.starts_with("42")) {
    number = errc::kSyntaxError;
  } else if (code.starts_with("28")) {
    number = errc::kLogonFailed;
  }
  return Error(number, message, kSource);
}

void Silent(void*, const char*) {}

bool IsUniqueViolation(const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state && std::string_view(state) == "23505";
}

constexpr const char* kColumnFacts =
    "SELECT a.attrelid, a.attnum, col_description(a.attrelid, a.attnum), "
    "a.attidentity <> '' OR coalesce(starts_with(pg_get_expr(d.adbin, d.adrelid), 'nextval('), "
    "false) "
    "FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "WHERE a.attrelid = ANY($1::oid[]) AND a.attnum > 0 AND NOT a.attisdropped";

}  // namespace

PostgresEngine::PostgresEngine(const ServerTarget& target) {
  std::string port = std::to_string(target.port);
  const char* keys[] = {"host",
                        "port",
                        "dbname",
                        "user",
                        "password",
                        "connect_timeout",
                        "client_encoding",
                        "application_name",
                        nullptr};
  const char* values[] = {target.host.c_str(),
                          port.c_str(),
                          target.database.c_str(),
                          target.user.c_str(),
                          target.password.c_str(),
                          "15",
                          "UTF8",
                          "mirelda",
                          nullptr};
  conn_.reset(PQconnectdbParams(keys, values, 0));
  if (!conn_) throw Error(errc::kUnspecified, "Out of memory connecting to the server", kSource);
  if (PQstatus(conn_.get()) != CONNECTION_OK) throw ConnectError(conn_.get());
  // Notices (such as "already exists, skipping") are no business of the pages.
  PQsetNoticeProcessor(conn_.get(), &Silent, nullptr);
}

void PostgresEngine::LearnTables(const PGresult* result) {
  std::string wanted;
  std::vector<Oid> asked;
  for (int c = 0; c < PQnfields(result); ++c) {
    Oid table = PQftable(result, c);
    if (table == InvalidOid || tables_.contains(table)) continue;
    if (std::find(asked.begin(), asked.end(), table) != asked.end()) continue;
    asked.push_back(table);
    wanted += (wanted.empty() ? "{" : ",") + std::to_string(table);
  }
  if (asked.empty()) return;
  wanted += "}";
  const char* params[] = {wanted.c_str()};
  PgResult facts(PQexecParams(conn_.get(), kColumnFacts, 1, nullptr, params, nullptr, nullptr, 0));
  if (PQresultStatus(facts.get()) != PGRES_TUPLES_OK) throw ResultError(conn_.get(), facts.get());
  for (Oid table : asked) tables_[table];
  for (int r = 0; r < PQntuples(facts.get()); ++r) {
    Oid table = static_cast<Oid>(std::strtoul(PQgetvalue(facts.get(), r, 0), nullptr, 10));
    int column = std::atoi(PQgetvalue(facts.get(), r, 1));
    ColumnFacts& f = tables_[table][column];
    if (!PQgetisnull(facts.get(), r, 2)) f.written_name = PQgetvalue(facts.get(), r, 2);
    f.auto_increment = PQgetvalue(facts.get(), r, 3)[0] == 't';
  }
}

std::shared_ptr<const ResultTable> PostgresEngine::Run(std::string_view statement) {
  TraceStatement(TraceDirection::kReceived, kEngineName, statement);
  ServerStatement st = TranslateServer(statement);
  TraceStatement(TraceDirection::kSent, kEngineName, st.sql);

  // The extended protocol runs exactly one statement, so the server itself refuses a second.
  auto execute = [&] {
    return PgResult(st.composite ? PQexec(conn_.get(), st.sql.c_str())
                                 : PQexecParams(conn_.get(), st.sql.c_str(), 0, nullptr, nullptr,
                                                nullptr, nullptr, 0));
  };
  PgResult result = execute();
  ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_FATAL_ERROR && st.composite && IsUniqueViolation(result.get())) {
    // Two connections made the collation of a new database at once and this one lost; the
    // collation exists now, and the statement as a whole did nothing.
    result = execute();
    status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  }
  if (st.changes_schema) tables_.clear();
  if (status == PGRES_COMMAND_OK) return nullptr;
  if (status != PGRES_TUPLES_OK) throw ResultError(conn_.get(), result.get());

  LearnTables(result.get());
  const int count = PQnfields(result.get());
  std::vector<ColumnInfo> columns(static_cast<size_t>(count));
  for (int c = 0; c < count; ++c) {
    ColumnInfo& info = columns[static_cast<size_t>(c)];
    std::string folded = PQfname(result.get(), c);
    info.name = folded;
    bool named = false;
    for (const std::string& alias : st.aliases) {
      if (text::ToLowerAscii(alias) == folded) {
        info.name = alias;
        named = true;
        break;
      }
    }
    auto table = tables_.find(PQftable(result.get(), c));
    if (table == tables_.end()) continue;
    auto facts = table->second.find(PQftablecol(result.get(), c));
    if (facts == table->second.end()) continue;
    info.auto_increment = facts->second.auto_increment;
    const std::string& written = facts->second.written_name;
    // A comment that is not the column's name in other letters is somebody's note, not a name.
    if (!named && !written.empty() && text::ToLowerAscii(written) == folded) info.name = written;
  }
  return std::make_shared<PostgresTable>(std::move(result), std::move(columns));
}

}  // namespace mirelda::data
