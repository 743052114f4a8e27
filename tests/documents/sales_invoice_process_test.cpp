#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

#include "db/record.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

// One invoice line as the save stores it.
struct Line {
  const char* flag;  // "SalesOrder" or "Direct"
  std::string delivery_no;
  std::int32_t delivery_sl = 0;
  const char* item;  // with the company prefix; "" for a line known by its name
  const char* name;
  double unit_qty = 1, qty = 0, price = 0, amount = 0;
  double fc_amount = -1;  // -1: the local amount
  double foc = 0;
  const char* proj = "";
};

class SalesInvoiceProcessTest : public DbTest {
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
    Deliver();
  }

  // An order delivered in full (10 packs of 2 boxes of paper at 5, 4 cartridges at 20), a direct
  // delivery from the head office (2 lamps at 45, a free cartridge) and one from the harbour
  // branch (an installation, known by its name only), all processed on-line.
  void Deliver() {
    auto og = std::make_shared<MemoryGrid>(4, 18);
    Fill(*og, 1,
         {{1, "P100"},
          {2, "Paper"},
          {4, "Pack"},
          {5, "2"},
          {6, "10"},
          {11, "50"},
          {15, "5"},
          {17, "0"}});
    Fill(*og, 2,
         {{1, "P200"},
          {2, "Cartridge"},
          {4, "Pcs"},
          {5, "1"},
          {6, "4"},
          {11, "80"},
          {15, "20"},
          {17, "0"}});
    SalesOrder o;
    o.AdoConnectionObject = conn;
    o.OrderGridName = og;
    o.CompanyPrefix = o.BranchPrefix = "01";
    o.DocumentPrefix = "SOR";
    o.CustomerCode = "01C002";
    o.CustomerName = "Harbour Marine Supplies";
    o.PaymentType = "Credit";
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
    for (int r = 1; r <= 2; ++r)
      Fill(*d.DeliveryGridName, r, {{1, "1"}, {20, "Location1"}, {21, "1"}});
    ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
    std::string source;
    ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
    ASSERT_EQ(d.DeliveryNo, "0101DEL1");

    auto direct = [&](const char* branch, double amount, std::function<void(Grid&)> fill) {
      auto g = std::make_shared<MemoryGrid>(4, 19);
      fill(*g);
      DirectDelivery dd;
      dd.AdoDBConnectionObject = conn;
      dd.DeliveryGridName = g;
      dd.CompanyPrefix = "01";
      dd.BranchPrefix = branch;
      dd.DocumentPrefix = dd.StockMovementPrefix = "DDL";
      dd.CustomerCode = "01C002";
      dd.CustomerName = "Harbour Marine Supplies";
      dd.PaymentType = "Credit";
      dd.CurrencyCode = "BHD";
      dd.DirectDeliverySubtotal = dd.DirectDeliveryTotalAmount = amount;
      dd.DirectDeliveryFCSubtotal = dd.DirectDeliveryFCTotalAmount = amount;
      dd.LastUpdate = Date::FromYmd(2026, 12, 6);
      dd.OnlineFlag = true;
      EXPECT_TRUE(dd.Create_Direct_Delivery()) << dd.ErrDesc();
      EXPECT_TRUE(dd.Process_Direct_Delivery()) << dd.ErrDesc();
      return dd.DirectDeliveryNo;
    };
    ASSERT_EQ(direct("01", 90,
                     [](Grid& g) {
                       Fill(g, 1,
                            {{1, "P300"},
                             {2, "Desk Lamp"},
                             {4, "Pcs"},
                             {5, "1"},
                             {6, "2"},
                             {10, "90"},
                             {11, "90"},
                             {13, "45"},
                             {14, "Showroom"},
                             {17, "2"},
                             {18, "0"}});
                       Fill(g, 2,
                            {{1, "P200"},
                             {2, "Cartridge"},
                             {4, "Pcs"},
                             {5, "1"},
                             {6, "1"},
                             {14, "Location1"},
                             {17, "1"},
                             {18, "1"}});
                     }),
              "0101DDL1");
    ASSERT_EQ(
        direct("02", 30,
               [](Grid& g) {
                 Fill(g, 1, {{2, "Installation"}, {6, "1"}, {10, "30"}, {11, "30"}, {13, "30"}});
               }),
        "0102DDL1");
  }

  // The serial of a delivery line.
  std::int32_t Serial(const char* table, const char* number_column, const std::string& number,
                      const char* by, const char* match) {
    return Scalar(std::string("SELECT SL_No FROM ") + table + " WHERE " + number_column +
                      " = ? AND " + by + " = ?",
                  {Value(number), Value(match)})
        .ToInt32();
  }
  Line Paper(double qty) {
    return {"SalesOrder",
            "0101DEL1",
            Serial("Delivery_Detail", "Delivery_No", "0101DEL1", "Item_Code", "01P100"),
            "01P100",
            "Paper",
            2,
            qty,
            5,
            5 * qty};
  }
  Line Cartridges() {
    return {"SalesOrder",
            "0101DEL1",
            Serial("Delivery_Detail", "Delivery_No", "0101DEL1", "Item_Code", "01P200"),
            "01P200",
            "Cartridge",
            1,
            4,
            20,
            80};
  }
  Line Lamp() {
    return {
        "Direct",
        "0101DDL1",
        Serial("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL1", "Item_Code", "01P300"),
        "01P300",
        "Desk Lamp",
        1,
        1,
        45,
        45,
        -1,
        0,
        "PRJ-7"};
  }
  Line FreeCartridge() {
    return {
        "Direct",
        "0101DDL1",
        Serial("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL1", "Item_Code", "01P200"),
        "01P200",
        "Cartridge",
        1,
        1,
        0,
        0,
        -1,
        1};
  }
  Line Installation() {
    return {"Direct",
            "0102DDL1",
            Serial("Direct_Delivery_Detail", "Direct_Delivery_No", "0102DDL1", "Item_Name",
                   "Installation"),
            "",
            "Installation",
            1,
            1,
            30,
            30};
  }

  // An invoice saved under the next temporary number, its figures made from its lines: the
  // subtotal of the lines that are not free, less the discount, plus the tax.
  std::string Draft(const std::vector<Line>& lines, double discount = 0, double tax = 0,
                    const char* tax_code = "") {
    const int n = ++drafts_;
    const std::string number = "0101INVTMP" + std::to_string(n);
    double subtotal = 0, fc_subtotal = 0;
    for (const auto& l : lines) {
      if (l.foc != 0) continue;
      subtotal += l.amount;
      fc_subtotal += l.fc_amount < 0 ? l.amount : l.fc_amount;
    }
    const bool foreign = currency_ != "BHD";
    const double fc_discount = foreign ? discount / rate_ : discount;
    const double fc_tax = foreign ? tax / rate_ : tax;
    Record()
        .Set("Sales_Inv_No", number)
        .Set("Sales_Inv_Identity", n)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Document_Prefix", "INV")
        .Set("Customer_Code", "01C002")
        .Set("Customer_Name", "Harbour Marine Supplies")
        .Set("Payment_Type", "Credit")
        .Set("Foreign_Currency_Flag", foreign)
        .Set("Exchange_Rate", 1.0)
        .Set("Currency_Code", currency_)
        .Set("Currency_Symbol", foreign ? "US$" : "BD")
        .Set("Sales_Inv_Date", Date::FromYmd(2026, 12, 10))
        .Set("Sales_Inv_End_Date", Date::FromYmd(2027, 1, 9))
        .Set("Sales_Inv_SubTotal", subtotal)
        .Set("Sales_Inv_FC_SubTotal", fc_subtotal)
        .Set("Sales_Inv_Disc_Percent", subtotal == 0 ? 0.0 : 100 * discount / subtotal)
        .Set("Sales_Inv_Disc_Amount", discount)
        .Set("Sales_Inv_FC_Disc_Amount", fc_discount)
        .Set("Sales_Inv_Tax_Percent", 15.0)
        .Set("Sales_Inv_Tax_Amount", tax)
        .Set("Sales_Inv_FC_Tax_Amount", fc_tax)
        .Set("Sales_Inv_Total_Amount", subtotal - discount + tax)
        .Set("Sales_Inv_FC_Total_Amount", fc_subtotal - fc_discount + fc_tax)
        .Set("Balance_Amount", subtotal - discount + tax)
        .Set("Sales_Inv_Comments", "December deliveries")
        .Set("TaxCode", tax_code)
        .Set("Processed_Flag", 0)
        .Insert(*conn, "Sales_Invoice_Master");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Line& l = lines[i];
      Record r;
      r.Set("Sales_Inv_No", number)
          .Set("SL_No", static_cast<std::int32_t>(i + 1))
          .Set("Item_Name", l.name)
          .Set("TaxType", "Taxable")
          .Set("Unit_Code", 0.0)
          .Set("Unit_Name", "Pcs")
          .Set("FOC_Flag", l.foc)
          .Set("Unit_Qty", l.unit_qty)
          .Set("Sales_Inv_Qty", l.qty)
          .Set("Delivery_Qty", l.qty)
          .Set("Sales_Inv_Unit_Price", l.price)
          .Set("Sales_Inv_FC_Unit_Price", l.price)
          .Set("Sales_Inv_Item_Amount", l.amount)
          .Set("Sales_Inv_FC_Item_Amount", l.fc_amount < 0 ? l.amount : l.fc_amount)
          .Set("Delivery_Dtl_SL_No", static_cast<double>(l.delivery_sl))
          .Set("Delivery_Flag", l.flag)
          .Set("Delivery_No", l.delivery_no);
      if (*l.item) r.Set("Item_Code", l.item);
      if (*l.proj) r.Set("Proj_No", l.proj);
      r.Insert(*conn, "Sales_Invoice_Detail");
    }
    return number;
  }

  SalesInvoice Invoice(const std::string& number, bool online = true) {
    SalesInvoice s;
    s.ADOConnectionString = cs;
    s.AdoDBConnectionObject = conn;
    s.InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
    s.SalesInvNo = number;
    s.SalesLogPrefix = "SLG";
    s.AmtDig = 2;
    s.LastUpdate = Date::FromYmd(2026, 12, 10);
    s.OnlineFlag = online;
    return s;
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
  double Invoiced(const char* table, const char* number_column, const std::string& number,
                  const char* item) {
    return Scalar(std::string("SELECT Invoiced_Qty FROM ") + table + " WHERE " + number_column +
                      " = ? AND Item_Code = ?",
                  {Value(number), Value(item)})
        .ToDouble();
  }
  std::int32_t InvoicedFlag(const char* table, const char* number_column,
                            const std::string& number) {
    return Scalar(std::string("SELECT Invoiced_Flag FROM ") + table + " WHERE " + number_column +
                      " = ?",
                  {Value(number)})
        .ToInt32();
  }
  std::int32_t NextInvoiceNo() {
    return Scalar(
               "SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'INV' AND "
               "Branch_Prefix = '01'")
        .ToInt32();
  }
  void ExpectCleanBooks() {
    auto report = services::InspectBooks(*conn);
    EXPECT_EQ(report.violations, std::vector<std::string>{});
    EXPECT_EQ(report.awaiting_synchronisation, std::vector<std::string>{});
  }

  int drafts_ = 0;
  std::string currency_ = "BHD";
  double rate_ = 1;
};

