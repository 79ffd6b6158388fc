// The data access components as components and pages see them: connection, record set, fields,
// catalog, Jet engine and file system object. The data library implements them over SQLite (the
// Jet file database), PostgreSQL (the "{sql server}" database) and the file system, and registers
// them under "ADODB.Connection", "ADODB.RecordSet", "ADOX.Catalog", "JRO.JetEngine" and
// "Scripting.FileSystemObject". The same library serves "Scripting.Dictionary", which pages reach
// by late binding only.
//
// Threading: an object belongs to the page that created it; a connection is never used by two
// threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mirelda/dispatch.h"
#include "mirelda/export.h"
#include "mirelda/variant.h"

namespace mirelda {

class RecordSet;
class Fields;
class Field;
class Properties;
class Property;

// Object states.
inline constexpr int32_t kStateClosed = 0;
inline constexpr int32_t kStateOpen = 1;

// Field types (the numbers of the replaced data access library).
namespace field_type {
inline constexpr int32_t kEmpty = 0;
inline constexpr int32_t kSmallInt = 2;
inline constexpr int32_t kInteger = 3;
inline constexpr int32_t kSingle = 4;
inline constexpr int32_t kDouble = 5;
inline constexpr int32_t kCurrency = 6;
inline constexpr int32_t kDate = 7;
inline constexpr int32_t kBoolean = 11;
inline constexpr int32_t kUnsignedTinyInt = 17;
inline constexpr int32_t kBigInt = 20;
inline constexpr int32_t kGuid = 72;
inline constexpr int32_t kNumeric = 131;
inline constexpr int32_t kVarWChar = 202;
inline constexpr int32_t kLongVarWChar = 203;
inline constexpr int32_t kLongVarBinary = 205;
}  // namespace field_type

// SchemaEnum values that OpenSchema serves.
namespace schema {
inline constexpr int32_t kColumns = 4;
inline constexpr int32_t kTables = 20;
}  // namespace schema

class MIRELDA_API Connection : public Dispatch {
 public:
  // Opens the connection that the string names; raises Error when it cannot. Raises when the
  // connection is already open.
  virtual void Open(const std::string& connection_string) = 0;
  // Runs one statement. A query gives an open record set of its rows; any other statement gives
  // a closed record set. Options -1 means unspecified.
  virtual std::shared_ptr<RecordSet> Execute(const std::string& text, int32_t options) = 0;
  // Execute that also gives the rows an INSERT, UPDATE or DELETE wrote (-1 for other statements).
  virtual std::shared_ptr<RecordSet> ExecuteCounted(const std::string& text, int32_t options,
                                                    int32_t& records_affected) = 0;
  // Raises Error when the connection is not open.
  virtual void Close() = 0;
  virtual int32_t State() = 0;
  virtual std::string ConnectionString() = 0;

  // Transactions nest: BeginTrans opens one more level and returns its number (1 for the
  // outermost). CommitTrans and RollbackTrans end the innermost level and raise Error when none
  // is open.
  virtual int32_t BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() = 0;
  // The Errors collection: the provider errors of the last operation that failed.
  virtual std::shared_ptr<Dispatch> Errors() = 0;
  // The rows of a schema (schema::kTables, schema::kColumns) under the column names of the
  // replaced library. criteria: Missing, or an array whose elements restrict the leading
  // columns in order (Empty for no restriction).
  virtual std::shared_ptr<RecordSet> OpenSchema(int32_t schema, const Variant& criteria) = 0;
  // Seconds to wait for the database when opening (0 without limit); set before Open.
  virtual int32_t ConnectionTimeout() = 0;
  virtual void SetConnectionTimeout(int32_t seconds) = 0;
  // Seconds a statement of Execute may run (0 without limit).
  virtual int32_t CommandTimeout() = 0;
  virtual void SetCommandTimeout(int32_t seconds) = 0;

