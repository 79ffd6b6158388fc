#include "data/data_record_set.h"

#include "data/data_classes.h"
#include "data/data_command.h"
#include "data/sql_lexer.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr int32_t kCommandTypeBits = kCmdText | kCmdTable | 4 | 8 | kCmdTableDirect;

bool IsBareName(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    return text.find(']') == text.size() - 1;
  }
  if (text.empty() || (text[0] >= '0' && text[0] <= '9')) return false;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (!(u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          c == '_')) {
      return false;
    }
  }
  return !text::EqualsIgnoreCase(text, "select");
}

// The table name of "name" or "[name]".
std::string TableName(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  if (text.empty() || text.find_first_of("[]") != std::string_view::npos) {
    throw Error(errc::kWrongArguments, "A table name cannot hold \"[\" or \"]\".");
  }
  return std::string(text);
}

// The one table a "SELECT ... FROM t [alias] [WHERE|ORDER BY ...]" reads, or "" when it reads
// several, a subquery, or anything the rows could not be written back to.
std::string SingleTable(std::string_view sql) {
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(sql, Dialect::kJet);
  } catch (const Error&) {
    return {};
  }
  if (tokens.empty() || !tokens[0].Is("SELECT")) return {};
  size_t from = 0;
  int depth = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].IsSymbol("(")) ++depth;
    if (tokens[i].IsSymbol(")")) --depth;
    if (depth == 0 && (tokens[i].Is("DISTINCT") || tokens[i].Is("GROUP") || tokens[i].Is("UNION") ||
                       tokens[i].Is("HAVING"))) {
      return {};
    }
    if (depth == 0 && !from && tokens[i].Is("FROM")) from = i;
  }
  if (!from || from + 1 >= tokens.size() || !tokens[from + 1].IsIdentifier()) return {};
  std::string table = tokens[from + 1].Name();
  for (size_t i = from + 2; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.Is("WHERE") || t.Is("ORDER") || t.IsSymbol(";")) break;
    if (t.IsSymbol(",") || t.IsSymbol(".") || t.Is("JOIN") || t.IsSymbol("(")) return {};
  }
  return table;
}

}  // namespace

DataRecordSet::~DataRecordSet() {
  if (fields_) fields_->Detach();
}

void DataRecordSet::Open(const Variant& source, const Variant& active_connection,
                         int32_t cursor_type, int32_t lock_type, int32_t options) {
  if (cursor_->rows) throw Error(errc::kObjectOpen);
  // A Command as the source brings its own connection and parameters.
  if (auto command = source.is_object() ? std::dynamic_pointer_cast<DataCommand>(source.ToObject())
                                        : nullptr) {
    if (cursor_type != cursor_type::kUnspecified) SetCursorType(cursor_type);
    if (lock_type != lock_type::kUnspecified) SetLockType(lock_type);
    RunResult result = command->Run(options);
    if (!result.rows) return;
    Attach(std::move(result.rows), cursor_type_);
    return;
  }
  std::string text = source.is_missing() || source.is_empty() ? source_
                     : source.is_string()                     ? source.ToString()
                                                              : std::string();
  if (text.empty()) throw Error(errc::kWrongArguments, "The record set has no source to open.");
  if (cursor_type != cursor_type::kUnspecified) SetCursorType(cursor_type);
  if (lock_type != lock_type::kUnspecified) SetLockType(lock_type);

  std::shared_ptr<DataConnection> connection = connection_;
  bool own = own_connection_;
  if (!active_connection.is_missing() && !active_connection.is_empty()) {
    if (active_connection.is_object()) {
      connection = std::dynamic_pointer_cast<DataConnection>(active_connection.ToObject());
      own = false;
    } else if (active_connection.is_string()) {
      connection = std::make_shared<DataConnection>();
      connection->Open(active_connection.ToString());
      own = true;
    } else {
      connection = nullptr;
    }
  }
  if (!connection) throw Error(errc::kConnectionInvalid);

  int32_t command = options == -1 ? 8 : (options & kCommandTypeBits);
  bool table = command == kCmdTable || command == kCmdTableDirect ||
               ((command == 8 || command == 0) && IsBareName(text));
  std::string statement = text;
  std::string base;
  if (table) {
    base = TableName(text);
    statement = "SELECT * FROM [" + base + "]";
  } else {
    base = SingleTable(text);
  }
  std::shared_ptr<const ResultTable> rows = connection->OpenEngineOrRaise().Run(statement);
  source_ = text;
  connection_ = connection;
  own_connection_ = own;
  if (!rows) return;
  enum CursorType type = cursor_location_ == kUseClient ? CursorType::kStatic : cursor_type_;
  Attach(std::move(rows), type);
  table_ = std::move(base);
}

