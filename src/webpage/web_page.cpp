// The class frame of Mirelda.WebPage: its interface, in interface order, and what its methods
// share.
#include "webpage/web_page.h"

#include "frame/identity.h"

namespace mirelda::webpage {

std::shared_ptr<Dispatch> WebPage::Create(const std::string& prog_id) const {
  return RequireServer().CreateObject(prog_id);
}

void WebPage::Write(const std::string& fragment) const { RequireResponse().Write(fragment); }

std::string WebPage::TablesTable() const {
  return tableRefName.empty() ? "Tablereference" : tableRefName;
}

std::string WebPage::FieldsTable() const {
  return fieldRefName.empty() ? "FieldReference" : fieldRefName;
}

std::string WebPage::EnumerationTable() const {
  return enumTableName.empty() ? "EnumTable" : enumTableName;
}

std::string WebPage::IndexesTable() const {
  return indexTableName.empty() ? "IndexTable" : indexTableName;
}

std::optional<Guid> WebPage::ClassId() const { return frame::WebPageIdentity().class_id; }

const MemberTable& WebPage::Members() const {
  static const MemberTable table =
      MemberTableBuilder<WebPage>("_WebPage", frame::WebPageIdentity().interface_id)
          .Method<&WebPage::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
          .Method<&WebPage::OnEndPage>("OnEndPage")
          .Set<&WebPage::setConnection>("setConnection", {Arg("sConn").ByRef()})
          .Let<&WebPage::setTableRef>("setTableRef", {Arg("sTableName").ByRef()})
          .Let<&WebPage::setFieldRef>("setFieldRef", {Arg("sTableName").ByRef()})
          .Let<&WebPage::setEnumTable>("setEnumTable", {Arg("sTableName").ByRef()})
          .Let<&WebPage::setIndexTable>("setIndexTable", {Arg("sTableName").ByRef()})
          .Method<&WebPage::AddPage>(
              "AddPage", {Arg("table").ByRef(), Arg("SubmitFile"), Arg("FormEnctype"),
                          Arg("titleCssName").Optional(), Arg("tableCssName").Optional(),
                          Arg("remarkCssName").Optional()})
          .Method<&WebPage::CodeToName>("CodeToName", {Arg("table"), Arg("code")})
          .Method<&WebPage::AppName>("AppName")
          .Method<&WebPage::SignLogon>(
              "SignLogon", {Arg("personName"), Arg("personPwd"), Arg("loginIP"), Arg("loginApp"),
                            Arg("loginOk")})
          .Method<&WebPage::Logon>(
              "Logon", {Arg("personName"), Arg("personPwd"), Arg("loginIP"), Arg("objFile")})
          .Method<&WebPage::AdminLogon>(
              "AdminLogon", {Arg("adminName"), Arg("adminPwd"), Arg("adminLoginIP"), Arg("objFile"),
                             Arg("altFile").Optional()})
          .Build();
  return table;
}

}  // namespace mirelda::webpage
