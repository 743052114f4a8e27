#include <gtest/gtest.h>

#include "db/record.h"
#include "db/stats.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

// What a delivery or a cash memo of ten stock lines, saved and processed, and an invoice of ten
// lines processed, send to the engine: a fixed number of statements and of waits for the server,
// whatever the size of the tables.
class StatementBudgetTest : public DbTest {};

TEST_F(StatementBudgetTest, ADeliveryOfTenLinesSavedAndProcessed) {
  constexpr int kLines = 10;
  auto og = std::make_shared<MemoryGrid>(kLines + 1, 18);
  for (int i = 1; i <= kLines; ++i) {
    std::string item = "01B" + std::to_string(i);
    refdata::AddItem(*conn, item, "Bench item", 0, "Pcs");
    refdata::AddOpeningStock(*conn, "01", "01", item, 1, 1000, 1.25);
    og->SetTextMatrix(i, 1, "B" + std::to_string(i));
    og->SetTextMatrix(i, 2, "Bench item");
    og->SetTextMatrix(i, 5, "1");
    og->SetTextMatrix(i, 6, "100");
    og->SetTextMatrix(i, 15, "2");
  }
  SalesOrder order;
  order.AdoConnectionObject = conn;
  order.OrderGridName = og;
  order.CompanyPrefix = "01";
  order.BranchPrefix = "01";
  order.DocumentPrefix = "SOR";
  order.CustomerCode = "01C001";
  order.CustomerName = "Bench";
  order.PaymentType = "Credit";
  ASSERT_TRUE(order.Create_Order()) << order.ErrDesc();

  // One delivery saved and processed on-line; what it sent to the engine.
  auto deliver = [&](db::Stats& used) {
    Delivery d;
    d.AdoDBConnectionObject = conn;
    d.ADOConnectionString = cs;
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 23);
    for (int i = 1; i <= kLines; ++i)
      for (auto [c, t] :
           std::initializer_list<std::pair<int, std::string>>{{1, "1"},
                                                              {2, "B" + std::to_string(i)},
                                                              {3, "Bench item"},
                                                              {5, "Pcs"},
                                                              {6, "1"},
                                                              {7, "1"},
                                                              {9, std::to_string(i)},
                                                              {10, "2"},
                                                              {13, "2"},
                                                              {20, "Location1"},
                                                              {21, "1"}})
        grid->SetTextMatrix(i, c, t);
    d.DeliveryGridName = grid;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DEL";
    d.StockMovementPrefix = "DEL";
    d.SourceNo = order.SalesOrdNo;
    d.SourcePrefix = "SOR";
    d.OnlineFlag = true;
    std::string source = "SalesOrder";
    const db::Stats before = db::ThreadStats();
    ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
    ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();
    used.statements = db::ThreadStats().statements - before.statements;
    used.waits = db::ThreadStats().waits - before.waits;
  };
  db::Stats first, second;
  deliver(first);
  // The second finds its statements prepared, as every delivery after the first of a session.
  deliver(second);
  RecordProperty("statements", std::to_string(second.statements));
  RecordProperty("waits", std::to_string(second.waits));
  EXPECT_LE(second.statements, 80);
  if (UsingPostgres()) {
    EXPECT_LE(second.waits, 12);
  }
  EXPECT_EQ(Count("Delivery_Master", "Processed_Flag = 1"), 2);
  EXPECT_EQ(Count("Stock_Movement", "Document_Type = 'OUT'"), 2 * kLines);
  EXPECT_EQ(Count("General_Ledger", "Document_No LIKE '0101DEL%'"), 4 * kLines);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  std::cout << "delivery of " << kLines << " lines: " << second.statements << " statements, "
            << second.waits << " waits\n";
}

