#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/shell.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

constexpr std::int32_t kCols = 32;

// Customer 01C001 has: a delivery made from an order and processed (paper, a free cartridge, an
// installation), four of its ten boxes of paper invoiced already; a direct delivery processed (two
// lamps); a foreign-currency delivery of branch 02 to one of its addresses, one line invoiced in
// full. Left out of its list: a cancelled delivery, a direct delivery paid by a cash memo, a
// delivery not processed, and a delivery of another company. Customer 01C002 has one processed
// delivery of its own.
class SalesInvoiceTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    DeliverOrder();
    DeliverDirect();
    Record()
        .Set("Customer_Code", "01C001")
        .Set("Address_Code", "A1")
        .Set("Address_Desc", "Warehouse 3")
        .Insert(*conn, "Customer_Address");
    Delivery("0102DEL3", 3, "01C001", true, {{"A", 5, 1}, {"B", 1, 0}, {"C", 2, 2}});
    Delivery("0101DEL4", 4, "01C001", true, {{"A", 1, 0}}, "Cancel_Flag");
    Delivery("0101DEL6", 6, "01C001", false, {{"A", 1, 0}});
    Delivery("0201DEL7", 7, "01C001", true, {{"A", 1, 0}});
    Delivery("0101DEL8", 8, "01C002", true, {{"A", 1, 0}});
    Record()
        .Set("Direct_Delivery_No", "0101DDL9")
        .Set("Direct_Delivery_Identity", 9)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Customer_Code", "01C001")
        .Set("Processed_Flag", 1)
        .Set("Paid_Flag", 1)
        .Insert(*conn, "Direct_Delivery_Master");
    Record()
        .Set("SL_No", 90)
        .Set("Direct_Delivery_No", "0101DDL9")
        .Set("Item_Code", "01P100")
        .Set("Direct_Delivery_Qty", 1.0)
        .Insert(*conn, "Direct_Delivery_Detail");
  }

  // An order of paper, a free cartridge and an installation, delivered in full and processed; the
  // installation is for a project.
  void DeliverOrder() {
    auto g = std::make_shared<MemoryGrid>(5, 18);
    auto line = [&](int r, const char* code, const char* qty, const char* price, const char* foc) {
      const std::string amount = std::to_string(std::stoi(qty) * std::stoi(price));
      Fill(*g, r,
           {{1, code},
            {2, code},
            {4, "Box"},
            {5, "1"},
            {6, qty},
            {7, price},
            {10, amount},
            {11, amount},
            {15, price},
            {17, foc}});
    };
    line(1, "P100", "10", "4", "0");
    line(2, "P200", "2", "18", "1");
    line(3, "S100", "3", "20", "0");
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

    qlnsales::Delivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DEL";
    d.StockMovementPrefix = "DEL";
    d.SourceNo = o.SalesOrdNo;
    d.CustomerCode = "01C001";
    d.CustomerName = "Gulf Traders";
    d.PaymentType = "Credit";
    d.CurrencyCode = "BHD";
    d.DeliveryDate = d.DeliveryEndDate = Date::FromYmd(2026, 12, 4);
    d.LastUpdate = Date::FromYmd(2026, 12, 4);
    d.OnlineFlag = true;
    ASSERT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
    auto& grid = *d.DeliveryGridName;
    for (int r = 1; r < grid.Rows(); ++r) {
      grid.SetTextMatrix(r, 1, "1");
      grid.SetTextMatrix(r, 20, "Location1");
      grid.SetTextMatrix(r, 21, "1");
    }
    grid.SetTextMatrix(3, 8, "0101PRJ7");
    ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
    std::string source = "SalesOrder";
    ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
    ASSERT_EQ(d.DeliveryNo, "0101DEL1");
    EXPECT_TRUE(services::CheckBooks(*conn).empty());
    conn->Execute(
        "UPDATE Delivery_Detail SET Invoiced_Qty = 4 WHERE Delivery_No = '0101DEL1' AND "
        "Item_Code = '01P100'");
  }

  // Two desk lamps at 45, numbered 5 in its series.
  void DeliverDirect() {
    conn->Execute(
        "UPDATE Document_Prefix SET Document_Next_No = 5 WHERE Document_Prefix = 'DDL' AND "
        "Branch_Prefix = '01'");
    auto g = std::make_shared<MemoryGrid>(3, 19);
    Fill(*g, 1,
         {{1, "P300"},
          {2, "Desk Lamp"},
          {4, "Pcs"},
          {5, "1"},
          {6, "2"},
          {7, "45"},
          {10, "90"},
          {11, "90"},
          {13, "45"},
          {14, "Showroom"},
          {15, "0101PRJ9"},
          {17, "2"},
          {18, "0"}});
    DirectDelivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = g;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DDL";
    d.StockMovementPrefix = "DDL";
    d.CustomerCode = "01C001";
    d.CustomerName = "Gulf Traders";
    d.PaymentType = "Credit";
    d.CurrencyCode = "BHD";
    d.DirectDeliveryDate = d.DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
    d.DirectDeliverySubtotal = d.DirectDeliveryTotalAmount = 90;
    d.DirectDeliveryFCSubtotal = d.DirectDeliveryFCTotalAmount = 90;
    d.LastUpdate = Date::FromYmd(2026, 12, 5);
    d.OnlineFlag = true;
    ASSERT_TRUE(d.Create_Direct_Delivery()) << d.ErrDesc();
    ASSERT_TRUE(d.Process_Direct_Delivery()) << d.ErrDesc();
    ASSERT_EQ(d.DirectDeliveryNo, "0101DDL5");
    EXPECT_TRUE(services::CheckBooks(*conn).empty());
  }

  // A delivery written as its rows: line "A" is paper (5 delivered, the given quantity invoiced,
  // in US dollars), "B" a lamp whose order discount is larger than its price, "C" a cartridge.
  struct LineSpec {
    const char* kind;
    double qty, invoiced;
  };
  void Delivery(const std::string& no, int identity, const char* customer, bool processed,
                const std::vector<LineSpec>& lines, const char* flag = nullptr) {
    Record m;
    m.Set("Delivery_No", no)
        .Set("Delivery_Identity", identity)
        .Set("Company_Prefix", no.substr(0, 2))
        .Set("Branch_Prefix", no.substr(2, 2))
        .Set("Customer_Code", customer)
        .Set("Foreign_Currency_Flag", 1)
        .Set("Currency_Code", "USD")
        .Set("Delivery_Date", Date::FromYmd(2026, 12, 7))
        .Set("Address_Code", "A1")
        .Set("Delivery_Ref_No", "PO-77")
        .Set("Processed_Flag", processed ? 1 : 0);
    if (flag) m.Set(flag, 1);
    m.Insert(*conn, "Delivery_Master");
    for (const auto& l : lines) {
      Record d;
      d.Set("SL_No", 10 * identity + static_cast<int>(&l - &lines[0]))
          .Set("Delivery_No", no)
          .Set("Unit_Code", 1.0)
          .Set("Unit_Qty", 1.0)
          .Set("Delivery_Qty", l.qty)
          .Set("Invoiced_Qty", l.invoiced)
          .Set("FOC_Flag", 0.0);
      if (std::string(l.kind) == "A")
        d.Set("Item_Code", "01P100")
            .Set("Item_Name", "Printer Paper A4")
            .Set("Unit_Name", "Box")
            .Set("Period_Type", "Monthly")
            .Set("Delivery_Dtl_Unit_Price", 3.77)
            .Set("Delivery_Dtl_FC_Unit_Price", 10.0)
            .Set("Delivery_Disc_Amount", 0.377)
            .Set("Delivery_FC_Disc_Amount", 1.0)
            .Set("Sales_Ord_Overall_Disc", 1.5)
            .Set("Sales_Ord_Overall_FC_Disc", 4.0);
      else if (std::string(l.kind) == "B")
        d.Set("Item_Code", "01P300")
            .Set("Item_Name", "Desk Lamp")
            .Set("Unit_Name", "Pcs")
            .Set("Delivery_Dtl_Unit_Price", 2.0)
            .Set("Delivery_Dtl_FC_Unit_Price", 5.3)
            .Set("Sales_Ord_Overall_Disc", 5.0)
            .Set("Sales_Ord_Overall_FC_Disc", 1.0);
      else
        d.Set("Item_Code", "01P200").Set("Item_Name", "Ink Cartridge").Set("Unit_Name", "Pcs");
      d.Insert(*conn, "Delivery_Detail");
    }
  }

  SalesInvoice Invoice(std::shared_ptr<MemoryGrid> grid) {
    SalesInvoice inv;
    inv.ADOConnectionString = cs;
    inv.AdoDBConnectionObject = conn;
    inv.InvoiceGridName = std::move(grid);
    inv.CompanyPrefix = "01";
    inv.BranchPrefix = "01";
    inv.DocumentPrefix = "INV";
    inv.CustomerCode = "01C001";
    inv.CustomerName = "Gulf Traders";
    inv.PaymentTerms = "30 days";
    inv.PaymentType = "Credit";
    inv.CurrencyCode = "BHD";
    inv.CurrencySymbol = "stale";
    inv.ExchangeRate = 0.377;
    inv.SalesInvDate = Date::FromYmd(2026, 12, 10);
    inv.SalesInvEndDate = Date::FromYmd(2027, 1, 9);
    inv.TaxCode = "0101STD";
    inv.TaxDescription = "Standard rate";
    inv.InvoiceRefNo = "REF-12";
    inv.EmployeeID = "E07";
    inv.EmployeeName = "Mariam";
    inv.SalesInvComments = "   ";
    inv.AmtDig = 3;
    inv.LastUpdate = Date::FromYmd(2026, 12, 10);
    return inv;
  }

  // The grid after listing 01C001's deliveries.
  std::shared_ptr<MemoryGrid> Listed() {
    auto g = std::make_shared<MemoryGrid>(1, kCols);
    SalesInvoice inv = Invoice(g);
    EXPECT_TRUE(inv.Get_Delivery_Details()) << inv.ErrDesc();
    return g;
  }

  std::vector<std::string> Row(const Grid& g, std::int32_t r) {
    std::vector<std::string> cells;
    for (std::int32_t c = 1; c < kCols; ++c) cells.push_back(g.TextMatrix(r, c));
    return cells;
  }

  std::int64_t Lines(const std::string& invoice) {
    return Count("Sales_Invoice_Detail", "Sales_Inv_No = ?", {invoice});
  }
};

