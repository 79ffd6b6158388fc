#include "import/access_file.h"

#include <mdbtools.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include "mirelda/error.h"

namespace mirelda::import {
namespace {

// Large enough for any text column and for memos of a megabyte; a longer memo is reported
// rather than cut short.
constexpr size_t kBindSize = size_t{1} << 20;

struct TableCloser {
  void operator()(MdbTableDef* table) const noexcept { mdb_free_tabledef(table); }
};
using TableDef = std::unique_ptr<MdbTableDef, TableCloser>;

[[noreturn]] void Fail(int32_t number, const std::string& description) {
  throw Error(number, description, "mirelda-import-mdb");
}

// Every Access file opens with a page whose bytes 4..19 name the engine that wrote it; checking
// them first keeps libmdb away from files that are something else entirely.
void RequireAccessHeader(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == EACCES) Fail(errc::kPermissionDenied, "Cannot read '" + path.string() + "'.");
    Fail(errc::kFileNotFound, "Cannot open '" + path.string() + "': " + std::strerror(errno));
  }
  std::array<char, 20> head{};
  in.read(head.data(), head.size());
  std::string_view name(head.data() + 4, 15);
  if (in.gcount() != static_cast<std::streamsize>(head.size()) ||
      (name != "Standard Jet DB" && name != "Standard ACE DB")) {
    Fail(errc::kUnspecified, "'" + path.string() + "' is not an Access database file.");
  }
}

AccessType TypeOf(const MdbColumn& col) {
  switch (col.col_type) {
    case MDB_BOOL:
      return AccessType::kBoolean;
    case MDB_BYTE:
      return AccessType::kByte;
    case MDB_INT:
      return AccessType::kInteger;
    case MDB_LONGINT:
      return AccessType::kLong;
    case MDB_MONEY:
      return AccessType::kCurrency;
    case MDB_FLOAT:
      return AccessType::kSingle;
    case MDB_DOUBLE:
      return AccessType::kDouble;
    case MDB_DATETIME:
      return AccessType::kDateTime;
    case MDB_BINARY:
      return AccessType::kBinary;
    case MDB_TEXT:
      return AccessType::kText;
    case MDB_OLE:
      return AccessType::kOle;
    case MDB_MEMO:
      return AccessType::kMemo;
    case MDB_REPID:
      return AccessType::kGuid;
    case MDB_NUMERIC:
      return AccessType::kDecimal;
    case MDB_COMPLEX:
      return AccessType::kComplex;
    default:
      return AccessType::kUnknown;
  }
}

bool IsYes(const char* value) {
  return value && (std::strcmp(value, "yes") == 0 || std::strcmp(value, "True") == 0);
}

// The properties that carry meaning the Jet file cannot keep: defaults and validation are
// Access's own expressions, evaluated by Access alone.
std::vector<std::string> LostProperties(const char* (*get)(const void*, const gchar*),
                                        const void* owner) {
  std::vector<std::string> lost;
  for (const char* key : {"DefaultValue", "ValidationRule", "ValidationText"}) {
    if (const char* value = get(owner, key); value && *value) {
      lost.push_back(std::string(key) + ": " + value);
    }
  }
  return lost;
}

// A default value that Jet SQL can state as it stands: a number, or Yes/No. Anything else (text,
// Now(), Date() ...) is an expression that Access alone evaluates.
std::string PlainDefault(const char* value) {
  if (!value) return "";
  std::string v = value;
  if (v == "Yes" || v == "True") return "1";
  if (v == "No" || v == "False") return "0";
  size_t i = v.starts_with('-') ? 1 : 0;
  size_t digits = 0, points = 0;
  for (size_t k = i; k < v.size(); ++k) {
    if (v[k] >= '0' && v[k] <= '9') {
      ++digits;
    } else if (v[k] == '.' && points++ == 0) {
      continue;
    } else {
      return "";
    }
  }
  return digits > 0 && digits <= 30 ? v : "";
}

const char* ColumnProperty(const void* col, const gchar* key) {
  return mdb_col_get_prop(static_cast<const MdbColumn*>(col), key);
}
const char* TableProperty(const void* table, const gchar* key) {
  return mdb_table_get_prop(static_cast<const MdbTableDef*>(table), key);
}

MdbColumn* ColumnAt(MdbTableDef* table, size_t i) {
  return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
}

template <typename T>
T ReadLittleEndian(const unsigned char* at) {
  std::array<unsigned char, sizeof(T)> bytes;
  std::copy(at, at + sizeof(T), bytes.begin());
  if constexpr (std::endian::native == std::endian::big) std::reverse(bytes.begin(), bytes.end());
  T value;
  std::memcpy(&value, bytes.data(), sizeof(T));
  return value;
}

