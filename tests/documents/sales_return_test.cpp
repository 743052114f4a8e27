#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/sales_return.h"
#include "qlnsales/shell.h"
#include "sample/sample_company.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

constexpr std::int32_t kCols = 30;

class SalesReturnTest : public DbTest {
 protected:
  SalesReturn Return(std::shared_ptr<MemoryGrid> grid) {
    SalesReturn r;
    r.ConnectionString = cs;
    r.AdoConnectionObject = conn;
    r.SalRetGridName = std::move(grid);
    r.CompanyPrefix = "01";
    r.BranchPrefix = "01";
    r.DocumentPrefix = "SRT";
    r.CustomerCode = "01C001";
    r.CustomerName = "Gulf Traders";
    r.PaymentTerms = "30 days";
    r.PaymentType = "Credit";
    r.CurrencyCode = "BHD";
    r.CurrencySymbol = "stale";
    r.ExchangeRate = 0.377;
    r.SalesRtnDate = Date::FromYmd(2026, 12, 20);
    r.SalesRtnSubTotal = r.SalesRtnFCSubTotal = 30;
    r.SalesRtnDiscAmount = r.SalesRtnFCDiscAmount = 3;
    r.SalesRtnTotalAmount = r.SalesRtnFCTotalAmount = 29.7;
    r.TaxCode = "STD";
    r.TaxDescription = "Standard rate";
    r.TaxRate = 10;
    r.TaxAmount = 2.7;
    r.AllowCancelFlag = true;
    r.EmployeeID = "E07";
    r.EmployeeName = "Mariam";
    r.SalesRtnComments = "Damaged in transit";
    r.LastUpdate = Date::FromYmd(2026, 12, 20);
    return r;
  }

  // Two lines typed by hand: paper by the monthly box, a lamp for a project.
  static std::shared_ptr<MemoryGrid> HandGrid() {
    auto g = std::make_shared<MemoryGrid>(6, kCols);
    Fill(*g, 1,
         {{1, "0"},
          {2, " P100 "},
          {3, " Printer Paper A4 "},
          {4, "2"},
          {5, "Box-M"},
          {6, "12"},
          {7, "2"},
          {8, "10"},
          {10, "1"},
          {11, "0.5"},
          {12, "18"},
          {13, "18"},
          {14, "1"},
          {15, "5"},
          {17, "10"},
          {19, "Showroom"},
          {20, "2"},
          {24, "0.5"},
          {28, "7"}});
    Fill(*g, 2,
         {{1, "0"},
          {2, "P300"},
          {3, "Desk Lamp"},
          {4, "1"},
          {5, "Pcs"},
          {6, "1"},
          {7, "1"},
          {8, "12"},
          {12, "12"},
          {13, "12"},
          {15, "30"},
          {17, "12"},
          {18, "0101PRJ0009"},
          {28, "8"}});
    // A blank code (blanks are blank) ends a return without source: row 4 is never looked at.
    Fill(*g, 3, {{2, "   "}, {3, "Blanks only"}});
    Fill(*g, 4, {{2, "P200"}, {3, "Ink Cartridge"}, {7, "1"}});
    return g;
  }

  std::vector<std::string> Cells(const Grid& g, std::int32_t r) {
    std::vector<std::string> out;
    for (std::int32_t c = 1; c < kCols; ++c) out.push_back(g.TextMatrix(r, c));
    return out;
  }
};