TEST_F(SalesInvoiceTest, ListsTheCustomersDeliveriesStillToInvoice) {
  auto g = Listed();
  // Delivery 1's three lines, delivery 3's two open ones, direct delivery 5: by identity, then
  // line. A spare row stays below them.
  ASSERT_EQ(g->Rows(), 7);
  // (The order gave no unit code; a delivery keeps its reference as two blanks.)
  const std::vector<std::string> paper = {
      "0",   "Head Office", "1", "2026-12-04", "P100", "P100",       "1",        "0",
      "Box", "1",           "6", "6",          "4",    "0",          "0",        "24",
      "24",  "0",           "",  "1",          "4",    "SalesOrder", "0101DEL1", "0",
      "0",   "0",           "",  "",           "  ",   "0",          "4"};
  EXPECT_EQ(Row(*g, 1), paper);
  // The free cartridge, and the installation for its project, exempt from tax.
  EXPECT_EQ(g->TextMatrix(2, 5), "P200");
  EXPECT_EQ(g->TextMatrix(2, 30), "1");
  EXPECT_EQ(g->TextMatrix(2, 16), "36");
  EXPECT_EQ(g->TextMatrix(3, 5), "S100");
  EXPECT_EQ(g->TextMatrix(3, 7), "0");
  EXPECT_EQ(g->TextMatrix(3, 11), "3");
  EXPECT_EQ(g->TextMatrix(3, 16), "60");
  EXPECT_EQ(g->TextMatrix(3, 19), "0101PRJ7");
  // In dollars, at branch 02, to the customer's warehouse: 4 boxes still to invoice, their local
  // amount less the order's share, the foreign one without it, the dollar price shown.
  const std::vector<std::string> foreign = {"0",
                                            "Harbour Branch",
                                            "3",
                                            "2026-12-07",
                                            "P100",
                                            "Printer Paper A4",
                                            "1",
                                            "1",
                                            "Box-Monthly",
                                            "1",
                                            "4",
                                            "4",
                                            "10",
                                            "1",
                                            "4",
                                            "12.072",
                                            "36",
                                            "0.377",
                                            "",
                                            "30",
                                            "3.77",
                                            "SalesOrder",
                                            "0102DEL3",
                                            "1.5",
                                            "4",
                                            "1.5",
                                            "A1",
                                            "Warehouse 3",
                                            "PO-77",
                                            "0",
                                            "10"};
  EXPECT_EQ(Row(*g, 4), foreign);
  // A price below the order's share: the amount is the size of price less both shares.
  EXPECT_EQ(g->TextMatrix(5, 5), "P300");
  EXPECT_EQ(g->TextMatrix(5, 16), "4");
  EXPECT_EQ(g->TextMatrix(5, 17), "5.3");
  // The direct delivery's lamps, for their project.
  EXPECT_EQ(g->TextMatrix(6, 3), "5");
  EXPECT_EQ(g->TextMatrix(6, 5), "P300");
  EXPECT_EQ(g->TextMatrix(6, 11), "2");
  EXPECT_EQ(g->TextMatrix(6, 13), "45");
  EXPECT_EQ(g->TextMatrix(6, 16), "90");
  EXPECT_EQ(g->TextMatrix(6, 19), "0101PRJ9");
  EXPECT_EQ(g->TextMatrix(6, 22), "Direct");
  EXPECT_EQ(g->TextMatrix(6, 23), "0101DDL5");
  EXPECT_EQ(g->TextMatrix(6, 2), "Head Office");

  // The other customer sees only its own delivery; one with none gets an untouched grid.
  auto other = std::make_shared<MemoryGrid>(1, kCols);
  SalesInvoice inv = Invoice(other);
  inv.CustomerCode = "01C002";
  ASSERT_TRUE(inv.Get_Delivery_Details()) << inv.ErrDesc();
  EXPECT_EQ(other->Rows(), 2);
  EXPECT_EQ(other->TextMatrix(1, 23), "0101DEL8");
  auto none = std::make_shared<MemoryGrid>(3, kCols);
  none->SetTextMatrix(1, 6, "kept");
  inv.InvoiceGridName = none;
  inv.CustomerCode = "01C009";
  ASSERT_TRUE(inv.Get_Delivery_Details()) << inv.ErrDesc();
  EXPECT_EQ(none->Rows(), 3);
  EXPECT_EQ(none->TextMatrix(1, 6), "kept");
}

