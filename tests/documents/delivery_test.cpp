#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_order.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class DeliveryTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    // An order of two lines, one of them half delivered, and a third fully delivered.
    auto order_grid = std::make_shared<MemoryGrid>(4, 18);
    auto line = [&](int r, const char* code, const char* name, const char* qty, const char* price,
                    const char* amount) {
      for (auto [c, t] : std::initializer_list<std::pair<int, const char*>>{{1, code},
                                                                            {2, name},
                                                                            {3, "1"},
                                                                            {4, "Box"},
                                                                            {5, "1"},
                                                                            {6, qty},
                                                                            {7, price},
                                                                            {10, amount},
                                                                            {11, amount},
                                                                            {15, price},
                                                                            {17, "0"}})
        order_grid->SetTextMatrix(r, c, t);
    };
    line(1, "P100", "Printer Paper A4", "10", "2.5", "25");
    line(2, "P200", "Ink Cartridge", "4", "15", "60");
    line(3, "P300", "Desk Lamp", "1", "40", "40");
    order_grid->SetTextMatrix(2, 13, "0042");
    order_grid->SetTextMatrix(2, 16, "0101PRJ0042");
    SalesOrder o;
    o.AdoConnectionObject = conn;
    o.OrderGridName = order_grid;
    o.CompanyPrefix = "01";
    o.BranchPrefix = "01";
    o.DocumentPrefix = "SOR";
    o.CustomerCode = "01C001";
    o.CustomerName = "Gulf Traders";
    o.PaymentType = "Cash";
    o.PaymentTerms = "Immediate";
    o.CurrencyCode = "BHD";
    o.SalesOrdDate = Date::FromYmd(2026, 12, 1);
    o.EmployeeID = "E7";
    o.EmployeeName = "Huda";
    ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();
    order_no = o.SalesOrdNo;
    conn->Execute(
        "UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = 1 WHERE Item_Code = '01P200'");
    conn->Execute(
        "UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = 1 WHERE Item_Code = '01P300'");
    grid = std::make_shared<MemoryGrid>(2, 23);
  }
  Delivery Make() {
    Delivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = grid;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DEL";
    d.SourceNo = order_no;
    d.DeliveryDate = d.DeliveryEndDate = Date::FromYmd(2026, 12, 3);
    d.LastUpdate = Date::FromYmd(2026, 12, 3, 14, 5);
    return d;
  }
  std::string order_no;
  std::shared_ptr<MemoryGrid> grid;
};

TEST_F(DeliveryTest, FillingFromAnOrderOffersOutstandingLinesOnly) {
  Delivery d = Make();
  ASSERT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
  EXPECT_EQ(d.CustomerName, "Gulf Traders");
  EXPECT_EQ(d.SourcePrefix, "SOR");
  EXPECT_EQ(d.SourceDate, Date::FromYmd(2026, 12, 1));
  EXPECT_EQ(d.EmployeeName, "Huda");
  EXPECT_EQ(d.PaymentType, "Cash");
  EXPECT_EQ(d.CurrencySymbol, "BD");
  ASSERT_EQ(grid->Rows(), 3);  // the grid grew to hold both lines
  EXPECT_EQ(grid->TextMatrix(1, 1), "0");
  EXPECT_EQ(grid->TextMatrix(1, 2), "P100");
  EXPECT_EQ(grid->TextMatrix(1, 7), "10");
  EXPECT_EQ(grid->TextMatrix(2, 2), "P200");
  EXPECT_EQ(grid->TextMatrix(2, 7), "3");  // 4 ordered, 1 delivered
  EXPECT_EQ(grid->TextMatrix(2, 16), "3");
  EXPECT_EQ(grid->TextMatrix(2, 8), "0101PRJ0042");
  EXPECT_EQ(grid->TextMatrix(2, 9), "2");  // the order line's serial
  EXPECT_EQ(grid->TextMatrix(2, 10), "15");
  EXPECT_EQ(grid->TextMatrix(2, 22), "0");

  conn->Execute("UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = Sales_Ord_Ordered_Qty");
  EXPECT_FALSE(d.Get_Order_Details());
  EXPECT_EQ(d.ErrDesc(), "Invalid Item Details");
  d.SourceNo = " ";
  EXPECT_FALSE(d.Get_Order_Details());
  EXPECT_EQ(d.ErrDesc(), "Invalid Sales Order NO");
  d.SourceNo = "0101SORTMP99";
  EXPECT_FALSE(d.Get_Order_Details());
  EXPECT_EQ(d.ErrDesc(), "Invalid Sales Order No");
}

