#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "db/record.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

// A memo made from a source document: the source layout has no taxable column, so each cell moves
// one column right, and the lines leave from location 1.
void ToMemoLayout(Grid& g) {
  for (int r = 1; r < g.Rows(); ++r) {
    for (int c = 18; c >= 3; --c) g.SetTextMatrix(r, c + 1, g.TextMatrix(r, c));
    g.SetTextMatrix(r, 3, "1");
    g.SetTextMatrix(r, 20, "Location1");
    g.SetTextMatrix(r, 21, "1");
  }
}

class CashMemoProcessTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    Record()
        .Set("Customer_Code", "01C002")
        .Set("Company_Prefix", "01")
        .Set("Customer_Name", "Harbour Marine Supplies")
        .Set("Customer_Balance", 0.0)
        .Insert(*conn, "Customer_Master");
    // A combined tax of 15%: the value added tax (10%) and a city tax (5%) with its own account.
    refdata::AddAccount(*conn, "01012150", "City Tax Payable", "Liability");
    Record()
        .Set("Code", "0101CTY")
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Description", "City Tax")
        .Set("TaxRate", 5.0)
        .Set("AccountNo", "01012150")
        .Insert(*conn, "TaxAuthorities");
    Record().Set("Tax_Code", "0101DUO").Set("Tax_Rate", 15.0).Insert(*conn, "TaxCodeMaster");
    for (auto [code, rate] : {std::pair{"0101VAT", 10.0}, std::pair{"0101CTY", 5.0}})
      Record()
          .Set("TaxCode", "0101DUO")
          .Set("TaxAuthorityCode", code)
          .Set("TaxAuthorityRate", rate)
          .Insert(*conn, "TaxCodeDetails");
  }

  // Paper (2 boxes at 5), a cartridge (1 at 20) and installation (1 at 30): 60, less 10%, plus
  // 15% tax on 54: 62.10, in cash.
  CashMemo Make(std::shared_ptr<MemoryGrid> g = nullptr) {
    if (!g) {
      g = std::make_shared<MemoryGrid>(5, 22);
      auto line = [&](int r, const char* code, const char* qty, const char* price,
                      const char* amount) {
        Fill(*g, r,
             {{1, code},
              {2, code},
              {3, "1"},
              {5, "Pcs"},
              {6, "1"},
              {7, qty},
              {8, price},
              {11, amount},
              {12, amount},
              {14, price},
              {19, "0"},
              {20, "Location1"},
              {21, "1"}});
      };
      line(1, "P100", "2", "5", "10");
      line(2, "P200", "1", "20", "20");
      line(3, "S100", "1", "30", "30");
    }
    CashMemo m;
    m.ADOConnectionString = cs;
    m.AdoDBConnectionObject = conn;
    m.CMGridName = g;
    m.CompanyPrefix = m.BranchPrefix = "01";
    m.DocumentPrefix = "CHM";
    m.StockMovementPrefix = "CHM";
    m.SalesLogPrefix = "SLG";
    m.CustomerCode = "01C002";
    m.CustomerName = "Harbour Marine Supplies";
    m.PaymentType = "Cash";
    m.CurrencyCode = "BHD";
    m.CashMemoDate = m.CashMemoEndDate = Date::FromYmd(2026, 12, 6);
    m.CashMemoSubTotal = m.CashMemoFCSubTotal = 60;
    m.CashMemoDiscPercent = 10;
    m.CashMemoDiscAmount = m.CashMemoFcDiscAmount = 6;
    m.TaxCode = "0101DUO";
    m.CashMemoTaxPercent = 15;
    m.CashMemoTaxAmount = 8.1;
    m.CashMemoTotalAmount = m.CashMemoFCTotalAmount = 62.1;
    m.CashMemoComments = "Counter sale";
    m.LocationCode = 1;
    m.LocationName = "Location1";
    m.AmtDig = 2;
    m.LastUpdate = Date::FromYmd(2026, 12, 6);
    m.OnlineFlag = true;
    return m;
  }

  // Debits less credits of each account under a document number.
  std::map<std::string, double> Ledger(const std::string& number) {
    std::map<std::string, double> out;
    auto rs = conn->Query(
        "SELECT Account_No, Debit_Amount, Credit_Amount FROM General_Ledger WHERE Document_No = ?",
        {Value(number)});
    for (std::size_t i = 0; i < rs.size(); ++i)
      out[rs[i].Text("Account_No")] += rs[i].Double("Debit_Amount") - rs[i].Double("Credit_Amount");
    for (auto& [account, amount] : out) amount = std::round(amount * 100) / 100;
    return out;
  }
  double Stock(const char* item) {
    return Scalar("SELECT Stock_In_Hand FROM Item_Master WHERE Item_Code = ?", {item}).ToDouble();
  }
  double AtLocation(const char* item, int location) {
    return Scalar("SELECT Quantity FROM Location_Stock WHERE Item_Code = ? AND Location_ID = ?",
                  {item, location})
        .ToDouble();
  }
  double Balance(const char* account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  void ExpectCleanBooks() { EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{}); }
};

