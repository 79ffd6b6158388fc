// The page context of the component classes: OnStartPage, OnEndPage, instances outside a page.
#include "frame/page_context.h"

#include <gtest/gtest.h>

#include <tuple>

#include "database/database.h"
#include "host/test_host/test_host.h"
#include "mirelda/registry.h"
#include "support/error_matchers.h"
#include "upload/file_system.h"
#include "webpage/web_page.h"

namespace mirelda {
namespace {

// A context whose Response cannot be read, to see which members OnStartPage stored before that.
class BrokenContext : public ScriptingContext {
 public:
  explicit BrokenContext(host::TestContext& real) : real_(real) {}
  std::shared_ptr<ApplicationObject> Application() override {
    order.push_back("Application");
    return real_.Application();
  }
  std::shared_ptr<RequestObject> Request() override {
    order.push_back("Request");
    return real_.Request();
  }
  std::shared_ptr<ResponseObject> Response() override {
    order.push_back("Response");
    throw Error(errc::kUnspecified, "Response is not available");
  }
  std::shared_ptr<ServerObject> Server() override {
    order.push_back("Server");
    return real_.Server();
  }
  std::shared_ptr<SessionObject> Session() override {
    order.push_back("Session");
    return real_.Session();
  }
  std::vector<std::string> order;

 private:
  host::TestContext& real_;
};

// The five page objects a component holds, in the order OnStartPage reads them.
auto Held(const frame::PageContext& c) {
  return std::tuple(c.application(), c.request(), c.response(), c.server(), c.session());
}

TEST(PageContext, StartStoresTheFiveObjectsAndEndDropsThem) {
  host::TestHost host;
  auto db = std::make_shared<database::Database>();
  db->Call("OnStartPage", host.context_ptr());
  EXPECT_EQ(db->context(), host.context_ptr());
  const host::TestContext& c = host.context();
  EXPECT_EQ(Held(*db), std::tuple(c.application, c.request, c.response, c.server, c.session));
  db->Call("OnEndPage");
  EXPECT_EQ(db->context(), nullptr);
  EXPECT_EQ(Held(*db), std::tuple(nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST(PageContext, AFailingReadKeepsWhatWasStoredBeforeIt) {
  host::TestHost host;
  auto broken = std::make_shared<BrokenContext>(host.context());
  auto fs = std::make_shared<upload::FileSystem>();
  EXPECT_ERROR(fs->Call("OnStartPage", broken), errc::kUnspecified);
  EXPECT_EQ(broken->order, (std::vector<std::string>{"Application", "Request", "Response"}));
  EXPECT_EQ(fs->context(), broken);
  EXPECT_EQ(Held(*fs), std::tuple(host.context().application, host.context().request, nullptr,
                                  nullptr, nullptr));
}

TEST(PageContext, OnStartPageNeedsAContextAndAnInstanceOutsideAPageHasNone) {
  auto page = std::make_shared<webpage::WebPage>();
  EXPECT_ERROR(page->Call("OnStartPage", Variant::Nothing()), errc::kObjectRequired);
  EXPECT_ERROR(page->Call("OnStartPage", std::make_shared<webpage::WebPage>()),
               errc::kTypeMismatch);
  // An instance outside a page has an empty context.
  auto db = std::make_shared<database::Database>();
  EXPECT_EQ(db->context(), nullptr);
  EXPECT_EQ(db->connection(), nullptr);
  EXPECT_ERROR(db->Call("closeDB"), errc::kObjectVariableNotSet);
  db->Call("OnEndPage");  // harmless without a page
}

TEST(ClassTable, TheLibraryAddsItsThreeClassesWhenLoaded) {
  for (const char* prog_id : {"Mirelda.Database", "mirelda.filesystem", "MIRELDA.WEBPAGE"}) {
    std::shared_ptr<Dispatch> object = CreateObject(prog_id);
    ASSERT_NE(object, nullptr) << prog_id;
    ASSERT_TRUE(object->ClassId().has_value());
  }
  const MemberTable& t = CreateObject("Mirelda.WebPage")->Members();
  ASSERT_GE(t.members().size(), 3u);
  EXPECT_EQ(t.members()[0].name, "OnStartPage");
  EXPECT_EQ(t.members()[1].name, "OnEndPage");
  EXPECT_EQ(t.members()[2].name, "setConnection");
  EXPECT_EQ(t.members()[2].kind, MemberKind::kSet);
  EXPECT_TRUE(t.members()[0].params[0].by_ref);
}

}  // namespace
}  // namespace mirelda
