#include <gtest/gtest.h>

#include "qlnsales/registry.h"
#include "qlnsales/sales_order.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class SalesOrderProcessTest : public DbTest {
 protected:
  // An order from the showroom (location 2): two boxes of 12 sheets of paper at 30 a box, three
  // hours of installation (a service) at 20, and a lamp given free.
  SalesOrder Order(const char* payment) {
    auto grid = std::make_shared<MemoryGrid>(5, 18);
    Fill(*grid, 1,
         {{1, "P100"},
          {2, "Printer Paper A4"},
          {3, "1"},
          {4, "Box-Monthly"},
          {5, "12"},
          {6, "2"},
          {7, "30"},
          {10, "60"},
          {11, "60"},
          {15, "30"}});
    Fill(*grid, 2,
         {{1, "S100"},
          {2, "Installation"},
          {3, "2"},
          {4, "Hour"},
          {5, "1"},
          {6, "3"},
          {7, "20"},
          {10, "60"},
          {11, "60"},
          {15, "20"}});
    Fill(*grid, 3,
         {{1, "P300"},
          {2, "Desk Lamp"},
          {3, "3"},
          {4, "Pcs"},
          {5, "1"},
          {6, "1"},
          {7, "0"},
          {10, "0"},
          {11, "0"},
          {15, "0"},
          {17, "1"}});
    SalesOrder o;
    o.ADOConnectionString = cs;
    o.AdoConnectionObject = conn;
    o.OrderGridName = grid;
    o.CompanyPrefix = "01";
    o.BranchPrefix = "01";
    o.DocumentPrefix = "SOR";
    o.CustomerCode = "01C001";
    o.CustomerName = "Gulf Traders";
    o.PaymentType = payment;
    o.CurrencyCode = "BHD";
    o.SalesOrdDate = Date::FromYmd(2026, 12, 7);
    o.SalesOrdSubTotal = o.SalesOrdFCSubTotal = 120;
    o.SalesOrdTotalAmount = o.SalesOrdFCTotalAmount = 120;
    o.LocationID = 2;
    o.LocationName = "Showroom";
    o.AmtDig = 3;
    o.LastUpdate = Date::FromYmd(2026, 12, 7, 9, 30);
    o.DeliveryPrefix = "DEL";
    o.CashMemoPrefix = "CHM";
    o.InvoicePrefix = "INV";
    o.StockMovementPrefix = "STM";
    o.SalesLogPrefix = "SLG";
    o.OnlineFlag = true;
    EXPECT_TRUE(o.Create_Order()) << o.ErrDesc();
    return o;
  }
  double Stock(const char* item) {
    return Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = ?", {item}).ToDouble();
  }
  double Ordered(const char* item) {
    return Scalar(
               "SELECT Ordered_Qty FROM Item_Branch_Stock WHERE Item_Code = ? AND "
               "Branch_Prefix = '01'",
               {item})
        .ToDouble();
  }
  double Balance(const char* account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  void ExpectBooksClean() {
    auto violations = services::CheckBooks(*conn);
    EXPECT_TRUE(violations.empty()) << ::testing::PrintToString(violations);
  }
};

TEST_F(SalesOrderProcessTest, NumbersTheOrderAndRaisesOrderedQuantitiesInBaseUnits) {
  SetOrderConversions(*conn, false, false, false, false);
  SalesOrder o = Order("Credit");
  const std::string temporary = o.SalesOrdNo;
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  EXPECT_EQ(o.SalesOrdNo, "0101SOR1");
  EXPECT_EQ(o.SalesOrdIdentity, 1);
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = '0101SOR1' AND process_Flag = 1"), 1);
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_No = '0101SOR1'"), 3);
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_No = ?", {temporary}), 0);
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'SOR' "
                   "AND Branch_Prefix = '01'")
                .ToDouble(),
            2);
  // 2 boxes of 12 sheets; the lamp is a stock line too; a service is never on order.
  EXPECT_EQ(Ordered("01P100"), 24);
  EXPECT_EQ(Ordered("01P300"), 1);
  EXPECT_EQ(Count("Item_Branch_Stock", "Item_Code = '01S100'"), 0);
  // Nothing was delivered or billed, and a second run would raise the quantities again.
  EXPECT_EQ(Count("Delivery_Master"), 0);
  EXPECT_FALSE(o.Process_Order());
  EXPECT_EQ(o.ErrDesc(), "Already Processed");
  EXPECT_EQ(Ordered("01P100"), 24);
  ExpectBooksClean();

  // A number the user gives raises the series past it, at once and inside the call.
  SalesOrder manual = Order("Credit");
  manual.DocManualFlag = true;
  manual.DocIdentity = 120;
  ASSERT_TRUE(manual.Process_Order()) << manual.ErrDesc();
  EXPECT_EQ(manual.SalesOrdNo, "0101SOR120");
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'SOR' "
                   "AND Branch_Prefix = '01'")
                .ToDouble(),
            121);
  // The last 32-bit number would leave the series nowhere to go.
  SalesOrder last = Order("Credit");
  last.DocManualFlag = true;
  last.DocIdentity = 2147483647;
  EXPECT_FALSE(last.Process_Order());
  EXPECT_EQ(last.ErrDesc(), "Overflow");
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'SOR' "
                   "AND Branch_Prefix = '01'")
                .ToDouble(),
            121);

  // Failures before anything is written.
  SalesOrder none;
  EXPECT_FALSE(none.Process_Order());
  EXPECT_EQ(none.ErrDesc(), "Invalid Sales Order No");
  SalesOrder unknown = Order("Credit");
  unknown.SalesOrdNo = "0101SORTMP99";
  EXPECT_FALSE(unknown.Process_Order());
  EXPECT_EQ(unknown.ErrDesc(), "Invlaid Order No");
}

