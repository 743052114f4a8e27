#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class SalesOrderTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    grid = std::make_shared<MemoryGrid>(5, 18);
  }
  SalesOrder Order() {
    SalesOrder o;
    o.ADOConnectionString = cs;
    o.AdoConnectionObject = conn;
    o.OrderGridName = grid;
    o.CompanyPrefix = "01";
    o.BranchPrefix = "01";
    o.DocumentPrefix = "SOR";
    o.CustomerCode = "01C001";
    o.CustomerName = "Gulf Traders";
    o.PaymentType = "Credit";
    o.PaymentTerms = "30 days";
    o.SalesOrdDate = Date::FromYmd(2026, 12, 3);
    o.DeliveryDate = Date::FromYmd(2026, 12, 10);
    o.ForeignCurrencyFlag = true;
    o.CurrencyCode = "USD";
    o.ExchangeRate = 0.377;
    o.SalesOrdSubTotal = 75;
    o.SalesOrdFCSubTotal = 198.9;
    o.SalesOrdDiscPercent = 10;
    o.SalesOrdDiscAmount = 7.5;
    o.SalesOrdFCDiscAmount = 19.89;
    o.SalesOrdTotalAmount = 67.5;
    o.SalesOrdFCTotalAmount = 179.01;
    o.EmployeeID = "E7";
    o.EmployeeName = "Huda";
    o.CustomerPONo = "PO-55";
    o.CustomerPODate = Date::FromYmd(2026, 12, 1);
    o.AmtDig = 3;
    o.LastUpdate = Date::FromYmd(2026, 12, 3, 14, 5);
    return o;
  }
  void Line(int r, std::vector<std::pair<int, std::string>> cells) {
    for (auto& [c, t] : cells) grid->SetTextMatrix(r, c, t);
  }
  // A stock line, a blank row, a service line without item code (unit with period), a free line.
  void FourRows() {
    Line(1, {{1, "P100"},
             {2, "Printer Paper A4"},
             {3, "1"},
             {4, "Box"},
             {5, "1"},
             {6, "10"},
             {7, "6.63"},
             {8, "0"},
             {9, "0"},
             {10, "66.3"},
             {11, "25"},
             {12, "0"},
             {13, "0007"},
             {14, "0"},
             {15, "2.5"},
             {16, "0101PRJ0007"},
             {17, "0"}});
    Line(3, {{2, "Installation"},
             {3, "2"},
             {4, "Hour-Monthly"},
             {5, "1"},
             {6, "2"},
             {7, "66.3"},
             {10, "132.6"},
             {11, "50"},
             {15, "25"},
             {17, "0"}});
    Line(4,
         {{1, "P200"}, {2, "Ink Cartridge"}, {4, "Pcs"}, {5, "1"}, {6, "1"}, {11, "0"}, {17, "1"}});
  }
  std::shared_ptr<MemoryGrid> grid;
};

