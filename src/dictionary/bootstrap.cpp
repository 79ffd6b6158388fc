#include "dictionary/bootstrap.h"

#include "dictionary/step_transaction.h"
#include "mirelda/exit_at_step_point.h"
#include "mirelda/text.h"

namespace mirelda::dictionary {
namespace {

Variant Split(const std::string& list) {
  std::vector<Variant> parts;
  for (std::string& piece : text::Split(list, "|")) parts.emplace_back(std::move(piece));
  return Variant(VariantArray(std::move(parts)));
}

std::shared_ptr<RecordSet> NewRecordSet(database::Database& db) {
  auto rs = std::dynamic_pointer_cast<RecordSet>(db.Create("ADODB.RecordSet"));
  if (!rs) throw Error(errc::kTypeMismatch, "ADODB.RecordSet is no record set");
  return rs;
}

std::string FieldReferenceInsert(const FieldRow& row, const std::string& tab_id) {
  return "insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) values (" +
         tab_id + ",'" + row.field_code + "','" + row.field_name + "'," +
         std::to_string(row.field_type) + ",'" + row.add_style + "')";
}

// The statements of the seeding step: false when any of them failed.
bool SeedRows(database::Database& db, const DictionaryTable& table, Seeder& seeder) {
  ResumeNext trap;
  Variant exists;
  if (!trap.Step([&] { exists = db.TableExists(Variant(table.name)); }) || !exists.ToBool()) {
    return false;
  }
  seeder.Execute(table.registration);
  if (table.reads_new_id) {
    Variant new_id = seeder.ReadFirst("select MAX(id) as maxID from TableReference", "maxID",
                                      table.narrows_new_id, Variant(int16_t{0}));
    for (const FieldRow& row : table.field_rows) {
      seeder.Execute(FieldReferenceInsert(
          row, row.tab_id != 0 ? std::to_string(row.tab_id) : new_id.ToText()));
    }
  }
  if (table.default_rows) table.default_rows(seeder);
  return !seeder.failed();
}

// The seeding step: false when any of its statements failed. A failed seeding is undone as a
// whole, so the table is left empty and unregistered and the next call seeds it again.
bool Seed(database::Database& db, const DictionaryTable& table, StepTransaction& step) {
  Seeder seeder(db, NewRecordSet(db));
  step.BeginSeeding();
  step.HoldIds("TableReference", "id");
  if (table.reads_new_id) step.HoldIds("FieldReference", "id");
  if (table.default_rows) step.HoldIds(table.name, table.key);
  bool seeded = SeedRows(db, table, seeder);
  if (!seeded) step.UndoSeeding();
  return seeded;
}

}  // namespace

Seeder::Seeder(database::Database& db, std::shared_ptr<RecordSet> rs)
    : db_(db), rs_(std::move(rs)) {}

void Seeder::Execute(const std::string& statement) {
  ResumeNext trap;
  if (!trap.Step([&] {
        if (!db_.connection()) throw Error(errc::kObjectVariableNotSet);
        db_.connection()->Execute(statement, -1);
      })) {
    failed_ = true;
  }
  ExitAtStepPoint();
}

Variant Seeder::ReadFirst(const std::string& query, const std::string& field, bool narrow,
                          Variant fallback) {
  ResumeNext trap;
  Variant value = fallback;
  bool ok = trap.Step([&] { rs_->Open(Variant(query), Variant(db_.connection()), -1, -1, -1); });
  bool has_row = false;
  ok = trap.Step([&] { has_row = !rs_->IsEOF(); }) && ok;
  if (has_row) {
    ok = trap.Step([&] {
      Variant read = rs_->FieldValue(Variant(field));
      value = narrow ? Variant(read.ToInteger()) : read;
    }) && ok;
  }
  ok = trap.Step([&] { rs_->Close(); }) && ok;
  if (!ok) failed_ = true;
  return value;
}

Variant RunBootstrap(database::Database& db, const DictionaryTable& table, int16_t db_ver) {
  const Reports& reports = table.reports;
  std::shared_ptr<RecordSet> rs;
  if (!table.seeded_only_when_created) rs = NewRecordSet(db);

  switch (table.precondition) {
    case Precondition::kNone:
      break;
    case Precondition::kTableReference:
      if (!db.TableExists(Variant("TableReference")).ToBool()) {
        return Variant(reports.precondition_not_met);
      }
      break;
    case Precondition::kBothReferenceTables: {
      bool tables = db.TableExists(Variant("TableReference")).ToBool();
      bool fields = db.TableExists(Variant("FieldReference")).ToBool();
      if (!(tables && fields)) return Variant(reports.precondition_not_met);
      break;
    }
  }

  if (!db.TableExists(Variant(table.name)).ToBool()) {
    // The creation and the seeding are one step: a table is never left created but unseeded.
    StepTransaction step(db);
    Variant created = db.CreateTable(db_ver, table.name, Split(table.names), Split(table.types),
                                     Split(table.sizes), Split(table.nulls), table.key, "");
    if (!(created.is_string() && created.ToString() == "创建表成功")) {
      return Variant(reports.creation_failed);
    }
    ExitAtStepPoint();
    bool seeded = Seed(db, table, step);
    step.Commit();
    return Variant(seeded ? reports.created_and_seeded : reports.created_seeding_failed);
  }
  if (table.seeded_only_when_created) return Variant(reports.present_nothing_to_seed);

  rs->Open(Variant("select * from " + table.name), Variant(db.connection()), -1, -1, -1);
  std::string report;
  if (rs->IsEOF()) {
    StepTransaction step(db);
    bool seeded = Seed(db, table, step);
    step.Commit();
    report = seeded ? reports.present_seeded : reports.present_seeding_failed;
  } else {
    report = reports.present_nothing_to_seed;
  }
  rs->Close();
  return Variant(report);
}

}  // namespace mirelda::dictionary