TEST_F(SalesOrderProcessTest, ConversionsAreMadeOnceOfAProcessedOrderOfTheSameCustomer) {
  SetOrderConversions(*conn, false, false, false, false);
  SalesOrder o = Order("Credit");
  std::string credit = "Credit", cash = "Cash";
  // A temporary order is renumbered when processed: nothing may point at its temporary number.
  EXPECT_FALSE(o.Process_Delivery(credit, false));
  EXPECT_EQ(o.ErrDesc(), "Invalid Sales Order No");
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  const double paper = Stock("01P100");

  // Delivered once, whichever way it is asked for.
  ASSERT_TRUE(o.Process_Delivery(credit, false)) << o.ErrDesc();
  EXPECT_FALSE(o.Process_Delivery(credit, false));
  EXPECT_EQ(o.ErrDesc(), "Already Processed");
  SetOrderConversions(*conn, false, false, true, true);
  EXPECT_FALSE(o.GenerateDefaults());
  EXPECT_EQ(o.ErrDesc(), "Already Processed");
  EXPECT_EQ(Count("Delivery_Master"), 1);
  EXPECT_EQ(Stock("01P100"), paper - 24);
  // The delivery was made by an earlier call: the office bills it from the list, not the order.
  ASSERT_TRUE(o.Process_Invoice(credit)) << o.ErrDesc();
  EXPECT_EQ(Count("Sales_Invoice_Master"), 0);

  // Lines go only into an empty temporary document made of this order.
  std::string processed = "0101DEL1", unknown = "0101DELTMP99";
  EXPECT_FALSE(o.Create_Delivery_Detail(processed));
  EXPECT_EQ(o.ErrDesc(), "Invalid Delivery No");
  EXPECT_FALSE(o.Create_Delivery_Detail(unknown));
  EXPECT_EQ(o.ErrDesc(), "Invalid Delivery No");
  EXPECT_EQ(Count("Delivery_Detail"), 3);

  // Paid once.
  bool delivered = true;
  ASSERT_TRUE(o.Process_CashMemo(cash, delivered)) << o.ErrDesc();
  EXPECT_FALSE(o.Process_CashMemo(cash, delivered));
  EXPECT_EQ(o.ErrDesc(), "Already Processed");
  EXPECT_EQ(Count("Cash_Memo_Master"), 1);
  // The memo paid the whole order, its delivery with it: no invoice will bill it.
  EXPECT_EQ(Count("Delivery_Master", "Paid_Flag = 1"), 1);
  EXPECT_EQ(Count("DeliveriesForInvoicingBasic"), 0);

  // Another customer's order is not delivered under this object's customer.
  SalesOrder other = Order("Credit");
  other.CustomerCode = "01C002";
  other.CustomerName = "Harbour Marine Supplies";
  other.SalesOrdNo.clear();
  ASSERT_TRUE(other.Create_Order()) << other.ErrDesc();
  SetOrderConversions(*conn, false, false, false, false);
  ASSERT_TRUE(other.Process_Order()) << other.ErrDesc();
  o.SalesOrdNo = other.SalesOrdNo;
  EXPECT_FALSE(o.Process_Delivery(credit, false));
  EXPECT_EQ(o.ErrDesc(), "Invalid Customer Details");
  EXPECT_EQ(Count("Delivery_Master"), 1);
  ExpectBooksClean();
}

