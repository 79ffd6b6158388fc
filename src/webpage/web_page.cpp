// The class frame of Mirelda.WebPage: its interface, in interface order.
#include "webpage/web_page.h"

#include "frame/identity.h"

namespace mirelda::webpage {

std::optional<Guid> WebPage::ClassId() const { return frame::WebPageIdentity().class_id; }

const MemberTable& WebPage::Members() const {
  static const MemberTable table =
      MemberTableBuilder<WebPage>("_WebPage", frame::WebPageIdentity().interface_id)
          .Method<&WebPage::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
          .Method<&WebPage::OnEndPage>("OnEndPage")
          .Set<&WebPage::setConnection>("setConnection", {Arg("sConn").ByRef()})
          .Build();
  return table;
}

}  // namespace mirelda::webpage
