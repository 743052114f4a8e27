#include <gtest/gtest.h>

#include <algorithm>

#include "db/record.h"
#include "qlnsales/direct_delivery.h"
#include "services/books_check.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class BooksCheckTest : public DbTest {
 protected:
  std::vector<std::string> Books() { return services::CheckBooks(*conn); }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  Value MovementOf(const std::string& document, const std::string& item) {
    return Scalar(
        "SELECT MIN(Movement_ID) FROM Stock_Movement WHERE Document_No = ? AND Item_Code = ?",
        {document, item});
  }
  // A direct delivery of two stock items (a lamp of type 0, cartridges) and a service line.
  DirectDelivery Deliver(bool online) {
    auto g = std::make_shared<MemoryGrid>(5, 19);
    const std::vector<std::pair<int, std::string>> lamp = {
        {1, "P300"}, {2, "Desk Lamp"}, {4, "Pcs"}, {5, "1"},         {6, "2"},
        {10, "60"},  {11, "60"},       {13, "30"}, {14, "Showroom"}, {17, "2"}};
    const std::vector<std::pair<int, std::string>> ink = {
        {1, "P200"}, {2, "Ink Cartridge"}, {4, "Pcs"},    {5, "1"},          {6, "3"},
        {10, "40"},  {11, "40"},           {13, "13.33"}, {14, "Location1"}, {17, "1"}};
    for (const auto& [c, t] : lamp) g->SetTextMatrix(1, c, t);
    for (const auto& [c, t] : ink) g->SetTextMatrix(2, c, t);
    g->SetTextMatrix(3, 2, "Installation");
    g->SetTextMatrix(3, 6, "1");
    DirectDelivery d;
    d.ADOConnectionString = cs;
    d.AdoDBConnectionObject = conn;
    d.DeliveryGridName = g;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DDL";
    d.StockMovementPrefix = "DDL";
    d.CustomerCode = "01C002";
    d.CustomerName = "Harbour Marine Supplies";
    d.PaymentType = "Credit";
    d.CurrencyCode = "BHD";
    d.DirectDeliveryDate = d.DirectDeliveryEndDate = Date::FromYmd(2026, 12, 5);
    d.DirectDeliverySubtotal = d.DirectDeliveryTotalAmount = 100;
    d.DirectDeliveryFCSubtotal = d.DirectDeliveryFCTotalAmount = 100;
    d.LastUpdate = Date::FromYmd(2026, 12, 5);
    d.OnlineFlag = online;
    EXPECT_TRUE(d.Create_Direct_Delivery()) << d.ErrDesc();
    EXPECT_TRUE(d.Process_Direct_Delivery()) << d.ErrDesc();
    return d;
  }
};

TEST_F(BooksCheckTest, AmountsThatAreNoFiniteNumberAreNamedAndTheCheckGoesOn) {
  const std::string infinity = UsingPostgres() ? "'Infinity'" : "1e999";
  const std::string minus_infinity = UsingPostgres() ? "'-Infinity'" : "-1e999";
  conn->Execute("UPDATE Chart_Of_Accounts SET Current_Balance = " + infinity +
                " WHERE Account_No = '01011000'");
  const Value movement = MovementOf("0101OPN", "01P200");
  conn->Execute(
      "UPDATE Stock_Movement SET In_Amount = " + minus_infinity + " WHERE Movement_ID = ?",
      {movement});
  std::vector<std::string> expected = {
      "Account 01011000: Current_Balance is inf, not a finite number",
      "Stock movement " + movement.ToText() +
          " of document 0101OPN: In_Amount is -inf, not a finite number"};
  // SQLite keeps a text it cannot convert in a number column; PostgreSQL refuses it but keeps NaN.
  if (UsingPostgres()) {
    conn->Execute("UPDATE Item_Master SET Stock_Amount = 'NaN' WHERE Item_Code = '01P100'");
    expected.insert(expected.begin() + 1, "Item 01P100: Stock_Amount is NaN, not a finite number");
  } else {
    conn->Execute("UPDATE Item_Master SET Stock_Amount = 'lots' WHERE Item_Code = '01P100'");
    expected.insert(expected.begin() + 1,
                    "Item 01P100: Stock_Amount is 'lots', not a finite number");
  }
  // Each bad value is told once: the sums it takes part in are not compared as well.
  EXPECT_EQ(Books(), expected);

  auto report = services::InspectBooks(*conn);
  ASSERT_EQ(report.checked.size(), 6u);
  EXPECT_EQ(report.checked[0],
            "amounts: " +
                std::to_string(Count("Chart_Of_Accounts") * 2 + Count("General_Ledger") * 4 +
                               Count("Accounts_Receivable_Ledger") * 4 + Count("Item_Master") * 2 +
                               Count("Stock_Movement") * 7 + Count("Location_Stock") +
                               Count("Customer_Master") + Count("Customer_Master_Balance") * 2) +
                " values in 8 tables");
  EXPECT_EQ(report.checked[2], "stock: " + std::to_string(Count("Item_Master")) + " items, " +
                                   std::to_string(Count("Stock_Movement")) + " stock movements");
}