TEST_F(SalesReturnTest, AReturnWithoutSourceKeepsEveryLineUpToTheFirstBlankCode) {
  // Another return's line holds serial 40: serials run over the whole table.
  Record().Set("SL_No", 40).Set("Sales_Rtn_No", "0101SRT9").Insert(*conn, "Sales_Return_Detail");
  auto g = HandGrid();
  SalesReturn r = Return(g);
  r.RefDate = Date::FromYmd(2026, 12, 1);  // without a source number it is not stored
  r.RefDocType = "DEL";
  ASSERT_TRUE(r.Create_Sales_Rtn()) << r.ErrDesc();
  EXPECT_EQ(r.SalesRtnNo, "0101SRTTMP1");
  EXPECT_EQ(r.SalesRtnIdentity, 1);
  EXPECT_EQ(r.CurrencySymbol, "BD");
  EXPECT_EQ(Scalar("SELECT Document_Temp_Next_No FROM Document_Prefix WHERE Document_Prefix = "
                   "'SRT' AND Branch_Prefix = '01'")
                .ToDouble(),
            2);

  // The local currency is stored at rate 1; no source, so no reference columns.
  EXPECT_EQ(Count("Sales_Return_Master",
                  "Sales_Rtn_No = '0101SRTTMP1' AND Sales_Rtn_Identity = 1 AND "
                  "Company_Prefix = '01' AND Document_Prefix = 'SRT' AND Exchange_Rate = 1 AND "
                  "Currency_Symbol = 'BD' AND Customer_Code = '01C001' AND Payment_Terms = "
                  "'30 days' AND Sales_Rtn_Total_Amount = 29.7 AND TaxRate = 10 AND "
                  "TaxAmount = 2.7 AND Allow_Cancel_Flag = 1 AND Processed_Flag = 0 AND "
                  "Ref_No IS NULL AND Ref_Date IS NULL AND Ref_Doc_Type IS NULL AND "
                  "Sales_Rtn_Comments = 'Damaged in transit'"),
            1);

  auto lines = conn->Query(
      "SELECT * FROM Sales_Return_Detail WHERE Sales_Rtn_No = '0101SRTTMP1' ORDER BY SL_No");
  ASSERT_EQ(lines.size(), 2u);
  Row paper = lines[0], lamp = lines[1];
  EXPECT_EQ(paper.Int32("SL_No"), 41);
  EXPECT_EQ(lamp.Int32("SL_No"), 42);
  EXPECT_EQ(paper.Text("Item_Code"), "01P100");
  EXPECT_EQ(paper.Text("Item_Name"), "Printer Paper A4");
  EXPECT_EQ(paper.Text("Unit_Name"), "Box");
  EXPECT_EQ(paper.Text("Period_Type"), "M");
  EXPECT_DOUBLE_EQ(paper.Double("Unit_Qty"), 12);
  EXPECT_DOUBLE_EQ(paper.Double("Sales_Rtn_Qty"), 2);
  EXPECT_DOUBLE_EQ(paper.Double("Sales_Rtn_Item_Amount"), 18);
  EXPECT_DOUBLE_EQ(paper.Double("Inventory_Value"), 5);
  EXPECT_DOUBLE_EQ(paper.Double("Ref_SL_No"), 7);
  // The grid's location is not kept; the overall shares only for a return of an invoice.
  EXPECT_EQ(paper.Text("Location_Name"), "Location1");
  EXPECT_EQ(paper.Int32("Location_ID"), 1);
  EXPECT_TRUE(paper.IsNull("Invoice_OverAll_Disc"));
  EXPECT_TRUE(paper.IsNull("Invoice_OverAll_FCDisc"));
  EXPECT_TRUE(paper.IsNull("Proj_No"));
  EXPECT_EQ(lamp.Text("Unit_Name"), "Pcs");
  EXPECT_TRUE(lamp.IsNull("Period_Type"));
  EXPECT_EQ(lamp.Text("Proj_No"), "0101PRJ0009");

  // Read back into a fresh object and grid.
  SalesReturn back;
  back.ConnectionString = cs;
  back.SalesRtnNo = r.SalesRtnNo;
  back.ExchangeRate = 5;
  ASSERT_TRUE(back.Get_Sales_Rtn()) << back.ErrDesc();
  EXPECT_EQ(back.SalesRtnIdentity, 1);
  EXPECT_EQ(back.DocumentPrefix, "SRT");
  EXPECT_EQ(back.SalesRtnDate, Date::FromYmd(2026, 12, 20));
  EXPECT_EQ(back.CustomerName, "Gulf Traders");
  EXPECT_EQ(back.PaymentType, "Credit");
  EXPECT_EQ(back.CurrencySymbol, "BD");
  EXPECT_EQ(back.ExchangeRate, 1);
  EXPECT_EQ(back.SalesRtnFCDiscAmount, 3);
  EXPECT_EQ(back.TaxDescription, "Standard rate");
  EXPECT_EQ(back.EmployeeName, "Mariam");
  EXPECT_TRUE(back.AllowCancelFlag);
  EXPECT_FALSE(back.ProcessedFlag);
  EXPECT_EQ(back.RefNo, "");

  auto shown = std::make_shared<MemoryGrid>(1, kCols);
  back.SalRetGridName = shown;
  ASSERT_TRUE(back.Populate_Details()) << back.ErrDesc();
  ASSERT_EQ(shown->Rows(), 4);  // two lines and an empty row
  const std::vector<std::string> first = {"0",         "P100",  "Printer Paper A4",
                                          "2",         "Box-M", "12",
                                          "2",         "10",    "",
                                          "1",         "0",     "18",
                                          "18",        "1",     "5",
                                          "41",        "10",    "",
                                          "Location1", "1",     "",
                                          "",          "",      "0",
                                          "",          "",      "",
                                          "7",         ""};
  EXPECT_EQ(Cells(*shown, 1), first);
  EXPECT_EQ(shown->TextMatrix(2, 18), "0101PRJ0009");
  EXPECT_EQ(shown->TextMatrix(2, 26), "0009");
  EXPECT_EQ(shown->TextMatrix(2, 16), "42");
  EXPECT_EQ(Cells(*shown, 3), std::vector<std::string>(kCols - 1));
}