TEST_F(CashMemoProcessTest, ACashSaleIsNumberedPostedAndTakenOutOfStock) {
  CashMemo m = Make();
  // The paper comes in boxes of 12, listed at 5.50 a box less 0.50: the line's amount is net.
  m.CMGridName->SetTextMatrix(1, 6, "12");
  m.CMGridName->SetTextMatrix(1, 13, "0.5");
  m.CMGridName->SetTextMatrix(1, 14, "5.5");
  ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
  EXPECT_FALSE(m.Cheque_Process());
  EXPECT_EQ(m.ErrDesc(), "Invalid Payment Type");
  ASSERT_TRUE(m.Process()) << m.ErrDesc();
  EXPECT_EQ(m.CashMemoNo, "0101CHM1");
  auto hs = conn->Query("SELECT * FROM Cash_Memo_Master");
  Row h = hs.front();
  EXPECT_EQ(h.Text("Cash_Memo_No"), "0101CHM1");
  EXPECT_EQ(h.Int32("process_Flag"), 1);
  EXPECT_EQ(h.Int32("Delivered_Flag"), 1);
  EXPECT_DOUBLE_EQ(h.Double("Adjusted_Amount"), 62.1);
  EXPECT_EQ(Count("Cash_Memo_Detail", "Cash_Memo_No = '0101CHM1'"), 3);

  // Sales credited, the header discount and the cash debited, the tax shared by the authorities,
  // the cost of the stock lines moved from inventory to cost of goods.
  const std::map<std::string, double> expected{
      {"01011000", 62.1}, {"01014000", -60},   {"01014200", 6},   {"01012100", -5.4},
      {"01012150", -2.7}, {"01011300", -72.0}, {"01015000", 72.0}};
  EXPECT_EQ(Ledger("0101CHM1"), expected);
  EXPECT_EQ(Count("General_Ledger",
                  "Document_No = '0101CHM1' AND GL_Description = 'Sales Account : ItemCode - "
                  "P100' AND Credit_Amount = 10"),
            1);
  EXPECT_EQ(Count("General_Ledger",
                  "GL_Description = 'Cost of Goods Account : ItemCode - P200' "
                  "AND Debit_Amount = 12"),
            1);
  EXPECT_EQ(Count("General_Ledger",
                  "GL_Description = 'Cash Memo Account' AND GL_Comments = "
                  "'Counter sale'"),
            1);
  EXPECT_DOUBLE_EQ(Balance("01014000"), -60);  // balances follow their lines
  EXPECT_DOUBLE_EQ(Balance("01012150"), -2.7);
  EXPECT_EQ(Count("Accounts_Receivable_Ledger"), 0);
  EXPECT_EQ(Count("PDC_Master"), 0);

  // The stock counts base units, the location the line's own.
  EXPECT_DOUBLE_EQ(Stock("01P100"), 76);
  EXPECT_DOUBLE_EQ(Stock("01P200"), 49);
  EXPECT_DOUBLE_EQ(AtLocation("01P100", 1), 98);
  EXPECT_EQ(
      Count("Stock_Movement", "Document_No = '0101CHM1' AND Out_Qty = 24 AND Out_Amount = 60"), 1);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101CHM1' AND Document_Type = 'OUT'"), 2);
  EXPECT_DOUBLE_EQ(Scalar("SELECT Inventory_Value FROM Cash_Memo_Detail WHERE Item_Code = "
                          "'01P200'")
                       .ToDouble(),
                   12);
  auto log = conn->Query(
      "SELECT * FROM Sales_Log WHERE Sales_Document_No = '0101CHM1' ORDER BY Sales_Log_ID");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].Text("Document_Prefix"), "SLG");
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Qty"), 24);
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Unit_Price"), 0.42);  // 10 for 24 sheets of a box
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'CHM' "
                   "AND Branch_Prefix = '01'")
                .ToInt32(),
            2);
  ExpectCleanBooks();

  EXPECT_FALSE(m.Process());
  EXPECT_EQ(m.ErrDesc(), "Already Processed");
  // A posted memo is not saved again, and a cash memo has no cheque to record.
  EXPECT_FALSE(m.Update_CashMemo());
  EXPECT_EQ(m.ErrDesc(), "Already Processed");
  EXPECT_FALSE(m.Cheque_Process());
  EXPECT_EQ(m.ErrDesc(), "Invalid Payment Type");
  // Processing left the grid to the reader again.
  auto g = std::make_shared<MemoryGrid>(1, 22);
  m.CMGridName = g;
  ASSERT_TRUE(m.Get_CashMemo()) << m.ErrDesc();
  EXPECT_EQ(g->Rows(), 4);

  // A number the user gives: the series moves past it.
  CashMemo manual = Make();
  manual.DocFlag = true;
  manual.manualDocIdentity = 40;
  ASSERT_TRUE(manual.Create_CashMemo(true)) << manual.ErrDesc();
  ASSERT_TRUE(manual.Process()) << manual.ErrDesc();
  EXPECT_EQ(manual.CashMemoNo, "0101CHM40");
  EXPECT_EQ(Scalar("SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'CHM' "
                   "AND Branch_Prefix = '01'")
                .ToInt32(),
            41);
  ExpectCleanBooks();
}