TEST_F(SalesOrderProcessTest, OffLineThenSynchronisedRaisesOrderedQuantitiesOnce) {
  SalesOrder o = Order("Credit");
  o.OnlineFlag = false;
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  EXPECT_EQ(o.SalesOrdNo, "0101SOR1");
  // Off-line: numbered and settled, nothing made, nothing on order yet.
  EXPECT_EQ(Count("Delivery_Master"), 0);
  EXPECT_EQ(Ordered("01P100"), 0);
  SalesOrder next = Order("Credit");
  next.OnlineFlag = false;
  ASSERT_TRUE(next.Process_Order()) << next.ErrDesc();
  EXPECT_EQ(next.SalesOrdNo, "0101SOR2");

  o.SyncFlag = true;
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  EXPECT_EQ(o.SalesOrdNo, "0101SOR1");
  EXPECT_EQ(o.SalesOrdIdentity, 1);
  EXPECT_EQ(Ordered("01P100"), 24);
  EXPECT_EQ(Count("Delivery_Master"), 0);  // synchronisation makes no documents
  // Once: a second synchronisation, or one of an order processed on-line, raises nothing.
  EXPECT_FALSE(o.Process_Order());
  EXPECT_EQ(o.ErrDesc(), "Already Processed");
  EXPECT_EQ(Ordered("01P100"), 24);
  // Only an order numbered off-line waits for its synchronisation.
  SalesOrder early = Order("Credit");
  early.OnlineFlag = false;
  early.SyncFlag = true;
  const std::string temporary = early.SalesOrdNo;
  EXPECT_FALSE(early.Process_Order());
  EXPECT_EQ(early.ErrDesc(), "A sales order is synchronised once it is processed off-line");
  EXPECT_EQ(early.SalesOrdNo, temporary);
  EXPECT_EQ(Ordered("01P100"), 24);
  ExpectBooksClean();
}

TEST_F(SalesOrderProcessTest, ACreditOrderIsDeliveredOnceFromItsOwnLocation) {
  SetOrderConversions(*conn, false, false, true, false);
  SalesOrder o = Order("Credit");
  const double paper = Stock("01P100"), lamps = Stock("01P300");
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  ASSERT_EQ(Count("Delivery_Master"), 1);
  auto deliveries = conn->Query("SELECT * FROM Delivery_Master");
  Row d = deliveries.front();
  EXPECT_EQ(d.Text("Delivery_No"), "0101DEL1");
  EXPECT_EQ(d.Text("Source_No"), o.SalesOrdNo);
  EXPECT_EQ(d.Int32("Processed_Flag"), 1);
  EXPECT_EQ(d.Int32("Paid_Flag"), 0);
  EXPECT_EQ(d.Double("Delivery_Total_Amount"), 120);
  // The lines carry the order's location and period; the goods left stock once, in base units.
  auto lines = conn->Query("SELECT * FROM Delivery_Detail ORDER BY Sales_Ord_Dtl_SL_No");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Text("Period_Type"), "Monthly");
  EXPECT_EQ(lines[0].Int32("Location_ID"), 2);
  EXPECT_EQ(lines[0].Text("Location_Name"), "Showroom");
  EXPECT_EQ(lines[0].Double("Delivery_Qty"), 2);
  EXPECT_EQ(lines[0].Double("Delivery_Item_Amount"), 60);
  EXPECT_EQ(Stock("01P100"), paper - 24);
  EXPECT_EQ(Stock("01P300"), lamps - 1);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101DEL1'"), 2);
  EXPECT_EQ(Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = '01P300' AND "
                   "Location_ID = 2")
                .ToDouble(),
            7);
  // The order is delivered, and nothing stays on order.
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = ? AND Delivered_Flag = 1", {o.SalesOrdNo}),
            1);
  EXPECT_EQ(Scalar("SELECT SUM(Sales_Ord_Delivered_Qty) FROM Sales_Order_Detail").ToDouble(), 6);
  EXPECT_EQ(Ordered("01P100"), 0);
  EXPECT_EQ(Ordered("01P300"), 0);
  ExpectBooksClean();

  // The same object takes a second order with the invoice preference alone: nothing of this
  // order was delivered, so nothing is billed, least of all the first order's delivery.
  SetOrderConversions(*conn, false, false, false, true);
  o.SalesOrdNo.clear();
  ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  std::string credit = "Credit";
  ASSERT_TRUE(o.Process_Invoice(credit)) << o.ErrDesc();
  EXPECT_EQ(Count("Sales_Invoice_Master"), 0);
  EXPECT_EQ(Count("Delivery_Master"), 1);
  ExpectBooksClean();
}