TEST_F(SalesReturnTest, AReturnOfASourceKeepsItsTickedLinesAndIsRewrittenUntilProcessed) {
  auto g = HandGrid();
  // Row 1 ticked, row 2 not; a blank row 3 does not stop the walk; row 4 ticked "-1".
  g->SetTextMatrix(1, 1, "1");
  g->SetTextMatrix(4, 1, "-1");
  g->SetTextMatrix(4, 28, "9");
  SalesReturn r = Return(g);
  r.RefNo = "0101INV3";
  r.RefDate = Date::FromYmd(2026, 12, 10);
  r.RefDocType = "INV";
  r.ForeignCurrencyFlag = true;
  r.CurrencyCode = "USD";
  r.PaymentTerms = "";
  ASSERT_TRUE(r.Create_Sales_Rtn()) << r.ErrDesc();
  EXPECT_EQ(Count("Sales_Return_Master",
                  "Sales_Rtn_No = ? AND Ref_No = '0101INV3' AND Ref_Date = '2026-12-10' AND "
                  "Ref_Doc_Type = 'INV' AND Exchange_Rate = 0.377 AND Foreign_Currency_Flag = 1 "
                  "AND Currency_Symbol = '$' AND Payment_Terms IS NULL",
                  {r.SalesRtnNo}),
            1);
  auto items = [&] {
    std::vector<std::string> out;
    auto rs = conn->Query(
        "SELECT Item_Code, SL_No, Ref_SL_No, Sales_Rtn_Qty, Invoice_OverAll_FCDisc, "
        "Invoice_OverAll_Disc FROM Sales_Return_Detail WHERE Sales_Rtn_No = ? ORDER BY SL_No",
        {Value(r.SalesRtnNo)});
    for (std::size_t i = 0; i < rs.size(); ++i)
      out.push_back(rs[i].Text("Item_Code") + "/" + rs[i].Text("SL_No") + "/" +
                    rs[i].Text("Ref_SL_No") + "/" + rs[i].Text("Sales_Rtn_Qty") + "/" +
                    rs[i].Text("Invoice_OverAll_FCDisc") + "/" +
                    rs[i].Text("Invoice_OverAll_Disc"));
    return out;
  };
  EXPECT_EQ(items(), (std::vector<std::string>{"01P100/1/7/2/0.5/0.5", "01P200/2/9/1/0/0"}));

  // Saved again: the lamp ticked, the cartridge not, the paper's quantity changed. The lines get
  // new serials, after another return's line; each still names its source line.
  Record().Set("SL_No", 3).Set("Sales_Rtn_No", "0101SRT9").Insert(*conn, "Sales_Return_Detail");
  g->SetTextMatrix(2, 1, "1");
  g->SetTextMatrix(4, 1, "0");
  g->SetTextMatrix(1, 7, "1");
  r.CustomerName = "Gulf Traders W.L.L.";
  ASSERT_TRUE(r.Update_Sales_Rtn()) << r.ErrDesc();
  EXPECT_EQ(r.SalesRtnNo, "0101SRTTMP1");
  EXPECT_EQ(items(), (std::vector<std::string>{"01P100/4/7/1/0.5/0.5", "01P300/5/8/1/0/0"}));
  EXPECT_EQ(Count("Sales_Return_Master", "Customer_Name = 'Gulf Traders W.L.L.'"), 1);

  // Read back with no payment terms: the property keeps what it held.
  SalesReturn back;
  back.ConnectionString = cs;
  back.SalesRtnNo = r.SalesRtnNo;
  back.PaymentTerms = "kept";
  ASSERT_TRUE(back.Get_Sales_Rtn()) << back.ErrDesc();
  EXPECT_EQ(back.PaymentTerms, "kept");
  EXPECT_EQ(back.RefNo, "0101INV3");
  EXPECT_EQ(back.RefDate, Date::FromYmd(2026, 12, 10));
  EXPECT_EQ(back.RefDocType, "INV");
  EXPECT_EQ(back.ExchangeRate, 0.377);
  EXPECT_TRUE(back.ForeignCurrencyFlag);

  // Processed, it shows every line ticked and refuses to be rewritten.
  conn->Execute("UPDATE Sales_Return_Master SET Processed_Flag = 1 WHERE Sales_Rtn_No = ?",
                {Value(r.SalesRtnNo)});
  ASSERT_TRUE(back.Get_Sales_Rtn()) << back.ErrDesc();
  auto shown = std::make_shared<MemoryGrid>(9, kCols);
  back.SalRetGridName = shown;
  ASSERT_TRUE(back.Populate_Details()) << back.ErrDesc();
  EXPECT_EQ(shown->Rows(), 4);
  EXPECT_EQ(shown->TextMatrix(1, 1), "-1");
  EXPECT_EQ(shown->TextMatrix(2, 1), "-1");
  EXPECT_EQ(shown->TextMatrix(1, 24), "0.5");
  g->SetTextMatrix(1, 7, "5");
  EXPECT_FALSE(r.Update_Sales_Rtn());
  EXPECT_EQ(r.ErrDesc(), "Already Processed");
  EXPECT_EQ(items(), (std::vector<std::string>{"01P100/4/7/1/0.5/0.5", "01P300/5/8/1/0/0"}));

  // A number nobody has, or none.
  SalesReturn none;
  none.ConnectionString = cs;
  none.SalRetGridName = std::make_shared<MemoryGrid>(1, kCols);
  EXPECT_FALSE(none.Get_Sales_Rtn());
  EXPECT_EQ(none.ErrDesc(), "Invalid Sales Return Number");
  EXPECT_FALSE(none.Update_Sales_Rtn());
  EXPECT_EQ(none.ErrDesc(), "Invalid Sales Return Number");
  none.SalesRtnNo = "0101SRTTMP77";
  EXPECT_FALSE(none.Get_Sales_Rtn());
  EXPECT_EQ(none.ErrDesc(), "Invalid Sales Return Number");
  SalesReturn quiet;
  quiet.ConnectionString = cs;
  quiet.SalesRtnNo = "0101SRTTMP77";
  quiet.SalRetGridName = std::make_shared<MemoryGrid>(3, kCols);
  EXPECT_FALSE(quiet.Populate_Details());
  EXPECT_EQ(quiet.ErrDesc(), "");
  EXPECT_EQ(quiet.SalRetGridName->Rows(), 3);
}

TEST_F(SalesReturnTest, ByNameTheAccessRulesHold) {
  auto o = CreateObject("QLNSales.SalesReturn");
  for (const char* p :
       {"SalesInvoiceType", "DocFlag", "manualDocIdentity", "AdoConnectionObject"}) {
    EXPECT_TRUE(o->HasProperty(p)) << p;
    EXPECT_THROW(o->Get(p), Error) << p;
  }
  EXPECT_THROW(o->Set("ErrDesc", Value("x")), Error);
  // Trimmed on set, numbers and dates too; the source's date is a date.
  o->Set("CustomerCode", Value("  01C001 "));
  o->Set("SalesRtnSubTotal", Value(" 12.5 "));
  o->Set("SalesRtnDate", Value(" 2026-12-20 "));
  o->Set("RefDate", Value("2026-12-10"));
  o->Set("RefNo", Value(" 0101INV3 "));
  EXPECT_EQ(o->Get("CustomerCode").ToText(), "01C001");
  EXPECT_EQ(o->Get("SalesRtnSubTotal").ToDouble(), 12.5);
  EXPECT_EQ(o->Get("SalesRtnDate").ToDate(), Date::FromYmd(2026, 12, 20));
  EXPECT_EQ(o->Get("RefDate").ToDate(), Date::FromYmd(2026, 12, 10));
  EXPECT_EQ(o->Get("RefNo").ToText(), " 0101INV3 ");  // not a trimmed property
}