TEST_F(StatementBudgetTest, ACashMemoOfTenLinesSavedAndProcessed) {
  constexpr int kLines = 10;
  for (int i = 1; i <= kLines; ++i) {
    std::string item = "01B" + std::to_string(i);
    refdata::AddItem(*conn, item, "Bench item", 0, "Pcs");
    refdata::AddOpeningStock(*conn, "01", "01", item, 1, 1000, 1.25);
  }
  // The tax in two authorities.
  Record()
      .Set("Code", "0101CTY")
      .Set("Description", "City Tax")
      .Set("AccountNo", "01012100")
      .Insert(*conn, "TaxAuthorities");
  for (const char* authority : {"0101VAT", "0101CTY"})
    Record()
        .Set("TaxCode", "0101DUO")
        .Set("TaxAuthorityCode", authority)
        .Set("TaxAuthorityRate", 5.0)
        .Insert(*conn, "TaxCodeDetails");
  auto sell = [&](db::Stats& used) {
    CashMemo m;
    m.AdoDBConnectionObject = conn;
    m.ADOConnectionString = cs;
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 22);
    for (int i = 1; i <= kLines; ++i)
      for (auto [c, t] :
           std::initializer_list<std::pair<int, std::string>>{{1, "B" + std::to_string(i)},
                                                              {2, "Bench item"},
                                                              {3, "1"},
                                                              {5, "Pcs"},
                                                              {6, "1"},
                                                              {7, "1"},
                                                              {11, "2"},
                                                              {12, "2"},
                                                              {14, "2"},
                                                              {20, "Location1"},
                                                              {21, "1"}})
        grid->SetTextMatrix(i, c, t);
    m.CMGridName = grid;
    m.CompanyPrefix = m.BranchPrefix = "01";
    m.DocumentPrefix = m.StockMovementPrefix = "CHM";
    m.CustomerCode = "01C001";
    m.CustomerName = "Bench";
    m.PaymentType = "Cash";
    m.CashMemoSubTotal = 20;
    m.CashMemoDiscPercent = 10;
    m.CashMemoDiscAmount = m.CashMemoFcDiscAmount = 2;
    m.TaxCode = "0101DUO";
    m.CashMemoTaxPercent = 10;
    m.CashMemoTaxAmount = 1.8;
    m.CashMemoTotalAmount = 19.8;
    m.AmtDig = 2;
    m.OnlineFlag = true;
    const db::Stats before = db::ThreadStats();
    ASSERT_TRUE(m.Create_CashMemo(true)) << m.ErrDesc();
    ASSERT_TRUE(m.Process()) << m.ErrDesc();
    used.statements = db::ThreadStats().statements - before.statements;
    used.waits = db::ThreadStats().waits - before.waits;
  };
  db::Stats first, second;
  sell(first);
  sell(second);
  RecordProperty("statements", std::to_string(second.statements));
  RecordProperty("waits", std::to_string(second.waits));
  EXPECT_LE(second.statements, 50);
  if (UsingPostgres()) {
    EXPECT_LE(second.waits, 15);
  }
  EXPECT_EQ(Count("Stock_Movement", "Document_Type = 'OUT'"), 2 * kLines);
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101CHM2'"), 3 * kLines + 4);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  std::cout << "cash memo of " << kLines << " lines: " << second.statements << " statements, "
            << second.waits << " waits\n";
}

