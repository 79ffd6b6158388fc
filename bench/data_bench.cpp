// The data access layer against the engines' own C APIs doing the same work in the same run:
// reading every field of a 10,000-row record set, and 1,000 single-row inserts through Execute,
// on a Jet file (SQLite) and on the server database (PostgreSQL). The figure is the ratio of each
// pair, printed after the runs.
//
// Run it with bench/run_data_bench.sh, which starts a PostgreSQL server for it.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "data/data_connection.h"
#include "data/jet_file.h"
#include "support/postgres.h"
#include "support/temp_dir.h"

namespace {

using namespace mirelda;
using mirelda::data::DataConnection;

constexpr int kRows = 10000;
constexpr int kInserts = 1000;

struct Setup {
  mirelda::testing::TempDir dir;
  std::string jet_file;
  std::string jet_connection;
  std::string pg_database;
  std::string pg_connection;
  std::string pg_conninfo;
};

Setup* g_setup = nullptr;

std::shared_ptr<DataConnection> Open(const std::string& connection_string) {
  auto conn = std::make_shared<DataConnection>();
  conn->Open(connection_string);
  return conn;
}

void Fill(DataConnection& conn) {
  conn.Execute(
      "CREATE TABLE bench (id autoincrement ,title char(50) ,n int ,score float ,posted "
      "datetime ,PRIMARY KEY (id))",
      -1);
  conn.Execute("CREATE TABLE ins (id autoincrement ,title char(50) ,n int ,PRIMARY KEY (id))", -1);
  // One statement that makes all rows, so that filling costs little.
  conn.Execute(
      "insert into bench (title, n, score, posted) select 'title number ' || k, k, k * 0.5, "
      "'2024-05-06 07:08:09' from (with recursive c(k) as (select 1 union all select k + 1 from "
      "c where k < " +
          std::to_string(kRows) + ") select k from c) as ks",
      -1);
}

void SetUp() {
  g_setup = new Setup;
  g_setup->jet_file = (g_setup->dir / "bench.mdb").string();
  data::CreateJetFile(g_setup->jet_file, g_setup->jet_file, data::JetFormat::kJet40);
  g_setup->jet_connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + g_setup->jet_file;
  Fill(*Open(g_setup->jet_connection));

  const auto& pg = mirelda::testing::Postgres();
  g_setup->pg_database = mirelda::testing::FreshPostgresDatabase();
  g_setup->pg_connection = pg.ConnectionString(g_setup->pg_database);
  g_setup->pg_conninfo = "host=" + pg.host + " port=" + std::to_string(pg.port) +
                         " dbname=" + g_setup->pg_database + " user=" + pg.user +
                         " password=" + pg.password;
  Fill(*Open(g_setup->pg_connection));
}

// Reads every field of every row through the record set, as components do.
void ReadThroughRecordSet(benchmark::State& state, const std::string& connection_string) {
  auto conn = Open(connection_string);
  for (auto _ : state) {
    std::shared_ptr<RecordSet> rs = conn->Execute("select * from bench", -1);
    std::shared_ptr<Fields> fields = rs->GetFields();
    const int32_t count = fields->Count();
    int64_t rows = 0;
    while (!rs->IsEOF()) {
      for (int32_t i = 0; i < count; ++i) {
        Variant value = fields->Item(Variant(i))->Value();
        benchmark::DoNotOptimize(value);
      }
      rs->MoveNext();
      ++rows;
    }
    if (rows != kRows) state.SkipWithError("wrong row count");
  }
}

void BM_Read_Mirelda_Jet(benchmark::State& state) {
  ReadThroughRecordSet(state, g_setup->jet_connection);
}
void BM_Read_Mirelda_Server(benchmark::State& state) {
  ReadThroughRecordSet(state, g_setup->pg_connection);
}

void BM_Read_Raw_Jet(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(g_setup->jet_file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  for (auto _ : state) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select * from bench", -1, &st, nullptr);
    const int count = sqlite3_column_count(st);
    int64_t rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int c = 0; c < count; ++c) {
        switch (sqlite3_column_type(st, c)) {
          case SQLITE_INTEGER:
            benchmark::DoNotOptimize(sqlite3_column_int64(st, c));
            break;
          case SQLITE_FLOAT:
            benchmark::DoNotOptimize(sqlite3_column_double(st, c));
            break;
          case SQLITE_TEXT: {
            std::string text(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                             static_cast<size_t>(sqlite3_column_bytes(st, c)));
            benchmark::DoNotOptimize(text);
            break;
          }
          default:
            break;
        }
      }
      ++rows;
    }
    sqlite3_finalize(st);
    if (rows != kRows) state.SkipWithError("wrong row count");
  }
  sqlite3_close(db);
}

