#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/direct_delivery.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class DirectDeliveryTest : public DbTest {
 protected:
  DirectDelivery Make(std::shared_ptr<MemoryGrid> g) {
    DirectDelivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = g;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DDL";
    d.StockMovementPrefix = "DDL";
    d.CustomerCode = "01C002";
    d.CustomerName = "Harbour Marine Supplies";
    d.PaymentType = "Credit";
    d.ForeignCurrencyFlag = true;
    d.CurrencyCode = "USD";
    d.ExchangeRate = 0.377;
    d.DirectDeliveryDate = d.DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
    d.DirectDeliverySubtotal = 100;
    d.DirectDeliveryFCSubtotal = 265.25;
    d.DirectDeliveryDiscPercent = 10;
    d.DirectDeliveryDiscAmount = 10;
    d.DirectDeliveryFCDiscAmount = 26.52;
    d.DirectDeliveryTotalAmount = 90;
    d.DirectDeliveryFCTotalAmount = 238.73;
    d.LastUpdate = Date::FromYmd(2026, 12, 5);
    d.OnlineFlag = true;
    return d;
  }
  std::shared_ptr<MemoryGrid> Lines() {
    auto g = std::make_shared<MemoryGrid>(5, 19);
    auto line = [&](int r, std::vector<std::pair<int, std::string>> cells) {
      for (auto& [c, t] : cells) g->SetTextMatrix(r, c, t);
    };
    line(1, {{1, "P300"},
             {2, "Desk Lamp"},
             {4, "Pcs"},
             {5, "1"},
             {6, "2"},
             {10, "238.73"},
             {11, "90"},
             {13, "45"},
             {14, "Showroom"},
             {17, "2"},
             {18, "0"}});
    line(2, {{1, "P200"},
             {2, "Ink Cartridge"},
             {4, "Pack-Monthly"},
             {5, "5"},
             {6, "1"},
             {10, "26.52"},
             {11, "10"},
             {14, "Location1"},
             {17, "1"},
             {18, "1"}});
    line(3, {{2, "Installation"}, {6, "1"}});
    return g;
  }
  double Balance(const char* account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
};

TEST_F(DirectDeliveryTest, ChecksAndTheSavedRows) {
  auto g = Lines();
  DirectDelivery d = Make(g);
  d.DirectDeliverySubtotal = 0;
  EXPECT_FALSE(d.Create_Direct_Delivery());
  EXPECT_EQ(d.ErrDesc(), "Invalid Sub Total");
  d.DirectDeliverySubtotal = 100;
  d.DirectDeliveryTotalAmount = 0;
  EXPECT_FALSE(d.Create_Direct_Delivery());
  EXPECT_EQ(d.ErrDesc(), "Invalid Total Amount");
  d.DirectDeliveryTotalAmount = 90;
  d.CompanyPrefix = " ";
  EXPECT_FALSE(d.Validation());
  EXPECT_EQ(d.ErrDesc(), "Invalid Company Prefix");
  d.CompanyPrefix = "01";
  d.PaymentType = "";
  EXPECT_FALSE(d.Validation());
  EXPECT_EQ(d.ErrDesc(), "Invalid Payment Type");
  d.PaymentType = "Credit";

  ASSERT_TRUE(d.Create_Direct_Delivery()) << d.ErrDesc();
  EXPECT_EQ(d.DirectDeliveryNo, "0101DDLTMP1");
  auto ms = conn->Query("SELECT * FROM Direct_Delivery_Master");
  Row m = ms.front();
  EXPECT_EQ(m.Text("Direct_Delivery_Comments"), " ");
  EXPECT_EQ(m.Double("Balance_Amount"), 90);  // a credit delivery stays open
  EXPECT_EQ(m.Double("Exchange_Rate"), 0.377);
  EXPECT_EQ(m.DateValue("Last_Update"), Date::FromYmd(2026, 12, 5));
  auto ls = conn->Query("SELECT * FROM Direct_Delivery_Detail ORDER BY SL_No");
  ASSERT_EQ(ls.size(), 3u);
  EXPECT_EQ(ls[0].Text("Item_Code"), "01P300");
  EXPECT_DOUBLE_EQ(ls[0].Double("Direct_Delivery_OverAll_Disc_Amount"), 9);
  EXPECT_DOUBLE_EQ(ls[0].Double("Direct_Delivery_OverAll_Fc_Disc_Amount"), 23.873);
  EXPECT_EQ(ls[1].Text("Period_Type"), "Monthly");
  EXPECT_TRUE(ls[2].IsNull("Item_Code"));
  EXPECT_DOUBLE_EQ(ls[2].Double("Direct_Delivery_OverAll_Disc_Amount"), 10 - 9 - 1);

  d.PaymentType = "Cash";
  ASSERT_TRUE(d.Update_Direct_Delivery());
  auto again = conn->Query("SELECT Balance_Amount FROM Direct_Delivery_Master");
  EXPECT_EQ(again.front().Double("Balance_Amount"), 90);  // unchanged: a cash save writes none
  EXPECT_EQ(Count("Direct_Delivery_Detail"), 3);

  auto shown = std::make_shared<MemoryGrid>(1, 19);
  DirectDelivery r;
  r.ADOConnectionString = cs;
  r.DeliveryGridName = shown;
  r.DirectDeliveryNo = d.DirectDeliveryNo;
  ASSERT_TRUE(r.Get_Direct_Delivery()) << r.ErrDesc();
  EXPECT_EQ(r.DirectDeliveryFCTotalAmount, 238.73);
  EXPECT_EQ(shown->Rows(), 4);
  EXPECT_EQ(shown->TextMatrix(2, 4), "Pack-Monthly");
  EXPECT_EQ(shown->TextMatrix(1, 14), "Showroom");
  EXPECT_EQ(shown->TextMatrix(2, 18), "1");
}