TEST_F(DeliveryTest, FillingFromACashMemo) {
  Record()
      .Set("Cash_Memo_No", "0101CHMTMP1")
      .Set("Cash_Memo_Date", Date::FromYmd(2026, 12, 2))
      .Set("Document_Prefix", "CHM")
      .Set("Customer_Code", "01C002")
      .Set("Customer_Name", "Walk-in")
      .Set("Payment_Type", "Cash")
      .Set("Foreign_Currency_Flag", true)
      .Set("Exchange_Rate", 0.377)
      .Set("Currency_Code", "USD")
      .Set("Currency_Symbol", " $ ")
      .Insert(*conn, "Cash_Memo_Master");
  Record()
      .Set("SL_No", 7)
      .Set("Cash_Memo_No", "0101CHMTMP1")
      .Set("Item_Code", "01P300")
      .Set("Item_Name", "Desk Lamp")
      .Set("Unit_Qty", 1.0)
      .Set("Cash_Memo_Qty", 3.0)
      .Set("Cash_Memo_Delivered_Qty", 1.0)
      .Set("Cash_Memo_Unit_Price", 40.0)
      .Set("FOC_Flag", 1.0)
      .Insert(*conn, "Cash_Memo_Detail");
  Delivery d = Make();
  d.SourceNo = "0101CHMTMP1";
  ASSERT_TRUE(d.Get_CashMemo_Details()) << d.ErrDesc();
  EXPECT_EQ(d.SourcePrefix, "CHM");
  EXPECT_EQ(d.CurrencySymbol, "$");
  EXPECT_EQ(d.ExchangeRate, 0.377);
  EXPECT_EQ(grid->TextMatrix(1, 7), "2");
  EXPECT_EQ(grid->TextMatrix(1, 9), "7");
  EXPECT_EQ(grid->TextMatrix(1, 22), "1");
  d.SourceNo = "nope";
  EXPECT_FALSE(d.Get_CashMemo_Details());
  EXPECT_EQ(d.ErrDesc(), "Invalid Cash Memo No");
}

TEST_F(DeliveryTest, APartialDeliveryIsSavedFromTheTickedRows) {
  Delivery d = Make();
  ASSERT_TRUE(d.Get_Order_Details());
  grid->SetRows(6);
  grid->SetTextMatrix(1, 1, "1");
  grid->SetTextMatrix(1, 7, "4");   // part of the 10
  grid->SetTextMatrix(1, 18, "1");  // takes a share of the overall discount
  grid->SetTextMatrix(1, 20, "Location1");
  grid->SetTextMatrix(1, 21, "1");
  grid->SetTextMatrix(2, 1, "yes");   // not a true/false text: not ticked
  grid->SetTextMatrix(3, 1, "True");  // a line without item code
  grid->SetTextMatrix(3, 3, "Delivery charge");
  grid->SetTextMatrix(3, 5, "Trip-Daily");
  grid->SetTextMatrix(3, 18, "1");
  // row 4 has columns 2 and 3 empty: the list ends there.
  grid->SetTextMatrix(5, 1, "1");
  grid->SetTextMatrix(5, 2, "P300");
  d.DeliverySubtotal = 0;  // a share over a subtotal of 0 is 0
  d.DeliveryDiscAmount = 5;
  d.DeliveryTotalAmount = 10;
  d.DeliveryFCTotalAmount = 10;
  d.SourceName = "SalesOrder";
  d.CustomerAddressCode = "";
  d.DeliveryRefNo = " ";

  Delivery empty = Make();
  empty.AdoDBConnectionObject = nullptr;
  EXPECT_FALSE(empty.Create_Delivery(true));
  EXPECT_EQ(empty.ErrDesc(), "Connection not opened");
  empty.AdoDBConnectionObject = conn;
  empty.SourcePrefix = "";
  EXPECT_FALSE(empty.Create_Delivery(true));
  EXPECT_EQ(empty.ErrDesc(), "Invalid Sales Order or Cash Memo Prefix");

  ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
  EXPECT_EQ(d.DeliveryNo, "0101DELTMP1");
  auto masters = conn->Query("SELECT * FROM Delivery_Master");
  Row m = masters.front();
  EXPECT_EQ(m.Text("Delivery_No"), "0101DELTMP1");
  EXPECT_EQ(m.Text("Source_No"), order_no);
  EXPECT_EQ(m.Text("source_Name"), "SalesOrder");
  EXPECT_EQ(m.Text("Last_Update"), "03/Dec/2026");
  EXPECT_EQ(m.Text("Delivery_Ref_No"), "  ");
  EXPECT_TRUE(m.IsNull("Address_Code"));
  EXPECT_TRUE(m.IsNull("Delivery_Comments"));
  EXPECT_EQ(m.Double("Balance_Amount"), 10);  // a cash delivery not paid yet
  EXPECT_EQ(m.Double("Exchange_Rate"), 1);
  EXPECT_FALSE(m.Flag("Processed_Flag"));
  EXPECT_TRUE(m.Flag("Allow_Cancel_Flag"));

  auto lines = conn->Query("SELECT * FROM Delivery_Detail ORDER BY SL_No");
  ASSERT_EQ(lines.size(), 2u);
  Row a = lines[0], b = lines[1];
  EXPECT_EQ(a.Text("Item_Code"), "01P100");
  EXPECT_EQ(a.Double("Delivery_Qty"), 4);
  EXPECT_EQ(a.Double("Sales_Ord_Dtl_SL_No"), 1);
  EXPECT_EQ(a.Double("Sales_Ord_Balance_Qty"), 10);
  EXPECT_EQ(a.Double("Sales_Ord_Overall_Disc"), 0);
  EXPECT_EQ(a.Text("Location_Name"), "Location1");
  EXPECT_EQ(a.Double("Location_ID"), 1);
  EXPECT_EQ(a.Text("Last_Update"), "03/Dec/2026");
  EXPECT_EQ(a.Double("Invoiced_Qty"), 0);
  EXPECT_TRUE(b.IsNull("Item_Code"));
  EXPECT_EQ(b.Text("Item_Name"), "Delivery charge");
  EXPECT_EQ(b.Text("Unit_Name"), "Trip");
  EXPECT_EQ(b.Text("Period_Type"), "Daily");

  // Saving again replaces the lines; a paid or credit delivery writes no open balance.
  grid->SetTextMatrix(3, 1, "0");
  d.PaidFlag = true;
  d.DeliverySubtotal = 25;
  ASSERT_TRUE(d.Update_Delivery()) << d.ErrDesc();
  EXPECT_EQ(Count("Delivery_Detail"), 1);
  EXPECT_DOUBLE_EQ(Scalar("SELECT Sales_Ord_Overall_Disc FROM Delivery_Detail").ToDouble(),
                   5 * 25.0 / 25);
  Delivery none = Make();
  none.SourcePrefix = "SOR";  // the checks pass; only the number is missing
  EXPECT_FALSE(none.Update_Delivery());
  EXPECT_EQ(none.ErrDesc(), "Invalid Delivery No");
  EXPECT_EQ(Count("Delivery_Master"), 1);
}

