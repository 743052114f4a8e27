#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_return.h"
#include "qlnsales/shell.h"
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
    // A blank code ends a return without source: row 4 is never looked at.
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

TEST_F(SalesReturnTest, ByNameEveryMemberIsThereWithItsAccess) {
  auto o = CreateObject("QLNSales.SalesReturn");
  for (const char* p : {"DiscPercent",
                        "TaxDescription",
                        "TaxCode",
                        "TaxRate",
                        "TaxAmount",
                        "AmtDig",
                        "RefDocType",
                        "VoucherNo",
                        "RefDate",
                        "Database",
                        "RefNo",
                        "ExchangeRate",
                        "OnlineFlag",
                        "SyncFlag",
                        "SalesLogPrefix",
                        "LocationID",
                        "LocationName",
                        "ConnectionString",
                        "CompanyPrefix",
                        "BranchPrefix",
                        "DocumentPrefix",
                        "SalesRtnNo",
                        "SalesRtnIdentity",
                        "SalesRtnDate",
                        "CustomerCode",
                        "CustomerName",
                        "PaymentTerms",
                        "PaymentType",
                        "ForeignCurrencyFlag",
                        "CurrencyCode",
                        "CurrencySymbol",
                        "SalesRtnSubTotal",
                        "SalesRtnDiscAmount",
                        "SalesRtnTotalAmount",
                        "SalesRtnFCSubTotal",
                        "SalesRtnFCDiscAmount",
                        "SalesRtnFCTotalAmount",
                        "CancelFlag",
                        "AllowCancelFlag",
                        "ProcessedFlag",
                        "SalesRtnComments",
                        "EmployeeID",
                        "EmployeeName",
                        "YearEndFlag",
                        "SalesRtnRefNo",
                        "SalRetGridName",
                        "LastUpdate",
                        "StockMovementPrefix"}) {
    EXPECT_TRUE(o->HasProperty(p)) << p;
    EXPECT_NO_THROW(o->Get(p)) << p;
  }
  for (const char* p :
       {"SalesInvoiceType", "DocFlag", "manualDocIdentity", "AdoConnectionObject"}) {
    EXPECT_TRUE(o->HasProperty(p)) << p;
    EXPECT_THROW(o->Get(p), Error) << p;
  }
  EXPECT_THROW(o->Set("ErrDesc", Value("x")), Error);
  for (const char* m : {"Create_Sales_Rtn", "Update_Sales_Rtn", "Get_Sales_Rtn", "Populate_Details",
                        "Get_Sales_Invoice", "Get_Delivery", "Get_Direct_Delivery", "Get_CashMemo",
                        "Return_Process", "UpdateReturnSource", "Update_Source",
                        "Generate_Credit_Memo", "Create_Voucher_Master", "Create_Voucher_Detail",
                        "Process_CreditMemo", "GetFldValue", "ExistDocument"})
    EXPECT_TRUE(o->HasMethod(m)) << m;

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

}  // namespace
}  // namespace qlnsales::testing
