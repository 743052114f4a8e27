#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class DeliveryProcessTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    refdata::AddItem(*conn, "01T300", "Gift Voucher", 3, "Pcs");
    refdata::AddOpeningStock(*conn, "01", "01", "01T300", 1, 5, 1);
    // An order: paper (stock, type 0), a free cartridge, a voucher (type 3), installation (type 1).
    auto g = std::make_shared<MemoryGrid>(5, 18);
    auto line = [&](int r, const char* code, const char* qty, const char* price, const char* foc) {
      for (auto [c, t] : std::initializer_list<std::pair<int, const char*>>{
               {1, code}, {2, code}, {4, "Box"}, {5, "1"}, {6, qty}, {15, price}, {17, foc}})
        g->SetTextMatrix(r, c, t);
    };
    line(1, "P100", "10", "4", "0");
    line(2, "P200", "2", "18", "1");
    line(3, "T300", "1", "10", "0");
    line(4, "S100", "3", "20", "0");
    SalesOrder o;
    o.AdoConnectionObject = conn;
    o.OrderGridName = g;
    o.CompanyPrefix = "01";
    o.BranchPrefix = "01";
    o.DocumentPrefix = "SOR";
    o.CustomerCode = "01C001";
    o.CustomerName = "Gulf Traders";
    o.PaymentType = "Credit";
    o.CurrencyCode = "BHD";
    ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();
    order_no = o.SalesOrdNo;
  }
  // A delivery of the order's outstanding lines (the first `take` units of each).
  Delivery Deliver(double fraction = 1.0) {
    Delivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DEL";
    d.StockMovementPrefix = "DEL";
    d.SourceNo = order_no;
    d.DeliveryDate = d.DeliveryEndDate = Date::FromYmd(2026, 12, 4);
    d.LastUpdate = Date::FromYmd(2026, 12, 4);
    d.OnlineFlag = true;
    EXPECT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
    auto& grid = *d.DeliveryGridName;
    for (int r = 1; r < grid.Rows(); ++r) {
      grid.SetTextMatrix(r, 1, "1");
      grid.SetTextMatrix(r, 7, std::to_string(grid.ValueMatrix(r, 7) * fraction));
      grid.SetTextMatrix(r, 20, "Location1");
      grid.SetTextMatrix(r, 21, "1");
    }
    EXPECT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
    return d;
  }
  double Stock(const char* item) {
    return Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = ?", {item}).ToDouble();
  }
  double Balance(const char* account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  std::string order_no;
  std::string source = "SalesOrder";
};

