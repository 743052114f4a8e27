#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/sales_order.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class CashMemoTest : public DbTest {
 protected:
  // A foreign-currency memo paid by cheque: paper, a free cartridge, an installation.
  CashMemo Make(std::shared_ptr<MemoryGrid> g) {
    CashMemo m;
    m.ADOConnectionString = cs;
    m.AdoDBConnectionObject = conn;
    m.CMGridName = g;
    m.CompanyPrefix = "01";
    m.BranchPrefix = "01";
    m.DocumentPrefix = "CHM";
    m.CustomerCode = "01C002";
    m.CustomerName = "Harbour Marine Supplies";
    m.PaymentType = " cheque";
    m.ChequeNo = "004512";
    m.ChequeBank = "Gulf Bank";
    m.ChequeDate = Date::FromYmd(2027, 1, 15);
    m.ForeignCurrencyFlag = true;
    m.CurrencyCode = "USD";
    m.ExchangeRate = 0.377;
    m.CashMemoDate = m.CashMemoEndDate = Date::FromYmd(2026, 12, 6);
    m.CashMemoSubTotal = 40;
    m.CashMemoFCSubTotal = 106.1;
    m.CashMemoDiscPercent = 10;
    m.CashMemoDiscAmount = 4;
    m.CashMemoFcDiscAmount = 10.61;
    m.TaxCode = "0101STD";
    m.TaxDescription = "Standard rate";
    m.CashMemoTaxPercent = 10;
    m.CashMemoTaxAmount = 3.6;
    m.CashMemoTotalAmount = 39.6;
    m.CashMemoFCTotalAmount = 105.04;
    m.CashMemoComments = "Counter sale";
    m.LocationCode = 1;
    m.LocationName = "Location1";
    m.AmtDig = 2;
    m.LastUpdate = Date::FromYmd(2026, 12, 6);
    return m;
  }
  std::shared_ptr<MemoryGrid> Lines() {
    auto g = std::make_shared<MemoryGrid>(5, 22);
    Fill(*g, 1,
         {{1, "P100"},
          {2, "Printer Paper A4"},
          {3, "1"},
          {4, "1"},
          {5, "Box"},
          {6, "1"},
          {7, "2"},
          {8, "13.26"},
          {11, "26.52"},
          {12, "10"},
          {14, "5"},
          {18, "PRJ-0001"},
          {19, "0"},
          {20, " Location1 "},
          {21, "1"}});
    Fill(*g, 2,
         {{1, "P200"},
          {2, "Ink Cartridge"},
          {3, "0"},
          {5, "Pcs"},
          {6, "1"},
          {7, "1"},
          {19, "1"},
          {20, "Location1"},
          {21, "1"}});
    Fill(*g, 3,
         {{1, "S100"},
          {2, "Installation Service"},
          {3, "True"},
          {5, "Hour"},
          {6, "1"},
          {7, "1"},
          {8, "79.58"},
          {11, "79.58"},
          {12, "30"},
          {14, "30"},
          {20, "Location1"},
          {21, "1"}});
    return g;
  }
};

TEST_F(CashMemoTest, ChecksComeInTheirOrder) {
  struct Case {
    std::function<void(CashMemo&)> change;
    const char* message;
  };
  const std::vector<Case> cases = {
      {[](CashMemo& m) { m.CompanyPrefix = ""; }, "Invalid Comapny Prefix"},
      {[](CashMemo& m) { m.BranchPrefix = ""; }, "Invalid Branch Prefix"},
      {[](CashMemo& m) { m.DocumentPrefix = ""; }, "Invalid Document Prefix"},
      {[](CashMemo& m) { m.CustomerName = "  "; }, "Invalid Customer Details"},
      {[](CashMemo& m) { m.PaymentType = " "; }, "Invalid Payment Type"},
      {[](CashMemo& m) {
         m.PaymentType = "credit card";
         m.CreditCardCode = "VISA";
         m.CreditCardName = "R. Salman";
       },
       "Invalid Credit Card Details"},
      {[](CashMemo& m) { m.ChequeBank = ""; }, "Invalid Cheque Details"},
  };
  for (const auto& c : cases) {
    CashMemo m = Make(Lines());
    c.change(m);
    EXPECT_FALSE(m.Create_CashMemo(true));
    EXPECT_EQ(m.ErrDesc(), c.message);
  }
  // A cheque needs no date; a memo wanting lines needs some.
  CashMemo m = Make(std::make_shared<MemoryGrid>(3, 22));
  m.ChequeDate = Date();
  EXPECT_FALSE(m.Create_CashMemo(true));
  EXPECT_EQ(m.ErrDesc(), "Invalid Item Details");
  EXPECT_EQ(Count("Cash_Memo_Master"), 0);
  EXPECT_TRUE(m.Create_CashMemo(std::nullopt)) << m.ErrDesc();
  EXPECT_EQ(m.CashMemoNo, "0101CHMTMP1");
}