void BM_Read_Raw_Server(benchmark::State& state) {
  PGconn* conn = PQconnectdb(g_setup->pg_conninfo.c_str());
  for (auto _ : state) {
    PGresult* result = PQexec(conn, "select * from bench");
    const int rows = PQntuples(result), count = PQnfields(result);
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < count; ++c) {
        if (PQgetisnull(result, r, c)) continue;
        std::string text(PQgetvalue(result, r, c), static_cast<size_t>(PQgetlength(result, r, c)));
        benchmark::DoNotOptimize(text);
      }
    }
    PQclear(result);
    if (rows != kRows) state.SkipWithError("wrong row count");
  }
  PQfinish(conn);
}

std::string Insert(int i) {
  return "insert into ins (title, n) values ('inserted row', " + std::to_string(i) + ")";
}

void InsertThroughExecute(benchmark::State& state, const std::string& connection_string) {
  auto conn = Open(connection_string);
  for (auto _ : state) {
    for (int i = 0; i < kInserts; ++i) conn->Execute(Insert(i), -1);
  }
}

void BM_Insert_Mirelda_Jet(benchmark::State& state) {
  InsertThroughExecute(state, g_setup->jet_connection);
}
void BM_Insert_Mirelda_Server(benchmark::State& state) {
  InsertThroughExecute(state, g_setup->pg_connection);
}

void BM_Insert_Raw_Jet(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(g_setup->jet_file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  for (auto _ : state) {
    for (int i = 0; i < kInserts; ++i) {
      std::string sql = Insert(i);
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
      if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError(sqlite3_errmsg(db));
      sqlite3_finalize(st);
    }
  }
  sqlite3_close(db);
}

void BM_Insert_Raw_Server(benchmark::State& state) {
  PGconn* conn = PQconnectdb(g_setup->pg_conninfo.c_str());
  for (auto _ : state) {
    for (int i = 0; i < kInserts; ++i) {
      PGresult* result = PQexec(conn, Insert(i).c_str());
      if (PQresultStatus(result) != PGRES_COMMAND_OK) state.SkipWithError(PQerrorMessage(conn));
      PQclear(result);
    }
  }
  PQfinish(conn);
}

BENCHMARK(BM_Read_Raw_Jet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_Mirelda_Jet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_Raw_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_Mirelda_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Insert_Raw_Jet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Insert_Mirelda_Jet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Insert_Raw_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Insert_Mirelda_Server)->Unit(benchmark::kMillisecond);

// Keeps each run's time so that the pairs can be compared at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      times_[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
  }
  // Wall time is the figure; this process's CPU time shows the layer's own cost apart from the
  // server's work and from other load on the machine.
  void PrintRatios() const {
    std::printf("\nData access layer / engine's own C API (aim: at most 1.5)\n");
    std::printf("  %-6s %-6s %6s %6s\n", "work", "engine", "wall", "cpu");
    for (const char* work : {"Read", "Insert"}) {
      for (const char* engine : {"Jet", "Server"}) {
        auto mine = times_.find("BM_" + std::string(work) + "_Mirelda_" + engine);
        auto raw = times_.find("BM_" + std::string(work) + "_Raw_" + engine);
        if (mine == times_.end() || raw == times_.end() || raw->second.wall <= 0 ||
            raw->second.cpu <= 0) {
          continue;
        }
        std::printf("  %-6s %-6s %6.2f %6.2f\n", work, engine, mine->second.wall / raw->second.wall,
                    mine->second.cpu / raw->second.cpu);
      }
    }
  }

 private:
  struct Times {
    double wall;
    double cpu;
  };
  std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SetUp();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  delete g_setup;
  return 0;
}