TEST_F(SalesReturnTest, TheLookUpsAnswerFromTheirConnections) {
  auto shell = std::make_shared<ScriptedShell>();
  SetShell(shell);
  SalesReturn r = Return(nullptr);
  EXPECT_EQ(r.GetFldValue("Item_Master", "Item_Name", "Item_Code", "01P300", false, {}, {}, {}),
            "Desk Lamp");
  EXPECT_EQ(r.GetFldValue("Item_Master", "Item_Name", "Item_Code", "01X999", false, {}, {}, {}),
            "");
  EXPECT_TRUE(r.ExistDocument("Item_Master", "Item_Code", "01P100", false, {}, {}, {}));
  EXPECT_FALSE(r.ExistDocument("Voucher_Master", "Voucher_No", "0101CRM1", false, {}, {}, {}));
  // A table that does not exist: a message, and the empty answer.
  EXPECT_EQ(r.GetFldValue("No_Such_Table", "X", {}, {}, {}, {}, {}, {}), "");
  EXPECT_FALSE(shell->messages().empty());
  SetShell(nullptr);
}

// Real sources, made and processed through their classes: customer 01C001's order delivered as
// 0101DEL1 (5 packs of 12 sheets of paper, 4 cartridges from the showroom, 3 hours of
// installation) and 0101DEL2 (3 more packs, an hour of installation); two lamps delivered direct
// as 0101DDL1; DEL1's paper billed in two parts, 2 packs on 0101INV1 with the cartridges and the
// lamps and 3 packs on 0101INV2; and a cash memo with paper on two lines. Paper costs 2.5 a sheet,
// cartridges 12, lamps 30.
class SalesReturnSourcesTest : public SalesReturnTest {
 protected:
  struct Goods {
    const char* code;
    const char* unit;
    const char* unit_qty;
    const char* qty;
    const char* price;
    const char* location;
    const char* location_id;
  };

  void SetUp() override {
    SalesReturnTest::SetUp();
    Record()
        .Set("Customer_Code", "01C001")
        .Set("Company_Prefix", "01")
        .Set("Customer_Name", "Gulf Traders")
        .Set("Customer_Balance", 0.0)
        .Insert(*conn, "Customer_Master");
    ASSERT_EQ(Deliver({{"P100", "Pack-M", "12", "5", "40", "Location1", "1"},
                       {"P200", "Pcs", "1", "4", "20", "Showroom", "2"},
                       {"S100", "Hour", "1", "3", "20", "Location1", "1"}}),
              "0101DEL1");
    ASSERT_EQ(Deliver({{"P100", "Pack-M", "12", "3", "40", "Location1", "1"},
                       {"S100", "Hour", "1", "1", "20", "Location1", "1"}}),
              "0101DEL2");
    DeliverLamps();
    ASSERT_EQ(Invoice({{"0101DEL1", "01P100", 12, 2, 40},
                       {"0101DEL1", "01P200", 1, 4, 20},
                       {"0101DDL1", "01P300", 1, 2, 45}}),
              "0101INV1");
    ASSERT_EQ(Invoice({{"0101DEL1", "01P100", 12, 3, 40}}), "0101INV2");
  }

  std::string Deliver(const std::vector<Goods>& goods) {
    auto og = std::make_shared<MemoryGrid>(static_cast<std::int32_t>(goods.size()) + 2, 18);
    for (std::size_t i = 0; i < goods.size(); ++i) {
      const Goods& g = goods[i];
      const std::string amount = std::to_string(std::stoi(g.qty) * std::stoi(g.price));
      Fill(*og, static_cast<std::int32_t>(i + 1),
           {{1, g.code},
            {2, g.code},
            {4, g.unit},
            {5, g.unit_qty},
            {6, g.qty},
            {7, g.price},
            {10, amount},
            {11, amount},
            {15, g.price},
            {17, "0"}});
    }
    SalesOrder o;
    o.AdoConnectionObject = conn;
    o.OrderGridName = og;
    o.CompanyPrefix = o.BranchPrefix = "01";
    o.DocumentPrefix = "SOR";
    o.CustomerCode = "01C001";
    o.CustomerName = "Gulf Traders";
    o.PaymentType = "Credit";
    o.CurrencyCode = "BHD";
    EXPECT_TRUE(o.Create_Order()) << o.ErrDesc();
    Delivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
    d.CompanyPrefix = d.BranchPrefix = "01";
    d.DocumentPrefix = d.StockMovementPrefix = "DEL";
    d.SourceNo = o.SalesOrdNo;
    d.CustomerCode = "01C001";
    d.CustomerName = "Gulf Traders";
    d.PaymentType = "Credit";
    d.CurrencyCode = "BHD";
    d.DeliveryDate = d.DeliveryEndDate = Date::FromYmd(2026, 12, 4);
    d.LastUpdate = Date::FromYmd(2026, 12, 4);
    d.OnlineFlag = true;
    EXPECT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
    for (std::size_t i = 0; i < goods.size(); ++i)
      Fill(*d.DeliveryGridName, static_cast<std::int32_t>(i + 1),
           {{1, "1"}, {20, goods[i].location}, {21, goods[i].location_id}});
    EXPECT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
    std::string source = "SalesOrder";
    EXPECT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
    return d.DeliveryNo;
  }

