#include "import/jet_store_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "data/jet_dialect.h"
#include "data/jet_file.h"
#include "import/jet_types.h"
#include "mirelda/error.h"
#include "mirelda/text.h"
#include "mirelda/variant.h"

namespace mirelda::import {
namespace {

constexpr char kSource[] = "mirelda-import-mdb";

// The range of dates Access stores: 100-01-01 to 9999-12-31.
constexpr double kFirstDate = -657434.0;
constexpr double kLastDate = 2958466.0;

[[noreturn]] void FailErrno(const std::string& what) {
  int code = errno;
  throw Error(code == EACCES || code == EPERM || code == EROFS ? errc::kPermissionDenied
                                                               : errc::kUnspecified,
              what + ": " + std::strerror(code), kSource);
}

// A name in Jet's brackets. Access forbids "]" in names, so a name never needs escaping there.
std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

// A name as SQLite quotes it, for the insert statement that goes to SQLite directly.
std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

bool NameIsUsable(const std::string& name) {
  return !name.empty() && name.find(']') == std::string::npos;
}

void SyncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::optional<std::string> Bind(sqlite3_stmt* st, int slot, const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      sqlite3_bind_null(st, slot);
      return std::nullopt;
    case Cell::Kind::kInteger:
      sqlite3_bind_int64(st, slot, cell.integer);
      return std::nullopt;
    case Cell::Kind::kReal:
      if (!std::isfinite(cell.real)) return "a number that is not finite";
      sqlite3_bind_double(st, slot, cell.real);
      return std::nullopt;
    case Cell::Kind::kDate: {
      // Dates are stored in the text form that Jet SQL's date literals take in this file.
      if (!std::isfinite(cell.real) || cell.real < kFirstDate || cell.real >= kLastDate) {
        return "a date out of range";
      }
      std::string text = FormatDate(Date{cell.real});
      sqlite3_bind_text(st, slot, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      return std::nullopt;
    }
    case Cell::Kind::kText:
      sqlite3_bind_text(st, slot, cell.text.data(), static_cast<int>(cell.text.size()),
                        SQLITE_TRANSIENT);
      return std::nullopt;
    case Cell::Kind::kBytes:
      sqlite3_bind_blob(st, slot, cell.text.data(), static_cast<int>(cell.text.size()),
                        SQLITE_TRANSIENT);
      return std::nullopt;
    case Cell::Kind::kUnreadable:
      return cell.text;
  }
  return "an unknown value";
}

}  // namespace

JetStoreBuilder::JetStoreBuilder(const std::filesystem::path& destination, data::JetFormat format,
                                 bool replace)
    : destination_(destination), replace_(replace) {
  struct stat st;
  if (!replace && ::lstat(destination.c_str(), &st) == 0) {
    throw Error(errc::kDatabaseExists,
                "'" + destination.string() + "' exists; --force replaces it.", kSource);
  }
  std::filesystem::path folder = destination.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern =
      (folder / ("." + destination.filename().string() + ".import-XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) FailErrno("Cannot write in the folder of '" + destination.string() + "'");
  ::close(fd);
  // The Jet file takes the name the unique file held; nothing else writes names of this form.
  ::unlink(pattern.c_str());
  temporary_ = pattern;
  data::CreateJetFile(temporary_, temporary_.string(), format);
  db_ = data::OpenSqlite(temporary_, SQLITE_OPEN_READWRITE, temporary_.string());
  data::SqliteExec(db_.get(), "BEGIN");
}

JetStoreBuilder::~JetStoreBuilder() {
  insert_.reset();
  db_.reset();
  if (!published_ && !temporary_.empty()) {
    ::unlink(temporary_.c_str());
    // SQLite's journal, in case the build stopped inside a transaction.
    ::unlink((temporary_.string() + "-journal").c_str());
  }
}

void JetStoreBuilder::BeginTable(const AccessTable& table, std::vector<std::string>& lost) {
  insert_.reset();
  table_ = &table;
  kept_.clear();
  const std::string where = "table " + table.name;
  for (const std::string& p : table.lost_properties) {
    lost.push_back(where + ": property " + p + " has no equivalent");
  }
  std::string columns;
  std::string insert_columns;
  std::string slots;
  bool have_counter = false;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const AccessColumn& column = table.columns[i];
    const std::string at = where + ", column " + column.name;
    std::optional<std::string> type = JetDeclaration(column);
    if (!NameIsUsable(column.name)) {
      lost.push_back(at + ": the name cannot be written in Jet SQL; column not converted");
      continue;
    }
    if (!type) {
      lost.push_back(at + ": " + AccessTypeName(column) +
                     " has no Jet equivalent; column not converted");
      continue;
    }
    if (*type == "counter") {
      // A Jet table numbers one column; any further one keeps its values as plain numbers.
      if (have_counter) {
        lost.push_back(at + ": a second AutoNumber column is kept as Long Integer");
        *type = "long";
      }
      have_counter = true;
    }
    for (const std::string& p : column.lost_properties) {
      lost.push_back(at + ": property " + p + " has no equivalent");
    }
    if (!columns.empty()) {
      columns += ", ";
      insert_columns += ", ";
      slots += ", ";
    }
    columns += Bracketed(column.name) + " " + *type;
    // The default has the form of a plain number (checked when it was read), so it stands in the
    // statement as a literal; a DDL statement has no parameters to bind it to.
    if (!column.default_number.empty()) columns += " DEFAULT " + column.default_number;
    if (column.required && !column.auto_number) columns += " NOT NULL";
    insert_columns += Quoted(column.name);
    slots += "?";
    kept_.push_back(i);
  }
  if (kept_.empty()) {
    throw Error(errc::kUnspecified, "Table '" + table.name + "' has no column that converts.",
                kSource);
  }
  for (const AccessIndex& index : table.indexes) {
    if (!index.primary) continue;
    std::string keys;
    bool complete = !index.damaged && !index.keys.empty();
    for (const IndexKey& key : index.keys) {
      bool present = false;
      for (size_t k : kept_) present = present || table.columns[k].name == key.column;
      complete = complete && present;
      keys += (keys.empty() ? "" : ", ") + Bracketed(key.column);
    }
    if (!complete) {
      lost.push_back(where + ": primary key " + index.name +
                     " names a column that was not converted; key not converted");
      continue;
    }
    columns += ", PRIMARY KEY (" + keys + ")";
  }
  data::SqliteExec(
      db_.get(),
      data::TranslateJet("CREATE TABLE " + Bracketed(table.name) + " (" + columns + ")").c_str());
  names_.insert(text::ToUpperAscii(table.name));

  std::string sql =
      "INSERT INTO " + Quoted(table.name) + " (" + insert_columns + ") VALUES (" + slots + ")";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    throw data::SqliteError(db_.get());
  }
  insert_.reset(raw);
}

std::optional<std::string> JetStoreBuilder::AddRow(const std::vector<Cell>& cells) {
  sqlite3_stmt* st = insert_.get();
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  for (size_t slot = 0; slot < kept_.size(); ++slot) {
    size_t column = kept_[slot];
    if (column >= cells.size()) return "the row has fewer values than the table has columns";
    if (auto why = Bind(st, static_cast<int>(slot + 1), cells[column])) {
      return "column " + table_->columns[column].name + ": " + *why;
    }
  }
  // A failed insert undoes itself alone; the transaction and the rows before it stay.
  if (sqlite3_step(st) != SQLITE_DONE) return sqlite3_errmsg(db_.get());
  return std::nullopt;
}

void JetStoreBuilder::EndTable(std::vector<std::string>& lost) {
  insert_.reset();
  const AccessTable& table = *table_;
  for (const AccessIndex& index : table.indexes) {
    if (index.primary) continue;
    const std::string at = "table " + table.name + ", index " + index.name;
    bool complete = !index.damaged && !index.keys.empty() && NameIsUsable(index.name);
    std::string keys;
    for (const IndexKey& key : index.keys) {
      bool present = false;
      for (size_t k : kept_) present = present || table.columns[k].name == key.column;
      complete = complete && present;
      keys += (keys.empty() ? "" : ", ") + Bracketed(key.column) + (key.descending ? " DESC" : "");
    }
    if (!complete) {
      lost.push_back(at + ": it names a column that was not converted; index not converted");
      continue;
    }
    // Index names are per table in Access and per file in SQLite, where tables share them too.
    std::string name = index.name;
    if (names_.count(text::ToUpperAscii(name))) name = table.name + "_" + index.name;
    for (int n = 2; names_.count(text::ToUpperAscii(name)); ++n) {
      name = table.name + "_" + index.name + "_" + std::to_string(n);
    }
    std::string sql = std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " +
                      Bracketed(name) + " ON " + Bracketed(table.name) + " (" + keys + ")";
    try {
      data::SqliteExec(db_.get(), data::TranslateJet(sql).c_str());
      names_.insert(text::ToUpperAscii(name));
    } catch (const Error& e) {
      lost.push_back(at + ": " + e.description() + "; index not converted");
    }
  }
  table_ = nullptr;
}

void JetStoreBuilder::Publish() {
  insert_.reset();
  data::SqliteExec(db_.get(), "COMMIT");
  db_.reset();
  // The temporary name was made private to this process; the copy is an ordinary file.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temporary_.c_str(), 0666 & ~mask);
  if (replace_) {
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
      FailErrno("Cannot replace '" + destination_.string() + "'");
    }
  } else {
    // link, unlike rename, refuses a destination that appeared while the file was built.
    if (::link(temporary_.c_str(), destination_.c_str()) != 0) {
      if (errno == EEXIST) {
        throw Error(errc::kDatabaseExists,
                    "'" + destination_.string() + "' exists; --force replaces it.", kSource);
      }
      FailErrno("Cannot create '" + destination_.string() + "'");
    }
    ::unlink(temporary_.c_str());
  }
  published_ = true;
  std::filesystem::path folder = destination_.parent_path();
  SyncFolder(folder.empty() ? "." : folder);
}

}  // namespace mirelda::import