TEST_F(CashMemoTest, ARealisticMemoIsStoredAndComesBack) {
  auto g = Lines();
  CashMemo m = Make(g);
  m.EmployeeID = " ";
  m.EmployeeName = "Nobody";
  ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
  EXPECT_EQ(m.CashMemoNo, "0101CHMTMP1");
  EXPECT_EQ(m.CurrencySymbol, "$");

  auto hs = conn->Query("SELECT * FROM Cash_Memo_Master");
  Row h = hs.front();
  EXPECT_EQ(h.Text("Payment_Type"), " cheque");
  // A cheque stays outstanding, whatever case it was typed in.
  EXPECT_DOUBLE_EQ(h.Double("Balance_Amount"), 39.6);
  EXPECT_DOUBLE_EQ(h.Double("Balance_FCAmount"), 105.04);
  EXPECT_DOUBLE_EQ(h.Double("Adjusted_Amount"), 0);
  EXPECT_EQ(h.Text("Cheque_No"), "004512");
  EXPECT_EQ(h.DateValue("Cheque_Date"), Date::FromYmd(2027, 1, 15));
  EXPECT_TRUE(h.IsNull("CreditCard_No"));
  EXPECT_TRUE(h.IsNull("Employee_ID"));
  EXPECT_TRUE(h.IsNull("Employee_Name"));
  EXPECT_TRUE(h.IsNull("Reference_No"));
  EXPECT_TRUE(h.IsNull("Reference_Document_Name"));
  EXPECT_EQ(h.Int32("process_Flag"), 0);
  EXPECT_EQ(h.Int32("Location_ID"), 1);
  EXPECT_DOUBLE_EQ(h.Double("Cash_Memo_TaxAmount"), 3.6);

  auto ls = conn->Query("SELECT * FROM Cash_Memo_Detail ORDER BY SL_No");
  ASSERT_EQ(ls.size(), 3u);
  EXPECT_EQ(ls[0].Text("Item_Code"), "01P100");
  EXPECT_EQ(ls[0].Text("TaxType"), "Taxable");
  EXPECT_EQ(ls[1].Text("TaxType"), "Exempted");
  EXPECT_EQ(ls[2].Text("TaxType"), "Taxable");  // a box that reads "True"
  EXPECT_EQ(ls[0].Text("Location_Name"), "Location1");
  EXPECT_EQ(ls[0].Text("Proj_No"), "PRJ-0001");
  EXPECT_DOUBLE_EQ(ls[0].Double("Cash_Memo_Delivered_Qty"), 2);
  EXPECT_DOUBLE_EQ(ls[1].Double("FOC_Flag"), 1);
  // The header discount shared out: 10% of each line, the rest on the last.
  EXPECT_DOUBLE_EQ(ls[0].Double("Cash_Memo_OverAll_Disc_Amount"), 1);
  EXPECT_DOUBLE_EQ(ls[0].Double("Cash_Memo_OverAll_FC_Disc_Amount"), 2.65);
  EXPECT_DOUBLE_EQ(ls[2].Double("Cash_Memo_OverAll_Disc_Amount"), 3);
  EXPECT_DOUBLE_EQ(ls[2].Double("Cash_Memo_OverAll_FC_Disc_Amount"), 7.96);

  // Read back into a fresh object and a one-row grid.
  auto shown = std::make_shared<MemoryGrid>(1, 22);
  CashMemo r;
  r.ADOConnectionString = cs;
  r.AdoDBConnectionObject = conn;
  r.CMGridName = shown;
  r.EmployeeName = "kept";
  r.CashMemoNo = m.CashMemoNo;
  ASSERT_TRUE(r.Get_CashMemo()) << r.ErrDesc();
  EXPECT_EQ(r.CustomerName, "Harbour Marine Supplies");
  EXPECT_EQ(r.ChequeBank, "Gulf Bank");
  EXPECT_EQ(r.ChequeDate, Date::FromYmd(2027, 1, 15));
  EXPECT_EQ(r.EmployeeName, "kept");  // a null column leaves the property alone
  EXPECT_DOUBLE_EQ(r.CashMemoFcDiscAmount, 10.61);
  EXPECT_EQ(r.CashMemoIdentity, 1);
  ASSERT_EQ(shown->Rows(), 4);
  EXPECT_EQ(shown->TextMatrix(1, 1), "P100");
  EXPECT_EQ(shown->TextMatrix(1, 3), "True");
  EXPECT_EQ(shown->TextMatrix(2, 3), "False");
  EXPECT_EQ(shown->TextMatrix(1, 18), "PRJ-0001");
  EXPECT_EQ(shown->TextMatrix(2, 19), "1");
  EXPECT_EQ(shown->TextMatrix(3, 12), "30");
  EXPECT_EQ(shown->TextMatrix(1, 15), "2");
  // The service holds no stock: its location is greyed.
  EXPECT_EQ(shown->CellProperty(Grid::kCellForeColor, 1, 20).ToInt32(), 0);
  EXPECT_EQ(shown->CellProperty(Grid::kCellForeColor, 3, 20).ToInt32(),
            static_cast<std::int32_t>(0x80000011));

  // Saved again from what was read: one memo still, its marks and project kept.
  r.ChequeNo = "004513";
  ASSERT_TRUE(r.Update_CashMemo()) << r.ErrDesc();
  EXPECT_EQ(Count("Cash_Memo_Master"), 1);
  auto again = conn->Query("SELECT * FROM Cash_Memo_Detail ORDER BY SL_No");
  ASSERT_EQ(again.size(), 3u);
  EXPECT_EQ(again[0].Text("TaxType"), "Taxable");
  EXPECT_EQ(again[1].Text("TaxType"), "Exempted");
  EXPECT_EQ(again[0].Text("Proj_No"), "PRJ-0001");
  EXPECT_EQ(Scalar("SELECT Cheque_No FROM Cash_Memo_Master").ToText(), "004513");

  CashMemo unknown;
  unknown.AdoDBConnectionObject = conn;
  EXPECT_FALSE(unknown.Get_CashMemo());
  EXPECT_EQ(unknown.ErrDesc(), "Invalid Cash Memo No.");
  unknown.CashMemoNo = "0101CHMTMP9";
  EXPECT_FALSE(unknown.Get_CashMemo());
  EXPECT_EQ(unknown.ErrDesc(), "Invlaid Cash Memo No");
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});
}