  void DeliverLamps() {
    auto g = std::make_shared<MemoryGrid>(3, 19);
    Fill(*g, 1,
         {{1, "P300"},
          {2, "Desk Lamp"},
          {4, "Pcs"},
          {5, "1"},
          {6, "2"},
          {7, "45"},
          {8, "10"},
          {9, "4.5"},
          {10, "81"},
          {11, "81"},
          {12, "4.5"},
          {13, "45"},
          {14, "Showroom"},
          {15, "0101PRJ0009"},
          {17, "2"},
          {18, "0"}});
    DirectDelivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = g;
    d.CompanyPrefix = d.BranchPrefix = "01";
    d.DocumentPrefix = d.StockMovementPrefix = "DDL";
    d.CustomerCode = "01C001";
    d.CustomerName = "Gulf Traders";
    d.PaymentType = "Credit";
    d.CurrencyCode = "BHD";
    d.DirectDeliveryDate = d.DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
    d.DirectDeliverySubtotal = d.DirectDeliveryTotalAmount = 81;
    d.DirectDeliveryFCSubtotal = d.DirectDeliveryFCTotalAmount = 81;
    d.LastUpdate = Date::FromYmd(2026, 12, 5);
    d.OnlineFlag = true;
    ASSERT_TRUE(d.Create_Direct_Delivery()) << d.ErrDesc();
    ASSERT_TRUE(d.Process_Direct_Delivery()) << d.ErrDesc();
    ASSERT_EQ(d.DirectDeliveryNo, "0101DDL1");
  }

  struct Billed {
    const char* delivery;
    const char* item;
    double unit_qty, qty, price;
  };
  // An invoice saved as its rows, as the invoice's own save leaves them, then processed.
  std::string Invoice(const std::vector<Billed>& lines) {
    const std::string number = "0101INVTMP" + std::to_string(++drafts_);
    double subtotal = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Billed& l = lines[i];
      const bool direct = std::string(l.delivery).find("DDL") != std::string::npos;
      const double amount = l.qty * l.price;
      subtotal += amount;
      Record()
          .Set("Sales_Inv_No", number)
          .Set("SL_No", static_cast<std::int32_t>(i + 1))
          .Set("Item_Code", l.item)
          .Set("Item_Name", l.item)
          .Set("TaxType", "Taxable")
          .Set("Unit_Code", 1.0)
          .Set("Unit_Name", l.unit_qty == 1 ? "Pcs" : "Pack")
          .Set("Period_Type", l.unit_qty == 1 ? Value() : Value("M"))
          .Set("FOC_Flag", 0.0)
          .Set("Unit_Qty", l.unit_qty)
          .Set("Sales_Inv_Qty", l.qty)
          .Set("Delivery_Qty", l.qty)
          .Set("Sales_Inv_Unit_Price", l.price)
          .Set("Sales_Inv_FC_Unit_Price", l.price)
          .Set("Sales_Inv_Dtl_Disc_Amount", 1.0)
          .Set("Sales_Inv_Dtl_FC_Disc_Amount", 1.0)
          .Set("Sales_Ord_Overall_Disc", 0.0)
          .Set("Sales_Ord_Overall_FC_Disc", 0.0)
          .Set("Sales_Inv_Item_Amount", amount)
          .Set("Sales_Inv_FC_Item_Amount", amount)
          .Set("Delivery_Dtl_SL_No",
               Scalar(std::string("SELECT SL_No FROM ") +
                          (direct ? "Direct_Delivery_Detail WHERE Direct_Delivery_No"
                                  : "Delivery_Detail WHERE Delivery_No") +
                          " = ? AND Item_Code = ?",
                      {Value(l.delivery), Value(l.item)})
                   .ToDouble())
          .Set("Delivery_Flag", direct ? "Direct" : "SalesOrder")
          .Set("Delivery_No", l.delivery)
          .Insert(*conn, "Sales_Invoice_Detail");
    }
    Record()
        .Set("Sales_Inv_No", number)
        .Set("Sales_Inv_Identity", drafts_)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Document_Prefix", "INV")
        .Set("Customer_Code", "01C001")
        .Set("Customer_Name", "Gulf Traders")
        .Set("Payment_Type", "Credit")
        .Set("Exchange_Rate", 1.0)
        .Set("Currency_Code", "BHD")
        .Set("Sales_Inv_Date", Date::FromYmd(2026, 12, 10))
        .Set("Sales_Inv_SubTotal", subtotal)
        .Set("Sales_Inv_FC_SubTotal", subtotal)
        .Set("Sales_Inv_Disc_Percent", 0.0)
        .Set("Sales_Inv_Tax_Percent", 0.0)
        .Set("Sales_Inv_Total_Amount", subtotal)
        .Set("Sales_Inv_FC_Total_Amount", subtotal)
        .Set("Balance_Amount", subtotal)
        .Set("TaxCode", "0101STD")
        .Set("TaxDescription", "Standard rate")
        .Set("Processed_Flag", 0)
        .Insert(*conn, "Sales_Invoice_Master");
    SalesInvoice s;
    s.ADOConnectionString = cs;
    s.AdoDBConnectionObject = conn;
    s.InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
    s.SalesInvNo = number;
    s.SalesLogPrefix = "SLG";
    s.AmtDig = 2;
    s.LastUpdate = Date::FromYmd(2026, 12, 10);
    s.OnlineFlag = true;
    EXPECT_TRUE(s.Process_Invoice()) << s.ErrDesc();
    return s.SalesInvNo;
  }

  // The source line's returned base quantity, as an earlier return would have left it.
  void Returned(const char* table, const char* number_column, const std::string& number,
                const char* item, double base_qty) {
    conn->Execute(std::string("UPDATE ") + table + " SET Return_Qty = ? WHERE " + number_column +
                      " = ? AND Item_Code = ?",
                  {Value(base_qty), Value(number), Value(item)});
  }

  double Cost(const char* table, const char* number_column, const std::string& number,
              const char* item) {
    return Scalar(std::string("SELECT Inventory_Value FROM ") + table + " WHERE " + number_column +
                      " = ? AND Item_Code = ?",
                  {Value(number), Value(item)})
        .ToDouble();
  }

  bool Greyed(const MemoryGrid& g, std::int32_t r) {
    const Value grey(static_cast<std::int32_t>(0x80000011));
    const bool name = g.CellProperty(Grid::kCellForeColor, r, 19).ToText() == grey.ToText();
    const bool id = g.CellProperty(Grid::kCellForeColor, r, 20).ToText() == grey.ToText();
    EXPECT_EQ(name, id) << "row " << r;
    return name && id;
  }

  SalesReturn Reader() {
    SalesReturn r;
    r.ConnectionString = cs;
    r.AdoConnectionObject = conn;
    r.CompanyPrefix = "01";
    return r;
  }

  int drafts_ = 0;
};

