// The administrator logon: a stored account decides by its password; the fixed account is
// accepted only where no stored account can decide (no table yet, or no row of that name).
#include "mirelda/data.h"
#include "mirelda/text.h"
#include "webpage/markup.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {
namespace {

constexpr const char* kFixedName = "admin";
constexpr const char* kFixedPassword = "Sun In May";

bool IsFixedAccount(const Variant& name, const Variant& pwd) {
  return Equals(name, Variant(kFixedName)) && Equals(pwd, Variant(kFixedPassword));
}

Variant Trimmed(const Variant& value) {
  return value.is_null() ? value : Variant(text::Trim(value.ToText()));
}

}  // namespace

void WebPage::AdminLogon(Variant adminName, Variant adminPwd, Variant adminLoginIP, Variant objFile,
                         Variant altFile) {
  std::shared_ptr<Dispatch> db = Create("Mirelda.Database");
  db->Set("setConnection", objConn);
  auto rs = std::dynamic_pointer_cast<RecordSet>(Create("adodb.recordSet"));
  if (!rs) throw Error(errc::kTypeMismatch, "adodb.recordSet is no record set");
  Variant exists = db->Call("TableExists", "administrator");
  SessionObject& session = RequireSession();
  ResponseObject& response = RequireResponse();

  auto log_on = [&](const Variant& id, const Variant& name) {
    session.Renew();
    session.SetValue("adminID", id);
    session.SetValue("adminName", name);
    session.SetValue("IP", adminLoginIP);
    SetLogonCookies("AdminName", session.Value("adminName"), "AdminPwd", adminPwd,
                    "SaveAdminLogin");
  };

  if (!exists.is_null() && exists.ToBool()) {
    rs->Open(Variant("select * from administrator where adminName='" + QuotedText(adminName) + "'"),
             Variant(objConn), 1, -1, -1);
    if (!rs->IsEOF()) {
      if (!Equals(adminPwd, Trimmed(rs->FieldValue(Variant("adminPwd"))))) return;
      log_on(rs->FieldValue(Variant("adminID")), adminName);
      rs->Close();
      // The database counts, so that logons at the same moment lose no count.
      RequireConnection().Execute("update administrator Set  adminLastIP='" +
                                      QuotedText(adminLoginIP) + "',adminLastTime='" +
                                      FormatDateTime(Date::Now()) +
                                      "',adminCount=COALESCE(adminCount,0)+1 where adminID=" +
                                      BareNumber(session.Value("adminID")),
                                  -1);
      db.reset();
      response.Redirect(objFile.ToString());
      return;
    }
    if (!IsFixedAccount(adminName, adminPwd)) return;
    log_on(Variant("1"), Variant(kFixedName));
    std::string created = FormatDateTime(Date::Now());
    std::string last = FormatDateTime(Date::Now());
    RequireConnection().Execute(
        "insert into administrator "
        "(adminName,adminCreateTime,adminPwd,adminLastTime,adminLastIP,adminCount) values "
        "('admin','" +
            created + "','Sun In May','" + last + "','" + QuotedText(adminLoginIP) + "',1)",
        -1);
    db.reset();
    response.Redirect(objFile.ToString());
    return;
  }

  if (!IsFixedAccount(adminName, adminPwd)) return;
  log_on(Variant("1"), Variant(kFixedName));
  db.reset();
  response.Redirect(altFile.ToString() + "?loginIP=" + adminLoginIP.ToText());
}

}  // namespace mirelda::webpage