  // The scripting forms: Open(ConnectionString, [UserID], [Password], [Options]) and
  // Execute(CommandText, [RecordsAffected], [Options]), filling RecordsAffected.
  void OpenWith(const std::string& connection_string, const Variant& user_id,
                const Variant& password, int32_t options);
  std::shared_ptr<RecordSet> ExecuteWith(const std::string& text, Variant& records_affected,
                                         int32_t options);
  std::shared_ptr<RecordSet> ScriptOpenSchema(int32_t schema, const Variant& criteria,
                                              const Variant& schema_id);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Connection"; }
};

// Cursor types, lock types and cursor locations (the numbers of the replaced library).
namespace cursor_type {
inline constexpr int32_t kUnspecified = -1;
inline constexpr int32_t kForwardOnly = 0;
inline constexpr int32_t kKeyset = 1;
inline constexpr int32_t kDynamic = 2;
inline constexpr int32_t kStatic = 3;
}  // namespace cursor_type
namespace lock_type {
inline constexpr int32_t kUnspecified = -1;
inline constexpr int32_t kReadOnly = 1;
inline constexpr int32_t kPessimistic = 2;
inline constexpr int32_t kOptimistic = 3;
inline constexpr int32_t kBatchOptimistic = 4;
}  // namespace lock_type
inline constexpr int32_t kUseServer = 2;
inline constexpr int32_t kUseClient = 3;
// Command types that Open's options carry.
inline constexpr int32_t kCmdText = 1;
inline constexpr int32_t kCmdTable = 2;
inline constexpr int32_t kCmdTableDirect = 512;
// AbsolutePage and AbsolutePosition off the rows.
inline constexpr int32_t kPosUnknown = -1;
inline constexpr int32_t kPosBOF = -2;
inline constexpr int32_t kPosEOF = -3;
// Find's search directions and GetRows' "all remaining rows".
inline constexpr int32_t kSearchForward = 1;
inline constexpr int32_t kSearchBackward = -1;
inline constexpr int32_t kGetRowsRest = -1;

// What Supports answers for (CursorOptionEnum).
namespace cursor_option {
inline constexpr int32_t kHoldRecords = 0x100;
inline constexpr int32_t kMovePrevious = 0x200;
inline constexpr int32_t kAddNew = 0x1000400;
inline constexpr int32_t kDelete = 0x1000800;
inline constexpr int32_t kUpdate = 0x1008000;
inline constexpr int32_t kBookmark = 0x2000;
inline constexpr int32_t kApproxPosition = 0x4000;
inline constexpr int32_t kUpdateBatch = 0x10000;
inline constexpr int32_t kResync = 0x20000;
inline constexpr int32_t kNotify = 0x40000;
inline constexpr int32_t kFind = 0x80000;
inline constexpr int32_t kSeek = 0x400000;
inline constexpr int32_t kIndex = 0x800000;
}  // namespace cursor_option

// The record set of one query or table. Members raise kObjectClosed on a closed record set
// unless they say otherwise; settings that only an opening reads (CursorType, LockType,
// CursorLocation, Source) raise kObjectOpen when set on an open one.
class MIRELDA_API RecordSet : public Dispatch {
 public:
  // Opens the rows of source on active_connection (a Connection object, or a connection string
  // that the record set opens for itself). Source is query text or, with kCmdTable or as a bare
  // name, a table whose rows all come back. A missing source or connection takes the Source and
  // ActiveConnection properties; -1 takes the CursorType and LockType properties.
  virtual void Open(const Variant& source, const Variant& active_connection, int32_t cursor_type,
                    int32_t lock_type, int32_t options) = 0;
  virtual bool IsEOF() = 0;
  virtual bool IsBOF() = 0;
  virtual void MoveNext() = 0;
  virtual void MovePrevious() = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  // Moves num_records rows from the current one, or from the bookmark start when given.
  virtual void Move(int32_t num_records, const Variant& start) = 0;
  // -1 for forward-only and dynamic cursors, the visible row count otherwise.
  virtual int32_t RecordCount() = 0;
  virtual std::shared_ptr<Fields> GetFields() = 0;
  // Raises Error when the record set is not open.
  virtual void Close() = 0;
  virtual int32_t State() = 0;

  virtual int32_t CursorType() = 0;
  virtual void SetCursorType(int32_t value) = 0;
  virtual int32_t LockType() = 0;
  virtual void SetLockType(int32_t value) = 0;
  virtual int32_t CursorLocation() = 0;
  virtual void SetCursorLocation(int32_t value) = 0;
  virtual std::string Source() = 0;
  virtual void SetSource(const std::string& value) = 0;
  // The connection object, or Nothing.
  virtual Variant ActiveConnection() = 0;
  virtual void SetActiveConnection(const Variant& value) = 0;

  // Pages of PageSize rows (10 unless set; kWrongArguments below 1). PageCount is -1 where
  // RecordCount is. AbsolutePage reads kPosBOF, kPosEOF or kPosUnknown off the rows; setting it
  // moves to the first row of that page.
  virtual int32_t PageSize() = 0;
  virtual void SetPageSize(int32_t value) = 0;
  virtual int32_t PageCount() = 0;
  virtual int32_t AbsolutePage() = 0;
  virtual void SetAbsolutePage(int32_t value) = 0;
  // The current row's one-based place among the visible rows.
  virtual int32_t AbsolutePosition() = 0;
  virtual void SetAbsolutePosition(int32_t value) = 0;
  virtual Variant Bookmark() = 0;
  virtual void SetBookmark(const Variant& value) = 0;

