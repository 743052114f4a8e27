// Sales stories from order to payment, told through the public objects as a front end tells them,
// with the customer's balance, the stock and the books checked at every step.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/convert.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/sales_return.h"
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
  // A return made as a front end makes it: the source's returnable lines read into the grid, the
  // wanted ones ticked with their quantity and amounts, saved and processed on-line.
  SalesReturn Return(const char* source_kind) {
    SalesReturn rtn;
    rtn.ConnectionString = cs;
    rtn.AdoConnectionObject = conn;
    rtn.SalRetGridName = std::make_shared<MemoryGrid>(1, 30);
    rtn.CompanyPrefix = "01";
    rtn.BranchPrefix = "01";
    rtn.DocumentPrefix = "SRT";
    rtn.SalesRtnDate = Date::FromYmd(2026, 12, 9);
    rtn.RefDocType = rtn.SalesInvoiceType = source_kind;
    rtn.StockMovementPrefix = "STM";
    rtn.SalesLogPrefix = "SLG";
    rtn.AmtDig = 3;
    rtn.OnlineFlag = true;
    rtn.AllowCancelFlag = true;
    rtn.LastUpdate = Date::FromYmd(2026, 12, 9, 9, 30);
    return rtn;
  }
  // The grid row of a returnable line, by its item code as the grid shows it.
  static std::int32_t RowOf(Grid& grid, const std::string& item) {
    for (std::int32_t r = 1; r < grid.Rows(); ++r)
      if (grid.TextMatrix(r, 2) == item) return r;
    return 0;
  }
  // Ticks `boxes` of a line read from its source, with the amounts of that many.
  static void TickReturn(Grid& grid, std::int32_t row, double boxes, double price,
                         double unit_value) {
    const std::string qty = convert::NumberToText(boxes),
                      amount = convert::NumberToText(boxes * price);
    Fill(grid, row,
         {{1, "1"},
          {7, qty},
          {12, amount},
          {13, amount},
          {15, convert::NumberToText(boxes * unit_value)}});
  }
  double VoucherCount() { return static_cast<double>(Count("Voucher_Master", "process_Flag = 1")); }
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