void DataRecordSet::Attach(std::shared_ptr<const ResultTable> rows, enum CursorType cursor_type) {
  if (fields_) fields_->Detach();
  // A fresh cursor: field objects kept from an earlier opening stay with the closed one.
  cursor_ = std::make_shared<Cursor>();
  cursor_->stored = rows->RowCount();
  cursor_->count = cursor_->stored;
  cursor_->rows = std::move(rows);
  cursor_->position = 0;
  cursor_->pending.resize(cursor_->rows->columns().size());
  cursor_type_ = cursor_type;
  table_.clear();
  filter_text_.clear();
  filter_.reset();
  sort_text_.clear();
  sort_.clear();
  fields_ = std::make_shared<DataFields>(cursor_, static_cast<FieldWrites*>(this));
}

const ResultTable& DataRecordSet::RequireOpen() const { return cursor_->RequireRows(); }

void DataRecordSet::RequireClosed() const {
  if (cursor_->rows) throw Error(errc::kObjectOpen);
}

void DataRecordSet::RequireBackward() const {
  if (cursor_type_ == CursorType::kForwardOnly) throw Error(errc::kFetchBackward);
}

bool DataRecordSet::CountsRows() const {
  return cursor_type_ == CursorType::kKeyset || cursor_type_ == CursorType::kStatic;
}

void DataRecordSet::SetCursorType(int32_t value) {
  RequireClosed();
  if (value < cursor_type::kForwardOnly || value > cursor_type::kStatic) {
    throw Error(errc::kWrongArguments);
  }
  cursor_type_ = static_cast<enum CursorType>(value);
}

void DataRecordSet::SetLockType(int32_t value) {
  RequireClosed();
  if (value < lock_type::kReadOnly || value > lock_type::kBatchOptimistic) {
    throw Error(errc::kWrongArguments);
  }
  lock_type_ = value;
}

void DataRecordSet::SetCursorLocation(int32_t value) {
  RequireClosed();
  if (value != kUseServer && value != kUseClient) throw Error(errc::kWrongArguments);
  cursor_location_ = value;
}

void DataRecordSet::SetSource(const std::string& value) {
  RequireClosed();
  source_ = value;
}

Variant DataRecordSet::ActiveConnection() {
  if (!connection_) return Variant::Nothing();
  return Variant(std::shared_ptr<Dispatch>(connection_));
}

void DataRecordSet::SetActiveConnection(const Variant& value) {
  RequireClosed();
  if (value.is_object()) {
    auto object = value.ToObject();
    auto connection = std::dynamic_pointer_cast<DataConnection>(object);
    if (object && !connection) throw Error(errc::kConnectionInvalid);
    connection_ = std::move(connection);
    own_connection_ = false;
    return;
  }
  auto connection = std::make_shared<DataConnection>();
  connection->Open(value.ToString());
  connection_ = std::move(connection);
  own_connection_ = true;
}

bool DataRecordSet::IsEOF() {
  RequireOpen();
  return cursor_->AtEnd();
}

bool DataRecordSet::IsBOF() {
  RequireOpen();
  return cursor_->BeforeStart();
}

void DataRecordSet::MoveTo(int64_t position) {
  Cursor& c = *cursor_;
  if (!c.deleted.empty() && c.ordered) {
    // A deleted row stays current until the position leaves it; then it leaves the order.
    std::vector<size_t> kept;
    kept.reserve(c.order.size());
    int64_t shift = 0;
    for (size_t i = 0; i < c.order.size(); ++i) {
      if (c.deleted.contains(c.order[i])) {
        if (static_cast<int64_t>(i) < position) ++shift;
        continue;
      }
      kept.push_back(c.order[i]);
    }
    c.order = std::move(kept);
    c.count = c.order.size();
    position -= shift;
  }
  c.position = std::max<int64_t>(-1, std::min<int64_t>(position, static_cast<int64_t>(c.count)));
}

void DataRecordSet::MoveNext() {
  RequireOpen();
  if (cursor_->AtEnd()) throw Error(errc::kNoCurrentRecord);
  SettleEdit();
  MoveTo(cursor_->position + 1);
}

void DataRecordSet::MovePrevious() {
  RequireOpen();
  RequireBackward();
  if (cursor_->BeforeStart()) throw Error(errc::kNoCurrentRecord);
  SettleEdit();
  MoveTo(cursor_->position - 1);
}

