// The person logon and its login log. Values enter the statements as quoted literals with their
// quotes doubled or as checked numbers, so no value changes what a statement does.
#include "mirelda/data.h"
#include "webpage/markup.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {

void WebPage::SignLogon(Variant personName, Variant personPwd, Variant loginIP, Variant loginApp,
                        Variant loginOk) {
  std::string statement =
      "insert into login (loginName,loginPwd,loginIP,loginAddr,loginApp,loginOk,loginPersonID) "
      "values ('" +
      QuotedText(personName) + "','" + QuotedText(personPwd) + "','" + QuotedText(loginIP) +
      "','中国','" + QuotedText(loginApp) + "'," + BareNumber(loginOk) + "," +
      BareNumber(RequireSession().Value("personID")) + ")";
  RequireConnection().Execute(statement, -1);
}

void WebPage::Logon(Variant personName, Variant personPwd, Variant loginIP, Variant /*objFile*/) {
  auto rs = std::dynamic_pointer_cast<RecordSet>(Create("adodb.recordSet"));
  if (!rs) throw Error(errc::kTypeMismatch, "adodb.recordSet is no record set");
  rs->Open(Variant("select * from person where personAlias='" + QuotedText(personName) + "'"),
           Variant(objConn), 1, -1, -1);
  if (rs->IsEOF()) return;
  if (!Equals(personPwd, rs->FieldValue(Variant("personPwd")))) return;

  SessionObject& session = RequireSession();
  // An identifier known before the logon is worth nothing after it.
  session.Renew();
  session.SetValue("personID", rs->FieldValue(Variant("personID")));
  session.SetValue("personName", personName);
  session.SetValue("IP", loginIP);
  SetLogonCookies("name", session.Value("personName"), "pwd", personPwd, "checkbox");
  rs->Close();

  Variant agent = RequireRequest().ServerVariables("HTTP_USER_AGENT");
  SignLogon(personName, personPwd, loginIP, agent, Variant(int16_t{1}));
  // The database counts, so that logons at the same moment lose no count.
  RequireConnection().Execute("update person Set  personLastIP='" + QuotedText(loginIP) +
                                  "',personLastTime='" + FormatDateTime(Date::Now()) +
                                  "',personCount=COALESCE(personCount,0)+1 where personID=" +
                                  BareNumber(session.Value("personID")),
                              -1);
  ResponseObject& response = RequireResponse();
  response.Redirect("mainface/index.asp?trade=1");
  response.End();
}

}  // namespace mirelda::webpage