TEST_F(SalesScenario, PartOfAnInvoiceComesBackWithItsCreditMemo) {
  SetOrderConversions(*conn, false, false, true, true);
  ProcessedOrder("Credit");
  const double customer = CustomerBalance(), paper = Stock("01P100");
  const double receivable = Balance("01011200"), returns = Balance("01014300");
  const double inventory = Balance("01011300"), cost_of_goods = Balance("01015000");
  // What one box cost when it left the showroom: half the delivery line's value.
  const double box_cost =
      Scalar(
          "SELECT Inventory_Value FROM Delivery_Detail WHERE Delivery_No = '0101DEL1' AND "
          "Item_Code = '01P100'")
          .ToDouble() /
      2;
  ASSERT_GT(box_cost, 0);
  ASSERT_EQ(CustomerBalance() - customer, 0);

  // One of the two boxes of paper comes back.
  SalesReturn first = Return("INV");
  std::string invoice = "0101INV1";
  std::optional<bool> saved;
  ASSERT_TRUE(first.Get_Sales_Invoice(invoice, first.SalRetGridName, saved)) << first.ErrDesc();
  Grid& g = *first.SalRetGridName;
  EXPECT_EQ(first.RefNo, "0101INV1");
  EXPECT_EQ(first.CustomerCode, "01C001");
  const std::int32_t row = RowOf(g, "P100");
  ASSERT_GT(row, 0);
  EXPECT_EQ(g.TextMatrix(row, 7), "2");
  EXPECT_EQ(g.TextMatrix(row, 6), "12");
  EXPECT_NEAR(g.ValueMatrix(row, 15), 2 * box_cost, 1e-6);
  TickReturn(g, row, 1, 30, box_cost);
  first.SalesRtnSubTotal = first.SalesRtnFCSubTotal = 30;
  first.SalesRtnTotalAmount = first.SalesRtnFCTotalAmount = 30;
  ASSERT_TRUE(first.Create_Sales_Rtn()) << first.ErrDesc();
  ASSERT_TRUE(first.Return_Process()) << first.ErrDesc();
  EXPECT_EQ(first.SalesRtnNo, "0101SRT1");
  EXPECT_EQ(first.VoucherNo, "0101CRM1");
  // Read back, the return names its credit memo.
  SalesReturn read = Return("INV");
  read.SalesRtnNo = "0101SRT1";
  ASSERT_TRUE(read.Get_Sales_Rtn()) << read.ErrDesc();
  EXPECT_EQ(read.VoucherNo, "0101CRM1");
  EXPECT_TRUE(read.ProcessedFlag);

  // Twelve sheets back on the shelf at their cost; the invoice line knows they came back.
  EXPECT_EQ(Stock("01P100"), paper + 12);
  EXPECT_EQ(Scalar("SELECT Return_Qty FROM Sales_Invoice_Detail WHERE Sales_Inv_No = '0101INV1' "
                   "AND Item_Code = '01P100'")
                .ToDouble(),
            12);
  EXPECT_NEAR(Balance("01011300") - inventory, box_cost, 1e-6);
  EXPECT_NEAR(Balance("01015000") - cost_of_goods, -box_cost, 1e-6);
  // The credit memo gives the customer 30 back.
  EXPECT_EQ(VoucherCount(), 1);
  EXPECT_EQ(CustomerBalance() - customer, -30);
  EXPECT_EQ(Balance("01011200") - receivable, -30);
  EXPECT_EQ(Balance("01014300") - returns, 30);
  ExpectBooksClean();

  // The return is done: it is not processed again.
  EXPECT_FALSE(first.Return_Process());
  EXPECT_EQ(first.ErrDesc(), "Already Processed");
  EXPECT_EQ(Stock("01P100"), paper + 12);

  // The invoice now offers the one box left, at its own cost, and the rest of its lines.
  SalesReturn second = Return("INV");
  ASSERT_TRUE(second.Get_Sales_Invoice(invoice, second.SalRetGridName, saved)) << second.ErrDesc();
  Grid& h = *second.SalRetGridName;
  const std::int32_t left = RowOf(h, "P100");
  ASSERT_GT(left, 0);
  EXPECT_EQ(h.TextMatrix(left, 7), "1");
  EXPECT_NEAR(h.ValueMatrix(left, 15), box_cost, 1e-6);
  EXPECT_NEAR(h.ValueMatrix(left, 13), 30, 1e-9);
  TickReturn(h, left, 1, 30, box_cost);
  second.SalesRtnSubTotal = second.SalesRtnFCSubTotal = 30;
  second.SalesRtnTotalAmount = second.SalesRtnFCTotalAmount = 30;
  ASSERT_TRUE(second.Create_Sales_Rtn()) << second.ErrDesc();
  // Off-line, and credited before it is synchronised: the synchronisation posts the goods and
  // gives no second memo.
  second.OnlineFlag = false;
  ASSERT_TRUE(second.Return_Process()) << second.ErrDesc();
  std::string second_no = second.SalesRtnNo;
  ASSERT_TRUE(second.Generate_Credit_Memo(second_no)) << second.ErrDesc();
  EXPECT_EQ(second.VoucherNo, "0101CRM2");
  EXPECT_EQ(Stock("01P100"), paper + 12);
  second.SyncFlag = true;
  ASSERT_TRUE(second.Return_Process()) << second.ErrDesc();
  EXPECT_EQ(VoucherCount(), 2);
  EXPECT_EQ(Stock("01P100"), paper + 24);
  EXPECT_EQ(Count("Sales_Invoice_Detail",
                  "Sales_Inv_No = '0101INV1' AND Item_Code = '01P100' AND "
                  "parentsalesInv_allitemsreturned = 1"),
            1);
  EXPECT_EQ(CustomerBalance() - customer, -60);
  ExpectBooksClean();

  // Nothing of the paper is left to return.
  SalesReturn third = Return("INV");
  ASSERT_TRUE(third.Get_Sales_Invoice(invoice, third.SalRetGridName, saved)) << third.ErrDesc();
  EXPECT_EQ(RowOf(*third.SalRetGridName, "P100"), 0);
}