TEST_F(SalesReturnSourcesTest, AnInvoiceOffersEachLineOnceAtTheCostOfThePartItBilled) {
  // Each delivery's cost is what stock gave out: 60 sheets of paper, 4 cartridges, 2 lamps.
  ASSERT_DOUBLE_EQ(Cost("Delivery_Detail", "Delivery_No", "0101DEL1", "01P100"), 150);
  ASSERT_DOUBLE_EQ(Cost("Delivery_Detail", "Delivery_No", "0101DEL1", "01P200"), 48);
  ASSERT_DOUBLE_EQ(Cost("Direct_Delivery_Detail", "Direct_Delivery_No", "0101DDL1", "01P300"), 60);

  SalesReturn r = Reader();
  r.TaxCode = "old";
  auto g = std::make_shared<MemoryGrid>(5, kCols);
  g->SetTextMatrix(4, 3, "an earlier listing");
  GridRef grid = g;
  std::string number = "0101INV1";
  std::optional<bool> saved;
  ASSERT_TRUE(r.Get_Sales_Invoice(number, grid, saved)) << r.ErrDesc();
  EXPECT_EQ(r.RefNo, "0101INV1");
  EXPECT_EQ(r.RefDate, Date::FromYmd(2026, 12, 10));
  EXPECT_EQ(r.CustomerCode, "01C001");
  EXPECT_EQ(r.CustomerName, "Gulf Traders");
  EXPECT_EQ(r.CurrencyCode, "BHD");
  EXPECT_EQ(r.PaymentType, "Credit");
  EXPECT_EQ(r.TaxCode, "STD");
  EXPECT_EQ(r.TaxDescription, "Standard rate");
  EXPECT_EQ(r.ExchangeRate, 1);
  // Three invoice lines, each once, beside its own delivery line.
  ASSERT_EQ(g->Rows(), 4);
  // 2 of DEL1's 5 packs: two fifths of its cost.
  const std::vector<std::string> paper = {
      "0", "P100", "01P100", "1", "Pack-M", "12", "2",  "40", "2.5",       "1",
      "0", "80",   "80",     "1", "60",     "",   "40", "",   "Location1", "1",
      "2", "1",    "1",      "0", "Pack",   "",   "60", "1",  "Taxable"};
  EXPECT_EQ(Cells(*g, 1), paper);
  EXPECT_EQ(g->TextMatrix(2, 2), "P200");
  EXPECT_EQ(g->TextMatrix(2, 5), "Pcs");
  EXPECT_EQ(g->TextMatrix(2, 15), "48");
  EXPECT_EQ(g->TextMatrix(2, 19), "Showroom");
  EXPECT_EQ(g->TextMatrix(2, 20), "2");
  EXPECT_EQ(g->TextMatrix(2, 28), "2");
  // The lamps came from the direct delivery, with its project kept on the delivery line only.
  EXPECT_EQ(g->TextMatrix(3, 2), "P300");
  EXPECT_EQ(g->TextMatrix(3, 7), "2");
  EXPECT_EQ(g->TextMatrix(3, 15), "60");
  EXPECT_EQ(g->TextMatrix(3, 19), "Showroom");
  EXPECT_EQ(g->TextMatrix(3, 28), "3");
  for (std::int32_t row = 1; row <= 3; ++row) EXPECT_FALSE(Greyed(*g, row));

  // The other part of the same delivery line, one pack of it returned already (12 sheets): 2
  // packs left, their amounts, and 24 of the 60 sheets' cost.
  Returned("Sales_Invoice_Detail", "Sales_Inv_No", "0101INV2", "01P100", 12);
  number = "0101INV2";
  ASSERT_TRUE(r.Get_Sales_Invoice(number, grid, saved)) << r.ErrDesc();
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(g->TextMatrix(1, 7), "2");
  EXPECT_EQ(g->TextMatrix(1, 21), "2");
  EXPECT_EQ(g->TextMatrix(1, 12), "78");
  EXPECT_EQ(g->TextMatrix(1, 13), "78");
  EXPECT_EQ(g->TextMatrix(1, 15), "60");
  EXPECT_EQ(g->TextMatrix(1, 27), "60");
  // A third of a pack (4 sheets) more: the rest of the line is still offered, in packs.
  Returned("Sales_Invoice_Detail", "Sales_Inv_No", "0101INV2", "01P100", 16);
  ASSERT_TRUE(r.Get_Sales_Invoice(number, grid, saved)) << r.ErrDesc();
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_NEAR(g->ValueMatrix(1, 7), 3 - 16.0 / 12, 1e-12);
  EXPECT_DOUBLE_EQ(g->ValueMatrix(1, 15), 20 * 2.5);
  // All of it back, give or take rounding noise: nothing left to offer, and nothing changes.
  Returned("Sales_Invoice_Detail", "Sales_Inv_No", "0101INV2", "01P100", 36 - 1e-12);
  r.RefNo = "kept";
  ASSERT_TRUE(r.Get_Sales_Invoice(number, grid, saved)) << r.ErrDesc();
  EXPECT_EQ(g->Rows(), 2);
  EXPECT_EQ(r.RefNo, "kept");
  // An invoice not processed offers nothing.
  conn->Execute("UPDATE Sales_Invoice_Master SET Processed_Flag = 0 WHERE Sales_Inv_No = ?",
                {Value("0101INV1")});
  number = "0101INV1";
  ASSERT_TRUE(r.Get_Sales_Invoice(number, grid, saved)) << r.ErrDesc();
  EXPECT_EQ(r.RefNo, "kept");

  // By name, with the optional argument left out.
  auto o = CreateObject("QLNSales.SalesReturn");
  o->Set("ConnectionString", Value(cs));
  auto byname = std::make_shared<MemoryGrid>(1, kCols);
  std::vector<Value> args{Value("0101DEL2"), Value(ObjectRef(byname))};
  EXPECT_TRUE(o->Invoke("Get_Delivery", args).ToBool());
  EXPECT_EQ(byname->Rows(), 3);
}

