// The schema rowsets of OpenSchema, read from each engine's catalog under the column names of the
// replaced library.
#pragma once

#include <cstdint>
#include <memory>

#include "data/engine.h"
#include "mirelda/variant.h"

namespace mirelda::data {

// adSchemaTables: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE ("TABLE", "VIEW"),
// DESCRIPTION. adSchemaColumns: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,
// ORDINAL_POSITION (from 1), COLUMN_HASDEFAULT, COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE (a
// DataTypeEnum number), CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE. The file
// database has no catalog or schema: those columns are Null there.
//
// criteria: Missing, Empty, or an array whose elements restrict the first columns in order
// (catalog, schema, table name, then table type or column name); an Empty or Null element
// restricts nothing, names compare without regard to case. Raises kBadArguments for another
// schema or criteria of another kind.
std::shared_ptr<const ResultTable> SchemaRows(Engine& engine, int32_t schema,
                                              const Variant& criteria);

}  // namespace mirelda::data