TEST_F(DeliveryProcessTest, OnLineProcessingNumbersTakesStockOutAndPostsCost) {
  Delivery d = Deliver(0.5);
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(d.DeliveryNo, "0101DEL1");
  EXPECT_EQ(Count("Delivery_Master", "Delivery_No = '0101DEL1' AND Processed_Flag = 1"), 1);
  EXPECT_EQ(Count("Delivery_Detail", "Delivery_No = '0101DEL1'"), 4);

  // Order quantities and flag.
  EXPECT_EQ(Count("Sales_Order_Master", "Delivered_Flag = 1"), 1);
  EXPECT_EQ(
      Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail WHERE Item_Code = '01P100'")
          .ToDouble(),
      5);

  // Stock out at average cost: 5 boxes at 2.5, 1 cartridge at 12, half a voucher at 1.
  EXPECT_EQ(Stock("01P100"), 95);
  EXPECT_EQ(Stock("01P200"), 49);
  EXPECT_EQ(Stock("01T300"), 4.5);
  EXPECT_EQ(
      Scalar("SELECT Inventory_Value FROM Delivery_Detail WHERE Item_Code = '01P100'").ToDouble(),
      12.5);
  EXPECT_EQ(
      Scalar("SELECT Inventory_Value FROM Delivery_Detail WHERE Item_Code = '01S100'").ToDouble(),
      20);

  // Ledger pairs for type-0 lines only: paper to cost of goods, the free cartridge to free of cost.
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101DEL1'"), 4);
  EXPECT_EQ(Balance("01011300"), -24.5);
  EXPECT_EQ(Balance("01015000"), 12.5);
  EXPECT_EQ(Balance("01015100"), 12);
  EXPECT_EQ(
      Count("General_Ledger", "GL_Description = ?", {"Free Of Cost Account : Item Code - P200"}),
      1);

  // Movements, location stock and ordered quantities for the stock lines.
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101DEL1' AND Document_Type = 'OUT'"), 3);
  EXPECT_EQ(
      Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = '01P100' AND Location_ID = 1")
          .ToDouble(),
      95);
  EXPECT_EQ(
      Scalar("SELECT Ordered_Qty FROM Item_Branch_Stock WHERE Item_Code = '01P100'").ToDouble(),
      -5);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'DEL' AND "
                   "Branch_Prefix = '01'")
                .ToDouble(),
            2);

  // A processed delivery is not processed again.
  EXPECT_FALSE(d.Process_Delivery(source));
  EXPECT_EQ(d.ErrDesc(), "Already Processed");
  EXPECT_EQ(Count("General_Ledger"), 4);

  // The rest of the order, delivered later, completes it; nothing is offered after that.
  Delivery rest = Deliver();
  ASSERT_TRUE(rest.Process_Delivery(source)) << rest.ErrDesc();
  EXPECT_EQ(rest.DeliveryNo, "0101DEL2");
  EXPECT_EQ(Stock("01P100"), 90);
  Delivery none;
  none.ADOConnectionString = cs;
  none.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
  none.SourceNo = order_no;
  EXPECT_FALSE(none.Get_Order_Details());
  EXPECT_EQ(none.ErrDesc(), "Invalid Item Details");
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(DeliveryProcessTest, OffLineAndReplicationModes) {
  Delivery d = Deliver(0.5);
  d.OnlineFlag = false;
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(d.DeliveryNo, "0101DEL1");
  EXPECT_EQ(
      Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail WHERE Item_Code = '01P100'")
          .ToDouble(),
      5);
  EXPECT_EQ(Stock("01P100"), 100);
  EXPECT_EQ(Count("General_Ledger"), 0);
  EXPECT_EQ(Count("Delivery_Detail", "Inventory_Value <> 0"), 0);

  // Replication: the number stays, the order is not touched again, the postings are made.
  d.SyncFlag = true;
  d.LastUpdate = Date::FromYmd(2030, 1, 1);
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(d.DeliveryNo, "0101DEL1");
  EXPECT_EQ(d.LastUpdate, Date::FromYmd(2026, 12, 4));  // taken over from the row
  EXPECT_EQ(
      Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail WHERE Item_Code = '01P100'")
          .ToDouble(),
      5);
  EXPECT_EQ(Stock("01P100"), 95);
  EXPECT_EQ(Count("General_Ledger"), 4);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(DeliveryProcessTest, PostingsAreMadeOnceWhateverTheModes) {
  // On-line, then synchronised: the postings exist, nothing is posted again.
  Delivery d = Deliver(0.5);
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(Stock("01P100"), 95);
  const auto ledger = Count("General_Ledger");
  d.OnlineFlag = false;
  d.SyncFlag = true;
  EXPECT_FALSE(d.Process_Delivery(source));
  EXPECT_EQ(d.ErrDesc(), "Already Processed");
  EXPECT_EQ(Stock("01P100"), 95);
  EXPECT_EQ(Count("General_Ledger"), ledger);

  // Off-line, synchronised, synchronised again: posted once.
  Delivery e = Deliver();
  e.OnlineFlag = false;
  ASSERT_TRUE(e.Process_Delivery(source)) << e.ErrDesc();
  e.SyncFlag = true;
  ASSERT_TRUE(e.Process_Delivery(source)) << e.ErrDesc();
  EXPECT_EQ(Stock("01P100"), 90);
  EXPECT_FALSE(e.Process_Delivery(source));
  EXPECT_EQ(e.ErrDesc(), "Already Processed");
  EXPECT_EQ(Stock("01P100"), 90);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = ?", {e.DeliveryNo}), 3);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(DeliveryProcessTest, SavesRefuseBadPrefixesAndNarrowGridsBeforeWriting) {
  Delivery d = Deliver();
  const auto lines = Count("Delivery_Detail", "Delivery_No = ?", {d.DeliveryNo});
  ASSERT_EQ(lines, 4);
  // An update whose grid lacks a column it reads keeps the stored lines.
  auto narrow = std::make_shared<MemoryGrid>(3, 20);
  d.DeliveryGridName = narrow;
  EXPECT_FALSE(d.Update_Delivery());
  EXPECT_EQ(d.ErrDesc(), "Subscript out of range: the grid has 20 columns and the lines need 23");
  EXPECT_EQ(Count("Delivery_Detail", "Delivery_No = ?", {d.DeliveryNo}), lines);

  Delivery bad = Deliver();
  const auto masters = Count("Delivery_Master");
  bad.DocumentPrefix = "DL";
  EXPECT_FALSE(bad.Create_Delivery(true));
  EXPECT_EQ(bad.ErrDesc(), "Invalid Document Prefix");
  bad.DocumentPrefix = "DEL";
  bad.BranchPrefix = "001";
  EXPECT_FALSE(bad.Create_Delivery_Master());
  EXPECT_EQ(bad.ErrDesc(), "Invalid Branch Prefix");
  EXPECT_EQ(Count("Delivery_Master"), masters);
}

TEST_F(DeliveryProcessTest, ManualIdentitiesAndFailuresThatLeaveNothing) {
  Delivery d = Deliver(0.5);
  d.DocManualFlag = true;
  d.ManualDeliveryIdentity = 40;
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(d.DeliveryNo, "0101DEL40");
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'DEL' AND "
                   "Branch_Prefix = '01'")
                .ToDouble(),
            41);

  // Missing preferences fail the call half-way: nothing stays written, no number is used, and
  // the object keeps its temporary number for a retry.
  Delivery e = Deliver(0.2);
  const std::string temporary = e.DeliveryNo;
  const double stock = Stock("01P100");
  const auto ledger_lines = Count("General_Ledger");
  conn->Execute("DELETE FROM Default_Sales_Preferences WHERE Branch_Prefix = '01'");
  EXPECT_FALSE(e.Process_Delivery(source));
  EXPECT_EQ(e.ErrDesc(), "Set the Sales default settings in the Sales Preferences");
  EXPECT_EQ(e.DeliveryNo, temporary);
  EXPECT_EQ(Count("Delivery_Master", "Delivery_No = ? AND Processed_Flag = 0", {temporary}), 1);
  EXPECT_EQ(Count("Delivery_Master", "Delivery_No = '0101DEL41'"), 0);
  EXPECT_EQ(Stock("01P100"), stock);
  EXPECT_EQ(Count("General_Ledger"), ledger_lines);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101DEL41'"), 0);
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'DEL' AND "
                   "Branch_Prefix = '01'")
                .ToDouble(),
            41);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // A refused stock-out stops processing with the module's text.
  conn->Execute(
      "UPDATE Item_Master SET Stock_In_Hand = 0, Stock_Amount = 0 WHERE Item_Code = '01P100'");
  Delivery f = Deliver(0.1);
  EXPECT_FALSE(f.Process_Delivery(source));
  // The order still owes the 5 boxes the failed delivery would have taken.
  EXPECT_EQ(f.ErrDesc(), "Not enough stock of 01P100: 0 in hand, 0.5 wanted.");

  // A line whose order line is gone: "Invalid Item Details".
  Delivery g = Deliver(0.1);
  conn->Execute("UPDATE Sales_Order_Detail SET SL_No = SL_No + 100");
  EXPECT_FALSE(g.Process_Delivery(source));
  EXPECT_EQ(g.ErrDesc(), "Invalid Item Details");

  Delivery missing;
  missing.AdoDBConnectionObject = conn;
  missing.DeliveryNo = "0101DELTMP99";
  EXPECT_FALSE(missing.Process_Delivery(source));
  EXPECT_EQ(missing.ErrDesc(), "Invalid Delivery No");
  Delivery h = Deliver(0.1);
  conn->Execute("DELETE FROM Delivery_Detail WHERE Delivery_No = ?", {h.DeliveryNo});
  EXPECT_FALSE(h.Process_Delivery(source));
  EXPECT_EQ(h.ErrDesc(), "Error while Processing, Invalid Temporary Delivery No.");
}