TEST_F(SalesScenario, DeliveredGoodsComeBackOnceAndAtWhatTheyCost) {
  SetOrderConversions(*conn, false, false, true, false);
  ProcessedOrder("Credit");
  const double paper = Stock("01P100"), inventory = Balance("01011300");
  const double box_cost =
      Scalar(
          "SELECT Inventory_Value FROM Delivery_Detail WHERE Delivery_No = '0101DEL1' AND "
          "Item_Code = '01P100'")
          .ToDouble() /
      2;

  // One box comes back against the delivery; the grid's cost was typed over, the header does not
  // add up, and the kinds disagree: each is refused before anything is written.
  SalesReturn rtn = Return("DEL");
  std::string delivery = "0101DEL1";
  std::optional<bool> saved;
  ASSERT_TRUE(rtn.Get_Delivery(delivery, rtn.SalRetGridName, saved)) << rtn.ErrDesc();
  Grid& g = *rtn.SalRetGridName;
  const std::int32_t row = RowOf(g, "P100");
  ASSERT_GT(row, 0);
  TickReturn(g, row, 1, 30, 999);
  rtn.SalesRtnSubTotal = rtn.SalesRtnFCSubTotal = 30;
  rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = 1000000;
  ASSERT_TRUE(rtn.Create_Sales_Rtn()) << rtn.ErrDesc();
  EXPECT_FALSE(rtn.Return_Process());
  EXPECT_EQ(rtn.ErrDesc(),
            "The return's total 1000000 is not its lines less the discount plus the tax (30)");
  rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = 30;
  ASSERT_TRUE(rtn.Update_Sales_Rtn()) << rtn.ErrDesc();
  rtn.SalesInvoiceType = "INV";
  EXPECT_FALSE(rtn.Return_Process());
  EXPECT_EQ(rtn.ErrDesc(), "Invalid Source Document Type 'INV'");
  rtn.SalesInvoiceType = "DEL";
  // Nor is a box credited beyond what it sold for, or tax that no code charged.
  Fill(g, row, {{12, "1000"}, {13, "1000"}});
  rtn.SalesRtnSubTotal = rtn.SalesRtnFCSubTotal = 1000;
  rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = 1000;
  ASSERT_TRUE(rtn.Update_Sales_Rtn()) << rtn.ErrDesc();
  EXPECT_FALSE(rtn.Return_Process());
  EXPECT_EQ(rtn.ErrDesc(),
            "Invalid Item Details: line 1 (P100) is credited 1000, more than the 30 its goods were "
            "sold for");
  Fill(g, row, {{12, "30"}, {13, "30"}});
  rtn.SalesRtnSubTotal = rtn.SalesRtnFCSubTotal = 30;
  rtn.TaxAmount = 500;
  rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = 530;
  ASSERT_TRUE(rtn.Update_Sales_Rtn()) << rtn.ErrDesc();
  EXPECT_FALSE(rtn.Return_Process());
  EXPECT_EQ(rtn.ErrDesc(), "Invalid Tax Code");
  rtn.TaxAmount = 0;
  rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = 30;
  ASSERT_TRUE(rtn.Update_Sales_Rtn()) << rtn.ErrDesc();
  EXPECT_EQ(Stock("01P100"), paper);

  // Processed: the box is back at what it cost, not at the figure typed; no credit memo, as
  // nothing of the delivery was billed.
  rtn.SalesInvoiceType = "DEL";
  ASSERT_TRUE(rtn.Return_Process()) << rtn.ErrDesc();
  EXPECT_EQ(Stock("01P100"), paper + 12);
  EXPECT_NEAR(Balance("01011300") - inventory, box_cost, 1e-6);
  EXPECT_NEAR(Scalar("SELECT Inventory_Value FROM Sales_Return_Detail").ToDouble(), box_cost, 1e-6);
  EXPECT_EQ(VoucherCount(), 0);
  std::string returned = rtn.SalesRtnNo;
  EXPECT_FALSE(rtn.Generate_Credit_Memo(returned));
  EXPECT_EQ(rtn.ErrDesc(),
            "The sales return " + returned +
                " brings back goods delivered and not billed: no credit memo is owed");
  ExpectBooksClean();

  // The box that came back is billed by nobody: the delivery offers the other one.
  SalesInvoice inv = Invoice();
  ASSERT_TRUE(inv.Get_Delivery_Details()) << inv.ErrDesc();
  Grid& b = *inv.InvoiceGridName;
  std::int32_t line = 1;
  while (line < b.Rows() && b.TextMatrix(line, 5) != "P100") ++line;
  ASSERT_LT(line, b.Rows());
  EXPECT_EQ(b.TextMatrix(line, 11), "1");
  // Billing both boxes anyway is refused when the invoice is processed.
  Fill(b, line, {{1, "1"}, {11, "2"}, {16, "60"}, {17, "60"}});
  inv.SalesInvSubtotal = inv.SalesInvFCsubtotal = 60;
  inv.SalesInvTotalAmount = inv.SalesInvFCTotalAmount = 60;
  ASSERT_TRUE(inv.Create_Sales_Invoice(true)) << inv.ErrDesc();
  EXPECT_FALSE(inv.Process_Invoice());
  EXPECT_EQ(inv.ErrDesc(), "Invalid Item Details");
  EXPECT_EQ(Count("Sales_Invoice_Master", "Processed_Flag = 1"), 0);

  // Once the delivery is billed, its goods come back against the invoice only.
  SalesInvoice one = Invoice();
  ASSERT_TRUE(one.Get_Delivery_Details()) << one.ErrDesc();
  Fill(*one.InvoiceGridName, line, {{1, "1"}});
  one.SalesInvSubtotal = one.SalesInvFCsubtotal = 30;
  one.SalesInvTotalAmount = one.SalesInvFCTotalAmount = 30;
  ASSERT_TRUE(one.Create_Sales_Invoice(true)) << one.ErrDesc();
  ASSERT_TRUE(one.Process_Invoice()) << one.ErrDesc();
  SalesReturn late = Return("DEL");
  late.RefNo = "0101DEL1";
  late.CustomerCode = "01C001";
  const std::string paper_line =
      Scalar(
          "SELECT SL_No FROM Delivery_Detail WHERE Delivery_No = '0101DEL1' AND Item_Code = "
          "'01P100'")
          .ToText();
  late.SalRetGridName->SetRows(2);
  Fill(*late.SalRetGridName, 1,
       {{1, "1"}, {2, "P100"}, {6, "12"}, {7, "1"}, {12, "30"}, {13, "30"}, {28, paper_line}});
  late.SalesRtnSubTotal = late.SalesRtnFCSubTotal = 30;
  late.SalesRtnTotalAmount = late.SalesRtnFCTotalAmount = 30;
  ASSERT_TRUE(late.Create_Sales_Rtn()) << late.ErrDesc();
  EXPECT_FALSE(late.Return_Process());
  EXPECT_EQ(late.ErrDesc().rfind(
                "Invalid Item Details: line " + paper_line + " of 0101DEL1 takes no goods back", 0),
            0u)
      << late.ErrDesc();
  EXPECT_EQ(Stock("01P100"), paper + 12);

  // A return is rewritten, never made, by a save under a number nobody has.
  SalesReturn made_up = Return("DEL");
  for (const char* number : {"0101SRT77", "0101SRTTMP99"}) {
    made_up.SalesRtnNo = number;
    EXPECT_FALSE(made_up.Update_Sales_Rtn());
    EXPECT_EQ(made_up.ErrDesc(), "Invalid Sales Return Number");
  }
  EXPECT_EQ(Count("Sales_Return_Master", "Sales_Rtn_No IN ('0101SRT77', '0101SRTTMP99')"), 0);

  // A box back without a source comes back at the item's average cost, not at a typed figure.
  const double average =
      Scalar("SELECT Stock_Amount / Stock_In_Hand FROM Item_Master WHERE Item_Code = '01P100'")
          .ToDouble();
  SalesReturn loose = Return("");
  loose.CustomerCode = "01C001";
  loose.CustomerName = "Gulf Traders";
  loose.SalRetGridName->SetRows(2);
  Fill(*loose.SalRetGridName, 1,
       {{2, "P100"},
        {3, "Printer Paper A4"},
        {6, "12"},
        {7, "1"},
        {12, "30"},
        {13, "30"},
        {15, "1000000"}});
  loose.SalesRtnSubTotal = loose.SalesRtnFCSubTotal = 30;
  loose.SalesRtnTotalAmount = loose.SalesRtnFCTotalAmount = 30;
  const double stock_before = Balance("01011300");
  ASSERT_TRUE(loose.Create_Sales_Rtn()) << loose.ErrDesc();
  ASSERT_TRUE(loose.Return_Process()) << loose.ErrDesc();
  EXPECT_NEAR(Balance("01011300") - stock_before, 12 * average, 1e-6);
  ExpectBooksClean();

  // The books check tells a source line that took back more than it holds, and a return whose
  // goods did not come back into stock.
  conn->Execute(
      "UPDATE Delivery_Detail SET Return_Qty = 100 WHERE Delivery_No = '0101DEL1' AND "
      "Item_Code = '01P100'");
  conn->Execute("DELETE FROM Stock_Movement WHERE Document_No = ?", {Value(rtn.SalesRtnNo)});
  const auto violations = services::CheckBooks(*conn);
  auto names = [&](const std::string& text) {
    return std::find(violations.begin(), violations.end(), text) != violations.end();
  };
  EXPECT_TRUE(names("Line " + paper_line +
                    " of Delivery_Detail 0101DEL1 has 100 returned, more "
                    "than the 24 it holds"))
      << ::testing::PrintToString(violations);
  EXPECT_TRUE(names("Sales return " + rtn.SalesRtnNo +
                    " is processed but moved 0 of item 01P100 into stock for 12 returned"))
      << ::testing::PrintToString(violations);
}