// The braced text form of a GUID whose first three groups are stored little-endian.
std::string GuidText(const unsigned char* b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr int kOrder[] = {3,  2, 1, 0,  -1, 5,  4,  -1, 7,  6,
                                   -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
  std::string text = "{";
  for (int i : kOrder) {
    if (i < 0) {
      text += '-';
    } else {
      text += kHex[b[i] >> 4];
      text += kHex[b[i] & 15];
    }
  }
  return text + "}";
}

Cell Unreadable(std::string why) {
  Cell cell;
  cell.kind = Cell::Kind::kUnreadable;
  cell.text = std::move(why);
  return cell;
}

size_t FixedSize(int type) {
  switch (type) {
    case MDB_BYTE:
      return 1;
    case MDB_INT:
      return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
      return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
      return 8;
    case MDB_REPID:
      return 16;
    case MDB_NUMERIC:
      return 17;
    default:
      return 0;
  }
}

// The value of a fixed-size or short binary column, read from the row's bytes on the page.
Cell FixedValue(MdbHandle* mdb, const MdbColumn& col, const MdbField& field) {
  Cell cell;
  size_t page = static_cast<size_t>(mdb->fmt->pg_size);
  size_t start = static_cast<size_t>(field.start);
  size_t need =
      col.col_type == MDB_BINARY ? static_cast<size_t>(field.siz) : FixedSize(col.col_type);
  if (field.start < 0 || field.siz < 0 || start > page || need > page - start ||
      (col.col_type != MDB_BINARY && static_cast<size_t>(field.siz) < need)) {
    return Unreadable("the value lies outside its page");
  }
  const unsigned char* at = mdb->pg_buf + start;
  switch (col.col_type) {
    case MDB_BYTE:
      cell.kind = Cell::Kind::kInteger;
      cell.integer = at[0];
      break;
    case MDB_INT:
      cell.kind = Cell::Kind::kInteger;
      cell.integer = ReadLittleEndian<int16_t>(at);
      break;
    case MDB_LONGINT:
      cell.kind = Cell::Kind::kInteger;
      cell.integer = ReadLittleEndian<int32_t>(at);
      break;
    case MDB_MONEY:
      cell.kind = Cell::Kind::kReal;
      cell.real = static_cast<double>(ReadLittleEndian<int64_t>(at)) / 10000.0;
      break;
    case MDB_FLOAT:
      cell.kind = Cell::Kind::kReal;
      cell.real = ReadLittleEndian<float>(at);
      break;
    case MDB_DOUBLE:
      cell.kind = Cell::Kind::kReal;
      cell.real = ReadLittleEndian<double>(at);
      break;
    case MDB_DATETIME:
      cell.kind = Cell::Kind::kDate;
      cell.real = ReadLittleEndian<double>(at);
      break;
    case MDB_REPID:
      cell.kind = Cell::Kind::kText;
      cell.text = GuidText(at);
      break;
    case MDB_NUMERIC: {
      char* text = mdb_numeric_to_string(mdb, field.start, col.col_scale, col.col_prec);
      cell.kind = Cell::Kind::kText;
      cell.text = text ? text : "";
      g_free(text);
      break;
    }
    case MDB_BINARY:
      cell.kind = Cell::Kind::kBytes;
      cell.text.assign(reinterpret_cast<const char*>(at), need);
      break;
    default:
      return Unreadable("no reader for type code " + std::to_string(col.col_type));
  }
  return cell;
}

bool IsBound(int type) { return type == MDB_TEXT || type == MDB_MEMO || type == MDB_OLE; }

}  // namespace

struct AccessFile::Handle {
  MdbHandle* mdb = nullptr;
  std::filesystem::path path;
  ~Handle() {
    if (mdb) mdb_close(mdb);
  }

  TableDef Open(const std::string& name) const {
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, name.c_str());
    if (!entry) Fail(errc::kNoSuchTable, "The file has no table '" + name + "'.");
    TableDef table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get())) {
      Fail(errc::kUnspecified, "The definition of table '" + name + "' cannot be read.");
    }
    return table;
  }
};

