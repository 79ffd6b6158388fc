#include "import/mdb_import.h"

#include "import/access_file.h"
#include "import/jet_store_builder.h"
#include "mirelda/error.h"

namespace mirelda::import {
namespace {

// Beyond this many failed rows of one table the report gives their count alone.
constexpr size_t kListedFailures = 20;

void ReportRelationships(const AccessFile& file, std::vector<std::string>& lost) {
  try {
    for (const Relationship& r : file.Relationships()) {
      lost.push_back("relationship " + r.name + ": " + r.table + "." + r.column + " -> " +
                     r.referenced_table + "." + r.referenced_column +
                     " is not enforced in the copy");
    }
  } catch (const Error& e) {
    lost.push_back("relationships: " + e.description() + " Any relationships are not converted.");
  }
}

}  // namespace

ImportReport ImportAccessFile(const std::filesystem::path& source,
                              const std::filesystem::path& destination, bool replace) {
  AccessFile file(source);
  ImportReport report;
  report.source_format = file.FormatName();
  JetStoreBuilder builder(
      destination, file.IsJet3() ? data::JetFormat::kJet35 : data::JetFormat::kJet40, replace);
  std::vector<std::string>& lost = report.not_converted;
  for (const OtherObject& object : file.OtherObjects()) {
    lost.push_back(object.kind + " " + object.name + ": not converted");
  }
  ReportRelationships(file, lost);

  for (const std::string& name : file.TableNames()) {
    AccessTable table;
    try {
      table = file.ReadTable(name);
      builder.BeginTable(table, lost);
    } catch (const Error& e) {
      lost.push_back("table " + name + ": " + e.description() + " Table not converted.");
      continue;
    }
    TableResult result{name};
    size_t row_number = 0;
    try {
      file.ForEachRow(name, [&](const std::vector<Cell>& cells) {
        ++row_number;
        if (auto why = builder.AddRow(cells)) {
          if (++result.failed_rows <= kListedFailures) {
            lost.push_back("table " + name + ", row " + std::to_string(row_number) + ": " + *why +
                           "; row not converted");
          }
        } else {
          ++result.rows;
        }
      });
    } catch (const Error& e) {
      lost.push_back("table " + name + ": reading stopped after row " + std::to_string(row_number) +
                     ": " + e.description());
    }
    if (result.failed_rows > kListedFailures) {
      lost.push_back("table " + name + ": " + std::to_string(result.failed_rows - kListedFailures) +
                     " more rows not converted");
    }
    builder.EndTable(lost);
    report.tables.push_back(result);
  }
  builder.Publish();
  return report;
}

}  // namespace mirelda::import