TEST_F(BooksCheckTest, RowsOfMissingItemsCustomersAndHeadersAreNamed) {
  const std::string movement = MovementOf("0101OPN", "01P300").ToText();
  conn->Execute("DELETE FROM Item_Master WHERE Item_Code = '01P300'");
  Record()
      .Set("Document_No", "0101OBI9")
      .Set("Customer_Code", "01C404")
      .Insert(*conn, "Accounts_Receivable_Ledger");
  const std::string receivable = Scalar("SELECT ARL_ID FROM Accounts_Receivable_Ledger").ToText();
  Record()
      .Set("SL_No", 900)
      .Set("Delivery_No", "0101DEL77")
      .Set("Item_Code", "01P100")
      .Insert(*conn, "Delivery_Detail");
  // Processed headers without lines: a delivery is wrong, a direct delivery may have none, and a
  // saved draft may be empty.
  Record().Set("Delivery_No", "0101DEL78").Insert(*conn, "Delivery_Master");
  Record().Set("Delivery_No", "0101DELTMP5").Insert(*conn, "Delivery_Master");
  Record().Set("Direct_Delivery_No", "0101DDL9").Insert(*conn, "Direct_Delivery_Master");
  EXPECT_EQ(Books(), (std::vector<std::string>{
                         "Stock movement " + movement +
                             " of document 0101OPN names item 01P300, which is not in the item "
                             "master",
                         "Receivable line " + receivable +
                             " of document 0101OBI9 names customer 01C404, which is not in the "
                             "customer master",
                         "Line 900 of Delivery_Detail belongs to delivery 0101DEL77, which has no "
                         "header",
                         "Delivery 0101DEL78 is processed but has no lines"}));
}

TEST_F(BooksCheckTest, ProcessedDocumentsHaveTheirPostingsOrAwaitSynchronisation) {
  DirectDelivery online = Deliver(true);
  DirectDelivery offline = Deliver(false);
  ASSERT_EQ(online.DirectDeliveryNo, "0101DDL1");
  ASSERT_EQ(offline.DirectDeliveryNo, "0101DDL2");
  auto report = services::InspectBooks(*conn);
  EXPECT_EQ(report.violations, std::vector<std::string>{});
  EXPECT_EQ(report.awaiting_synchronisation,
            std::vector<std::string>{
                "Direct delivery 0101DDL2 is processed off-line: no postings until it is "
                "synchronised"});
  EXPECT_EQ(report.checked[4],
            "documents: 0 sales orders (0 processed), 0 deliveries (0 processed), 2 direct "
            "deliveries (2 processed), 0 cash memos (0 processed), 0 sales invoices (0 processed), "
            "0 sales returns (0 processed)");

  // A delivery made from a cash memo posts nothing; one made from an order posts its goods.
  Record().Set("Cash_Memo_No", "0101CHM4").Insert(*conn, "Cash_Memo_Master");
  Record()
      .Set("Delivery_No", "0101DEL3")
      .Set("Source_No", "0101CHM4")
      .Insert(*conn, "Delivery_Master");
  Record()
      .Set("SL_No", 901)
      .Set("Delivery_No", "0101DEL3")
      .Set("Item_Code", "01P100")
      .Set("Inventory_Value", 25.0)
      .Insert(*conn, "Delivery_Detail");
  EXPECT_EQ(Books(), std::vector<std::string>{});
  conn->Execute("UPDATE Delivery_Master SET Source_No = '0101SOR1'");
  EXPECT_EQ(Books(), std::vector<std::string>{
                         "Delivery 0101DEL3 is processed and its lines carry their cost, but it "
                         "has no postings"});
  conn->Execute("DELETE FROM Delivery_Detail");
  conn->Execute("DELETE FROM Delivery_Master");

  // Postings lost from the on-line delivery: one movement, then the ledger lines, then all.
  const double lamps = Scalar("SELECT Base_Qty FROM Stock_Movement WHERE Movement_ID = ?",
                              {MovementOf("0101DDL1", "01P300")})
                           .ToDouble();
  EXPECT_EQ(lamps, -2);
  conn->Execute(
      "DELETE FROM Stock_Movement WHERE Document_No = '0101DDL1' AND Item_Code = "
      "'01P300'");
  auto v = Books();
  EXPECT_TRUE(Has(v,
                  "Direct delivery 0101DDL1 is processed but has 0 stock movements of item "
                  "01P300 for 1 stock line"))
      << v.size();
  conn->Execute("DELETE FROM General_Ledger WHERE Document_No = '0101DDL1'");
  v = Books();
  EXPECT_TRUE(Has(v, "Direct delivery 0101DDL1 is processed but has no ledger lines"));
  conn->Execute("DELETE FROM Stock_Movement WHERE Document_No = '0101DDL1'");
  v = Books();
  EXPECT_TRUE(Has(v,
                  "Direct delivery 0101DDL1 is processed and its lines carry their cost, but "
                  "it has no postings"));
  EXPECT_FALSE(Has(v, "Direct delivery 0101DDL1 is processed but has no ledger lines"));
}

