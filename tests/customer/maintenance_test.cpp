#include <gtest/gtest.h>

#include "base/convert.h"
#include "db/record.h"
#include "db/schema.h"
#include "qlnsales/customer.h"
#include "qlnsales/shell.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

class MaintenanceTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    shell = std::make_shared<ScriptedShell>();
    SetShell(shell);
    for (const char* code : {"01C001", "01C002"}) {
      Customer c = Make(code);
      ASSERT_TRUE(c.Create_Customer()) << c.ErrDesc();
    }
  }
  void TearDown() override {
    SetShell(nullptr);
    DbTest::TearDown();
  }
  Customer Make(const std::string& code) {
    Customer c;
    c.ConnectionString = cs;
    c.AdoConnectionObject = conn;
    c.CompanyPrefix = "01";
    c.BranchPrefix = "01";
    c.CustomerCode = code;
    c.CustomerName = "Customer " + code;
    c.CustomerCurrencyCode = c.CurrencyCode = "BHD";
    c.ARAccountNo = "01011200";
    return c;
  }
  std::shared_ptr<ScriptedShell> shell;
};

TEST_F(MaintenanceTest, ACustomerWithAnyDocumentCannotBeDeleted) {
  Record()
      .Set("Cash_Memo_No", "0101CHMTMP1")
      .Set("Customer_Code", "01C001")
      .Insert(*conn, "Cash_Memo_Master");
  Customer c = Make("01C001");
  EXPECT_FALSE(c.DeleteRecord());
  EXPECT_EQ(c.ErrDesc(), "This Customer could not be deleted, due to existing transactions");
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ? AND Allow_Delete_Flag = 0", {"01C001"}), 1);

  // Receipts, receivable lines and direct deliveries count as documents too.
  Customer d = Make("01C002");
  Record().Set("Receipt_No", "R1").Set("Receipt_To_Code", "01C002").Insert(*conn, "Receipt_Master");
  EXPECT_FALSE(d.DeleteRecord());
  conn->Execute("DELETE FROM Receipt_Master");
  Record()
      .Set("Document_No", "X")
      .Set("Customer_Code", "01C002")
      .Insert(*conn, "Accounts_Receivable_Ledger");
  EXPECT_FALSE(d.DeleteRecord());
  conn->Execute("DELETE FROM Accounts_Receivable_Ledger");
  Record()
      .Set("Direct_Delivery_No", "D")
      .Set("Customer_Code", "01C002")
      .Insert(*conn, "Direct_Delivery_Master");
  EXPECT_FALSE(d.DeleteRecord());
  conn->Execute("DELETE FROM Direct_Delivery_Master");

  EXPECT_TRUE(d.DeleteRecord()) << d.ErrDesc();
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"01C002"}), 0);
  EXPECT_EQ(Count("Customer_Master_Balance", "Customer_Code = ?", {"01C002"}), 1);  // left alone

  Customer gone = Make("01C404");
  EXPECT_FALSE(gone.DeleteRecord());
  EXPECT_EQ(gone.ErrDesc(), "");
  EXPECT_TRUE(shell->messages().empty());
}

TEST_F(MaintenanceTest, AccountNameAndSettlementOfTheOpeningDocument) {
  Customer c = Make("01C001");
  EXPECT_EQ(c.Get_AR_Account_Name(), "Accounts Receivable");
  EXPECT_EQ(c.ARAccountName, "Accounts Receivable");
  c.ConnectionString = "";  // falls back to the connection object
  c.ARAccountNo = "01019999";
  EXPECT_EQ(c.Get_AR_Account_Name(), "");
  EXPECT_EQ(c.ErrDesc(), "Invalid Account");

  Record()
      .Set("Sales_Inv_No", "0101OBI1")
      .Set("Sales_Inv_Total_Amount", 500.0)
      .Set("Balance_Amount", 500.0)
      .Insert(*conn, "Sales_Invoice_Master");
  Record()
      .Set("Receipt_No", "0101OBR1")
      .Set("Receipt_Amount", 80.0)
      .Set("Balance_Amount", 30.0)
      .Insert(*conn, "Receipt_Master");
  Customer a = Make("01C001");
  a.CustomerOBType = "debit";
  a.CustomerOBDocumentNo = "0101OBI1";
  EXPECT_FALSE(a.Adjusted());
  conn->Execute("UPDATE Sales_Invoice_Master SET Balance_Amount = 200");
  EXPECT_TRUE(a.Adjusted());
  a.CustomerOBType = "Credit";
  a.CustomerOBDocumentNo = "0101OBR1";
  EXPECT_TRUE(a.Adjusted());
  a.CustomerOBDocumentNo = "missing";
  EXPECT_TRUE(a.Adjusted());
}