TEST_F(SalesReturnSourcesTest, ADeliveryOffersWhatIsNeitherInvoicedNorReturned) {
  SalesReturn r = Reader();
  auto g = std::make_shared<MemoryGrid>(1, kCols);
  GridRef grid = g;
  std::optional<bool> saved;
  // Every line of DEL1 is billed but the installation.
  std::string number = "0101DEL1";
  ASSERT_TRUE(r.Get_Delivery(number, grid, saved)) << r.ErrDesc();
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(g->TextMatrix(1, 2), "S100");
  EXPECT_EQ(r.RefNo, "0101DEL1");
  EXPECT_EQ(r.RefDate, Date::FromYmd(2026, 12, 4));
  // A service holds no stock: its location cells are greyed.
  EXPECT_TRUE(Greyed(*g, 1));

  // DEL2: 3 packs of paper, a pack and a half (18 sheets) returned already.
  const double cost = Cost("Delivery_Detail", "Delivery_No", "0101DEL2", "01P100");
  ASSERT_DOUBLE_EQ(cost, 90);
  Returned("Delivery_Detail", "Delivery_No", "0101DEL2", "01P100", 18);
  conn->Execute(
      "UPDATE Delivery_Detail SET Period_Type = 'M' WHERE Delivery_No = '0101DEL2' AND "
      "Item_Code = '01P100'");
  number = "0101DEL2";
  ASSERT_TRUE(r.Get_Delivery(number, grid, saved)) << r.ErrDesc();
  ASSERT_EQ(g->Rows(), 3);
  EXPECT_EQ(g->TextMatrix(1, 2), "P100");
  EXPECT_EQ(g->TextMatrix(1, 5), "Pack-M");
  EXPECT_EQ(g->TextMatrix(1, 7), "1.5");
  EXPECT_EQ(g->TextMatrix(1, 21), "1.5");
  EXPECT_EQ(g->TextMatrix(1, 12), "60");
  EXPECT_EQ(g->TextMatrix(1, 13), "60");
  EXPECT_EQ(g->TextMatrix(1, 15), "45");
  EXPECT_EQ(g->TextMatrix(1, 27), "45");
  EXPECT_EQ(g->TextMatrix(1, 19), "Location1");
  EXPECT_EQ(g->TextMatrix(1, 20), "1");
  EXPECT_EQ(g->TextMatrix(1, 29), "");
  EXPECT_FALSE(Greyed(*g, 1));
  EXPECT_EQ(g->TextMatrix(2, 2), "S100");
  EXPECT_EQ(g->TextMatrix(2, 7), "1");
  EXPECT_EQ(g->TextMatrix(2, 13), "20");
  EXPECT_TRUE(Greyed(*g, 2));

  // The return saved from the reader's grid, its paper ticked, and read back.
  g->SetTextMatrix(1, 1, "1");
  r.SalRetGridName = g;
  r.BranchPrefix = "01";
  r.DocumentPrefix = "SRT";
  r.RefDocType = "DEL";
  r.LastUpdate = Date::FromYmd(2026, 12, 20);
  ASSERT_TRUE(r.Create_Sales_Rtn()) << r.ErrDesc();
  EXPECT_EQ(
      Count("Sales_Return_Detail",
            "Sales_Rtn_No = ? AND Item_Code = '01P100' AND Sales_Rtn_Qty = 1.5 AND "
            "Unit_Qty = 12 AND Inventory_Value = 45 AND Ref_SL_No = ?",
            {Value(r.SalesRtnNo), Scalar("SELECT SL_No FROM Delivery_Detail WHERE "
                                         "Delivery_No = '0101DEL2' AND Item_Code = '01P100'")}),
      1);
  EXPECT_EQ(Count("Sales_Return_Detail", "Sales_Rtn_No = ?", {Value(r.SalesRtnNo)}), 1);
  EXPECT_EQ(Count("Sales_Return_Master",
                  "Sales_Rtn_No = ? AND Ref_No = '0101DEL2' AND Ref_Doc_Type = 'DEL' AND "
                  "Customer_Code = '01C001'",
                  {Value(r.SalesRtnNo)}),
            1);

  // A delivery paid by a cash memo is returned against the memo.
  conn->Execute("UPDATE Delivery_Master SET Paid_Flag = 1 WHERE Delivery_No = '0101DEL2'");
  r.RefNo = "kept";
  ASSERT_TRUE(r.Get_Delivery(number, grid, saved)) << r.ErrDesc();
  EXPECT_EQ(r.RefNo, "kept");
}

