// The server dialect, as page scripts write it for the "{sql server}" database, translated
// token-wise for PostgreSQL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mirelda::data {

// The collation of translated text columns: compares without regard to case (accents count),
// as the replaced server's default collation does.
inline constexpr std::string_view kCaseInsensitiveCollation = "mirelda_ci";

struct ServerStatement {
  std::string sql;
  // Several statements (a table's collation and column names travel with CREATE TABLE); they
  // run together in one implicit transaction.
  bool composite = false;
  // CREATE, ALTER or DROP: what the connection knows about tables may be out of date.
  bool changes_schema = false;
  // The aliases of the select list, as written; PostgreSQL reports them in lower case.
  std::vector<std::string> aliases;
  // The "?" placeholders, numbered $1, $2 ... in the text.
  size_t placeholders = 0;
};

// Raises Error (syntax error) when the text is not exactly one statement. Text that needs no
// translation comes back unchanged.
//
// Translated: column types in CREATE TABLE and ALTER TABLE ... ADD (autoincrement and IDENTITY
// become identity columns; char and varchar are varchar(n), 255 without a size; text columns
// compare without regard to case); mixed-case column names are recorded as column comments, so that
// record sets report them as written; "(cols) REFERENCES t(cols)" as a foreign key; [name] and
// "name"; the dbo schema; the sysdatabases catalog (a name and a dbid per database); LIKE without
// regard to case; getdate(); SELECT TOP n; each "?" outside literals, quoted names and comments
// to the next of $1, $2 ... A statement with placeholders that needs several statements raises.
ServerStatement TranslateServer(std::string_view statement);

}  // namespace mirelda::data