TEST_F(SalesInvoiceProcessTest, AnInvoiceOnLineBillsTheCustomerAndInvoicesItsDeliveries) {
  SalesInvoice s = Invoice(
      Draft({Paper(10), Cartridges(), Lamp(), FreeCartridge(), Installation()}, 5, 30, "0101DUO"));
  ASSERT_TRUE(s.Process_Invoice()) << s.ErrDesc();
  EXPECT_EQ(s.SalesInvNo, "0101INV1");
  EXPECT_EQ(s.SalesInvIdentity, 1);
  EXPECT_EQ(s.CurrencySymbol, "BD");
  auto hs = conn->Query("SELECT * FROM Sales_Invoice_Master");
  ASSERT_EQ(hs.size(), 1u);
  Row h = hs.front();
  EXPECT_EQ(h.Text("Sales_Inv_No"), "0101INV1");
  EXPECT_EQ(h.Int32("Sales_Inv_Identity"), 1);
  EXPECT_EQ(h.Int32("Processed_Flag"), 1);
  EXPECT_EQ(h.DateValue("Last_Update"), Date::FromYmd(2026, 12, 10));
  EXPECT_DOUBLE_EQ(h.Double("Balance_Amount"), 230);
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_No = '0101INV1'"), 5);
  EXPECT_EQ(Count("Sales_Invoice_Detail"), 5);
  EXPECT_EQ(NextInvoiceNo(), 2);

  // The customer owes the total; the sales are credited by branch (the installation was the
  // harbour branch's), the discount debited, the tax shared by its two authorities.
  const std::map<std::string, double> expected{{"01011200", 230}, {"01014100", -175},
                                               {"01024100", -30}, {"01014200", 5},
                                               {"01012100", -20}, {"01012150", -10}};
  EXPECT_EQ(Ledger("0101INV1"), expected);
  EXPECT_EQ(Count("General_Ledger",
                  "Document_No = '0101INV1' AND GL_Description = 'Sales Account : ItemCode - "
                  "P100' AND Credit_Amount = 50 AND FC_Credit_Amount = 50"),
            1);
  EXPECT_EQ(Count("General_Ledger",
                  "GL_Description = 'Sales Account : ItemName - Installation' AND "
                  "Account_No = '01024100' AND Credit_Amount = 30"),
            1);
  EXPECT_EQ(
      Count("General_Ledger", "Document_No = '0101INV1' AND GL_Description LIKE 'Sales Account%'"),
      4);  // none for the free cartridge
  EXPECT_EQ(Count("General_Ledger",
                  "GL_Description = 'Discount Account' AND Debit_Amount = 5 AND GL_Comments = "
                  "'December deliveries'"),
            1);
  EXPECT_DOUBLE_EQ(
      Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = '01014100'")
          .ToDouble(),
      -175);
  auto ar = conn->Query("SELECT * FROM Accounts_Receivable_Ledger");
  ASSERT_EQ(ar.size(), 1u);
  EXPECT_EQ(ar.front().Text("Document_No"), "0101INV1");
  EXPECT_EQ(ar.front().Text("Customer_Code"), "01C002");
  EXPECT_EQ(ar.front().Text("Account_No"), "01011200");
  EXPECT_DOUBLE_EQ(ar.front().Double("Debit_Amount"), 230);
  EXPECT_DOUBLE_EQ(ar.front().Double("Credit_Amount"), 0);
  EXPECT_EQ(ar.front().Text("ARL_Description"), "Accounts Receivable : Customer Code - C002");
  EXPECT_DOUBLE_EQ(
      Scalar("SELECT Customer_Balance FROM Customer_Master WHERE Customer_Code = '01C002'")
          .ToDouble(),
      230);

  // Every line is logged, the free one too; the price is that of one base unit.
  auto log = conn->Query(
      "SELECT * FROM Sales_Log WHERE Sales_Document_No = '0101INV1' ORDER BY Sales_Log_ID");
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].Text("Document_Prefix"), "SLG");
  EXPECT_EQ(log[0].Text("Sales_Document_Prefix"), "INV");
  EXPECT_EQ(log[0].Text("Item_Code"), "01P100");
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Qty"), 20);
  EXPECT_DOUBLE_EQ(log[0].Double("Sales_Unit_Price"), 2.5);
  EXPECT_DOUBLE_EQ(log[0].Double("Inventory_Value"), 50);
  EXPECT_EQ(log[2].Text("Proj_No"), "PRJ-7");
  EXPECT_DOUBLE_EQ(log[3].Double("FOC_Flag"), 1);
  EXPECT_EQ(log[4].Text("Item_Name"), "Installation");

  // The deliveries' lines are invoiced by the invoiced quantities, their headers flagged.
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 10);
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P200"), 4);
  EXPECT_DOUBLE_EQ(Invoiced("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL1", "01P300"),
                   1);
  EXPECT_DOUBLE_EQ(Invoiced("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL1", "01P200"),
                   1);
  EXPECT_DOUBLE_EQ(Scalar("SELECT Invoiced_Qty FROM Direct_Delivery_Detail WHERE "
                          "Direct_Delivery_No = '0102DDL1'")
                       .ToDouble(),
                   1);
  EXPECT_EQ(InvoicedFlag("Delivery_Master", "Delivery_No", "0101DEL1"), 1);
  EXPECT_EQ(InvoicedFlag("Direct_Delivery_Master", "Direct_Delivery_No", "0101DDL1"), 1);
  EXPECT_EQ(InvoicedFlag("Direct_Delivery_Master", "Direct_Delivery_No", "0102DDL1"), 1);
  ExpectCleanBooks();

  // Processed once: on-line again, or synchronised with its postings made, changes nothing.
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(s.Process_Invoice());
  EXPECT_EQ(s.ErrDesc(), "Already Processed");
  s.OnlineFlag = false;
  s.SyncFlag = true;
  EXPECT_FALSE(s.Process_Invoice());
  EXPECT_EQ(s.ErrDesc(), "Already Processed");
  EXPECT_EQ(s.SalesInvNo, "0101INV1");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(SalesInvoiceProcessTest, ADeliveryLineInvoicedInTwoPartsAndByAManualNumber) {
  const std::string first = Draft({Paper(4)});
  const std::string second = Draft({Paper(6), Cartridges()});
  SalesInvoice a = Invoice(first);
  ASSERT_TRUE(a.Process_Invoice()) << a.ErrDesc();
  EXPECT_EQ(a.SalesInvNo, "0101INV1");
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 4);
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P200"), 0);
  // Flagged with part of it still to invoice.
  EXPECT_EQ(InvoicedFlag("Delivery_Master", "Delivery_No", "0101DEL1"), 1);
  // Lines are numbered per invoice: the other draft's line 1 is untouched.
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_No = ?", {second}), 2);
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_No = '0101INV1'"), 1);
  ExpectCleanBooks();

  // The user gives the number: the series moves past it.
  SalesInvoice b = Invoice(second);
  b.ManualDocFlag = true;
  b.manualDocIdentity = 40;
  ASSERT_TRUE(b.Process_Invoice()) << b.ErrDesc();
  EXPECT_EQ(b.SalesInvNo, "0101INV40");
  EXPECT_EQ(NextInvoiceNo(), 41);
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 10);
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P200"), 4);
  const std::map<std::string, double> expected{{"01011200", 110}, {"01014100", -110}};
  EXPECT_EQ(Ledger("0101INV40"), expected);
  EXPECT_EQ(Count("Sales_Invoice_Master", "Processed_Flag = 1"), 2);
  ExpectCleanBooks();

  // All ten are billed: one more, on another invoice or twice on one, is refused.
  for (const std::vector<Line>& lines :
       {std::vector<Line>{Paper(1)}, std::vector<Line>{Cartridges(), Cartridges()}}) {
    SalesInvoice again = Invoice(Draft(lines));
    EXPECT_FALSE(again.Process_Invoice());
    EXPECT_EQ(again.ErrDesc(), "Invalid Item Details");
  }
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 10);
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P200"), 4);
  EXPECT_EQ(Count("Sales_Invoice_Master", "Processed_Flag = 1"), 2);
}

