// Converting an Access (.mdb) file into a Jet file that the data access components open with
// the application's own connection string.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace mirelda::import {

struct TableResult {
  std::string name;
  size_t rows = 0;         // rows copied
  size_t failed_rows = 0;  // rows that could not be stored (each listed in not_converted)
};

struct ImportReport {
  std::string source_format;  // "Jet 4" ...
  std::vector<TableResult> tables;
  // Everything the copy lacks, one line each: objects a Jet file cannot hold, relationships,
  // columns, properties, keys, indexes and rows that did not convert.
  std::vector<std::string> not_converted;
};

// Copies every user table of source (schema, rows, primary keys and indexes) into a new Jet
// file at destination: Jet 3.51 for Jet 3 files, Jet 4.0 otherwise. The file is built under a
// temporary name in destination's folder and appears whole or not at all. Raises Error when
// source cannot be read as an Access file, when destination exists and replace is false, or
// when the copy cannot be written; destination is then as it was.
ImportReport ImportAccessFile(const std::filesystem::path& source,
                              const std::filesystem::path& destination, bool replace);

}  // namespace mirelda::import