AccessFile::AccessFile(const std::filesystem::path& path) : handle_(std::make_unique<Handle>()) {
  handle_->path = path;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    Fail(errc::kFileNotFound, "File not found: '" + path.string() + "'.");
  }
  if (std::filesystem::is_directory(path, ec)) {
    Fail(errc::kUnspecified, "'" + path.string() + "' is a folder, not an Access database file.");
  }
  RequireAccessHeader(path);
  handle_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (handle_->mdb && IS_JET3(handle_->mdb) && !std::getenv("MDB_JET3_CHARSET")) {
    // libmdb decodes Jet 3 text in the code page this variable names, read when the file opens;
    // the file's own code page is known only once it is open, so it opens a second time.
    uint16_t code_page = handle_->mdb->f->code_page;
    if (code_page != 0) {
      ::setenv("MDB_JET3_CHARSET", ("CP" + std::to_string(code_page)).c_str(), 1);
      mdb_close(handle_->mdb);
      handle_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    }
  }
  if (!handle_->mdb || !mdb_read_catalog(handle_->mdb, MDB_ANY)) {
    Fail(errc::kUnspecified,
         "'" + path.string() + "' is damaged or in a format libmdb cannot read.");
  }
  mdb_set_bind_size(handle_->mdb, kBindSize);
}

AccessFile::~AccessFile() = default;

bool AccessFile::IsJet3() const { return IS_JET3(handle_->mdb); }

std::string AccessFile::FormatName() const {
  switch (handle_->mdb->f->jet_version) {
    case MDB_VER_JET3:
      return "Jet 3";
    case MDB_VER_JET4:
      return "Jet 4";
    case MDB_VER_ACCDB_2007:
      return "Access 2007";
    case MDB_VER_ACCDB_2010:
      return "Access 2010";
    default:
      return "Access 2013 or later";
  }
}

std::vector<std::string> AccessFile::TableNames() const {
  std::vector<std::string> names;
  GPtrArray* catalog = handle_->mdb->catalog;
  for (guint i = 0; i < catalog->len; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
    if (mdb_is_user_table(entry)) names.emplace_back(entry->object_name);
  }
  return names;
}

std::vector<OtherObject> AccessFile::OtherObjects() const {
  std::vector<OtherObject> objects;
  GPtrArray* catalog = handle_->mdb->catalog;
  for (guint i = 0; i < catalog->len; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
    const char* kind = nullptr;
    switch (entry->object_type) {
      case MDB_QUERY:
        kind = "saved query";
        break;
      case MDB_FORM:
        kind = "form";
        break;
      case MDB_REPORT:
        kind = "report";
        break;
      case MDB_MACRO:
        kind = "macro";
        break;
      case MDB_MODULE:
        kind = "module";
        break;
      case MDB_LINKED_TABLE:
        kind = "linked table";
        break;
      default:
        continue;
    }
    // Access's own bookkeeping objects ("MSysDb") are no part of the application.
    if (std::string_view(entry->object_name).starts_with("MSys")) continue;
    objects.push_back({kind, entry->object_name});
  }
  return objects;
}

std::vector<Relationship> AccessFile::Relationships() const {
  if (!mdb_get_catalogentry_by_name(handle_->mdb, "MSysRelationships")) return {};
  AccessTable table = ReadTable("MSysRelationships");
  auto column = [&](const char* name) -> std::optional<size_t> {
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i].name == name) return i;
    }
    return std::nullopt;
  };
  auto rel = column("szRelationship"), object = column("szObject"), col = column("szColumn"),
       ref = column("szReferencedObject"), ref_col = column("szReferencedColumn");
  if (!rel || !object || !col || !ref || !ref_col) {
    Fail(errc::kUnspecified, "The file's relationship table has an unknown layout.");
  }
  std::vector<Relationship> relationships;
  ForEachRow("MSysRelationships", [&](const std::vector<Cell>& row) {
    relationships.push_back(
        {row[*rel].text, row[*object].text, row[*col].text, row[*ref].text, row[*ref_col].text});
  });
  return relationships;
}