TEST_F(CashMemoTest, CardAndPointOfSaleMemos) {
  CashMemo card = Make(Lines());
  card.PaymentType = "Credit Card";
  card.CreditCardCode = "VISA";
  card.CreditCardName = "R. Salman";
  card.CreditCardNo = "4111";
  ASSERT_TRUE(card.Create_CashMemo(true)) << card.ErrDesc();
  auto hs = conn->Query("SELECT * FROM Cash_Memo_Master");
  Row h = hs.front();
  EXPECT_EQ(h.Text("CreditCard_No"), "4111");
  EXPECT_TRUE(h.IsNull("Cheque_No"));
  EXPECT_TRUE(h.IsNull("Balance_Amount"));  // a card memo leaves the balance unwritten

  // At the point of sale, off-line: stored as processed, any delivered quantity but 0 kept.
  auto g = Lines();
  g->SetTextMatrix(1, 15, "-1");
  g->SetTextMatrix(3, 15, "0");
  CashMemo pos = Make(g);
  pos.PaymentType = "Cash";
  pos.ReferencePrefix = "POS";
  ASSERT_TRUE(pos.Create_CashMemo(true)) << pos.ErrDesc();
  EXPECT_EQ(
      Scalar("SELECT process_Flag FROM Cash_Memo_Master WHERE Cash_Memo_No = ?", {pos.CashMemoNo})
          .ToInt32(),
      1);
  auto ls = conn->Query(
      "SELECT Cash_Memo_Delivered_Qty FROM Cash_Memo_Detail WHERE Cash_Memo_No = ? ORDER BY SL_No",
      {Value(pos.CashMemoNo)});
  EXPECT_DOUBLE_EQ(ls[0].Double("Cash_Memo_Delivered_Qty"), -1);
  EXPECT_DOUBLE_EQ(ls[2].Double("Cash_Memo_Delivered_Qty"), 1);
  // Elsewhere only a positive delivered quantity counts.
  CashMemo other = Make(g);
  ASSERT_TRUE(other.Create_CashMemo(true)) << other.ErrDesc();
  EXPECT_DOUBLE_EQ(Scalar("SELECT Cash_Memo_Delivered_Qty FROM Cash_Memo_Detail WHERE "
                          "Cash_Memo_No = ? AND Item_Code = '01P100'",
                          {other.CashMemoNo})
                       .ToDouble(),
                   2);
}