TEST_F(SalesInvoiceProcessTest, AnInvoiceMadeFromTheDeliveryListLeavesTheRestToInvoiceNext) {
  auto g = std::make_shared<MemoryGrid>(1, 32);
  SalesInvoice s = Invoice("");
  s.InvoiceGridName = g;
  s.CompanyPrefix = s.BranchPrefix = "01";
  s.DocumentPrefix = "INV";
  s.CustomerCode = "01C002";
  s.CustomerName = "Harbour Marine Supplies";
  s.PaymentType = "Credit";
  s.CurrencyCode = "BHD";
  s.SalesInvDate = s.SalesInvEndDate = Date::FromYmd(2026, 12, 10);
  ASSERT_TRUE(s.Get_Delivery_Details()) << s.ErrDesc();
  auto paper_row = [&] {
    for (int r = 1; r < g->Rows(); ++r)
      if (g->TextMatrix(r, 5) == "P100") return r;
    return 0;
  };
  int r = paper_row();
  ASSERT_GT(r, 0);
  EXPECT_EQ(g->TextMatrix(r, 11), "10");
  // Four of the ten packs are billed now.
  Fill(*g, r, {{1, "1"}, {11, "4"}, {16, "20"}, {17, "20"}});
  s.SalesInvSubtotal = s.SalesInvFCsubtotal = s.SalesInvTotalAmount = s.SalesInvFCTotalAmount = 20;
  ASSERT_TRUE(s.Create_Sales_Invoice(true)) << s.ErrDesc();
  ASSERT_TRUE(s.Process_Invoice()) << s.ErrDesc();
  EXPECT_EQ(s.SalesInvNo, "0101INV1");
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 4);
  EXPECT_EQ(Ledger("0101INV1"),
            (std::map<std::string, double>{{"01011200", 20}, {"01014100", -20}}));
  // The grid was left as the caller filled it.
  EXPECT_EQ(g->TextMatrix(r, 11), "4");
  ExpectCleanBooks();

  // The next list offers the six packs still to bill.
  auto next = std::make_shared<MemoryGrid>(1, 32);
  s.InvoiceGridName = g = next;
  ASSERT_TRUE(s.Get_Delivery_Details()) << s.ErrDesc();
  r = paper_row();
  ASSERT_GT(r, 0);
  EXPECT_EQ(g->TextMatrix(r, 11), "6");
  EXPECT_EQ(g->TextMatrix(r, 12), "6");
}