TEST_F(SalesInvoiceTest, TheTickedLinesAreSavedAndComeBackInBothDialects) {
  auto g = Listed();
  for (int r : {1, 3, 4, 6}) g->SetTextMatrix(r, 1, "1");
  g->SetTextMatrix(6, 1, "-1");
  g->SetTextMatrix(2, 1, "0");
  SalesInvoice inv = Invoice(g);
  inv.SalesInvSubtotal = inv.SalesInvFCsubtotal = 186.072;
  inv.SalesInvDiscPercent = 10;
  inv.SalesInvDiscAmount = inv.SalesInvFCDiscAmount = 18.607;
  inv.SalesInvTaxPercent = 10;
  inv.SalesInvTaxAmount = inv.SalesInvFCTaxAmount = 16.747;
  inv.SalesInvTotalAmount = inv.SalesInvFCTotalAmount = 184.212;
  ASSERT_TRUE(inv.Create_Sales_Invoice(true)) << inv.ErrDesc();
  EXPECT_EQ(inv.SalesInvNo, "0101INVTMP1");
  EXPECT_EQ(inv.SalesInvIdentity, 1);
  EXPECT_EQ(inv.CurrencySymbol, "BD");

  // The header: rate 1, the whole total outstanding, blank comments as null.
  EXPECT_EQ(Count("Sales_Invoice_Master",
                  "Sales_Inv_No = '0101INVTMP1' AND Sales_Inv_Identity = 1 AND Exchange_Rate = 1 "
                  "AND Balance_Amount = 184.212 AND Balance_FCAmount = 184.212 AND "
                  "Sales_Inv_Comments IS NULL AND Currency_Symbol = 'BD' AND "
                  "Invoice_Ref_no = 'REF-12' AND Sales_Inv_End_Date IS NOT NULL AND "
                  "Processed_Flag = 0"),
            1);
  EXPECT_EQ(Scalar("SELECT Document_Temp_Next_No FROM Document_Prefix WHERE Document_Prefix = "
                   "'INV' AND Branch_Prefix = '01'")
                .ToDouble(),
            2);

  // Four ticked lines, numbered 1 to 4 within the invoice; the grid's second row is not saved.
  ASSERT_EQ(Lines("0101INVTMP1"), 4);
  auto rs = conn->Query(
      "SELECT * FROM Sales_Invoice_Detail WHERE Sales_Inv_No = '0101INVTMP1' ORDER BY SL_No");
  std::vector<std::string> items;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    EXPECT_EQ(rs[i].Int32("SL_No"), static_cast<std::int32_t>(i + 1));
    items.push_back(rs[i].Text("Item_Code"));
  }
  EXPECT_EQ(items, (std::vector<std::string>{"01P100", "01S100", "01P100", "01P300"}));
  // The installation: exempt, its project kept, 10% of its amount as its share of the discount.
  auto install = rs[1];
  EXPECT_EQ(install.Text("TaxType"), "Exempted");
  EXPECT_EQ(install.Text("Proj_No"), "0101PRJ7");
  EXPECT_DOUBLE_EQ(install.Double("Sales_Inv_Overall_Disc_Amount"), 6);
  EXPECT_EQ(install.Text("Delivery_Flag"), "SalesOrder");
  EXPECT_EQ(install.Text("Delivery_No"), "0101DEL1");
  EXPECT_TRUE(install.IsNull("Address_Code"));
  // The dollar line: its unit and period apart, its address and reference, its share rounded
  // to three places (10% of 12.072).
  auto dollars = rs[2];
  EXPECT_EQ(dollars.Text("Unit_Name"), "Box");
  EXPECT_EQ(dollars.Text("Period_Type"), "Monthly");
  EXPECT_EQ(dollars.Text("TaxType"), "Taxable");
  EXPECT_EQ(dollars.Text("Delivery_Identity"), "3");
  EXPECT_DOUBLE_EQ(dollars.Double("Sales_Inv_Item_Amount"), 12.072);
  EXPECT_DOUBLE_EQ(dollars.Double("Sales_Ord_Overall_Disc"), 1.5);
  EXPECT_DOUBLE_EQ(dollars.Double("Sales_Inv_Overall_Disc_Amount"), 1.207);
  EXPECT_EQ(dollars.Text("Address_Code"), "A1");
  EXPECT_EQ(dollars.Text("Delivery_Ref_No"), "PO-77");
  EXPECT_EQ(rs[3].Text("Delivery_Flag"), "Direct");
  EXPECT_EQ(rs[3].Text("Proj_No"), "0101PRJ9");
  EXPECT_TRUE(rs[0].IsNull("Proj_No"));

  // Read back in either dialect: the same header, the same lines, ticked, with their branch
  // and address; the rate is 1 whatever it was.
  std::vector<std::vector<std::string>> shown;
  for (const char* dialect : {"MSACCESS", "SQLSERVER"}) {
    SCOPED_TRACE(dialect);
    auto back = std::make_shared<MemoryGrid>(1, kCols);
    SalesInvoice fresh;
    fresh.ADOConnectionString = cs;
    fresh.AdoDBConnectionObject = conn;
    fresh.Database = dialect;
    fresh.InvoiceGridName = back;
    fresh.SalesInvNo = "0101INVTMP1";
    fresh.ExchangeRate = 0.377;
    ASSERT_TRUE(fresh.Get_Invoice()) << fresh.ErrDesc();
    EXPECT_EQ(fresh.ExchangeRate, 1);
    EXPECT_EQ(fresh.CustomerCode, "01C001");
    EXPECT_EQ(fresh.PaymentTerms, "30 days");
    EXPECT_EQ(fresh.SalesInvTotalAmount, 184.212);
    EXPECT_EQ(fresh.SalesInvTaxAmount, 16.747);
    EXPECT_EQ(fresh.SalesInvDate, Date::FromYmd(2026, 12, 10));
    EXPECT_EQ(fresh.SalesInvEndDate, Date{});
    EXPECT_FALSE(fresh.ProcessFlag);
    EXPECT_TRUE(fresh.AllowCancelFlag);
    ASSERT_EQ(back->Rows(), 6);
    for (std::int32_t r = 1; r <= 4; ++r) {
      EXPECT_EQ(back->TextMatrix(r, 1), "1");
      shown.push_back(Row(*back, r));
    }
    EXPECT_EQ(back->TextMatrix(3, 2), "Harbour Branch");
    EXPECT_EQ(back->TextMatrix(3, 28), "Warehouse 3");
    EXPECT_EQ(back->TextMatrix(3, 29), "PO-77");
    EXPECT_EQ(back->TextMatrix(2, 19), "0101PRJ7");
    EXPECT_EQ(back->TextMatrix(4, 2), "Head Office");
  }
  ASSERT_EQ(shown.size(), 8u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(shown[i], shown[i + 4]) << "line " << i + 1;
  // The saved cells come back as the user left them.
  for (std::int32_t c : {3, 4, 5, 6, 10, 11, 13, 16, 17, 20, 22, 23, 24, 27, 30, 31})
    EXPECT_EQ(shown[2][static_cast<std::size_t>(c - 1)], g->TextMatrix(4, c)) << "column " << c;

  // A null column leaves its property as it was, the tax reads 0; a grid large enough keeps
  // its size.
  conn->Execute(
      "UPDATE Sales_Invoice_Master SET Payment_Terms = NULL, Sales_Inv_Tax_Amount = NULL WHERE "
      "Sales_Inv_No = '0101INVTMP1'");
  SalesInvoice kept;
  kept.ADOConnectionString = cs;
  kept.SalesInvNo = "0101INVTMP1";
  kept.PaymentTerms = "as agreed";
  kept.SalesInvTaxAmount = 9;
  auto big = std::make_shared<MemoryGrid>(10, kCols);
  kept.InvoiceGridName = big;
  ASSERT_TRUE(kept.Get_Invoice()) << kept.ErrDesc();
  EXPECT_EQ(kept.PaymentTerms, "as agreed");
  EXPECT_EQ(kept.SalesInvTaxAmount, 0);
  EXPECT_EQ(big->Rows(), 10);
  EXPECT_EQ(big->TextMatrix(4, 23), "0101DDL5");
}

