// CodeToName and AppName over a bootstrapped dictionary.
#include <gtest/gtest.h>

#include "database/database.h"
#include "support/component_page.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {
namespace {

class CodeLookup : public testing::ComponentPageOnBothEngines {
 protected:
  void SetUp() override {
    ComponentPageOnBothEngines::SetUp();
    connection_ = Open(NewDatabase());
    auto db = Start<database::Database>();
    db->setConnection(connection_);
    db->CreateTableReference(1);
    db->CreateFieldReference(1);
    page_ = Start<WebPage>();
    page_->setConnection(connection_);
  }
  Variant Name(Variant table, Variant code) { return page_->Call("CodeToName", table, code); }

  std::shared_ptr<Connection> connection_;
  std::shared_ptr<WebPage> page_;
};

TEST_P(CodeLookup, GivesTheTrimmedLabelOrTheCodeItself) {
  EXPECT_EQ(Name("TableReference", "tableCode"), Variant("表格代码"));
  EXPECT_EQ(Name("FieldReference", "id"), Variant("编  号"));  // inner blanks stay
  connection_->Execute(
      "insert into FieldReference (tabID,fieldCode,fieldName) values (1,'padded','  标签  ')", -1);
  EXPECT_EQ(Name("TableReference", "padded"), Variant("标签"));
  EXPECT_EQ(Name("TableReference", "unknown"), Variant("unknown"));
  EXPECT_EQ(Name("Nowhere", "id"), Variant("id"));
  EXPECT_EQ(Name("TableReference", int32_t{7}),
            Variant(int32_t{7}));  // the code, whatever its type
  connection_->Execute("insert into FieldReference (tabID,fieldCode) values (1,'unlabelled')", -1);
  EXPECT_TRUE(Name("TableReference", "unlabelled").is_null());
}

TEST_P(CodeLookup, QuotesInValuesCannotChangeTheQuery) {
  testing::SqlTrace trace;
  EXPECT_EQ(Name("TableReference", "x' or '1'='1"), Variant("x' or '1'='1"));
  EXPECT_EQ(Name("x') or tabID in (select id from TableReference) or ('", "id"), Variant("id"));
  EXPECT_EQ(Name("TableReference'; delete from FieldReference; --", "id"), Variant("id"));
  EXPECT_EQ(testing::Query(*connection_, "select count(*) from FieldReference"),
            (testing::Rows{{Variant(10)}}));
  ASSERT_FALSE(trace.Received().empty());
  EXPECT_EQ(trace.Received()[0],
            "select FieldName from FieldReference where tabID in (select id from Tablereference "
            "where tableCode='TableReference') and FieldCode='x'' or ''1''=''1'");
}

TEST_P(CodeLookup, EmptyTableValueAnswersWithoutAQuery) {
  testing::SqlTrace trace;
  EXPECT_EQ(Name(Variant(), "id"), Variant("id"));
  EXPECT_TRUE(trace.Received().empty());
  EXPECT_EQ(Name("", "id"), Variant("id"));
  EXPECT_EQ(trace.Received().size(), 1u);
}

TEST_P(CodeLookup, ReadsTheDictionaryTablesThePageNames) {
  connection_->Execute("CREATE TABLE myTables (id int, tableCode char(20))", -1);
  connection_->Execute("CREATE TABLE myFields (tabID int, fieldCode char(20), fieldName char(20))",
                       -1);
  connection_->Execute("insert into myTables values (5, 'news')", -1);
  connection_->Execute("insert into myFields values (5, 'title', '标题')", -1);
  EXPECT_EQ(Name("news", "title"), Variant("title"));
  page_->Let("setTableRef", Variant("myTables"));
  page_->Let("setFieldRef", Variant("myFields"));
  EXPECT_EQ(Name("news", "title"), Variant("标题"));
  EXPECT_EQ(Name("TableReference", "tableCode"), Variant("tableCode"));
}

TEST_P(CodeLookup, AppNameIsTheScriptFileName) {
  for (auto [script, name] : {std::pair{"/app/admin/news.asp", "news.asp"},
                              std::pair{"news.asp", "news.asp"}, std::pair{"/app/", ""}}) {
    host_->request().server_variables["SCRIPT_NAME"] = script;
    EXPECT_EQ(page_->AppName(), Variant(name)) << script;
  }
}

MIRELDA_ON_BOTH_ENGINES(CodeLookup);

}  // namespace
}  // namespace mirelda::webpage
