// Sales stories from order to payment, told through the public objects as a front end tells them,
// with the customer's balance, the stock and the books checked at every step.
#include <gtest/gtest.h>

#include "qlnsales/registry.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class SalesScenario : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    auto customer = CreateObject("QLNSales.Customer");
    const std::pair<const char*, Value> properties[] = {
        {"ConnectionString", Value(cs)},
        {"CompanyPrefix", Value("01")},
        {"BranchPrefix", Value("01")},
        {"CustomerCode", Value("01C001")},
        {"CustomerName", Value("Gulf Traders")},
        {"CustomerCurrencyCode", Value("BHD")},
        {"CurrencyCode", Value("BHD")},
        {"ARAccountNo", Value("01011200")},
        {"LastUpdate", Value(Date::FromYmd(2026, 12, 1))}};
    for (const auto& [name, value] : properties) customer->Set(name, value);
    ASSERT_TRUE(customer->Invoke("Create_Customer").ToBool()) << customer->Get("ErrDesc").ToText();
  }
  // Two boxes of 12 sheets of paper at 30 a box, three hours of installation at 20, a lamp given
  // free: 120 in all, made by class name and processed on-line.
  ObjectRef ProcessedOrder(const char* payment) {
    auto grid = std::make_shared<MemoryGrid>(4, 18);
    Fill(*grid, 1,
         {{1, "P100"},
          {2, "Printer Paper A4"},
          {3, "1"},
          {4, "Box"},
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
         {{1, "P300"}, {2, "Desk Lamp"}, {3, "3"}, {4, "Pcs"}, {5, "1"}, {6, "1"}, {17, "1"}});
    auto order = CreateObject("QLNSales.SalesOrder");
    const std::pair<const char*, Value> properties[] = {
        {"ADOConnectionString", Value(cs)},
        {"AdoConnectionObject", Value(conn)},
        {"OrderGridName", Value(ObjectRef(grid))},
        {"CompanyPrefix", Value("01")},
        {"BranchPrefix", Value("01")},
        {"DocumentPrefix", Value("SOR")},
        {"CustomerCode", Value("01C001")},
        {"CustomerName", Value("Gulf Traders")},
        {"PaymentType", Value(payment)},
        {"CurrencyCode", Value("BHD")},
        {"SalesOrdDate", Value(Date::FromYmd(2026, 12, 7))},
        {"SalesOrdSubTotal", Value(120.0)},
        {"SalesOrdFCSubTotal", Value(120.0)},
        {"SalesOrdTotalAmount", Value(120.0)},
        {"SalesOrdFCTotalAmount", Value(120.0)},
        {"LocationID", Value(2)},
        {"LocationName", Value("Showroom")},
        {"AmtDig", Value(3.0)},
        {"LastUpdate", Value(Date::FromYmd(2026, 12, 7, 10, 0))},
        {"DeliveryPrefix", Value("DEL")},
        {"CashMemoPrefix", Value("CHM")},
        {"InvoicePrefix", Value("INV")},
        {"StockMovementPrefix", Value("STM")},
        {"SalesLogPrefix", Value("SLG")},
        {"OnlineFlag", Value(true)},
    };
    for (const auto& [name, value] : properties) order->Set(name, value);
    EXPECT_TRUE(order->Invoke("Create_Order").ToBool()) << order->Get("ErrDesc").ToText();
    EXPECT_TRUE(order->Invoke("Process_Order").ToBool()) << order->Get("ErrDesc").ToText();
    return order;
  }
  SalesInvoice Invoice() {
    SalesInvoice inv;
    inv.ADOConnectionString = cs;
    inv.AdoDBConnectionObject = conn;
    inv.InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
    inv.CompanyPrefix = "01";
    inv.BranchPrefix = "01";
    inv.DocumentPrefix = "INV";
    inv.CustomerCode = "01C001";
    inv.CustomerName = "Gulf Traders";
    inv.PaymentType = "Credit";
    inv.CurrencyCode = "BHD";
    inv.SalesInvDate = inv.SalesInvEndDate = Date::FromYmd(2026, 12, 8);
    inv.SalesLogPrefix = "SLG";
    inv.AmtDig = 3;
    inv.OnlineFlag = true;
    inv.LastUpdate = Date::FromYmd(2026, 12, 8, 11, 0);
    return inv;
  }
  double CustomerBalance() {
    return Scalar("SELECT Customer_Balance FROM Customer_Master WHERE Customer_Code = '01C001'")
        .ToDouble();
  }
  double Balance(const char* account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  double Stock(const char* item) {
    return Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = ?", {item}).ToDouble();
  }
  void ExpectBooksClean() {
    auto violations = services::CheckBooks(*conn);
    EXPECT_TRUE(violations.empty()) << ::testing::PrintToString(violations);
  }
};

TEST_F(SalesScenario, CreditOrdersAreDeliveredAndInvoiced) {
  const double customer = CustomerBalance(), paper = Stock("01P100");
  const double receivable = Balance("01011200"), sales = Balance("01014100");

  // On-line, with both credit preferences: delivered from the showroom and invoiced at once.
  SetOrderConversions(*conn, false, false, true, true);
  auto first = ProcessedOrder("Credit");
  EXPECT_EQ(Count("Delivery_Master", "Delivery_No = '0101DEL1' AND Invoiced_Flag = 1"), 1);
  EXPECT_EQ(Count("Sales_Invoice_Master", "Sales_Inv_No = '0101INV1' AND Processed_Flag = 1"), 1);
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_No = '0101INV1'"), 3);
  EXPECT_EQ(Scalar("SELECT MAX(SL_No) FROM Sales_Invoice_Detail WHERE Sales_Inv_No = '0101INV1'")
                .ToInt32(),
            3);
  EXPECT_EQ(Count("Delivery_Detail", "Invoiced_Qty = Delivery_Qty"), 3);
  EXPECT_EQ(Stock("01P100"), paper - 24);
  EXPECT_EQ(CustomerBalance() - customer, 120);
  EXPECT_EQ(Balance("01011200") - receivable, 120);
  EXPECT_EQ(Balance("01014100") - sales, -120);
  ExpectBooksClean();

  // Nothing of it is left to invoice, nor to be paid for again by a cash memo.
  SalesInvoice list = Invoice();
  ASSERT_TRUE(list.Get_Delivery_Details()) << list.ErrDesc();
  EXPECT_EQ(list.InvoiceGridName->Rows(), 1);
  auto memo_grid = std::make_shared<MemoryGrid>(2, 22);
  Fill(*memo_grid, 1,
       {{1, "P100"},
        {2, "Printer Paper A4"},
        {5, "Box"},
        {6, "12"},
        {7, "2"},
        {8, "30"},
        {11, "60"},
        {12, "60"},
        {14, "30"},
        {19, "0"},
        {20, "Showroom"},
        {21, "2"}});
  auto memo = CreateObject("QLNSales.CashMemo");
  const std::pair<const char*, Value> memo_properties[] = {
      {"AdoDBConnectionObject", Value(conn)},
      {"ADOConnectionString", Value(cs)},
      {"CMGridName", Value(ObjectRef(memo_grid))},
      {"CompanyPrefix", Value("01")},
      {"BranchPrefix", Value("01")},
      {"DocumentPrefix", Value("CHM")},
      {"CustomerCode", Value("01C001")},
      {"CustomerName", Value("Gulf Traders")},
      {"PaymentType", Value("Cash")},
      {"CurrencyCode", Value("BHD")},
      {"CashMemoDate", Value(Date::FromYmd(2026, 12, 8))},
      {"CashMemoSubTotal", Value(60.0)},
      {"CashMemoFCSubTotal", Value(60.0)},
      {"CashMemoTotalAmount", Value(60.0)},
      {"CashMemoFCTotalAmount", Value(60.0)},
      {"ReferenceNo", Value("0101DEL1")},
      {"ReferenceDocumentName", Value("Delivery")},
      {"ReferencePrefix", Value("DEL")},
      {"AmtDig", Value(3.0)},
      {"LastUpdate", Value(Date::FromYmd(2026, 12, 8))},
      {"OnlineFlag", Value(true)}};
  for (const auto& [name, value] : memo_properties) memo->Set(name, value);
  ASSERT_TRUE(memo->Invoke("Create_CashMemo", {Value(true)}).ToBool())
      << memo->Get("ErrDesc").ToText();
  EXPECT_FALSE(memo->Invoke("Process").ToBool());
  EXPECT_EQ(memo->Get("ErrDesc").ToText(), "Already Processed");
  EXPECT_EQ(Count("Cash_Memo_Master", "process_Flag = 1"), 0);
  // Nor is the invoiced order paid again by a memo of the order itself.
  std::vector<Value> args{Value("Cash"), Value(true)};
  EXPECT_FALSE(first->Invoke("Process_CashMemo", args).ToBool());
  EXPECT_EQ(first->Get("ErrDesc").ToText(), "Already Processed");
  EXPECT_EQ(Count("Cash_Memo_Master", "process_Flag = 1"), 0);
  EXPECT_EQ(CustomerBalance() - customer, 120);

  // Delivered only: the office invoices it later from the list, in two parts.
  SetOrderConversions(*conn, false, false, true, false);
  auto second = ProcessedOrder("Credit");
  EXPECT_EQ(Count("Sales_Invoice_Master"), 1);
  EXPECT_EQ(Stock("01P100"), paper - 48);

  SalesInvoice part = Invoice();
  ASSERT_TRUE(part.Get_Delivery_Details()) << part.ErrDesc();
  Grid& g = *part.InvoiceGridName;
  ASSERT_EQ(g.TextMatrix(1, 23), "0101DEL2");
  ASSERT_EQ(g.TextMatrix(1, 5), "P100");
  EXPECT_EQ(g.TextMatrix(1, 11), "2");
  // One of the two boxes.
  Fill(g, 1, {{1, "1"}, {11, "1"}, {16, "30"}, {17, "30"}});
  part.SalesInvSubtotal = part.SalesInvFCsubtotal = 30;
  part.SalesInvTotalAmount = part.SalesInvFCTotalAmount = 30;
  ASSERT_TRUE(part.Create_Sales_Invoice(true)) << part.ErrDesc();
  ASSERT_TRUE(part.Process_Invoice()) << part.ErrDesc();
  EXPECT_EQ(part.SalesInvNo, "0101INV2");
  EXPECT_EQ(Scalar("SELECT Invoiced_Qty FROM Delivery_Detail WHERE Delivery_No = '0101DEL2' AND "
                   "Item_Code = '01P100'")
                .ToDouble(),
            1);
  EXPECT_EQ(CustomerBalance() - customer, 150);
  ExpectBooksClean();
  // Billed is billed: the invoice can no longer be saved over.
  EXPECT_FALSE(part.Update_Sales_Invoice());
  EXPECT_EQ(part.ErrDesc(), "Already Processed");
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_No = '0101INV2'"), 1);
  SalesInvoice ghost = Invoice();
  ghost.SalesInvNo = "0101INV99";
  EXPECT_FALSE(ghost.Update_Sales_Invoice());
  EXPECT_EQ(ghost.ErrDesc(), "Invalid Invoice No");
  EXPECT_EQ(Count("Sales_Invoice_Master", "Sales_Inv_No = '0101INV99'"), 0);

  // The rest, with 10% tax on it: the remaining box, the installation and the free lamp.
  SalesInvoice rest = Invoice();
  ASSERT_TRUE(rest.Get_Delivery_Details()) << rest.ErrDesc();
  Grid& r = *rest.InvoiceGridName;
  ASSERT_EQ(r.TextMatrix(1, 5), "P100");
  EXPECT_EQ(r.TextMatrix(1, 11), "1");
  for (int row = 1; row <= 3; ++row) r.SetTextMatrix(row, 1, "1");
  rest.SalesInvSubtotal = rest.SalesInvFCsubtotal = 90;
  rest.TaxCode = "0101STD";
  rest.SalesInvTaxPercent = 10;
  rest.SalesInvTaxAmount = rest.SalesInvFCTaxAmount = 9;
  rest.SalesInvTotalAmount = rest.SalesInvFCTotalAmount = 99;
  const double tax = Balance("01012100");
  ASSERT_TRUE(rest.Create_Sales_Invoice(true)) << rest.ErrDesc();
  ASSERT_TRUE(rest.Process_Invoice()) << rest.ErrDesc();
  EXPECT_EQ(Count("Delivery_Detail", "Delivery_No = '0101DEL2' AND Invoiced_Qty = Delivery_Qty"),
            3);
  EXPECT_EQ(Balance("01012100") - tax, -9);
  EXPECT_EQ(CustomerBalance() - customer, 249);
  EXPECT_EQ(Balance("01014100") - sales, -240);
  SalesInvoice none = Invoice();
  ASSERT_TRUE(none.Get_Delivery_Details()) << none.ErrDesc();
  EXPECT_EQ(none.InvoiceGridName->Rows(), 1);
  ExpectBooksClean();

  // A third order billed at once: its invoice's lines are numbered 1 to 3 like every invoice's,
  // whatever other invoices hold.
  SetOrderConversions(*conn, false, false, true, true);
  auto third = ProcessedOrder("Credit");
  auto numbers = conn->Query(
      "SELECT SL_No FROM Sales_Invoice_Detail WHERE Sales_Inv_No = '0101INV4' ORDER BY SL_No");
  ASSERT_EQ(numbers.size(), 3u);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    EXPECT_EQ(numbers[i].Int32("SL_No"), static_cast<int>(i + 1));
  EXPECT_EQ(CustomerBalance() - customer, 369);
  ExpectBooksClean();
}

TEST_F(SalesScenario, ACashOrderIsPaidByItsCashMemo) {
  SetOrderConversions(*conn, true, true, false, false);
  const double customer = CustomerBalance(), paper = Stock("01P100");
  const double cash = Balance("01011000"), sales = Balance("01014000");
  auto order = ProcessedOrder("Cash");
  const std::string number = order->Get("SalesOrdNo").ToText();
  EXPECT_EQ(number, "0101SOR1");
  // Delivered (and so paid by the memo), sold for cash: the customer owes nothing.
  EXPECT_EQ(Count("Delivery_Master", "Source_No = ? AND Paid_Flag = 1", {number}), 1);
  EXPECT_EQ(Count("Cash_Memo_Master", "Reference_No = ? AND process_Flag = 1", {number}), 1);
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = ? AND Paid_Flag = 1 AND Delivered_Flag = 1",
                  {number}),
            1);
  EXPECT_EQ(Stock("01P100"), paper - 24);
  EXPECT_EQ(Balance("01011000") - cash, 120);
  EXPECT_EQ(Balance("01014000") - sales, -120);
  EXPECT_EQ(CustomerBalance(), customer);
  // The paid delivery is never offered for invoicing, nor one made from a cash memo, which is
  // paid for whatever its flag says.
  conn->Execute(
      "UPDATE Delivery_Master SET Paid_Flag = 0, Source_No = (SELECT Cash_Memo_No "
      "FROM Cash_Memo_Master)");
  SalesInvoice list = Invoice();
  ASSERT_TRUE(list.Get_Delivery_Details()) << list.ErrDesc();
  EXPECT_EQ(list.InvoiceGridName->Rows(), 1);
  conn->Execute("UPDATE Delivery_Master SET Paid_Flag = 1, Source_No = ?", {Value(number)});
  ExpectBooksClean();
}

}  // namespace
}  // namespace qlnsales::testing