TEST_F(StatementBudgetTest, AnInvoiceOfTenLinesProcessed) {
  constexpr int kLines = 10;
  Record()
      .Set("Customer_Code", "01C001")
      .Set("Customer_Name", "Bench")
      .Set("Customer_Balance", 0.0)
      .Insert(*conn, "Customer_Master");
  auto og = std::make_shared<MemoryGrid>(kLines + 1, 18);
  for (int i = 1; i <= kLines; ++i) {
    std::string item = "01B" + std::to_string(i);
    refdata::AddItem(*conn, item, "Bench item", 0, "Pcs");
    refdata::AddOpeningStock(*conn, "01", "01", item, 1, 1000, 1.25);
    Fill(*og, i, {{1, "B" + std::to_string(i)}, {2, "Bench item"}, {5, "1"}, {6, "2"}, {15, "2"}});
  }
  SalesOrder order;
  order.AdoConnectionObject = conn;
  order.OrderGridName = og;
  order.CompanyPrefix = order.BranchPrefix = "01";
  order.DocumentPrefix = "SOR";
  order.CustomerCode = "01C001";
  order.CustomerName = "Bench";
  order.PaymentType = "Credit";
  ASSERT_TRUE(order.Create_Order()) << order.ErrDesc();
  Delivery d;
  d.AdoDBConnectionObject = conn;
  d.ADOConnectionString = cs;
  d.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
  d.CompanyPrefix = d.BranchPrefix = "01";
  d.DocumentPrefix = d.StockMovementPrefix = "DEL";
  d.SourceNo = order.SalesOrdNo;
  d.OnlineFlag = true;
  ASSERT_TRUE(d.Get_Order_Details()) << d.ErrDesc();
  for (int i = 1; i <= kLines; ++i)
    Fill(*d.DeliveryGridName, i, {{1, "1"}, {20, "Location1"}, {21, "1"}});
  ASSERT_TRUE(d.Create_Delivery(true)) << d.ErrDesc();
  std::string source;
  ASSERT_TRUE(d.Process_Delivery(source)) << d.ErrDesc();

  // Each invoice bills one of the two units of every line: 20, less 2, plus 10% tax.
  auto invoice = [&](int n, db::Stats& used) {
    const std::string number = "0101INVTMP" + std::to_string(n);
    auto lines = conn->Query("SELECT SL_No, Item_Code FROM Delivery_Detail ORDER BY SL_No");
    for (std::size_t i = 0; i < lines.size(); ++i)
      Record()
          .Set("Sales_Inv_No", number)
          .Set("SL_No", static_cast<std::int32_t>(i + 1))
          .Set("Item_Code", lines[i].Text("Item_Code"))
          .Set("Unit_Qty", 1.0)
          .Set("Sales_Inv_Qty", 1.0)
          .Set("Sales_Inv_Unit_Price", 2.0)
          .Set("Sales_Inv_Item_Amount", 2.0)
          .Set("Sales_Inv_FC_Item_Amount", 2.0)
          .Set("Delivery_Dtl_SL_No", lines[i].Double("SL_No"))
          .Set("Delivery_Flag", "SalesOrder")
          .Set("Delivery_No", d.DeliveryNo)
          .Insert(*conn, "Sales_Invoice_Detail");
    Record()
        .Set("Sales_Inv_No", number)
        .Set("Sales_Inv_Identity", n)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", "01")
        .Set("Document_Prefix", "INV")
        .Set("Customer_Code", "01C001")
        .Set("Currency_Code", "BHD")
        .Set("Sales_Inv_Disc_Amount", 2.0)
        .Set("Sales_Inv_Tax_Percent", 10.0)
        .Set("Sales_Inv_Tax_Amount", 1.8)
        .Set("Sales_Inv_Total_Amount", 19.8)
        .Set("TaxCode", "0101STD")
        .Insert(*conn, "Sales_Invoice_Master");
    SalesInvoice s;
    s.AdoDBConnectionObject = conn;
    s.ADOConnectionString = cs;
    s.InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
    s.SalesInvNo = number;
    s.AmtDig = 2;
    s.OnlineFlag = true;
    const db::Stats before = db::ThreadStats();
    ASSERT_TRUE(s.Process_Invoice()) << s.ErrDesc();
    used.statements = db::ThreadStats().statements - before.statements;
    used.waits = db::ThreadStats().waits - before.waits;
  };
  db::Stats first, second;
  invoice(1, first);
  invoice(2, second);
  RecordProperty("statements", std::to_string(second.statements));
  RecordProperty("waits", std::to_string(second.waits));
  EXPECT_LE(second.statements, 40);
  if (UsingPostgres()) {
    EXPECT_LE(second.waits, 12);
  }
  EXPECT_EQ(Count("Delivery_Detail", "Invoiced_Qty = 2"), kLines);
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101INV2'"), kLines + 3);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  std::cout << "invoice of " << kLines << " lines: " << second.statements << " statements, "
            << second.waits << " waits\n";
}

}  // namespace
}  // namespace qlnsales::testing
