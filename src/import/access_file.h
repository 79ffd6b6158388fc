// Reading an Access (.mdb) file through mdbtools' libmdb: its user tables with their columns,
// indexes and rows, and the objects beside them that a Jet file cannot hold.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "import/access_model.h"

namespace mirelda::import {

class AccessFile {
 public:
  // Opens path read-only. Raises Error (file not found, permission denied, or unspecified for
  // a file that is no Access database) with a description naming the file. Text of Jet 3 files
  // is read in the code page the file declares; Jet 4 and later files store UTF-16.
  explicit AccessFile(const std::filesystem::path& path);
  ~AccessFile();
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  // True for Jet 3 (Access 97) files, whose copy takes the Jet 3.51 format mark.
  bool IsJet3() const;
  // "Jet 3", "Jet 4", "Access 2007" ...
  std::string FormatName() const;

  // The user tables, in catalog order.
  std::vector<std::string> TableNames() const;
  // Queries, forms, reports, macros, modules and linked tables.
  std::vector<OtherObject> OtherObjects() const;
  // The relationships the file records; raises Error when its relationship table is unreadable.
  std::vector<Relationship> Relationships() const;

  // The definition of one table; raises Error when it cannot be read.
  AccessTable ReadTable(const std::string& name) const;
  // Calls row once per row of the table, with one cell per column of table.columns. A value that
  // cannot be read is a kUnreadable cell; the other rows still come. Raises Error when the table
  // cannot be read at all.
  void ForEachRow(const std::string& name,
                  const std::function<void(const std::vector<Cell>&)>& row) const;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

}  // namespace mirelda::import