TEST_F(SalesInvoiceTest, SavingAgainReplacesTheLines) {
  auto g = Listed();
  for (int r = 1; r <= 6; ++r) g->SetTextMatrix(r, 1, "1");
  SalesInvoice inv = Invoice(g);
  inv.SalesInvDiscPercent = 10;
  inv.SalesInvDiscAmount = 5;
  ASSERT_TRUE(inv.Create_Sales_Invoice(true)) << inv.ErrDesc();
  ASSERT_EQ(Lines(inv.SalesInvNo), 6);

  // Two lines unticked, a quantity changed, the discount dropped: four lines, numbered again
  // from 1, none with a share.
  g->SetTextMatrix(2, 1, "0");
  g->SetTextMatrix(5, 1, "False");
  g->SetTextMatrix(1, 11, "5");
  inv.SalesInvDiscAmount = 0;
  inv.CustomerName = "Gulf Traders W.L.L.";
  inv.SalesInvComments = "Second save";
  ASSERT_TRUE(inv.Update_Sales_Invoice()) << inv.ErrDesc();
  EXPECT_EQ(inv.SalesInvNo, "0101INVTMP1");
  EXPECT_EQ(Count("Sales_Invoice_Master"), 1);
  EXPECT_EQ(Count("Sales_Invoice_Master", "Customer_Name = ? AND Sales_Inv_Comments = ?",
                  {"Gulf Traders W.L.L.", "Second save"}),
            1);
  EXPECT_EQ(Lines("0101INVTMP1"), 4);
  EXPECT_EQ(Scalar("SELECT MAX(SL_No) FROM Sales_Invoice_Detail").ToInt32(), 4);
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_Overall_Disc_Amount IS NOT NULL"), 0);
  EXPECT_DOUBLE_EQ(
      Scalar("SELECT Sales_Inv_Qty FROM Sales_Invoice_Detail WHERE SL_No = 1").ToDouble(), 5);
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Item_Code = '01P200'"), 0);

  // A second invoice numbers its lines from 1 too, beside the first's.
  SalesInvoice second = Invoice(g);
  ASSERT_TRUE(second.Create_Sales_Invoice(true)) << second.ErrDesc();
  EXPECT_EQ(second.SalesInvNo, "0101INVTMP2");
  EXPECT_EQ(Count("Sales_Invoice_Detail", "Sales_Inv_No = ? AND SL_No = 1", {second.SalesInvNo}),
            1);

  // Only the header, when the lines are not asked for: it reads back but shows no lines.
  SalesInvoice header_only = Invoice(g);
  ASSERT_TRUE(header_only.Create_Sales_Invoice(std::nullopt)) << header_only.ErrDesc();
  EXPECT_EQ(Lines(header_only.SalesInvNo), 0);
  header_only.InvoiceGridName = std::make_shared<MemoryGrid>(1, kCols);
  EXPECT_FALSE(header_only.Get_Invoice());
  EXPECT_EQ(header_only.ErrDesc(), "Invalid Invoice No");
  EXPECT_EQ(header_only.CustomerName, "Gulf Traders");
}