AccessTable AccessFile::ReadTable(const std::string& name) const {
  TableDef def = handle_->Open(name);
  MdbTableDef* table = def.get();
  AccessTable result;
  result.name = name;
  result.lost_properties = LostProperties(TableProperty, table);
  for (size_t i = 0; i < table->num_cols; ++i) {
    const MdbColumn& col = *ColumnAt(table, i);
    AccessColumn column;
    column.name = col.name;
    column.type = TypeOf(col);
    column.type_code = col.col_type;
    column.size_chars = IS_JET3(handle_->mdb) ? col.col_size : col.col_size / 2;
    column.precision = col.col_prec;
    column.scale = col.col_scale;
    column.auto_number = col.is_long_auto != 0;
    column.required = IsYes(mdb_col_get_prop(&col, "Required"));
    column.lost_properties = LostProperties(ColumnProperty, &col);
    column.default_number = PlainDefault(mdb_col_get_prop(&col, "DefaultValue"));
    if (!column.default_number.empty()) {
      std::erase_if(column.lost_properties,
                    [](const std::string& p) { return p.starts_with("DefaultValue: "); });
    }
    if (col.is_uuid_auto) column.lost_properties.push_back("AutoNumber: new GUIDs");
    result.columns.push_back(std::move(column));
  }
  // libmdb fills table->indices but does not return it.
  mdb_read_indices(table);
  for (guint i = 0; table->indices && i < table->indices->len; ++i) {
    const MdbIndex& idx = *static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
    AccessIndex index;
    index.name = idx.name;
    index.primary = idx.index_type == 1;
    index.relationship = idx.index_type == 2;
    index.unique = (idx.flags & MDB_IDX_UNIQUE) != 0;
    // The foreign-key side of a relationship names no columns of its own: the relationship,
    // reported with the others, is all there is to it.
    if (index.relationship && idx.num_keys == 0) continue;
    for (unsigned k = 0; k < idx.num_keys && k < MDB_MAX_IDX_COLS; ++k) {
      int number = idx.key_col_num[k];
      if (number < 1 || static_cast<size_t>(number) > table->num_cols) {
        index.damaged = true;
        continue;
      }
      index.keys.push_back({ColumnAt(table, static_cast<size_t>(number - 1))->name,
                            idx.key_col_order[k] == MDB_DESC});
    }
    result.indexes.push_back(std::move(index));
  }
  return result;
}

void AccessFile::ForEachRow(const std::string& name,
                            const std::function<void(const std::vector<Cell>&)>& row) const {
  MdbHandle* mdb = handle_->mdb;
  TableDef def = handle_->Open(name);
  MdbTableDef* table = def.get();
  const size_t count = table->num_cols;
  std::vector<std::vector<char>> bound(count);
  std::vector<int> lengths(count, 0);
  for (size_t i = 0; i < count; ++i) {
    if (!IsBound(ColumnAt(table, i)->col_type)) continue;
    bound[i].assign(kBindSize, '\0');
    mdb_bind_column(table, static_cast<int>(i + 1), bound[i].data(), &lengths[i]);
  }
  mdb_rewind_table(table);
  std::vector<MdbField> fields(std::max<size_t>(count, MDB_MAX_COLS) + 1);
  std::vector<Cell> cells(count);
  while (mdb_fetch_row(table)) {
    // libmdb hands bound columns over as text; the other values and every column's null flag
    // come from cracking the row it just read, which is still the current page's last row.
    int start = 0;
    size_t size = 0;
    bool cracked = table->cur_row > 0 &&
                   mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size) == 0 &&
                   mdb_crack_row(table, start, size, fields.data()) >= static_cast<int>(count);
    for (size_t i = 0; i < count; ++i) {
      MdbColumn& col = *ColumnAt(table, i);
      Cell& cell = cells[i];
      cell = Cell{};
      if (!cracked) {
        cell = Unreadable("the row cannot be decoded");
        continue;
      }
      const MdbField& field = fields[i];
      if (col.col_type == MDB_BOOL) {
        // A yes/no value lives in the row's null mask: a set bit is Yes; it is never Null.
        cell.kind = Cell::Kind::kInteger;
        cell.integer = field.is_null ? 0 : 1;
      } else if (field.is_null) {
        cell.kind = Cell::Kind::kNull;
      } else if (col.col_type == MDB_TEXT || col.col_type == MDB_MEMO) {
        size_t length = static_cast<size_t>(std::clamp(lengths[i], 0, static_cast<int>(kBindSize)));
        if (length >= kBindSize - 1) {
          cell = Unreadable("a memo of more than " + std::to_string(kBindSize - 1) + " bytes");
        } else {
          cell.kind = Cell::Kind::kText;
          cell.text.assign(bound[i].data(), strnlen(bound[i].data(), length));
        }
      } else if (col.col_type == MDB_OLE) {
        continue;  // read below, once the fixed values are taken from the page
      } else {
        cell = FixedValue(mdb, col, field);
      }
    }
    for (size_t i = 0; cracked && i < count; ++i) {
      MdbColumn* col = ColumnAt(table, i);
      if (col->col_type != MDB_OLE || fields[i].is_null) continue;
      size_t length = 0;
      void* data = mdb_ole_read_full(mdb, col, &length);
      if (!data && length != 0) {
        cells[i] = Unreadable("the OLE object cannot be read");
        continue;
      }
      cells[i].kind = Cell::Kind::kBytes;
      cells[i].text.assign(static_cast<const char*>(data), data ? length : 0);
      g_free(data);
    }
    row(cells);
  }
}

}  // namespace mirelda::import
