// Mirelda.WebPage: the dictionary-labelled add form, the code lookup, and the person and
// administrator logons.
//
// One instance belongs to one page and is called on that page's thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "frame/connected_page.h"

namespace mirelda::webpage {

class WebPage final : public frame::ConnectedPage {
 public:
  // The dictionary tables the lookups read; empty means the default name.
  void setTableRef(const std::string& sTableName) { tableRefName = sTableName; }
  void setFieldRef(const std::string& sTableName) { fieldRefName = sTableName; }
  void setEnumTable(const std::string& sTableName) { enumTableName = sTableName; }
  void setIndexTable(const std::string& sTableName) { indexTableName = sTableName; }

  // Writes an add form for table, one Response.Write per fragment, labelled from the dictionary,
  // with an input per column chosen by the dictionary's input style. Errors reach the caller; what
  // was written before stays written.
  void AddPage(const std::string& table, const std::string& SubmitFile,
               const std::string& FormEnctype, const std::string& titleCssName,
               const std::string& tableCssName, const std::string& remarkCssName);
  // The trimmed display label of a column, or code itself when the dictionary has none.
  Variant CodeToName(Variant table, Variant code);
  // The file name of the running script.
  Variant AppName();

  // Appends one row to the login log.
  void SignLogon(Variant personName, Variant personPwd, Variant loginIP, Variant loginApp,
                 Variant loginOk);
  // Logs a person on against the person table; on success sets the session and the remember-me
  // cookies, logs the logon, redirects to the main page and ends the page. A failed attempt
  // returns having done nothing.
  void Logon(Variant personName, Variant personPwd, Variant loginIP, Variant objFile);
  // Logs an administrator on against the administrator table, or with the fixed account where no
  // stored account can decide; on success redirects and returns.
  void AdminLogon(Variant adminName, Variant adminPwd, Variant adminLoginIP, Variant objFile,
                  Variant altFile);

  const std::string& table_ref_name() const { return tableRefName; }
  const std::string& field_ref_name() const { return fieldRefName; }
  const std::string& enum_table_name() const { return enumTableName; }
  const std::string& index_table_name() const { return indexTableName; }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "WebPage"; }
  std::optional<Guid> ClassId() const override;

 private:
  std::shared_ptr<Dispatch> Create(const std::string& prog_id) const;
  void Write(const std::string& fragment) const;
  // The table names in force: the set ones, or the defaults.
  std::string TablesTable() const;
  std::string FieldsTable() const;
  std::string EnumerationTable() const;
  std::string IndexesTable() const;
  // The input element of a column of table, from the dictionary's input style.
  std::string InputFor(const std::string& table, const std::string& column);
  // Sets the three remember-me cookies of a logon.
  void SetLogonCookies(const char* name_cookie, const Variant& name, const char* pwd_cookie,
                       const Variant& pwd, const char* flag_cookie);

  std::string tableRefName;
  std::string fieldRefName;
  std::string enumTableName;
  std::string indexTableName;
};

}  // namespace mirelda::webpage