TEST_F(SalesInvoiceProcessTest, AForeignInvoiceCreditsItsForeignAmounts) {
  currency_ = "USD";
  rate_ = 0.377;
  Line paper = Paper(10);
  paper.amount = 18.85;  // 50 dollars
  paper.fc_amount = 50;
  SalesInvoice s = Invoice(Draft({paper}));
  ASSERT_TRUE(s.Process_Invoice()) << s.ErrDesc();
  EXPECT_EQ(s.CurrencySymbol, "$");  // the currency master's, not the one saved
  EXPECT_DOUBLE_EQ(s.ExchangeRate, 1);
  auto sales = conn->Query(
      "SELECT * FROM General_Ledger WHERE Document_No = '0101INV1' AND Account_No = '01014100'");
  ASSERT_EQ(sales.size(), 1u);
  EXPECT_DOUBLE_EQ(sales.front().Double("Credit_Amount"), 18.85);
  EXPECT_DOUBLE_EQ(sales.front().Double("FC_Credit_Amount"), 50);
  EXPECT_EQ(sales.front().Text("Currency_Code"), "USD");
  EXPECT_EQ(sales.front().Text("Currency_Symbol"), "$");
  auto ar = conn->Query("SELECT * FROM Accounts_Receivable_Ledger");
  ASSERT_EQ(ar.size(), 1u);
  EXPECT_DOUBLE_EQ(ar.front().Double("Debit_Amount"), 18.85);
  EXPECT_DOUBLE_EQ(ar.front().Double("FC_Debit_Amount"), 50);
  EXPECT_DOUBLE_EQ(
      Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = '01014100'")
          .ToDouble(),
      -18.85);
  ExpectCleanBooks();

  // A currency the master does not know is refused before anything is written.
  currency_ = "XAU";
  SalesInvoice gold = Invoice(Draft({Cartridges()}));
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(gold.Process_Invoice());
  EXPECT_EQ(gold.ErrDesc(), "Invalid Currency Code");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(SalesInvoiceProcessTest, AnInvoiceNumberedOffLineIsPostedOnceWhenSynchronised) {
  const std::string draft = Draft({Paper(10), Lamp()}, 0, 14.25, "0101DUO");
  SalesInvoice off = Invoice(draft, false);
  ASSERT_TRUE(off.Process_Invoice()) << off.ErrDesc();
  EXPECT_EQ(off.SalesInvNo, "0101INV1");
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101INV1'"), 0);
  EXPECT_EQ(Count("Accounts_Receivable_Ledger"), 0);
  EXPECT_EQ(Count("Sales_Log"), 0);
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 10);
  EXPECT_EQ(InvoicedFlag("Direct_Delivery_Master", "Direct_Delivery_No", "0101DDL1"), 1);
  // The counter moved on: the next invoice takes the next number.
  EXPECT_EQ(NextInvoiceNo(), 2);
  auto report = services::InspectBooks(*conn);
  EXPECT_EQ(report.violations, std::vector<std::string>{});
  EXPECT_EQ(report.awaiting_synchronisation,
            std::vector<std::string>{
                "Sales invoice 0101INV1 is processed off-line: no postings until it is "
                "synchronised"});
  EXPECT_FALSE(off.Process_Invoice());
  EXPECT_EQ(off.ErrDesc(), "Already Processed");

  SalesInvoice next = Invoice(Draft({Cartridges()}));
  ASSERT_TRUE(next.Process_Invoice()) << next.ErrDesc();
  EXPECT_EQ(next.SalesInvNo, "0101INV2");

  // A draft cannot be synchronised: it has no number of its own yet.
  const std::string later = Draft({Installation()});
  SalesInvoice early = Invoice(later, false);
  early.SyncFlag = true;
  EXPECT_FALSE(early.Process_Invoice());
  EXPECT_EQ(early.ErrDesc(), "A sales invoice is synchronised once it is processed off-line");

  SalesInvoice sync = Invoice("0101INV1", false);
  sync.SyncFlag = true;
  sync.LastUpdate = Date::FromYmd(2027, 2, 1);
  ASSERT_TRUE(sync.Process_Invoice()) << sync.ErrDesc();
  EXPECT_EQ(sync.SalesInvNo, "0101INV1");
  EXPECT_EQ(sync.SalesInvIdentity, 1);
  EXPECT_EQ(NextInvoiceNo(), 3);
  const std::map<std::string, double> expected{
      {"01011200", 109.25}, {"01014100", -95}, {"01012100", -9.5}, {"01012150", -4.75}};
  EXPECT_EQ(Ledger("0101INV1"), expected);
  EXPECT_EQ(Count("Sales_Log", "Sales_Document_No = '0101INV1'"), 2);
  // The postings carry the day it was numbered.
  EXPECT_EQ(Scalar("SELECT Last_Update FROM Accounts_Receivable_Ledger WHERE Document_No = "
                   "'0101INV1'")
                .ToDate(),
            Date::FromYmd(2026, 12, 10));
  // Its deliveries were invoiced when it was numbered, not again.
  EXPECT_DOUBLE_EQ(Invoiced("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 10);
  EXPECT_DOUBLE_EQ(Invoiced("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL1", "01P300"),
                   1);
  ExpectCleanBooks();

  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(sync.Process_Invoice());
  EXPECT_EQ(sync.ErrDesc(), "Already Processed");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(SalesInvoiceProcessTest, ALineKnownByItsNameIsCreditedItsAmountNetOfItsDiscount) {
  // An hour of installation at 30 with 3 off: the line is worth 27, and so is the invoice.
  Line installation = Installation();
  installation.amount = 27;
  SalesInvoice s = Invoice(Draft({installation}));
  ASSERT_TRUE(s.Process_Invoice()) << s.ErrDesc();
  const std::map<std::string, double> expected{{"01011200", 27}, {"01024100", -27}};
  EXPECT_EQ(Ledger(s.SalesInvNo), expected);
  // A local invoice's foreign-currency side is its local amount.
  EXPECT_DOUBLE_EQ(Scalar("SELECT FC_Credit_Amount FROM General_Ledger WHERE Document_No = ? AND "
                          "Account_No = '01024100'",
                          {Value(s.SalesInvNo)})
                       .ToDouble(),
                   27);
  ExpectCleanBooks();
}

TEST_F(SalesInvoiceProcessTest, AFailureLeavesNothingWritten) {
  struct Case {
    const char* what;
    std::function<void(SalesInvoice&)> spoil;
    const char* message;
  };
  // The figures an invoice was saved with, changed under it: processing reads them back.
  auto stored = [](const char* column, Value value) {
    return [column, value](SalesInvoice& s) {
      Record()
          .Set(column, value)
          .Update(*s.AdoDBConnectionObject, "Sales_Invoice_Master",
                  Record().Set("Sales_Inv_No", s.SalesInvNo));
    };
  };
  auto line = [](const char* column, Value value) {
    return [column, value](SalesInvoice& s) {
      Record()
          .Set(column, value)
          .Update(*s.AdoDBConnectionObject, "Sales_Invoice_Detail",
                  Record().Set("Sales_Inv_No", s.SalesInvNo).Set("SL_No", 2));
    };
  };
  const std::vector<Case> cases = {
      {"a total that cannot balance", stored("Sales_Inv_Total_Amount", 224.0),
       "The invoice's total 224 is not its lines less the discount plus the tax (224.25)"},
      {"a negative discount", stored("Sales_Inv_Disc_Amount", -5.0), "Invalid Discount Amount"},
      {"a discount beyond the goods", stored("Sales_Inv_Disc_Amount", 206.0),
       "Invalid Discount Amount"},
      {"more than was delivered", line("Sales_Inv_Qty", 1000.0), "Invalid Item Details"},
      {"goods coming back", line("Sales_Inv_Qty", -10.0), "Invalid Item Details"},
      {"a quantity too small to count", line("Sales_Inv_Qty", 1e-300), "Invalid Item Details"},
      {"another customer's deliveries", stored("Customer_Code", Value("01C001")),
       "Invalid Item Details"},
      // Saved while the deliveries were to bill; since then one was paid by a cash memo, one
      // cancelled.
      {"a delivery paid since",
       [this](SalesInvoice&) { conn->Execute("UPDATE Delivery_Master SET Paid_Flag = 1"); },
       "Invalid Item Details"},
      {"a delivery cancelled since",
       [this](SalesInvoice&) {
         conn->Execute("UPDATE Direct_Delivery_Master SET Cancel_Flag = 1");
       },
       "Invalid Item Details"},
      {"a negative tax", stored("Sales_Inv_Tax_Amount", -1.0), "Invalid Tax Amount"},
      {"tax without a code", stored("TaxCode", Value("")), "Invalid Tax Code"},
      {"an amount past any balance", line("Sales_Inv_Item_Amount", 1e300), "Invalid Item Details"},
      // Half-way: the first line's delivery is invoiced before the second's is missed.
      {"a delivery line that is gone", line("Delivery_Dtl_SL_No", 9999.0), "Invalid Item Details"},
      {"an item that is not the delivery line's", line("Item_Code", Value("01P300")),
       "Invalid Item Details"},
      {"no lines",
       [this, stored](SalesInvoice& s) {
         conn->Execute("DELETE FROM Sales_Invoice_Detail WHERE Sales_Inv_No = ?",
                       {Value(s.SalesInvNo)});
         stored("Sales_Inv_Total_Amount", 0.0)(s);
         stored("Sales_Inv_Tax_Amount", 0.0)(s);
         stored("Sales_Inv_Disc_Amount", 0.0)(s);
       },
       "Error while Processing, Invalid Temporary Sales Invoice No."},
      // Half-way through the postings: the sales lines are posted before the discount.
      {"no discount account",
       [this](SalesInvoice&) {
         conn->Execute("UPDATE Default_Sales_Preferences SET Sales_Disc_Account_No = ' '");
       },
       "Invalid Default Discount Account"},
      {"no sales preferences",
       [this](SalesInvoice&) {
         conn->Execute("DELETE FROM Default_Sales_Preferences WHERE Branch_Prefix = '01'");
       },
       "Set the Sales default settings in the Sales Preferences"},
      {"no sales account for the branch that delivered",
       [this](SalesInvoice&) {
         conn->Execute(
             "UPDATE Default_Sales_Preferences SET Credit_Sales_Account_No = '' WHERE "
             "Branch_Prefix = '02'");
       },
       "Invalid Default Sales Account"},
      {"a rate the authorities do not share", stored("Sales_Inv_Tax_Percent", 1.0),
       "Invalid Tax Rate for Tax Code - 0101DUO"},
      {"an invoice not saved", [](SalesInvoice& s) { s.SalesInvNo = "0101INVTMP99"; },
       "Invalid Invoice No"},
      {"an invoice already processed",
       [this](SalesInvoice& s) {
         for (const char* table : {"Sales_Invoice_Master", "Sales_Invoice_Detail"})
           Record()
               .Set("Sales_Inv_No", "0101INV7")
               .Update(*conn, table, Record().Set("Sales_Inv_No", s.SalesInvNo));
         s.SalesInvNo = "0101INV7";
       },
       "Already Processed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // 205 of sales, less 10, plus 15% tax: 224.25.
    SalesInvoice s =
        Invoice(Draft({Cartridges(), Paper(10), Lamp(), Installation()}, 10, 29.25, "0101DUO"));
    c.spoil(s);
    const TableSnapshot spoilt = TakeSnapshot(*conn);
    const std::string tried = s.SalesInvNo;
    EXPECT_FALSE(s.Process_Invoice());
    EXPECT_EQ(s.ErrDesc(), c.message);
    EXPECT_EQ(s.SalesInvNo, tried);
    EXPECT_EQ(SnapshotDiff(spoilt, TakeSnapshot(*conn)), "");
    // The next case starts again from the deliveries and the preferences as they were.
    conn->Execute("DELETE FROM Sales_Invoice_Detail");
    conn->Execute("DELETE FROM Sales_Invoice_Master");
    conn->Execute("DELETE FROM Default_Sales_Preferences");
    conn->Execute("UPDATE Delivery_Master SET Paid_Flag = 0");
    conn->Execute("UPDATE Direct_Delivery_Master SET Cancel_Flag = 0");
    refdata::SetSalesPreferences(*conn, "01", "01");
    refdata::SetSalesPreferences(*conn, "01", "02");
  }
  // Mended, the same invoice is processed.
  SalesInvoice s =
      Invoice(Draft({Cartridges(), Paper(10), Lamp(), Installation()}, 10, 29.25, "0101DUO"));
  ASSERT_TRUE(s.Process_Invoice()) << s.ErrDesc();
  EXPECT_EQ(s.SalesInvNo, "0101INV1");
  ExpectCleanBooks();
}

}  // namespace
}  // namespace qlnsales::testing