TEST_F(SalesScenario, GoodsPaidByACashMemoComeBack) {
  SetOrderConversions(*conn, true, true, false, false);
  ProcessedOrder("Cash");
  const double customer = CustomerBalance(), paper = Stock("01P100");
  const double returns = Balance("01014300"), inventory = Balance("01011300");
  const std::string memo_no =
      Scalar("SELECT Cash_Memo_No FROM Cash_Memo_Master WHERE process_Flag = 1").ToText();
  ASSERT_EQ(memo_no, "0101CHM1");

  SalesReturn rtn = Return("CHM");
  std::string memo = memo_no;
  std::optional<bool> saved;
  ASSERT_TRUE(rtn.Get_CashMemo(memo, rtn.SalRetGridName, saved)) << rtn.ErrDesc();
  Grid& g = *rtn.SalRetGridName;
  const std::int32_t row = RowOf(g, "P100");
  ASSERT_GT(row, 0);
  EXPECT_EQ(g.TextMatrix(row, 7), "2");
  const double value = g.ValueMatrix(row, 15);
  ASSERT_GT(value, 0);
  // Both boxes come back.
  TickReturn(g, row, 2, 30, value / 2);
  rtn.SalesRtnSubTotal = rtn.SalesRtnFCSubTotal = 60;
  rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = 60;
  ASSERT_TRUE(rtn.Create_Sales_Rtn()) << rtn.ErrDesc();
  ASSERT_TRUE(rtn.Return_Process()) << rtn.ErrDesc();
  EXPECT_EQ(Stock("01P100"), paper + 24);
  EXPECT_NEAR(Balance("01011300") - inventory, value, 1e-6);
  // The customer paid in cash: the credit memo leaves 60 to his credit.
  EXPECT_EQ(VoucherCount(), 1);
  EXPECT_EQ(CustomerBalance() - customer, -60);
  EXPECT_EQ(Balance("01014300") - returns, 60);
  EXPECT_EQ(Scalar("SELECT Return_Qty FROM Cash_Memo_Detail WHERE Cash_Memo_No = ? AND "
                   "Item_Code = '01P100'",
                   {Value(memo_no)})
                .ToDouble(),
            24);
  ExpectBooksClean();

  // The memo has no paper left to return.
  SalesReturn again = Return("CHM");
  ASSERT_TRUE(again.Get_CashMemo(memo, again.SalRetGridName, saved)) << again.ErrDesc();
  EXPECT_EQ(RowOf(*again.SalRetGridName, "P100"), 0);
}

}  // namespace
}  // namespace qlnsales::testing