TEST_F(MaintenanceTest, DeletePreviousOpeningDocumentWithItsReceivableLines) {
  Record()
      .Set("Sales_Inv_No", "0101OBI1")
      .Set("Customer_Code", "01C001")
      .Insert(*conn, "Sales_Invoice_Master");
  Record().Set("Receipt_No", "0101OBI1").Insert(*conn, "Receipt_Master");
  Record()
      .Set("Document_No", "0101OBI1")
      .Set("Customer_Code", "01C001")
      .Set("Debit_Amount", 500.0)
      .Insert(*conn, "Accounts_Receivable_Ledger");
  conn->Execute("UPDATE Customer_Master SET Customer_Balance = 500 WHERE Customer_Code = '01C001'");
  Customer c = Make("01C001");
  std::string type = "debit", ref = " 0101OBI1 ";
  ASSERT_TRUE(c.Delete_Previous_OB(type, ref)) << c.ErrDesc();
  EXPECT_EQ(Count("Sales_Invoice_Master"), 0);
  EXPECT_EQ(Count("Receipt_Master"), 1);  // a debit touches invoices only
  EXPECT_EQ(Count("Accounts_Receivable_Ledger"), 0);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // The receivable module's failure is shown and kept in ErrDesc.
  c.AdoConnectionObject = std::make_shared<Connection>();
  EXPECT_FALSE(c.Delete_Previous_OB(type, ref));
  EXPECT_EQ(c.ErrDesc(), "Operation is not allowed when the object is closed.");
  ASSERT_EQ(shell->messages().size(), 1u);
  EXPECT_EQ(shell->messages()[0].text, c.ErrDesc());
}

TEST_F(MaintenanceTest, CodeChangesReachEveryTableAndAHalfDoneChangeCanBeResumed) {
  // One row holding 01C001 in every place a customer code is kept.
  const std::vector<std::pair<std::string, std::string>> places = {
      {"Customer_OB", "Customer_Code"},          {"Accounts_Receivable_Ledger", "Customer_Code"},
      {"AR_Adjustment_Detail", "Customer_Code"}, {"AR_Adjustment_Master", "Customer_Code"},
      {"Receipt_Master", "Receipt_To_Code"},     {"PDC_Master", "CustomerID"},
      {"Delivery_Master", "Customer_Code"},      {"Cash_Memo_Master", "Customer_Code"},
      {"Sales_Invoice_Master", "Customer_Code"}, {"Sales_Order_Master", "Customer_Code"},
      {"Sales_Return_Master", "Customer_Code"},  {"Direct_Delivery_Master", "Customer_Code"},
      {"Customer_Address", "Customer_Code"}};
  auto key_of = [](const std::string& table) -> std::string {
    if (table == "Customer_OB") return "OBType";
    if (table == "Accounts_Receivable_Ledger" || table == "AR_Adjustment_Detail" ||
        table == "PDC_Master")
      return "";
    if (table == "Customer_Address") return "Address_Code";
    if (table == "AR_Adjustment_Master") return "AR_Adjustment_No";
    if (table == "Receipt_Master") return "Receipt_No";
    if (table == "Delivery_Master") return "Delivery_No";
    if (table == "Cash_Memo_Master") return "Cash_Memo_No";
    if (table == "Sales_Invoice_Master") return "Sales_Inv_No";
    if (table == "Sales_Order_Master") return "Sales_Ord_No";
    if (table == "Sales_Return_Master") return "Sales_Rtn_No";
    return "Direct_Delivery_No";
  };
  for (const auto& [table, column] : places) {
    Record r;
    r.Set(column, "01C001");
    if (!key_of(table).empty()) r.Set(key_of(table), "K1");
    if (table == "Customer_OB") r.Set("SL_No", 1).Set("Branch_Prefix", "01");
    r.Insert(*conn, table);
  }
  auto grid = std::make_shared<MemoryGrid>(4, 4);
  grid->SetTextMatrix(1, 1, "x");
  grid->SetTextMatrix(1, 2, "C001");
  grid->SetTextMatrix(1, 3, "C101");
  grid->SetTextMatrix(2, 1, "x");
  grid->SetTextMatrix(2, 2, "C002");
  grid->SetTextMatrix(2, 3, "C101");  // now taken by the first row
  Customer c = Make("01C001");
  c.GridName = grid;
  // The second row's code is taken by the first: the whole change fails and nothing moves.
  EXPECT_FALSE(c.Change_Customer_Code());
  EXPECT_EQ(c.ErrDesc(), "This C101 code already in use");
  for (const auto& [table, column] : places)
    EXPECT_EQ(Count(table, column + " = ?", {"01C001"}), 1) << table;
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"01C101"}), 0);
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"01C002"}), 1);
  grid->SetTextMatrix(2, 3, "C102");
  ASSERT_TRUE(c.Change_Customer_Code()) << c.ErrDesc();
  for (const auto& [table, column] : places)
    EXPECT_EQ(Count(table, column + " = ?", {"01C101"}), 1) << table;
  EXPECT_EQ(Count("Customer_Master_Balance", "Customer_Code = ?", {"01C101"}), 1);
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"01C102"}), 1);
  EXPECT_EQ(Scalar("SELECT Last_Update FROM Customer_Master WHERE Customer_Code = ?", {"01C101"})
                .ToDate(),
            Date::Today());

  // A grid whose first row is empty changes nothing.
  auto empty = std::make_shared<MemoryGrid>(3, 4);
  c.GridName = empty;
  EXPECT_TRUE(c.Change_Customer_Code());
  c.GridName = nullptr;
  EXPECT_THROW(c.Change_Customer_Code(), Error);

  // A change that fails at table 7 leaves tables 1 to 6 as they were; once the table is back the
  // same call does it all.
  conn->Execute("DROP TABLE PDC_Master");
  std::string from = "01C101", to = "01C201";
  EXPECT_FALSE(c.Change_Code(from, to));
  EXPECT_NE(convert::LCase(c.ErrDesc()).find("pdc_master"), std::string::npos) << c.ErrDesc();
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = ?", {"01C101"}), 1);
  EXPECT_EQ(Count("Receipt_Master", "Receipt_To_Code = ?", {"01C101"}), 1);
  EXPECT_EQ(Count("Delivery_Master", "Customer_Code = ?", {"01C101"}), 1);
  db::CreateSchema(*conn);
  EXPECT_TRUE(c.Change_Code(from, to)) << c.ErrDesc();
  EXPECT_EQ(Count("Delivery_Master", "Customer_Code = ?", {"01C201"}), 1);
  EXPECT_EQ(Count("Customer_Address", "Customer_Code = ?", {"01C201"}), 1);

  std::string bad_table = "Customer_Master; DROP TABLE Item_Master", col = "Customer_Code";
  EXPECT_FALSE(c.Execute_Change_Code(bad_table, col, to, from));
  EXPECT_EQ(c.ErrDesc(),
            "'Customer_Master; DROP TABLE Item_Master' is not a valid table or column name");
  EXPECT_EQ(Count("Item_Master"), 4);
}