TEST_F(SalesOrderProcessTest, ACashOrderBecomesACashMemoWithGoodsOutOnce) {
  // Delivered and paid at once: the delivery takes the goods, the memo takes the cash.
  SetOrderConversions(*conn, true, true, false, false);
  SalesOrder o = Order("Cash");
  const double paper = Stock("01P100");
  const double cash = Balance("01011000");
  ASSERT_TRUE(o.Process_Order()) << o.ErrDesc();
  EXPECT_EQ(Count("Delivery_Master", "Paid_Flag = 1 AND Processed_Flag = 1"), 1);
  ASSERT_EQ(Count("Cash_Memo_Master"), 1);
  auto memos = conn->Query("SELECT * FROM Cash_Memo_Master");
  Row m = memos.front();
  EXPECT_EQ(m.Text("Cash_Memo_No"), "0101CHM1");
  EXPECT_EQ(m.Text("Reference_No"), o.SalesOrdNo);
  EXPECT_EQ(m.Int32("process_Flag"), 1);
  EXPECT_EQ(
      Count("Cash_Memo_Detail", "Cash_Memo_Delivered_Qty = Cash_Memo_Qty AND Location_ID = 2"), 3);
  EXPECT_EQ(Stock("01P100"), paper - 24);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101CHM1'"), 0);
  EXPECT_EQ(Balance("01011000") - cash, 120);
  EXPECT_EQ(Count("Sales_Order_Master", "Paid_Flag = 1"), 1);
  EXPECT_EQ(Ordered("01P100"), 0);
  ExpectBooksClean();

  // A memo alone delivers the order itself, and takes it off order.
  SetOrderConversions(*conn, false, true, false, false);
  SalesOrder memo_only = Order("Cash");
  ASSERT_TRUE(memo_only.Process_Order()) << memo_only.ErrDesc();
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101CHM2'"), 2);
  EXPECT_EQ(Stock("01P100"), paper - 48);
  EXPECT_EQ(Ordered("01P100"), 0);
  EXPECT_EQ(Ordered("01P300"), 0);
  ExpectBooksClean();

  // The payment type is compared as typed: "cash" makes nothing.
  SalesOrder lower = Order("cash");
  ASSERT_TRUE(lower.Process_Order()) << lower.ErrDesc();
  EXPECT_EQ(Count("Cash_Memo_Master"), 2);
  EXPECT_EQ(Ordered("01P100"), 24);
}

TEST_F(SalesOrderProcessTest, AFailureLeavesTheOrderAsItWas) {
  // Without the branch's preferences an on-line order cannot make its documents.
  conn->Execute("DELETE FROM Default_Sales_Preferences WHERE Branch_Prefix = '01'");
  SalesOrder o = Order("Credit");
  const std::string temporary = o.SalesOrdNo;
  EXPECT_FALSE(o.Process_Order());
  EXPECT_EQ(o.ErrDesc(), "Set the default sales preferences.");
  EXPECT_EQ(o.SalesOrdNo, temporary);
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = ? AND process_Flag = 0", {temporary}), 1);
  EXPECT_EQ(Ordered("01P100"), 0);

  // A delivery that fails half-way (its stock module refuses an unknown item) takes the order's
  // numbering and everything else with it.
  conn->Execute(
      "INSERT INTO Default_Sales_Preferences (Company_Prefix, Branch_Prefix, "
      "Credit_SO_Delivery_Flag) VALUES ('01', '01', 1)");
  conn->Execute("UPDATE Sales_Order_Detail SET Item_Code = '01P999' WHERE Item_Code = '01P300'");
  const double paper = Stock("01P100");
  EXPECT_FALSE(o.Process_Order());
  EXPECT_NE(o.ErrDesc().find("01P999"), std::string::npos) << o.ErrDesc();
  EXPECT_EQ(o.SalesOrdNo, temporary);
  EXPECT_EQ(Count("Delivery_Master"), 0);
  EXPECT_EQ(Count("Delivery_Detail"), 0);
  EXPECT_EQ(Count("Stock_Movement", "Document_No LIKE '0101DEL%'"), 0);
  EXPECT_EQ(Stock("01P100"), paper);
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = ? AND process_Flag = 0", {temporary}), 1);
  ExpectBooksClean();
}

}  // namespace
}  // namespace qlnsales::testing