TEST_F(CashMemoProcessTest, ChequesAndCardsAreReceivablesWithAPostDatedRecord) {
  for (const char* type : {" cheque ", "Credit Card"}) {
    SCOPED_TRACE(type);
    CashMemo m = Make();
    m.PaymentType = type;
    m.ChequeNo = "004512";
    m.ChequeBank = "Gulf Bank";
    m.ChequeDate = Date::FromYmd(2027, 1, 15);
    m.CreditCardCode = "VISA";
    m.CreditCardName = "R. Salman";
    m.CreditCardNo = "4111";
    ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
    ASSERT_TRUE(m.Process()) << m.ErrDesc();
    auto ledger = Ledger(m.CashMemoNo);
    EXPECT_DOUBLE_EQ(ledger["01011200"], 62.1);
    EXPECT_EQ(ledger.count("01011000"), 0u);
    auto ar = conn->Query("SELECT * FROM Accounts_Receivable_Ledger WHERE Document_No = ?",
                          {Value(m.CashMemoNo)});
    ASSERT_EQ(ar.size(), 1u);
    EXPECT_EQ(ar.front().Text("Customer_Code"), "01C002");
    EXPECT_DOUBLE_EQ(ar.front().Double("Debit_Amount"), 62.1);
    EXPECT_EQ(ar.front().Text("ARL_Description"), "Accounts Receivable : Customer Code - C002");
    auto pdc = conn->Query("SELECT * FROM PDC_Master WHERE Source_No = ?", {Value(m.CashMemoNo)});
    ASSERT_EQ(pdc.size(), 1u);
    Row p = pdc.front();
    const bool card = std::string(type) == "Credit Card";
    EXPECT_EQ(p.DateValue("PDC_Due_Date"),
              card ? Date::FromYmd(2026, 12, 6) : Date::FromYmd(2027, 1, 15));
    EXPECT_EQ(p.Text("CreditCard_No"), card ? "4111" : "");
    EXPECT_EQ(p.Text("Cheque_No"), "004512");
    EXPECT_DOUBLE_EQ(p.Double("Cheque_Amount"), 62.1);
    EXPECT_EQ(p.Int32("Cleared"), 0);
    EXPECT_EQ(p.Text("Status"), "Outstanding");
    EXPECT_EQ(p.Text("Transaction_Type"), "Cash Memo");
    EXPECT_FALSE(m.Cheque_Process());  // recorded once
    EXPECT_EQ(m.ErrDesc(), "Already Processed");
  }
  EXPECT_DOUBLE_EQ(
      Scalar("SELECT Customer_Balance FROM Customer_Master WHERE Customer_Code = '01C002'")
          .ToDouble(),
      124.2);
  ExpectCleanBooks();

  // Any other payment could not balance: refused before anything is written.
  CashMemo credit = Make();
  ASSERT_TRUE(credit.Create_CashMemo(true)) << credit.ErrDesc();
  Record()
      .Set("Payment_Type", "Credit")
      .Update(*conn, "Cash_Memo_Master", Record().Set("Cash_Memo_No", credit.CashMemoNo));
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(credit.Process());
  EXPECT_EQ(credit.ErrDesc(), "Invalid Payment Type");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(CashMemoProcessTest, APointOfSaleMemoIsNumberedOffLineAndPostedOnceAtSynchronisation) {
  // Three boxes sold, a cartridge brought back, an installation: 15 - 20 + 30 = 25, no tax.
  auto g = std::make_shared<MemoryGrid>(5, 22);
  Fill(*g, 1, {{1, "P100"}, {2, "Paper"}, {6, "1"}, {7, "3"}, {12, "15"}, {14, "5"}});
  Fill(*g, 2, {{1, "P200"}, {2, "Cartridge"}, {6, "1"}, {7, "-1"}, {12, "-20"}, {14, "20"}});
  Fill(*g, 3, {{1, "S100"}, {2, "Installation"}, {6, "1"}, {7, "1"}, {12, "30"}, {14, "30"}});
  CashMemo m = Make(g);
  m.ReferencePrefix = "POS";
  m.OnlineFlag = false;
  m.ADOConnectionString.clear();  // the connection object is enough, tax included
  m.CashMemoSubTotal = m.CashMemoTotalAmount = 25;
  m.CashMemoDiscPercent = m.CashMemoDiscAmount = m.CashMemoFcDiscAmount = 0;
  m.CashMemoTaxAmount = 0;
  ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
  ASSERT_TRUE(m.Process()) << m.ErrDesc();
  EXPECT_EQ(m.CashMemoNo, "0101CHM1");
  EXPECT_EQ(Count("General_Ledger"), 0);
  EXPECT_DOUBLE_EQ(Stock("01P100"), 100);
  EXPECT_FALSE(m.Process());
  EXPECT_EQ(m.ErrDesc(), "Already Processed");
  ExpectCleanBooks();

  m.SyncFlag = true;
  ASSERT_TRUE(m.Process()) << m.ErrDesc();
  EXPECT_EQ(m.CashMemoNo, "0101CHM1");
  const std::map<std::string, double> expected{
      {"01011000", 25}, {"01014000", -25}, {"01011300", -7.5 + 12}, {"01015000", 7.5 - 12}};
  EXPECT_EQ(Ledger("0101CHM1"), expected);
  EXPECT_EQ(Count("General_Ledger", "GL_Comments = 'POS Sales Return'"), 3);
  EXPECT_EQ(
      Count("General_Ledger", "GL_Description = 'Cost Of Goods Sales Account : Item Code - P100'"),
      1);
  // Out once, in the point-of-sale pass; the cartridge back at its average cost.
  EXPECT_DOUBLE_EQ(Stock("01P100"), 97);
  EXPECT_DOUBLE_EQ(Stock("01P200"), 51);
  EXPECT_DOUBLE_EQ(AtLocation("01P100", 1), 97);
  EXPECT_DOUBLE_EQ(AtLocation("01P200", 1), 41);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = '0101CHM1'"), 2);
  EXPECT_EQ(Count("Stock_Movement",
                  "Document_No = '0101CHM1' AND Document_Type = 'IN' AND "
                  "In_Qty = 1 AND In_Amount = 12"),
            1);
  EXPECT_DOUBLE_EQ(Scalar("SELECT Inventory_Value FROM Cash_Memo_Detail WHERE Item_Code = "
                          "'01S100'")
                       .ToDouble(),
                   30);
  ExpectCleanBooks();
  EXPECT_FALSE(m.Process());
  EXPECT_EQ(m.ErrDesc(), "Already Processed");
}

TEST_F(CashMemoProcessTest, GoodsLeaveStockOnceWhateverTheMemoIsMadeFrom) {
  // An order of 10 boxes, half of it delivered and processed.
  auto og = std::make_shared<MemoryGrid>(3, 18);
  Fill(*og, 1,
       {{1, "P100"},
        {2, "Paper"},
        {4, "Box"},
        {5, "1"},
        {6, "10"},
        {11, "50"},
        {15, "5"},
        {17, "0"}});
  SalesOrder o;
  o.AdoConnectionObject = conn;
  o.OrderGridName = og;
  o.CompanyPrefix = o.BranchPrefix = "01";
  o.DocumentPrefix = "SOR";
  o.CustomerCode = "01C002";
  o.CustomerName = "Harbour Marine Supplies";
  o.PaymentType = "Cash";
  o.CurrencyCode = "BHD";
  ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();
  Delivery d;
  d.ADOConnectionString = cs;
  d.AdoDBConnectionObject = conn;
  d.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
  d.CompanyPrefix = d.BranchPrefix = "01";
  d.DocumentPrefix = d.StockMovementPrefix = "DEL";
  d.SourceNo = o.SalesOrdNo;
  d.LastUpdate = Date::FromYmd(2026, 12, 6);
  d.OnlineFlag = true;
  ASSERT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
  Fill(*d.DeliveryGridName, 1, {{1, "1"}, {7, "5"}, {20, "Location1"}, {21, "1"}});
  ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
  std::string source;
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
  EXPECT_DOUBLE_EQ(Stock("01P100"), 95);

  // A memo for the processed delivery takes nothing out again and marks the delivery paid.
  CashMemo paid_delivery = Make(std::make_shared<MemoryGrid>(1, 22));
  paid_delivery.ReferenceNo = d.DeliveryNo;
  ASSERT_TRUE(paid_delivery.Get_Delivery_Details()) << paid_delivery.ErrDesc();
  ToMemoLayout(*paid_delivery.CMGridName);
  paid_delivery.CashMemoDiscAmount = paid_delivery.CashMemoFcDiscAmount = 0;
  paid_delivery.TaxCode = "";
  paid_delivery.CashMemoTaxAmount = 0;
  paid_delivery.CashMemoTotalAmount = paid_delivery.CashMemoFCTotalAmount = 50;
  ASSERT_TRUE(paid_delivery.Create_CashMemo(true)) << paid_delivery.ErrDesc();
  ASSERT_TRUE(paid_delivery.Process()) << paid_delivery.ErrDesc();
  EXPECT_DOUBLE_EQ(Stock("01P100"), 95);
  EXPECT_EQ(Scalar("SELECT Paid_Flag FROM Delivery_Master").ToInt32(), 1);

  // A memo for the whole order delivers only its undelivered half, worked out once: marking the
  // source paid on its own delivers nothing, and a memo not processed off-line is not synchronised.
  CashMemo m = Make(std::make_shared<MemoryGrid>(1, 22));
  m.ReferenceNo = o.SalesOrdNo;
  ASSERT_TRUE(m.Get_Order_Details()) << m.ErrDesc();
  ToMemoLayout(*m.CMGridName);
  m.CashMemoDiscAmount = m.CashMemoFcDiscAmount = m.CashMemoDiscPercent = 0;
  m.TaxCode = "";
  m.CashMemoTaxAmount = 0;
  m.CashMemoTotalAmount = m.CashMemoFCTotalAmount = 50;
  ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
  ASSERT_TRUE(m.Update_Source_Document()) << m.ErrDesc();
  EXPECT_EQ(Scalar("SELECT Paid_Flag FROM Sales_Order_Master").ToInt32(), 1);
  EXPECT_DOUBLE_EQ(Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail").ToDouble(), 5);
  m.OnlineFlag = false;
  m.SyncFlag = true;
  EXPECT_FALSE(m.Process());
  EXPECT_EQ(m.ErrDesc(), "A cash memo is synchronised once it is processed off-line");
  EXPECT_FALSE(m.Cheque_Process());
  m.OnlineFlag = true;
  m.SyncFlag = false;
  ASSERT_TRUE(m.Process()) << m.ErrDesc();
  EXPECT_DOUBLE_EQ(Stock("01P100"), 90);
  EXPECT_DOUBLE_EQ(AtLocation("01P100", 1), 90);
  EXPECT_DOUBLE_EQ(Scalar("SELECT Sales_Ord_Delivered_Qty FROM Sales_Order_Detail").ToDouble(), 10);
  EXPECT_EQ(Scalar("SELECT Paid_Flag FROM Sales_Order_Master").ToInt32(), 1);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = ? AND Out_Qty = 5", {m.CashMemoNo}), 1);
  EXPECT_DOUBLE_EQ(Ledger(m.CashMemoNo)["01014000"], -50);  // the sale is the whole memo's
  Delivery later;
  later.ADOConnectionString = cs;
  later.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
  later.SourceNo = o.SalesOrdNo;
  EXPECT_FALSE(later.Get_Order_Details());
  EXPECT_EQ(later.ErrDesc(), "Invalid Item Details");

  // A memo for a processed direct delivery takes nothing out again and marks it paid.
  auto dg = std::make_shared<MemoryGrid>(3, 19);
  Fill(*dg, 1,
       {{1, "P200"},
        {2, "Cartridge"},
        {4, "Pcs"},
        {5, "1"},
        {6, "2"},
        {11, "40"},
        {13, "20"},
        {14, "Location1"},
        {17, "1"},
        {18, "0"}});
  DirectDelivery dd;
  dd.AdoDBConnectionObject = conn;
  dd.DeliveryGridName = dg;
  dd.CompanyPrefix = dd.BranchPrefix = "01";
  dd.DocumentPrefix = dd.StockMovementPrefix = "DDL";
  dd.CustomerCode = "01C002";
  dd.CustomerName = "Harbour Marine Supplies";
  dd.PaymentType = "Cash";
  dd.CurrencyCode = "BHD";
  dd.DirectDeliverySubtotal = dd.DirectDeliveryTotalAmount = 40;
  dd.LastUpdate = Date::FromYmd(2026, 12, 6);
  dd.OnlineFlag = true;
  ASSERT_TRUE(dd.Create_Direct_Delivery()) << dd.ErrDesc();
  ASSERT_TRUE(dd.Process_Direct_Delivery()) << dd.ErrDesc();
  EXPECT_DOUBLE_EQ(Stock("01P200"), 48);
  CashMemo paid = Make(std::make_shared<MemoryGrid>(1, 22));
  paid.ReferenceNo = dd.DirectDeliveryNo;
  ASSERT_TRUE(paid.Get_Direct_Delivery_Details()) << paid.ErrDesc();
  ToMemoLayout(*paid.CMGridName);
  paid.CashMemoDiscAmount = paid.CashMemoFcDiscAmount = paid.CashMemoDiscPercent = 0;
  paid.TaxCode = "";
  paid.CashMemoTaxAmount = 0;
  ASSERT_TRUE(paid.Create_CashMemo(true)) << paid.ErrDesc();
  ASSERT_TRUE(paid.Process()) << paid.ErrDesc();
  EXPECT_DOUBLE_EQ(Stock("01P200"), 48);
  EXPECT_EQ(Count("Stock_Movement", "Document_No = ?", {paid.CashMemoNo}), 0);
  EXPECT_EQ(Scalar("SELECT Paid_Flag FROM Direct_Delivery_Master").ToInt32(), 1);
  EXPECT_DOUBLE_EQ(Ledger(paid.CashMemoNo)["01011000"], 40);
  ExpectCleanBooks();
}

TEST_F(CashMemoProcessTest, AFailureLeavesNothingWritten) {
  struct Case {
    const char* what;
    std::function<void(CashMemo&)> spoil;
    const char* message;
  };
  // The figures a memo was saved with, changed under it: processing reads them back.
  auto stored = [](const char* column, Value value) {
    return [column, value](CashMemo& m) {
      Record()
          .Set(column, value)
          .Update(*m.AdoDBConnectionObject, "Cash_Memo_Master",
                  Record().Set("Cash_Memo_No", m.CashMemoNo));
    };
  };
  const std::vector<Case> cases = {
      {"a total that cannot balance", stored("Cash_Memo_Total_Amount", 62.0),
       "The cash memo's total 62 is not its lines less the discount plus the tax (62.1)"},
      {"a total a fraction out", stored("Cash_Memo_Total_Amount", 62.104),
       "The cash memo's total 62.104 is not its lines less the discount plus the tax (62.1)"},
      {"a negative discount", stored("Cash_Memo_Disc_Amount", -6.0), "Invalid Discount Amount"},
      {"a negative tax", stored("Cash_Memo_TaxAmount", -1.0), "Invalid Tax Amount"},
      {"tax without a code", stored("TaxCode", Value("")), "Invalid Tax Code"},
      {"a code whose rate is not its authorities'", stored("Cash_Memo_TaxRate", 1.0),
       "Invalid Tax Rate for Tax Code - 0101DUO"},
      // Half-way: the sales, discount and tax lines are posted before the cash account is missed.
      {"no cash memo account",
       [this](CashMemo&) {
         conn->Execute("UPDATE Default_Account_Preferences SET Cash_Memo_Account_No = ' '");
       },
       "Invalid Default Cash Memo Account"},
      {"no sales preferences",
       [this](CashMemo&) { conn->Execute("DELETE FROM Default_Sales_Preferences"); },
       "Set the Sales default settings in the Sales Preferences"},
      {"a memo already processed", [](CashMemo& m) { m.CashMemoNo = "0101CHM7"; }, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CashMemo m = Make();
    ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
    const std::string number = m.CashMemoNo;
    if (c.message == nullptr) {
      for (const char* table : {"Cash_Memo_Master", "Cash_Memo_Detail"})
        Record()
            .Set("Cash_Memo_No", "0101CHM7")
            .Update(*conn, table, Record().Set("Cash_Memo_No", number));
    }
    c.spoil(m);
    const TableSnapshot before = TakeSnapshot(*conn);
    const std::string tried = m.CashMemoNo;
    EXPECT_FALSE(m.Process());
    EXPECT_EQ(m.ErrDesc(), c.message ? c.message : "Already Processed");
    EXPECT_EQ(m.CashMemoNo, tried);
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  }
  // Processing answers with the messages of the read it starts with.
  CashMemo none = Make();
  EXPECT_FALSE(none.Process());
  EXPECT_EQ(none.ErrDesc(), "Invalid Cash Memo No.");
  none.CashMemoNo = "0101CHMTMP99";
  EXPECT_FALSE(none.Process());
  EXPECT_EQ(none.ErrDesc(), "Invlaid Cash Memo No");
  ExpectCleanBooks();
}

}  // namespace
}  // namespace qlnsales::testing