void DataRecordSet::MoveFirst() {
  RequireOpen();
  SettleEdit();
  MoveTo(-1);
  if (cursor_->count == 0) throw Error(errc::kNoCurrentRecord);
  cursor_->position = 0;
}

void DataRecordSet::MoveLast() {
  RequireOpen();
  RequireBackward();
  SettleEdit();
  MoveTo(-1);
  if (cursor_->count == 0) throw Error(errc::kNoCurrentRecord);
  cursor_->position = static_cast<int64_t>(cursor_->count) - 1;
}

void DataRecordSet::Move(int32_t num_records, const Variant& start) {
  RequireOpen();
  if (num_records < 0) RequireBackward();
  int64_t from = cursor_->position;
  if (!start.is_missing()) from = PlaceOf(start);
  int64_t target = from + num_records;
  // Moving from BOF or EOF further out is refused; moving past an end stops at it.
  if ((num_records > 0 && cursor_->AtEnd() && start.is_missing()) ||
      (num_records < 0 && cursor_->BeforeStart() && start.is_missing())) {
    throw Error(errc::kNoCurrentRecord);
  }
  SettleEdit();
  MoveTo(target);
}

int32_t DataRecordSet::RecordCount() {
  RequireOpen();
  if (!CountsRows()) return -1;
  // Rows deleted earlier have left the order already; only the current one may remain in it.
  size_t gone =
      cursor_->OnRow() && cursor_->deleted.contains(cursor_->RowAt(cursor_->position)) ? 1 : 0;
  return static_cast<int32_t>(cursor_->count - gone);
}

std::shared_ptr<Fields> DataRecordSet::GetFields() {
  RequireOpen();
  return fields_;
}

void DataRecordSet::Close() {
  RequireOpen();
  cursor_->rows.reset();
  fields_->Detach();
  fields_.reset();
  if (own_connection_ && connection_) {
    connection_->Close();
    connection_.reset();
    own_connection_ = false;
  }
}

int32_t DataRecordSet::State() { return cursor_->rows ? kStateOpen : kStateClosed; }

std::optional<Guid> DataRecordSet::ClassId() const { return RecordSetClassId(); }

Variant DataRecordSet::GetRows(int32_t rows, const Variant& start, const Variant& fields) {
  const ResultTable& table = RequireOpen();
  if (rows < kGetRowsRest) throw Error(errc::kWrongArguments);
  SettleEdit();
  if (!start.is_missing()) MoveTo(PlaceOf(start));
  if (!cursor_->OnRow()) throw Error(errc::kNoCurrentRecord);
  std::vector<size_t> columns;
  if (fields.is_missing()) {
    for (size_t c = 0; c < table.columns().size(); ++c) columns.push_back(c);
  } else if (fields.is_array()) {
    for (const Variant& f : fields.AsArray().items()) columns.push_back(fields_->ColumnOf(f));
  } else {
    columns.push_back(fields_->ColumnOf(fields));
  }
  int64_t available = static_cast<int64_t>(cursor_->count) - cursor_->position;
  int64_t taken = rows == kGetRowsRest ? available : std::min<int64_t>(rows, available);
  VariantArray out =
      VariantArray::WithBounds({ArrayBound{0, static_cast<int32_t>(columns.size()) - 1},
                                ArrayBound{0, static_cast<int32_t>(taken) - 1}});
  for (int64_t r = 0; r < taken; ++r) {
    size_t row = cursor_->RowAt(static_cast<size_t>(cursor_->position + r));
    for (size_t f = 0; f < columns.size(); ++f) {
      int64_t at[2] = {static_cast<int64_t>(f), r};
      out.at(std::span<const int64_t>(at, 2)) = cursor_->Stored(row, columns[f]);
    }
  }
  MoveTo(cursor_->position + taken);
  return Variant(std::move(out));
}

bool DataRecordSet::Supports(int32_t cursor_options) {
  RequireOpen();
  using namespace cursor_option;
  int32_t supported = kHoldRecords | kFind;
  if (cursor_type_ != CursorType::kForwardOnly) {
    supported |= kMovePrevious | kBookmark | kApproxPosition;
  }
  if (Updatable()) supported |= kAddNew | kDelete | kUpdate;
  return (cursor_options & ~supported) == 0;
}

std::shared_ptr<RecordSet> DataRecordSet::NextRecordset(Variant& records_affected) {
  RequireOpen();
  Close();
  records_affected = Variant(0);
  return nullptr;
}

}  // namespace mirelda::data