TEST_F(SalesInvoiceTest, FailuresSayWhyAndWriteNothing) {
  auto g = Listed();
  g->SetTextMatrix(1, 1, "1");
  SalesInvoice inv = Invoice(g);
  inv.CustomerCode = "  ";
  EXPECT_FALSE(inv.Get_Delivery_Details());
  EXPECT_EQ(inv.ErrDesc(), "Invalid Customer Code");

  inv.AdoDBConnectionObject = std::make_shared<Connection>();
  EXPECT_FALSE(inv.Create_Sales_Invoice(true));
  EXPECT_EQ(inv.ErrDesc(), "Connection not opened");
  EXPECT_FALSE(inv.Update_Sales_Invoice());
  EXPECT_EQ(inv.ErrDesc(), "Connection not opened");
  inv.AdoDBConnectionObject = conn;
  EXPECT_FALSE(inv.Update_Sales_Invoice());
  EXPECT_EQ(inv.ErrDesc(), "Invalid Invoice No");

  // A document prefix that a number could not be read back by: nothing is written and the
  // number stays as it was.
  inv.SalesInvNo = "before";
  inv.DocumentPrefix = "INVOICE";
  EXPECT_FALSE(inv.Create_Sales_Invoice(true));
  EXPECT_EQ(inv.ErrDesc(), "Invalid Document Prefix");
  EXPECT_EQ(inv.SalesInvNo, "before");
  EXPECT_EQ(Count("Sales_Invoice_Master"), 0);
  EXPECT_EQ(Count("Sales_Invoice_Detail"), 0);

  SalesInvoice read;
  read.ADOConnectionString = cs;
  read.InvoiceGridName = std::make_shared<MemoryGrid>(1, kCols);
  EXPECT_FALSE(read.Get_Invoice());
  EXPECT_EQ(read.ErrDesc(), "Invalid Invoice No");
  read.SalesInvNo = "0101INVTMP99";
  EXPECT_FALSE(read.Get_Invoice());
  EXPECT_EQ(read.ErrDesc(), "Invalid Invoice No");
}