TEST_F(BooksCheckTest, AProcessedInvoiceHasItsReceivableAndLedgerLinesOrAwaitsSynchronisation) {
  Record()
      .Set("Customer_Code", "01C002")
      .Set("Customer_Name", "Harbour Marine Supplies")
      .Set("Customer_Balance", 40.0)
      .Insert(*conn, "Customer_Master");
  auto receivable = [&](const char* document, double amount) {
    Record()
        .Set("Document_No", document)
        .Set("Customer_Code", "01C002")
        .Set("Account_No", "01011200")
        .Set("Debit_Amount", amount)
        .Set("Credit_Amount", 0.0)
        .Insert(*conn, "Accounts_Receivable_Ledger");
  };
  auto invoice = [&](const char* number, bool with_line) {
    Record()
        .Set("Sales_Inv_No", number)
        .Set("Processed_Flag", 1)
        .Insert(*conn, "Sales_Invoice_Master");
    if (with_line)
      Record()
          .Set("Sales_Inv_No", number)
          .Set("SL_No", 1)
          .Set("Item_Code", "01P100")
          .Insert(*conn, "Sales_Invoice_Detail");
  };
  // A draft, and an opening-balance invoice, which bills its receivable alone, owe no postings.
  invoice("0101INVTMP1", true);
  invoice("0101OBI1", false);
  receivable("0101OBI1", 40);
  auto report = services::InspectBooks(*conn);
  EXPECT_EQ(report.violations, std::vector<std::string>{});
  EXPECT_EQ(report.awaiting_synchronisation, std::vector<std::string>{});

  // Processed off-line: no postings until it is synchronised.
  invoice("0101INV2", true);
  report = services::InspectBooks(*conn);
  EXPECT_EQ(report.violations, std::vector<std::string>{});
  EXPECT_EQ(report.awaiting_synchronisation,
            std::vector<std::string>{
                "Sales invoice 0101INV2 is processed off-line: no postings until it is "
                "synchronised"});
  EXPECT_EQ(report.checked[4],
            "documents: 0 sales orders (0 processed), 0 deliveries (0 processed), 0 direct "
            "deliveries (0 processed), 0 cash memos (0 processed), 3 sales invoices (2 processed), "
            "0 sales returns (0 processed)");

  // Some postings without the others.
  receivable("0101INV2", 0);
  EXPECT_EQ(Books(), std::vector<std::string>{"Sales invoice 0101INV2 is processed but has no "
                                              "ledger lines"});
  conn->Execute("DELETE FROM Accounts_Receivable_Ledger WHERE Document_No = '0101INV2'");
  Record()
      .Set("Document_No", "0101INV2")
      .Set("Account_No", "01011200")
      .Set("Debit_Amount", 0.0)
      .Set("Credit_Amount", 0.0)
      .Insert(*conn, "General_Ledger");
  report = services::InspectBooks(*conn);
  EXPECT_EQ(report.violations, std::vector<std::string>{"Sales invoice 0101INV2 is processed but "
                                                        "has no receivable line"});
  EXPECT_EQ(report.awaiting_synchronisation, std::vector<std::string>{});
  receivable("0101INV2", 0);
  EXPECT_EQ(Books(), std::vector<std::string>{});

  // A delivery line billed beyond what it delivered.
  Record().Set("Direct_Delivery_No", "0101DDL7").Insert(*conn, "Direct_Delivery_Master");
  Record()
      .Set("SL_No", 3)
      .Set("Direct_Delivery_No", "0101DDL7")
      .Set("Direct_Delivery_Qty", 2.0)
      .Set("Invoiced_Qty", 2.5)
      .Insert(*conn, "Direct_Delivery_Detail");
  EXPECT_EQ(Books(), std::vector<std::string>{"Line 3 of Direct_Delivery_Detail 0101DDL7 is "
                                              "invoiced 2.5, more than the 2 delivered"});
}

}  // namespace
}  // namespace qlnsales::testing