TEST_F(SalesReturnSourcesTest, ADirectDeliveryAndACashMemoOfferTheirOwnLines) {
  SalesReturn r = Reader();
  auto g = std::make_shared<MemoryGrid>(1, kCols);
  GridRef grid = g;
  std::optional<bool> saved;
  // The lamps are billed on INV1: a direct delivery offers only what no invoice billed.
  std::string number = "0101DDL1";
  ASSERT_TRUE(r.Get_Direct_Delivery(number, grid, saved)) << r.ErrDesc();
  EXPECT_EQ(g->Rows(), 1);
  conn->Execute(
      "UPDATE Direct_Delivery_Detail SET Invoiced_Qty = 0, Return_Qty = 1 WHERE "
      "Direct_Delivery_No = '0101DDL1'");
  ASSERT_TRUE(r.Get_Direct_Delivery(number, grid, saved)) << r.ErrDesc();
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(r.RefNo, "0101DDL1");
  const std::vector<std::string> lamp = {
      "0", "P300", "Desk Lamp", "0",   "Pcs", "1",    "1",  "45",          "10",       "4.5",
      "0", "40.5", "40.5",      "4.5", "30",  "",     "45", "0101PRJ0009", "Showroom", "2",
      "1", "4.5",  "4.5",       "0",   "Pcs", "0009", "30", "1",           ""};
  auto cells = Cells(*g, 1);
  cells[27] = cells[27].empty() ? "" : "1";  // the serial of the line, whatever it is
  EXPECT_EQ(cells, lamp);
  EXPECT_FALSE(Greyed(*g, 1));

  // A cash memo: paper twice, then a cartridge; the paper is offered once, from its first line.
  refdata::AddOpeningStock(*conn, "01", "01", "01P100", 1, 50, 2.5);
  auto mg = std::make_shared<MemoryGrid>(5, 22);
  auto line = [&](int row, const char* code, const char* qty, const char* price, const char* amount,
                  const char* taxable) {
    Fill(*mg, row,
         {{1, code},
          {2, code},
          {3, taxable},
          {5, "Pcs"},
          {6, "1"},
          {7, qty},
          {11, amount},
          {12, amount},
          {14, price},
          {19, "0"},
          {20, "Location1"},
          {21, "1"}});
  };
  line(1, "P100", "2", "5", "10", "1");
  line(2, "P100", "3", "5", "15", "1");
  line(3, "P200", "1", "20", "20", "0");
  CashMemo m;
  m.ADOConnectionString = cs;
  m.AdoDBConnectionObject = conn;
  m.CMGridName = mg;
  m.CompanyPrefix = m.BranchPrefix = "01";
  m.DocumentPrefix = m.StockMovementPrefix = "CHM";
  m.CustomerCode = "01C002";
  m.CustomerName = "Harbour Marine Supplies";
  m.PaymentType = "Cash";
  m.CurrencyCode = "BHD";
  m.CashMemoDate = m.CashMemoEndDate = Date::FromYmd(2026, 12, 6);
  m.CashMemoSubTotal = m.CashMemoFCSubTotal = 45;
  m.CashMemoDiscPercent = 10;
  m.CashMemoDiscAmount = m.CashMemoFcDiscAmount = 4.5;
  m.TaxCode = "0101STD";
  m.CashMemoTaxPercent = 10;
  m.CashMemoTaxAmount = 4.05;
  m.CashMemoTotalAmount = m.CashMemoFCTotalAmount = 44.55;
  m.AmtDig = 2;
  m.LastUpdate = Date::FromYmd(2026, 12, 6);
  m.OnlineFlag = true;
  ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
  ASSERT_TRUE(m.Process()) << m.ErrDesc();
  number = m.CashMemoNo;
  ASSERT_TRUE(r.Get_CashMemo(number, grid, saved)) << r.ErrDesc();
  EXPECT_EQ(r.RefNo, m.CashMemoNo);
  EXPECT_EQ(r.CustomerCode, "01C002");
  EXPECT_EQ(r.PaymentType, "Cash");
  EXPECT_EQ(r.TaxCode, "STD");
  EXPECT_EQ(r.TaxRate, 10);
  EXPECT_EQ(r.DiscPercent, 10);
  ASSERT_EQ(g->Rows(), 3);
  EXPECT_EQ(g->TextMatrix(1, 2), "P100");
  EXPECT_EQ(g->TextMatrix(1, 7), "2");
  EXPECT_EQ(g->TextMatrix(1, 15), "5");
  EXPECT_EQ(g->TextMatrix(1, 29), "Taxable");
  EXPECT_EQ(g->TextMatrix(2, 2), "P200");
  EXPECT_EQ(g->TextMatrix(2, 15), "12");
  EXPECT_EQ(g->TextMatrix(2, 29), "Exempted");
  EXPECT_EQ(g->TextMatrix(2, 11), "0");

  // Once the first paper line is all back, the second one is offered.
  conn->Execute(
      "UPDATE Cash_Memo_Detail SET Return_Qty = Cash_Memo_Qty WHERE Cash_Memo_No = ? AND "
      "Cash_Memo_Qty = 2",
      {Value(m.CashMemoNo)});
  ASSERT_TRUE(r.Get_CashMemo(number, grid, saved)) << r.ErrDesc();
  ASSERT_EQ(g->Rows(), 3);
  EXPECT_EQ(g->TextMatrix(1, 7), "3");
  EXPECT_EQ(g->TextMatrix(1, 15), "7.5");
  // Nothing left: the memo's own message, and the grid as it was.
  conn->Execute("UPDATE Cash_Memo_Detail SET Return_Qty = Cash_Memo_Qty WHERE Cash_Memo_No = ?",
                {Value(m.CashMemoNo)});
  EXPECT_FALSE(r.Get_CashMemo(number, grid, saved));
  EXPECT_EQ(r.ErrDesc(), " Delivery not created for this Cash Memo..");
  EXPECT_EQ(g->Rows(), 3);
}

}  // namespace
}  // namespace qlnsales::testing