TEST_F(SalesInvoiceTest, LateBoundPropertiesAndLookUps) {
  auto obj = CreateObject("QLNSales.SalesInvoice");
  obj->Set("ADOConnectionString", Value(cs));
  obj->Set("AdoDBConnectionObject", Value(std::static_pointer_cast<Object>(conn)));
  // The project number is a number behind a text.
  obj->Set("ProjNo", Value("12.5"));
  EXPECT_EQ(obj->Get("ProjNo").ToText(), "12.5");
  EXPECT_THROW(obj->Set("ProjNo", Value("PRJ-7")), Error);
  EXPECT_EQ(obj->Get("ProjNo").ToText(), "12.5");
  obj->Set("manualDocIdentity", Value(42.0));
  EXPECT_EQ(obj->Get("ManualDocIdentiy").ToDouble(), 42);
  EXPECT_THROW(obj->Set("ManualDocIdentiy", Value(1.0)), Error);
  obj->Set("AmtDig", Value(2.0));
  EXPECT_THROW(obj->Get("AmtDig"), Error);
  EXPECT_THROW(obj->Set("ErrDesc", Value("x")), Error);
  for (const char* m : {"Get_Delivery_Details", "Create_Sales_Invoice", "Update_Sales_Invoice",
                        "Get_Invoice", "Process_Invoice", "GetFldValue", "ExistDocument"})
    EXPECT_TRUE(obj->HasMethod(m)) << m;

  // The look-ups answer from the database; a bad name shows its error and answers nothing.
  auto shell = std::make_shared<ScriptedShell>();
  SetShell(shell);
  EXPECT_EQ(obj->Invoke("GetFldValue", {Value("Branch_Master"), Value("Branch_Name"),
                                        Value("Branch_Prefix"), Value("02")})
                .ToText(),
            "Harbour Branch");
  EXPECT_TRUE(obj->Invoke("ExistDocument",
                          {Value("Delivery_Master"), Value("Delivery_No"), Value("0101DEL1")})
                  .ToBool());
  EXPECT_FALSE(obj->Invoke("ExistDocument",
                           {Value("Delivery_Master"), Value("Delivery_No"), Value("0101DEL99")})
                   .ToBool());
  EXPECT_EQ(shell->messages().size(), 0u);
  EXPECT_EQ(obj->Invoke("GetFldValue", {Value("No_Such_Table"), Value("Branch_Name")}).ToText(),
            "");
  EXPECT_FALSE(obj->Invoke("ExistDocument",
                           {Value("Delivery_Master"), Value("No_Column"), Value("0101DEL1")})
                   .ToBool());
  EXPECT_EQ(shell->messages().size(), 2u);
  SetShell(nullptr);
}

}  // namespace
}  // namespace qlnsales::testing