  // Criteria text such as "name = 'x' AND n > 3" (LIKE with * or %, OR, parentheses, Null), or
  // 0 to show every row again. Moves to the first visible row.
  virtual Variant Filter() = 0;
  virtual void SetFilter(const Variant& value) = 0;
  // "a ASC, b DESC"; "" for the stored order. Moves to the first row.
  virtual std::string Sort() = 0;
  virtual void SetSort(const std::string& value) = 0;
  // Moves to the next row (or previous, with kSearchBackward) that meets the criteria,
  // starting at the current row after skip rows, or at the bookmark start; EOF (BOF) when none.
  virtual void Find(const std::string& criteria, int32_t skip_records, int32_t direction,
                    const Variant& start) = 0;
  // The rows from the current one (or the bookmark start) as an array a(field, row); fields is
  // one field name or index, or an array of them. Leaves the position after the last row read.
  virtual Variant GetRows(int32_t rows, const Variant& start, const Variant& fields) = 0;
  virtual bool Supports(int32_t cursor_options) = 0;
  // There is never a second result: Nothing, and this record set closed.
  virtual std::shared_ptr<RecordSet> NextRecordset(Variant& records_affected) = 0;

  // Changes. A read-only record set refuses each with kNotSupported. AddNew makes a new row
  // current (with the given fields' values when names and values are given) and Update writes
  // it; Update writes the current row's changed fields by the table's primary key. Delete
  // removes the current row from the table. CancelUpdate forgets the edit.
  virtual void AddNew(const Variant& field_list, const Variant& values) = 0;
  virtual void Update(const Variant& fields, const Variant& values) = 0;
  virtual void CancelUpdate() = 0;
  virtual void Delete(int32_t affect_records) = 0;
  virtual int32_t EditMode() = 0;

  // The value of a field of the current row, by name (any letter case) or index.
  Variant FieldValue(const Variant& index);
  // The scripting forms: rs(index) gives the Field object and rs(index) = v writes its value;
  // rs.Fields the collection and rs.Fields(index) one field.
  std::shared_ptr<Field> FieldItem(const Variant& index);
  void PutFieldItem(const Variant& index, const Variant& value);
  Variant ScriptFields(const Variant& index);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Recordset"; }
};

class MIRELDA_API Fields : public Dispatch {
 public:
  virtual int32_t Count() = 0;
  // By zero-based index or by name without regard to case; raises Error kItemNotFound otherwise.
  virtual std::shared_ptr<Field> Item(const Variant& index) = 0;
  // For Each over the collection: the fields in column order.
  std::vector<Variant> Enumerate() override;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Fields"; }
};

class MIRELDA_API Field : public Dispatch {
 public:
  virtual std::string Name() = 0;
  // The value in the current row: Long, Double, String, Null, Bytes, Date, or Boolean for a
  // yes/no column.
  virtual Variant Value() = 0;
  // Writes the value into the current row's edit (see RecordSet::Update).
  virtual void SetValue(const Variant& value) = 0;
  // The value as last read or written to the table, and as the table holds it.
  virtual Variant OriginalValue() = 0;
  virtual Variant UnderlyingValue() = 0;
  virtual int32_t Type() = 0;
  // The declared size: characters for text, bytes for numbers and binary data.
  virtual int32_t DefinedSize() = 0;
  // The current value's size: characters of text, bytes of binary data, DefinedSize otherwise.
  virtual int32_t ActualSize() = 0;
  // FieldAttributeEnum flags.
  virtual int32_t Attributes() = 0;
  // Provider properties such as "ISAUTOINCREMENT".
  virtual std::shared_ptr<Properties> GetProperties() = 0;

  // The scripting form: field.Properties the collection, field.Properties(name) one property.
  Variant ScriptProperties(const Variant& index);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Field"; }
};

class MIRELDA_API Properties : public Dispatch {
 public:
  virtual int32_t Count() = 0;
  // By name without regard to case, or zero-based index; raises Error kItemNotFound otherwise.
  virtual std::shared_ptr<Property> Item(const Variant& index) = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Properties"; }
};

class MIRELDA_API Property : public Dispatch {
 public:
  virtual std::string Name() = 0;
  virtual Variant Value() = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Property"; }
};

class MIRELDA_API Catalog : public Dispatch {
 public:
  // Creates a new, empty database file from a Jet connection string; raises Error, touching
  // nothing, when the file exists or its folder does not.
  virtual void Create(const std::string& connection_string) = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Catalog"; }
};

class MIRELDA_API JetEngine : public Dispatch {
 public:
  // Writes a compacted copy of the source database to the destination; raises Error, leaving no
  // destination file, when the source cannot be opened or the destination exists.
  virtual void CompactDatabase(const std::string& source, const std::string& destination) = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "JetEngine"; }
};

// Paths are page paths (drive letters, "\" or "/"), resolved through the path map.
class MIRELDA_API FileSystemObject : public Dispatch {
 public:
  // Deletes the files that spec names ("*" and "?" allowed in the last component); File not found
  // (53) when nothing matches.
  virtual void DeleteFile(const std::string& spec, bool force) = 0;
  virtual void CopyFile(const std::string& source, const std::string& destination,
                        bool overwrite) = 0;
  virtual void MoveFile(const std::string& source, const std::string& destination) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  virtual void CreateFolder(const std::string& path) = 0;
  virtual std::string GetFileName(const std::string& path) = 0;
  virtual std::string BuildPath(const std::string& path, const std::string& name) = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "FileSystemObject"; }
};

}  // namespace mirelda
