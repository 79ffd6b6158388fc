// Rewrites that both dialects need on their way to the engines.
#pragma once

#include "data/sql_edits.h"
#include "data/sql_statement.h"
#include "data/table_definition.h"

namespace mirelda::data {

// "SELECT [DISTINCT] TOP n ..." becomes "SELECT [DISTINCT] ... LIMIT n", the LIMIT closing the
// select's own parentheses or the statement. TOP n PERCENT and WITH TIES are left alone.
void RewriteTop(const Statement& statement, SqlEdits& edits);

// A table-level "(cols) REFERENCES t(cols)" is a foreign key written without its keywords.
void AddForeignKeyKeywords(const Statement& statement, const CreateTable& table, SqlEdits& edits);

// Removes a table item together with the comma that separates it from its neighbours.
void RemoveItem(const Statement& statement, const TableItem& item, SqlEdits& edits);

}  // namespace mirelda::data