TEST_F(SalesOrderTest, HeaderChecksInTheirOrder) {
  SalesOrder o;
  EXPECT_FALSE(o.Create_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Comapny Prefix");
  o.CompanyPrefix = "01";
  EXPECT_FALSE(o.Update_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Branch Prefix");
  o.BranchPrefix = "01";
  EXPECT_FALSE(o.Create_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Document Prefix");
  o.DocumentPrefix = "SOR";
  o.CustomerCode = "01C001";
  o.CustomerName = "  ";
  EXPECT_FALSE(o.Create_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Customer Details");
  o.CustomerName = "X";
  EXPECT_FALSE(o.Create_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Payment Type");
  o.PaymentType = "Cash";
  EXPECT_FALSE(o.Update_Order());  // no number: nothing to save under
  EXPECT_EQ(o.ErrDesc(), "Invalid Order No.");
  EXPECT_FALSE(o.Get_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Order No.");
  o.SalesOrdNo = "0101SORTMP99";
  o.ADOConnectionString = cs;
  o.OrderGridName = grid;
  EXPECT_FALSE(o.Get_Order());
  EXPECT_EQ(o.ErrDesc(), "Invlaid Order No");

  // A number is read by position: prefixes of another length are refused with the same texts.
  o.AdoConnectionObject = conn;
  for (auto [company, branch, document, message] :
       {std::tuple{"010", "01", "SOR", "Invalid Comapny Prefix"},
        std::tuple{"01", "1", "SOR", "Invalid Branch Prefix"},
        std::tuple{"01", "01", "SO", "Invalid Document Prefix"},
        std::tuple{"01", "01", "SORD", "Invalid Document Prefix"}}) {
    o.CompanyPrefix = company;
    o.BranchPrefix = branch;
    o.DocumentPrefix = document;
    EXPECT_FALSE(o.Create_Order());
    EXPECT_EQ(o.ErrDesc(), message);
  }
  EXPECT_EQ(Count("Sales_Order_Master"), 0);
  EXPECT_EQ(Count("Document_Prefix", "Document_Next_No <> 1 AND Document_Prefix = 'SOR'"), 0);
}

// What the layout round trip does not show: the rules behind the stored values.
TEST_F(SalesOrderTest, ARealisticOrderIsStoredByItsRules) {
  FourRows();
  SalesOrder o = Order();
  ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();
  EXPECT_EQ(o.SalesOrdNo, "0101SORTMP1");
  EXPECT_EQ(o.SalesOrdIdentity, 1);
  EXPECT_EQ(o.CurrencySymbol, "$");

  auto master = conn->Query("SELECT * FROM Sales_Order_Master");
  Row m = master.front();
  EXPECT_EQ(m.Text("Sales_Ord_No"), "0101SORTMP1");
  EXPECT_EQ(m.Int32("Sales_ord_Identity"), 1);
  EXPECT_EQ(m.Text("Currency_Symbol"), "$");
  EXPECT_EQ(m.Double("Exchange_Rate"), 0.377);
  EXPECT_EQ(m.Text("Last_Update"), "03/Dec/2026");
  EXPECT_FALSE(m.Flag("process_Flag"));
  EXPECT_TRUE(m.IsNull("Sales_Quot_No"));

  auto lines = conn->Query("SELECT * FROM Sales_Order_Detail ORDER BY SL_No");
  ASSERT_EQ(lines.size(), 3u);
  Row a = lines[0], b = lines[1], c = lines[2];
  EXPECT_EQ(a.Int32("SL_No"), 1);
  EXPECT_EQ(a.Text("Item_Code"), "01P100");
  EXPECT_EQ(a.Text("Unit_Name"), "Box");
  EXPECT_TRUE(a.IsNull("Period_Type"));
  EXPECT_EQ(a.Text("Sales_Ord_Item_Amount"), "25");
  EXPECT_EQ(a.Text("Proj_No"), "0101PRJ0007");
  EXPECT_DOUBLE_EQ(a.Double("Sales_Ord_Overall_Disc"), 2.5);
  EXPECT_DOUBLE_EQ(a.Double("Sales_Ord_Overall_FC_Disc"), 6.63);
  EXPECT_EQ(a.Double("Sales_Ord_Delivered_Qty"), 0);
  EXPECT_EQ(b.Int32("SL_No"), 2);
  EXPECT_TRUE(b.IsNull("Item_Code"));
  EXPECT_EQ(b.Text("Item_Name"), "Installation");
  EXPECT_EQ(b.Text("Unit_Name"), "Hour");
  EXPECT_EQ(b.Text("Period_Type"), "Monthly");
  EXPECT_TRUE(b.IsNull("Proj_No"));
  EXPECT_DOUBLE_EQ(b.Double("Sales_Ord_Overall_FC_Disc"), 13.26);
  EXPECT_EQ(c.Double("FOC_Flag"), 1);
  // The last saved line takes what is left, so the shares add up to the header discount.
  EXPECT_DOUBLE_EQ(c.Double("Sales_Ord_Overall_Disc"), 0);
  EXPECT_DOUBLE_EQ(c.Double("Sales_Ord_Overall_FC_Disc"), 0);
  EXPECT_NEAR(Scalar("SELECT SUM(Sales_Ord_Overall_FC_Disc) FROM Sales_Order_Detail").ToDouble(),
              19.89, 1e-9);
  EXPECT_EQ(c.Text("Last_Update"), "03/Dec/2026");
}

TEST_F(SalesOrderTest, OverallDiscountSharesAddUpToTheHeader) {
  Line(1, {{1, "P100"}, {10, "33.33"}, {11, "33.33"}});
  Line(2, {{1, "P200"}, {10, "33.33"}, {11, "33.33"}});
  Line(3, {{1, "P300"}, {10, "33.34"}, {11, "33.34"}});
  SalesOrder o = Order();
  o.SalesOrdDiscAmount = o.SalesOrdFCDiscAmount = 10;
  o.AmtDig = 2;
  ASSERT_TRUE(o.Create_Order());
  auto rs = conn->Query("SELECT Sales_Ord_Overall_Disc FROM Sales_Order_Detail ORDER BY SL_No");
  EXPECT_DOUBLE_EQ(rs[0].Double("Sales_Ord_Overall_Disc"), 3.33);
  EXPECT_DOUBLE_EQ(rs[1].Double("Sales_Ord_Overall_Disc"), 3.33);
  EXPECT_DOUBLE_EQ(rs[2].Double("Sales_Ord_Overall_Disc"), 3.34);

  // Without an overall foreign-currency discount no share is written; a blank employee stores
  // nulls; a local order stores the rate 1.
  SalesOrder plain = Order();
  plain.SalesOrdFCDiscAmount = 0;
  plain.EmployeeID = " ";
  plain.ForeignCurrencyFlag = false;
  ASSERT_TRUE(plain.Create_Order());
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_No = ? AND Sales_Ord_Overall_Disc IS NULL",
                  {plain.SalesOrdNo}),
            3);
  auto master =
      conn->Query("SELECT * FROM Sales_Order_Master WHERE Sales_Ord_No = ?", {plain.SalesOrdNo});
  Row m = master.front();
  EXPECT_TRUE(m.IsNull("Employee_ID"));
  EXPECT_TRUE(m.IsNull("Employee_Name"));
  EXPECT_EQ(m.Double("Exchange_Rate"), 1);
}

TEST_F(SalesOrderTest, ReadBackIntoAFreshObjectAndGrid) {
  FourRows();
  SalesOrder o = Order();
  ASSERT_TRUE(o.Create_Order());

  auto shown = std::make_shared<MemoryGrid>(2, 18);
  SalesOrder r;
  r.ADOConnectionString = cs;
  r.OrderGridName = shown;
  r.SalesOrdNo = o.SalesOrdNo;
  ASSERT_TRUE(r.Get_Order()) << r.ErrDesc();
  EXPECT_EQ(r.ExchangeRate, 0.377);
  EXPECT_EQ(r.CustomerPODate, Date::FromYmd(2026, 12, 1));
  EXPECT_FALSE(r.ProcessFlag);
  ASSERT_EQ(shown->Rows(), 5);                 // three lines plus two
  EXPECT_EQ(shown->TextMatrix(1, 7), "6.63");  // the foreign price of a foreign order
  EXPECT_EQ(shown->TextMatrix(1, 13), "0007");
  EXPECT_EQ(shown->TextMatrix(1, 16), "0101PRJ0007");
  EXPECT_EQ(shown->TextMatrix(2, 1), "");
  EXPECT_EQ(shown->TextMatrix(2, 4), "Hour-Monthly");
  EXPECT_EQ(shown->TextMatrix(3, 17), "1");
  EXPECT_EQ(shown->TextMatrix(3, 11), "0");

  // A processed order shrinks the grid to its lines plus two; an open one only grows it.
  auto big = std::make_shared<MemoryGrid>(9, 18);
  r.OrderGridName = big;
  ASSERT_TRUE(r.Get_Order());
  EXPECT_EQ(big->Rows(), 9);
  conn->Execute("UPDATE Sales_Order_Master SET process_Flag = 1, Exchange_Rate = NULL");
  conn->Execute("UPDATE Sales_Order_Master SET Foreign_Currency_Flag = 0");
  ASSERT_TRUE(r.Get_Order());
  EXPECT_EQ(big->Rows(), 5);
  EXPECT_TRUE(r.ProcessFlag);
  EXPECT_EQ(r.ExchangeRate, 1);
  EXPECT_EQ(big->TextMatrix(1, 7), "2.5");  // the local price of a local order

  // Reading fails when the grid cannot be filled.
  r.OrderGridName = nullptr;
  EXPECT_FALSE(r.Get_Order());
}

TEST_F(SalesOrderTest, UpdateReplacesTheLinesAndMarksTheQuotation) {
  FourRows();
  SalesOrder o = Order();
  ASSERT_TRUE(o.Create_Order());
  Record().Set("Sales_Quot_No", "0101SQT4").Insert(*conn, "Sales_Quotation_Master");

  o.SalesQuotNo = "0101SQT9";  // unknown: nothing changes
  grid->SetRows(1);
  grid->SetRows(3);
  Line(1, {{1, "P300"}, {2, "Desk Lamp"}, {6, "4"}, {11, "120"}});
  EXPECT_FALSE(o.Update_Order());
  EXPECT_EQ(o.ErrDesc(), "Invalid Quotation No ");
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_No = ?", {o.SalesOrdNo}), 3);

  o.SalesQuotNo = "0101SQT4";
  o.CustomerName = "Gulf Traders W.L.L.";
  ASSERT_TRUE(o.Update_Order()) << o.ErrDesc();
  auto lines =
      conn->Query("SELECT * FROM Sales_Order_Detail WHERE Sales_Ord_No = ?", {o.SalesOrdNo});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines.front().Text("Item_Code"), "01P300");
  EXPECT_EQ(lines.front().Int32("SL_No"), 1);  // the largest serial in the table, plus 1
  EXPECT_EQ(Scalar("SELECT Customer_Name FROM Sales_Order_Master").ToText(), "Gulf Traders W.L.L.");
  EXPECT_EQ(Count("Sales_Quotation_Master", "process_Flag = 1 AND Allow_Cancel_Flag = 0"), 1);
  EXPECT_EQ(Count("Sales_Order_Master"), 1);

  // Saving under a number the table does not know adds that order.
  o.SalesOrdNo = "0101SORTMP77";
  ASSERT_TRUE(o.Update_Order());
  EXPECT_EQ(Count("Sales_Order_Master"), 2);
}

TEST_F(SalesOrderTest, TemporaryNumbersFollowTheSeriesAndLateBindingWorks) {
  refdata::AddSeries(*conn, "AB", "01", "SOR", "Orders");
  conn->Execute(
      "UPDATE Document_Prefix SET Document_Temp_Next_No = 15 WHERE Company_Prefix = 'AB'");
  auto o = CreateObject("QLNSales.SalesOrder");
  for (auto [k, v] :
       std::initializer_list<std::pair<const char*, Value>>{{"AdoConnectionObject", conn},
                                                            {"OrderGridName", grid},
                                                            {"CompanyPrefix", "AB"},
                                                            {"BranchPrefix", "01"},
                                                            {"DocumentPrefix", "SOR"},
                                                            {"CustomerCode", "ABC1"},
                                                            {"CustomerName", "N"},
                                                            {"PaymentType", "Cash"}})
    o->Set(k, v);
  ASSERT_TRUE(o->Invoke("Create_Order").ToBool()) << o->Get("ErrDesc").ToText();
  EXPECT_EQ(o->Get("SalesOrdNo").ToText(), "AB01SORTMP15");
  // Without a connection object the counter reports the provider's text.
  o->Set("AdoConnectionObject", Value(ObjectRef()));
  EXPECT_FALSE(o->Invoke("Create_Order").ToBool());
  EXPECT_EQ(o->Get("ErrDesc").ToText(), "Operation is not allowed when the object is closed.");
}

}  // namespace
}  // namespace qlnsales::testing