TEST_F(MaintenanceTest, ACodeChangeOntoADeletedCustomersLeftoversIsRefusedBeforeAnyWrite) {
  auto address = [&](const std::string& customer, const std::string& code) {
    Record()
        .Set("Customer_Code", customer)
        .Set("Address_Code", code)
        .Set("Customer_Address", "Road " + code)
        .Insert(*conn, "Customer_Address");
  };
  address("01C001", "A1");
  Customer gone = Make("01C002");
  ASSERT_TRUE(gone.DeleteRecord()) << gone.ErrDesc();  // its balance row stays behind
  address("01C002", "A1");
  auto grid = std::make_shared<MemoryGrid>(3, 4);
  grid->SetTextMatrix(1, 1, "x");
  grid->SetTextMatrix(1, 2, "C001");
  grid->SetTextMatrix(1, 3, "C002");
  Customer c = Make("01C001");
  c.GridName = grid;

  const TableSnapshot start = TakeSnapshot(*conn);
  EXPECT_FALSE(c.Change_Customer_Code());
  EXPECT_EQ(c.ErrDesc(),
            "The code 01C002 still has rows in Customer_Address; remove them before changing a "
            "code to it");
  EXPECT_EQ(SnapshotDiff(start, TakeSnapshot(*conn)), "");
  conn->Execute("DELETE FROM Customer_Address WHERE Customer_Code = '01C002'");

  const TableSnapshot without_address = TakeSnapshot(*conn);
  EXPECT_FALSE(c.Change_Customer_Code());
  EXPECT_EQ(c.ErrDesc(),
            "The code 01C002 still has rows in Customer_Master_Balance; remove them before "
            "changing a code to it");
  EXPECT_EQ(SnapshotDiff(without_address, TakeSnapshot(*conn)), "");
  conn->Execute("DELETE FROM Customer_Master_Balance WHERE Customer_Code = '01C002'");

  ASSERT_TRUE(c.Change_Customer_Code()) << c.ErrDesc();
  EXPECT_EQ(Count("Customer_Master", "Customer_Code = '01C002'"), 1);
  EXPECT_EQ(Count("Customer_Address", "Customer_Code = '01C002' AND Address_Code = 'A1'"), 1);
  EXPECT_EQ(Count("Customer_Master_Balance", "Customer_Code = '01C002'"), 1);
  EXPECT_EQ(Count("Customer_Master_Balance", "Customer_Code = '01C001'"), 0);

  // Called by name, the change refuses an existing customer's code the same way, and a code
  // changed onto itself is no change at all.
  Customer d = Make("01C003");
  ASSERT_TRUE(d.Create_Customer()) << d.ErrDesc();
  std::string from = "01C002", to = "01C003";
  EXPECT_FALSE(c.Change_Code(from, to));
  EXPECT_EQ(c.ErrDesc(),
            "The code 01C003 still has rows in Customer_Master; remove them before changing a "
            "code to it");
  EXPECT_TRUE(c.Change_Code(to, to)) << c.ErrDesc();
  EXPECT_EQ(Count("Customer_Master", "Customer_Code IN ('01C002', '01C003')"), 2);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

}  // namespace
}  // namespace qlnsales::testing