TEST_F(DeliveryProcessTest, ADeliveryFromAProcessedCashMemoMovesNoStockAgain) {
  Record()
      .Set("Cash_Memo_No", "0101CHM3")
      .Set("Cash_Memo_Date", Date::FromYmd(2026, 12, 2))
      .Set("Document_Prefix", "CHM")
      .Set("Customer_Code", "01C002")
      .Set("Payment_Type", "Cash")
      .Set("Currency_Code", "BHD")
      .Insert(*conn, "Cash_Memo_Master");
  Record()
      .Set("SL_No", 1)
      .Set("Cash_Memo_No", "0101CHM3")
      .Set("Item_Code", "01P300")
      .Set("Item_Name", "Desk Lamp")
      .Set("Unit_Qty", 1.0)
      .Set("Cash_Memo_Qty", 2.0)
      .Set("Cash_Memo_Unit_Price", 45.0)
      .Set("Inventory_Value", 60.0)
      .Insert(*conn, "Cash_Memo_Detail");
  Delivery d;
  d.ADOConnectionString = cs;
  d.AdoDBConnectionObject = conn;
  d.DeliveryGridName = std::make_shared<MemoryGrid>(2, 23);
  d.CompanyPrefix = "01";
  d.BranchPrefix = "01";
  d.DocumentPrefix = "DEL";
  d.SourceNo = "0101CHM3";
  d.OnlineFlag = true;
  d.LastUpdate = Date::FromYmd(2026, 12, 4, 15, 30);
  ASSERT_TRUE(d.Get_CashMemo_Details());
  d.DeliveryGridName->SetTextMatrix(1, 1, "1");
  d.DeliveryGridName->SetTextMatrix(1, 7, "1");
  ASSERT_TRUE(d.Create_Delivery(true));
  ASSERT_TRUE(d.Update_Cash_Memo());
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_EQ(Scalar("SELECT Cash_Memo_Delivered_Qty FROM Cash_Memo_Detail").ToDouble(), 1);
  // The memo's stamps keep the day, not the time of day.
  EXPECT_EQ(Scalar("SELECT Last_Update FROM Cash_Memo_Detail").ToDate(),
            Date::FromYmd(2026, 12, 4));
  EXPECT_EQ(Scalar("SELECT Last_Update FROM Cash_Memo_Master").ToDate(),
            Date::FromYmd(2026, 12, 4));
  EXPECT_EQ(Scalar("SELECT Inventory_Value FROM Delivery_Detail").ToDouble(), 30);
  EXPECT_EQ(Stock("01P300"), 8);
  EXPECT_EQ(Count("General_Ledger"), 0);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = ?", {d.DeliveryNo}), 0);
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_Delivered_Qty <> 0"), 0);
}

}  // namespace
}  // namespace qlnsales::testing