TEST_F(DirectDeliveryTest, ProcessingPostsCostOnItemAccountsInTheForeignCurrency) {
  conn->Execute("UPDATE Item_Master SET COGS_Account_No = '01014200' WHERE Item_Code = '01P300'");
  DirectDelivery d = Make(Lines());
  ASSERT_TRUE(d.Create_Direct_Delivery());
  ASSERT_TRUE(d.Process_Direct_Delivery()) << d.ErrDesc();
  EXPECT_EQ(d.DirectDeliveryNo, "0101DDL1");
  EXPECT_EQ(Count("Direct_Delivery_Master", "Processed_Flag = 1 AND Allow_Cancel_Flag = 0"), 1);

  // Lamps: 2 at 30 = 60 to the item's own cost account; cartridges: 5 at 12 = 60, free of cost.
  EXPECT_EQ(Balance("01014200"), 60);
  EXPECT_EQ(Balance("01015100"), 60);
  EXPECT_EQ(Balance("01011300"), -120);
  EXPECT_EQ(
      Count("General_Ledger", "GL_Description = ?", {"Free of Cost Account : Item Code - P200"}),
      1);
  // Foreign amounts at the rate of 1 Nov 2026 (0.377).
  EXPECT_NEAR(
      Scalar("SELECT FC_Debit_Amount FROM General_Ledger WHERE Account_No = '01014200'").ToDouble(),
      60 / 0.377, 1e-9);
  EXPECT_EQ(Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = '01P200'").ToDouble(),
            45);
  EXPECT_EQ(
      Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = '01P200' AND Location_ID = 1")
          .ToDouble(),
      35);
  EXPECT_EQ(Scalar("SELECT Inventory_Value FROM Direct_Delivery_Detail WHERE Item_Code = '01P300'")
                .ToDouble(),
            60);
  EXPECT_EQ(Scalar("SELECT Inventory_Value FROM Direct_Delivery_Detail WHERE Item_Code IS NULL")
                .ToDouble(),
            0);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // The header-only flag of processing is gone: reading again fills the grid.
  auto g2 = std::make_shared<MemoryGrid>(1, 19);
  d.DeliveryGridName = g2;
  ASSERT_TRUE(d.Get_Direct_Delivery());
  EXPECT_EQ(g2->Rows(), 4);
  EXPECT_FALSE(d.Process_Direct_Delivery());
  EXPECT_EQ(d.ErrDesc(), "Already Processed");
}

TEST_F(DirectDeliveryTest, OffLineNumbersAndSettlesTheCounter) {
  DirectDelivery a = Make(Lines());
  a.OnlineFlag = false;
  ASSERT_TRUE(a.Create_Direct_Delivery());
  ASSERT_TRUE(a.Process_Direct_Delivery()) << a.ErrDesc();
  EXPECT_EQ(a.DirectDeliveryNo, "0101DDL1");
  EXPECT_EQ(Count("General_Ledger"), 0);
  DirectDelivery b = Make(Lines());
  b.OnlineFlag = false;
  ASSERT_TRUE(b.Create_Direct_Delivery());
  ASSERT_TRUE(b.Process_Direct_Delivery()) << b.ErrDesc();
  EXPECT_EQ(b.DirectDeliveryNo, "0101DDL2");  // never the same number twice
  // Synchronisation later makes the postings under the same number, stamped as the delivery was.
  b.SyncFlag = true;
  b.LastUpdate = Date::FromYmd(2027, 1, 9);
  ASSERT_TRUE(b.Process_Direct_Delivery()) << b.ErrDesc();
  EXPECT_EQ(b.DirectDeliveryNo, "0101DDL2");
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101DDL2'"), 4);
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101DDL2' AND Last_Update = ?",
                  {Date::FromYmd(2026, 12, 5)}),
            4);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  // Once posted, never again.
  const double stock =
      Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = '01P300'").ToDouble();
  EXPECT_FALSE(b.Process_Direct_Delivery());
  EXPECT_EQ(b.ErrDesc(), "Already Processed");
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101DDL2'"), 4);
  EXPECT_EQ(Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = '01P300'").ToDouble(),
            stock);

  DirectDelivery c = Make(Lines());
  c.CurrencyCode = "XYZ";
  ASSERT_TRUE(c.Create_Direct_Delivery());
  EXPECT_FALSE(c.Process_Direct_Delivery());
  EXPECT_EQ(c.ErrDesc(), "Invalid Currency Code");
}

}  // namespace
}  // namespace qlnsales::testing
