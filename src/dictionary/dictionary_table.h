// What distinguishes one dictionary table from another: its field lists and key, its reports, and
// what its seeding step writes. The bootstrap (bootstrap.h) runs the same steps for every table.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mirelda::dictionary {

class Seeder;

// The reports of one table's method, one per outcome.
struct Reports {
  std::string precondition_not_met;
  std::string created_and_seeded;
  std::string created_seeding_failed;
  std::string creation_failed;
  std::string present_seeded;
  std::string present_seeding_failed;
  std::string present_nothing_to_seed;
};

enum class Precondition {
  kNone,                 // the table of tables itself
  kTableReference,       // the table of fields needs the table of tables
  kBothReferenceTables,  // every other table needs both
};

// One FieldReference row that a seeding step registers; tab_id 0 stands for the new table id.
struct FieldRow {
  int tab_id;
  std::string field_code;
  std::string field_name;
  int field_type;
  std::string add_style;
};

struct DictionaryTable {
  std::string name;
  // The field lists as "|"-separated text, and the primary key.
  std::string names, types, sizes, nulls, key;
  Precondition precondition;
  Reports reports;
  // A table that is present is neither probed for rows nor seeded again; its single report then is
  // present_nothing_to_seed.
  bool seeded_only_when_created = false;

  // The seeding step: the TableReference insert that registers the table; whether the new id is
  // read back (and narrowed to 16 bits) afterwards; the FieldReference rows under it; the default
  // rows.
  std::string registration;
  bool reads_new_id = true;
  bool narrows_new_id = true;
  std::vector<FieldRow> field_rows;
  std::function<void(Seeder&)> default_rows;
};

const DictionaryTable& TableReferenceTable();
const DictionaryTable& FieldReferenceTable();
const DictionaryTable& EnumTableTable();
const DictionaryTable& IndexTableTable();
const DictionaryTable& AdministratorTable();
const DictionaryTable& AdminMenuTable();

}  // namespace mirelda::dictionary
