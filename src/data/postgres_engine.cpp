#include "data/postgres_engine.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "data/bound_values.h"
#include "data/data_errors.h"
#include "data/postgres_table.h"
#include "data/provider_error.h"
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
ProviderError ConnectError(PGconn* conn) {
  std::string message = Trimmed(PQerrorMessage(conn));
  bool refused = Contains(message, "password authentication failed") ||
                 Contains(message, "no password supplied") ||
                 (Contains(message, "role \"") && Contains(message, "does not exist")) ||
                 (Contains(message, "database \"") && Contains(message, "does not exist")) ||
                 Contains(message, "pg_hba.conf") ||
                 Contains(message, "permission denied for database");
  return ProviderError(refused ? errc::kLogonFailed : errc::kUnspecified, message, kSource,
                       refused ? "28000" : "08001", 0);
}

ProviderError ResultError(PGconn* conn, const PGresult* result) {
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
  return ProviderError(number, message, kSource, code.empty() ? "HY000" : code, 0);
}

void Silent(void*, const char*) {}

bool HasState(const PGresult* result, std::string_view wanted) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state && std::string_view(state) == wanted;
}

bool IsUniqueViolation(const PGresult* result) { return HasState(result, "23505"); }

// The server's type numbers for the values bound with a type.
constexpr Oid kByteaOid = 17;
constexpr Oid kInt4Oid = 23;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kNumericOid = 1700;

// The shortest text that reads back as the same double.
std::string ExactText(double value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, ec == std::errc() ? end : text);
}

int ByteLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) {
    throw Error(errc::kUnspecified, "A binary parameter of 2 GB or more cannot be sent.", kSource);
  }
  return static_cast<int>(size);
}

constexpr const char* kColumnFacts =
    "SELECT a.attrelid, a.attnum, col_description(a.attrelid, a.attnum), "
    "a.attidentity <> '' OR coalesce(starts_with(pg_get_expr(d.adbin, d.adrelid), 'nextval('), "
    "false), "
    "EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = a.attrelid AND i.indisprimary AND "
    "a.attnum = ANY (i.indkey)) "
    "FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "WHERE a.attrelid = ANY($1::oid[]) AND a.attnum > 0 AND NOT a.attisdropped";

}  // namespace

PostgresEngine::PostgresEngine(const ServerTarget& target) {
  std::string port = std::to_string(target.port);
  std::string timeout = std::to_string(target.connect_timeout);
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
                          timeout.c_str(),
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
    f.key = PQgetvalue(facts.get(), r, 4)[0] == 't';
  }
}

RunResult PostgresEngine::Execute(std::string_view statement, std::span<const Variant> parameters,
                                  int32_t timeout_seconds) {
  TraceStatement(TraceDirection::kReceived, kEngineName, statement);
  ServerStatement st = TranslateServer(statement);
  TraceStatement(TraceDirection::kSent, kEngineName, st.sql);
  CheckParameterCount(st.placeholders, parameters.size());

  // Values travel beside the text: text ones untyped, so that the server reads them as whatever
  // the statement compares or stores them with, as the replaced server converts them.
  std::vector<BoundValue> bound(parameters.size());
  std::vector<const char*> values(parameters.size(), nullptr);
  std::vector<int> lengths(parameters.size(), 0);
  std::vector<int> formats(parameters.size(), 0);
  std::vector<Oid> types(parameters.size(), 0);
  std::vector<std::string> numbers(parameters.size());
  for (size_t i = 0; i < parameters.size(); ++i) {
    BoundValue& value = bound[i];
    ToBoundValue(parameters[i], i + 1, value);
    switch (value.kind) {
      case BoundValue::Kind::kNull:
        continue;
      case BoundValue::Kind::kInteger:
        numbers[i] = std::to_string(value.integer);
        types[i] = kInt4Oid;
        values[i] = numbers[i].c_str();
        continue;
      case BoundValue::Kind::kReal:
        numbers[i] = ExactText(value.real);
        types[i] = kFloat8Oid;
        values[i] = numbers[i].c_str();
        continue;
      case BoundValue::Kind::kDecimal:
        types[i] = kNumericOid;
        break;
      case BoundValue::Kind::kText:
        if (value.bytes.find('\0') != std::string_view::npos) {
          throw Error(errc::kUnspecified,
                      "Parameter " + std::to_string(i + 1) +
                          " holds a NUL character, which the server's text cannot store; pass "
                          "such data as binary (adVarBinary).",
                      kSource);
        }
        if (parameters[i].type() == VarType::kDate) types[i] = kTimestampOid;
        break;
      case BoundValue::Kind::kBytes:
        types[i] = kByteaOid;
        formats[i] = 1;
        lengths[i] = ByteLength(value.bytes.size());
        values[i] = value.bytes.data();
        continue;
    }
    // Text parameters end at their NUL, which owned supplies.
    values[i] = value.owned.c_str();
  }
  if (st.composite && !parameters.empty()) {
    throw Error(errc::kSyntaxError, "A statement that defines a table cannot take parameters.");
  }
  ApplyTimeout(timeout_seconds);

  // The extended protocol runs exactly one statement, so the server itself refuses a second.
  auto execute = [&] {
    return PgResult(st.composite ? PQexec(conn_.get(), st.sql.c_str())
                                 : PQexecParams(conn_.get(), st.sql.c_str(),
                                                static_cast<int>(values.size()), types.data(),
                                                values.data(), lengths.data(), formats.data(), 0));
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
  RunResult outcome;
  if (status == PGRES_COMMAND_OK) {
    const char* tuples = PQcmdTuples(result.get());
    if (tuples && *tuples) outcome.rows_affected = std::strtoll(tuples, nullptr, 10);
    return outcome;
  }
  if (status != PGRES_TUPLES_OK) {
    if (HasState(result.get(), "57014") && timeout_seconds > 0) {
      throw ProviderError(data_errc::kCommandTimeout,
                          "Query timeout expired: the statement ran longer than " +
                              std::to_string(timeout_seconds) + " seconds.",
                          kSource, "HYT00", 0);
    }
    throw ResultError(conn_.get(), result.get());
  }

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
    info.key = facts->second.key;
    const std::string& written = facts->second.written_name;
    // A comment that is not the column's name in other letters is somebody's note, not a name.
    if (!named && !written.empty() && text::ToLowerAscii(written) == folded) info.name = written;
  }
  outcome.rows = std::make_shared<PostgresTable>(std::move(result), std::move(columns));
  return outcome;
}

void PostgresEngine::ApplyTimeout(int32_t seconds) {
  int32_t wanted = std::max<int32_t>(seconds, 0);
  if (wanted == applied_timeout_) return;
  // In a failed transaction the server takes nothing but its end: the ROLLBACK must not be
  // refused because the setting before it was.
  if (PQtransactionStatus(conn_.get()) == PQTRANS_INERROR) return;
  // A setting made inside a transaction is undone when it rolls back: it is known to hold only
  // until the next statement.
  bool in_transaction = PQtransactionStatus(conn_.get()) != PQTRANS_IDLE;
  std::string milliseconds = std::to_string(int64_t{wanted} * 1000);
  const char* params[] = {milliseconds.c_str()};
  PgResult set(PQexecParams(conn_.get(), "SELECT set_config('statement_timeout', $1, false)", 1,
                            nullptr, params, nullptr, nullptr, 0));
  if (PQresultStatus(set.get()) != PGRES_TUPLES_OK) throw ResultError(conn_.get(), set.get());
  applied_timeout_ = in_transaction ? kTimeoutUnknown : wanted;
}

}  // namespace mirelda::data