TEST_F(DeliveryTest, TheSourceIsMarkedAndTheHeaderReadsBack) {
  Delivery d = Make();
  ASSERT_TRUE(d.Get_Order_Details());
  d.CustomerAddressCode = "2";
  d.DeliveryRefNo = "REF-9";
  d.DeliveryComments = "Back door";
  d.SourceName = "SalesOrder";
  ASSERT_TRUE(d.Create_Delivery(false));
  EXPECT_EQ(Count("Delivery_Detail"), 0);

  ASSERT_TRUE(d.Update_Sales_Order()) << d.ErrDesc();
  EXPECT_EQ(
      Count("Sales_Order_Master", "process_Flag = 1 AND Allow_Cancel_Flag = 0 AND Last_Update = ?",
            {"03/Dec/2026"}),
      1);
  Delivery bad = Make();
  bad.SourcePrefix = "SOR";
  bad.SourceNo = "0101SORTMP99";
  EXPECT_FALSE(bad.Update_Sales_Order());
  EXPECT_EQ(bad.ErrDesc(), "Invalid Sales Order No");
  bad.SourcePrefix = "";
  EXPECT_FALSE(bad.Update_Sales_Order());
  EXPECT_EQ(bad.ErrDesc(), "Invalid Document Prefix");
  bad.SourcePrefix = "CHM";
  bad.AdoDBConnectionObject = std::make_shared<Connection>();
  EXPECT_FALSE(bad.Update_Cash_Memo());
  EXPECT_EQ(bad.ErrDesc(), "Connection is not open");
  bad.AdoDBConnectionObject = conn;
  EXPECT_FALSE(bad.Update_Cash_Memo());
  EXPECT_EQ(bad.ErrDesc(), "Invalid Cash Memo No");

  Delivery r;
  r.ADOConnectionString = cs;  // the closed object falls back to the string
  r.DeliveryNo = d.DeliveryNo;
  ASSERT_TRUE(r.Get_Delivery()) << r.ErrDesc();
  EXPECT_EQ(r.DeliveryIdentity, 1);
  EXPECT_EQ(r.CustomerCode, "01C001");
  EXPECT_EQ(r.SourceNo, order_no);
  EXPECT_EQ(r.SourceName, "SalesOrder");
  EXPECT_EQ(r.CustomerAddressCode, "2");
  EXPECT_EQ(r.DeliveryRefNo, "REF-9");
  EXPECT_EQ(r.DeliveryComments, "Back door");
  EXPECT_EQ(r.DeliveryDate, Date::FromYmd(2026, 12, 3));
  EXPECT_EQ(r.PaymentTerms, "Immediate");
  EXPECT_FALSE(r.ProcessFlag);
  r.DeliveryNo = "x";
  EXPECT_FALSE(r.Get_Delivery());
  EXPECT_EQ(r.ErrDesc(), "Invalid Delivery No");
}

}  // namespace
}  // namespace qlnsales::testing