TEST_F(CashMemoTest, FillsFromAnOrderADeliveryAndADirectDelivery) {
  auto og = std::make_shared<MemoryGrid>(3, 18);
  Fill(*og, 1,
       {{1, "P100"},
        {2, "Printer Paper A4"},
        {3, "1"},
        {4, "Box-Monthly"},
        {5, "1"},
        {6, "4"},
        {7, "5"},
        {10, "20"},
        {11, "20"},
        {13, "0042"},
        {15, "5"},
        {16, "0101PRJ0042"},
        {17, "0"}});
  SalesOrder o;
  o.AdoConnectionObject = conn;
  o.OrderGridName = og;
  o.CompanyPrefix = o.BranchPrefix = "01";
  o.DocumentPrefix = "SOR";
  o.CustomerCode = "01C001";
  o.CustomerName = "Gulf Traders";
  o.PaymentType = "Cash";
  o.CurrencyCode = "BHD";
  o.SalesOrdDiscPercent = 5;
  o.SalesOrdSubTotal = 20;
  o.SalesOrdTotalAmount = 19;
  ASSERT_TRUE(o.Create_Order()) << o.ErrDesc();

  auto g = std::make_shared<MemoryGrid>(1, 22);
  CashMemo m;
  m.ADOConnectionString = cs;
  m.CMGridName = g;
  EXPECT_FALSE(m.Get_Order_Details());
  EXPECT_EQ(m.ErrDesc(), "Invalid Sales Order No");
  m.ReferenceNo = "0101SORTMP99";
  EXPECT_FALSE(m.Get_Order_Details());
  EXPECT_EQ(m.ErrDesc(), "Invalid Sales Order No");
  m.ReferenceNo = o.SalesOrdNo;
  ASSERT_TRUE(m.Get_Order_Details()) << m.ErrDesc();
  EXPECT_EQ(m.ReferencePrefix, "SOR");
  EXPECT_EQ(m.ReferenceDocumentName, "Sales Order");
  EXPECT_EQ(m.CustomerName, "Gulf Traders");
  EXPECT_DOUBLE_EQ(m.CashMemoDiscPercent, 5);
  EXPECT_DOUBLE_EQ(m.CashMemoTotalAmount, 19);
  // The source layout: no taxable column, so everything sits one column left of the memo's.
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(g->TextMatrix(1, 1), "P100");
  EXPECT_EQ(g->TextMatrix(1, 3), "1");
  EXPECT_EQ(g->TextMatrix(1, 4), "Box-Monthly");
  EXPECT_EQ(g->TextMatrix(1, 6), "4");
  EXPECT_EQ(g->TextMatrix(1, 14), "4");
  EXPECT_EQ(g->TextMatrix(1, 16), "0042");
  EXPECT_EQ(g->TextMatrix(1, 17), "0101PRJ0042");
  EXPECT_EQ(g->TextMatrix(1, 18), "0");

  // A direct delivery and a delivery: the delivery has no discount percentages.
  auto dg = std::make_shared<MemoryGrid>(3, 19);
  Fill(*dg, 1,
       {{1, "P300"},
        {2, "Desk Lamp"},
        {4, "Pcs"},
        {5, "1"},
        {6, "1"},
        {8, "7"},
        {11, "45"},
        {13, "45"},
        {18, "1"}});
  DirectDelivery dd;
  dd.AdoDBConnectionObject = conn;
  dd.DeliveryGridName = dg;
  dd.CompanyPrefix = dd.BranchPrefix = "01";
  dd.DocumentPrefix = "DDL";
  dd.CustomerCode = "01C002";
  dd.CustomerName = "Harbour Marine Supplies";
  dd.PaymentType = "Cash";
  dd.DirectDeliverySubtotal = dd.DirectDeliveryTotalAmount = 45;
  dd.DirectDeliveryDiscPercent = 2;
  ASSERT_TRUE(dd.Create_Direct_Delivery()) << dd.ErrDesc();
  CashMemo fromDirect;
  fromDirect.ADOConnectionString = cs;
  fromDirect.CMGridName = std::make_shared<MemoryGrid>(1, 22);
  fromDirect.ReferenceNo = dd.DirectDeliveryNo;
  ASSERT_TRUE(fromDirect.Get_Direct_Delivery_Details()) << fromDirect.ErrDesc();
  EXPECT_EQ(fromDirect.ReferenceDocumentName, "Direct Delivery");
  EXPECT_DOUBLE_EQ(fromDirect.CashMemoDiscPercent, 2);
  EXPECT_EQ(fromDirect.CMGridName->TextMatrix(1, 8), "7");
  EXPECT_EQ(fromDirect.CMGridName->TextMatrix(1, 18), "1");

  Record()
      .Set("Delivery_No", "0101DELTMP1")
      .Set("Document_Prefix", "DEL")
      .Set("Customer_Code", "01C001")
      .Set("Customer_Name", "Gulf Traders")
      .Set("Delivery_Total_Amount", 8.0)
      .Insert(*conn, "Delivery_Master");
  CashMemo fromDelivery;
  fromDelivery.ADOConnectionString = cs;
  fromDelivery.CMGridName = std::make_shared<MemoryGrid>(1, 22);
  fromDelivery.ReferenceNo = "0101DELTMP1";
  fromDelivery.CashMemoDiscPercent = 3;
  EXPECT_FALSE(fromDelivery.Get_Delivery_Details());
  EXPECT_EQ(fromDelivery.ErrDesc(), "Invalid Item Details");  // a delivery without lines
  Record()
      .Set("SL_No", 1)
      .Set("Delivery_No", "0101DELTMP1")
      .Set("Item_Code", "01P100")
      .Set("Delivery_Qty", 2.0)
      .Set("Delivery_Item_Amount", 8.0)
      .Insert(*conn, "Delivery_Detail");
  ASSERT_TRUE(fromDelivery.Get_Delivery_Details()) << fromDelivery.ErrDesc();
  EXPECT_DOUBLE_EQ(fromDelivery.CashMemoDiscPercent, 3);  // not read from a delivery
  EXPECT_DOUBLE_EQ(fromDelivery.CashMemoTotalAmount, 8);
  EXPECT_EQ(fromDelivery.CMGridName->TextMatrix(1, 6), "2");
  EXPECT_EQ(fromDelivery.CMGridName->TextMatrix(1, 8), "");
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});
}

}  // namespace
}  // namespace qlnsales::testing
