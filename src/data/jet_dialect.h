// Jet's SQL, as page scripts write it for file databases, translated token-wise for SQLite.
#pragma once

#include <string>
#include <string_view>

namespace mirelda::data {

// The text to hand to SQLite for one Jet statement. Text that needs no translation comes back
// unchanged. Raises Error (syntax error) when the text is not exactly one statement.
//
// Translated: column types in CREATE TABLE and ALTER TABLE ... ADD (autoincrement and counter
// become INTEGER PRIMARY KEY AUTOINCREMENT, taking over the table's primary key on that column;
// text columns compare without regard to case, as Jet's do); "(cols) REFERENCES t(cols)" as a
// foreign key; "double-quoted" and #date# literals; "&" joining text; Now(); SELECT TOP n.
std::string TranslateJet(std::string_view statement);

}  // namespace mirelda::data
