// mirelda-import-mdb: converts an Access (.mdb) file into a Jet file that the site's pages open
// with their original connection strings, and says what the copy lacks.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "import/mdb_import.h"
#include "mirelda/error.h"
#include "mirelda/version.h"

namespace {

constexpr char kUsage[] =
    "Usage: mirelda-import-mdb [--force] FILE.mdb DEST\n"
    "\n"
    "Converts the Access database FILE.mdb into the Jet database file DEST, which pages open\n"
    "with \"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=DEST\" or\n"
    "\"Driver={Microsoft Access Driver (*.mdb)};DBQ=DEST\". Every user table is copied with its\n"
    "columns, rows, primary key and indexes; AutoNumber columns continue after their highest\n"
    "value. Jet 3 (Access 97) files become Jet 3.51 files, later ones Jet 4.0 files.\n"
    "\n"
    "DEST is written under a temporary name in its folder and appears only when complete.\n"
    "What the copy lacks (saved queries, relationships, forms, reports, macros, modules,\n"
    "column types and properties without a Jet equivalent, rows or indexes that failed) is\n"
    "listed on standard output.\n"
    "\n"
    "Options:\n"
    "  --force     replace DEST when it exists\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Exit status: 0 when DEST was written, 1 when FILE.mdb cannot be read or DEST cannot be\n"
    "written (DEST is then as it was), 2 for a wrong command line.\n";

}  // namespace

int main(int argc, char** argv) {
  bool force = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "mirelda-import-mdb " << MIRELDA_VERSION << "\n";
      return 0;
    }
    if (arg == "--force" || arg == "-f") {
      force = true;
    } else if (arg == "--") {
      for (++i; i < argc; ++i) files.emplace_back(argv[i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::cerr << "mirelda-import-mdb: unknown option " << arg << "\n" << kUsage;
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    std::cerr << "mirelda-import-mdb: expected FILE.mdb and DEST\n" << kUsage;
    return 2;
  }
  try {
    mirelda::import::ImportReport report =
        mirelda::import::ImportAccessFile(files[0], files[1], force);
    std::cout << "Converted " << files[0] << " (" << report.source_format << ") into " << files[1]
              << "\n";
    for (const auto& table : report.tables) {
      std::cout << "  table " << table.name << ": " << table.rows << " rows";
      if (table.failed_rows) std::cout << ", " << table.failed_rows << " rows not converted";
      std::cout << "\n";
    }
    if (report.not_converted.empty()) {
      std::cout << "Not converted: nothing\n";
    } else {
      std::cout << "Not converted:\n";
      for (const std::string& line : report.not_converted) std::cout << "  " << line << "\n";
    }
    return 0;
  } catch (const mirelda::Error& e) {
    std::cerr << "mirelda-import-mdb: " << e.description() << " (error " << e.number() << ")\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "mirelda-import-mdb: " << e.what() << "\n";
    return 1;
  }
}
