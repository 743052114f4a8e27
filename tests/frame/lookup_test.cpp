#include <gtest/gtest.h>

#include "base/convert.h"
#include "db/record.h"
#include "frame/lookup.h"
#include "qlnsales/shell.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class LookupTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    shell = std::make_shared<ScriptedShell>();
    SetShell(shell);
  }
  void TearDown() override {
    SetShell(nullptr);
    DbTest::TearDown();
  }
  std::shared_ptr<ScriptedShell> shell;
};

TEST_F(LookupTest, GetFldValueFindsTheFirstRowOrGivesEmptyText) {
  FieldLookup type{"Item_Master", "TaxType", "Item_Code", "01S100"};
  EXPECT_EQ(GetFldValueShowingErrors(*conn, type), "Exempted");
  EXPECT_EQ(LookupField(*conn, type), std::optional<std::string>("Exempted"));

  FieldLookup missing{"Item_Master", "TaxType", "Item_Code", "01NOPE"};
  EXPECT_EQ(GetFldValueShowingErrors(*conn, missing), "");
  EXPECT_FALSE(LookupField(*conn, missing).has_value());  // not found, told apart from null

  FieldLookup null_column{"Item_Master", "COGS_Account_No", "Item_Code", "01P100"};
  EXPECT_EQ(LookupField(*conn, null_column), std::optional<std::string>(""));

  // Without a where-field: the first row of the whole table.
  conn->Execute("DELETE FROM Currency_Master WHERE Currency_Code <> ?", {"USD"});
  EXPECT_EQ(GetFldValueShowingErrors(*conn, {"Currency_Master", "Currency_Symbol", "  "}), "$");

  // Two conditions, the first numeric.
  FieldLookup two{
      "Location_Master", "Location_Name", "Location_ID", "2", true, "Branch_Prefix", "01"};
  EXPECT_EQ(GetFldValueShowingErrors(*conn, two), "Showroom");
  EXPECT_TRUE(shell->messages().empty());
}

TEST_F(LookupTest, LookupErrorsShowAMessageAndAreNeverTakenForNotFound) {
  FieldLookup not_numeric{"Location_Master", "Location_Name", "Location_ID", "two", true};
  EXPECT_EQ(GetFldValueShowingErrors(*conn, not_numeric), "");
  EXPECT_THROW(LookupField(*conn, not_numeric), Error);
  FieldLookup no_table{"No_Such_Table", "X", "Y", "1"};
  EXPECT_FALSE(ExistDocumentShowingErrors(*conn, no_table));
  EXPECT_THROW(DocumentExists(*conn, no_table), Error);
  FieldLookup injected{"Item_Master", "Item_Name FROM Item_Master; --", "Item_Code", "x"};
  EXPECT_EQ(GetFldValueShowingErrors(*conn, injected), "");
  auto messages = shell->TakeMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, "Type mismatch");
  EXPECT_EQ(messages[0].title, kApplicationTitle);
  EXPECT_NE(convert::LCase(messages[1].text).find("no_such_table"), std::string::npos);
  EXPECT_EQ(messages[2].text,
            "'Item_Name FROM Item_Master; --' is not a valid table or column name");
  EXPECT_EQ(Count("Item_Master"), 4);
}

TEST_F(LookupTest, ExistDocumentMatchesOneOrTwoConditions) {
  Record()
      .Set("Voucher_No", "0101CRMTMP1")
      .Set("Company_Prefix", "01")
      .Insert(*conn, "Voucher_Master");
  EXPECT_TRUE(
      ExistDocumentShowingErrors(*conn, {"Voucher_Master", "Voucher_No", "", "0101CRMTMP1"}));
  EXPECT_FALSE(ExistDocumentShowingErrors(*conn, {"Voucher_Master", "Voucher_No", "", "0101CRM1"}));
  FieldLookup both{"Voucher_Master", "Voucher_No", "", "0101CRMTMP1", false,
                   "Company_Prefix", "02"};
  EXPECT_FALSE(DocumentExists(*conn, both));
  both.second_where_value = "01";
  EXPECT_TRUE(DocumentExists(*conn, both));
  EXPECT_TRUE(IsDesktopDialect("MSACCESS"));
  EXPECT_FALSE(IsDesktopDialect("msaccess"));
  EXPECT_FALSE(IsDesktopDialect(""));
}

TEST_F(LookupTest, ChangeCodeRewritesOneColumnAndStampsToday) {
  for (const char* code : {"C'1", "C2"})
    Record().Set("Customer_Code", code).Set("Customer_Name", "n").Insert(*conn, "Customer_Master");
  Record()
      .Set("Delivery_No", "D1")
      .Set("Customer_Code", "C'1")
      .Set("Last_Update", "01/Jan/2020")
      .Insert(*conn, "Delivery_Master");
  EXPECT_EQ(ExecuteChangeCode(*conn, "Customer_Master", "Customer_Code", "C'9", "C'1"), 1);
  EXPECT_EQ(ExecuteChangeCode(*conn, "Delivery_Master", "Customer_Code", "C'9", "C'1"), 1);
  EXPECT_EQ(
      Scalar("SELECT Last_Update FROM Customer_Master WHERE Customer_Code = ?", {"C'9"}).ToDate(),
      Date::Today());
  EXPECT_EQ(
      Scalar("SELECT Last_Update FROM Delivery_Master WHERE Delivery_No = ?", {"D1"}).ToText(),
      convert::FormatDayMonthName(Date::Today()));
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"C2"}), 1);
  EXPECT_THROW(ExecuteChangeCode(*conn, "Customer_Master;", "Customer_Code", "a", "b"), Error);
}

}  // namespace
}  // namespace qlnsales::testing
