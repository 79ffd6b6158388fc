// TableExists on the handed-over connection.
#include <gtest/gtest.h>

#include "database/database.h"
#include "support/component_page.h"

namespace mirelda::database {
namespace {

class TableProbe : public testing::ComponentPageOnBothEngines {};

TEST_P(TableProbe, AnswersWhetherTheQueryOnTheNameOpens) {
  auto db = Start<Database>();
  EXPECT_EQ(db->TableExists("news"), Variant(false));  // no connection yet
  auto connection = Open(NewDatabase());
  connection->Execute("CREATE TABLE news (id int)", -1);
  db->setConnection(connection);
  EXPECT_EQ(db->TableExists("news"), Variant(true));
  EXPECT_EQ(db->TableExists("NEWS"), Variant(true));
  EXPECT_EQ(db->TableExists("absent"), Variant(false));
  EXPECT_EQ(db->TableExists("news where"), Variant(false));
  // The name goes into the query unchanged: any readable query counts.
  EXPECT_EQ(db->TableExists("news where 1=0"), Variant(true));
  EXPECT_EQ(db->TableExists(Variant::Null()), Variant(false));
  EXPECT_TRUE(Writes().empty());
  EXPECT_FALSE(PendingError().pending());
  db->closeDB();
  EXPECT_EQ(db->TableExists("news"), Variant(false));
  // Handed back after closeDB closed it, the connection answers false too.
  db->setConnection(connection);
  EXPECT_EQ(db->Call("TableExists", "news"), Variant(false));
}

MIRELDA_ON_BOTH_ENGINES(TableProbe);

}  // namespace
}  // namespace mirelda::database
