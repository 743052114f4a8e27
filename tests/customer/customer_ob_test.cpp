#include <gtest/gtest.h>

#include "db/record.h"
#include "qlnsales/customer.h"
#include "qlnsales/customer_ob.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

class CustomerOBTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    Customer c;
    c.ConnectionString = cs;
    c.CustomerCode = "01C001";
    c.CustomerName = "Gulf Traders";
    c.CustomerCurrencyCode = c.CurrencyCode = "BHD";
    c.CustomerPaymentTerms = "30 days";
    c.CustomerPaymentType = "Credit";
    ASSERT_TRUE(c.Create_Customer());
    grid = std::make_shared<MemoryGrid>(4, 9);
  }
  CustomerOB Make() {
    CustomerOB ob;
    ob.ConnectionString = cs;
    ob.AdoConnectionObject = conn;
    ob.CustomerCode = "01C001";
    ob.CustomerName = "Gulf Traders";
    ob.CompanyPrefix = "01";
    ob.BranchPrefix = "02";
    ob.DocumentPrefix = "OBI";
    ob.CurrencyCode = "BHD";
    ob.LastUpdate = Date::FromYmd(2026, 12, 6);
    ob.GridName = grid;
    return ob;
  }
  void Line(int row, const std::string& ref, const std::string& date, const std::string& amount,
            const std::string& rate = "1", const std::string& comment = "") {
    grid->SetTextMatrix(row, 1, ref);
    grid->SetTextMatrix(row, 2, date);
    grid->SetTextMatrix(row, 3, amount);
    grid->SetTextMatrix(row, 5, rate);
    grid->SetTextMatrix(row, 6, comment);
  }
  double OpeningBalance(const std::string& account) {
    return Scalar("SELECT Opening_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  std::shared_ptr<MemoryGrid> grid;
};

TEST_F(CustomerOBTest, ChecksAndWhatASaveStores) {
  CustomerOB ob = Make();
  ob.CustomerCode = "";
  EXPECT_FALSE(ob.Create_OB("Debit"));
  EXPECT_EQ(ob.ErrDesc(), "Invalid Customer");
  ob.CustomerCode = "01C001";
  ob.AdoConnectionObject = nullptr;  // missing counts as closed
  EXPECT_FALSE(ob.Validation());
  EXPECT_EQ(ob.ErrDesc(), "Invalid Connection.");
  ob.AdoConnectionObject = conn;
  Line(1, "", "31/03/2026", "5");
  Line(2, "INV-2", "", "5");
  EXPECT_FALSE(ob.Validation());  // row 2 has an entry, so row 1 must have its reference
  EXPECT_EQ(ob.ErrDesc(), "Invalid Reference No.");
  grid->SetTextMatrix(2, 1, "");
  grid->SetTextMatrix(1, 1, "INV-1");
  grid->SetTextMatrix(1, 2, "");
  EXPECT_FALSE(ob.Validation());
  EXPECT_EQ(ob.ErrDesc(), "Invalid Reference Date");

  Line(1, "INV-1", "31/03/2026", "500", "1", "old invoice");
  Line(2, "INV-2", "15/04/2026", "-20.5");
  Line(3, "INV-3", "", "70");  // ends the entries
  ASSERT_TRUE(ob.Create_OB(" Debit ")) << ob.ErrDesc();
  auto rows = conn->Query("SELECT * FROM Customer_OB ORDER BY SL_No");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Text("OBType"), "Debit");
  EXPECT_EQ(rows[0].Int32("SL_No"), 1);
  EXPECT_EQ(rows[0].Text("Ref_Date"), "31/03/2026");
  EXPECT_EQ(rows[0].Double("Balance_Amount"), 500);
  EXPECT_EQ(rows[0].Text("OB_Comments"), "old invoice");
  EXPECT_EQ(rows[0].Text("Currency_Symbol"), "BD");
  EXPECT_EQ(rows[0].Text("Branch_Prefix"), "02");
  EXPECT_EQ(rows[1].Double("Balance_FCAmount"), -20.5);
  EXPECT_TRUE(rows[1].IsNull("OB_Comments"));

  // An amount of 0 after valid rows fails before anything is deleted.
  Line(2, "INV-2", "15/04/2026", "0");
  EXPECT_FALSE(ob.Create_OB("Debit"));
  EXPECT_EQ(ob.ErrDesc(), "Invalid Amount");
  EXPECT_EQ(Count("Customer_OB"), 2);

  // An empty grid deletes the stored items of that type and branch only.
  Record()
      .Set("OBType", "Debit")
      .Set("SL_No", 1)
      .Set("Customer_Code", "01C001")
      .Set("Branch_Prefix", "01")
      .Insert(*conn, "Customer_OB");
  auto empty = std::make_shared<MemoryGrid>(3, 9);
  ob.GridName = empty;
  EXPECT_TRUE(ob.Create_OB("Debit"));
  EXPECT_EQ(Count("Customer_OB"), 1);
  EXPECT_EQ(Count("Customer_OB", "Branch_Prefix = '01'"), 1);
}

TEST_F(CustomerOBTest, ProcessingAnOpeningDebitMakesAProcessedInvoiceOnce) {
  CustomerOB ob = Make();
  Line(1, "INV-1", "31/03/2026", "500", "1", "old invoice");
  ASSERT_TRUE(ob.Create_OB("Debit"));
  ASSERT_TRUE(ob.Process_OB("Debit")) << ob.ErrDesc();

  auto inv = conn->Query("SELECT * FROM Sales_Invoice_Master");
  ASSERT_EQ(inv.size(), 1u);
  Row r = inv.front();
  EXPECT_EQ(r.Text("Sales_Inv_No"), "0102OBI1");
  EXPECT_EQ(r.Int32("Sales_Inv_Identity"), 1);
  EXPECT_EQ(r.DateValue("Sales_Inv_Date"), Date::FromYmd(2026, 3, 31));
  EXPECT_EQ(r.Text("Payment_Terms"), "30 days");
  EXPECT_EQ(r.Text("Payment_Type"), "Credit");
  EXPECT_EQ(r.Double("Sales_Inv_Total_Amount"), 500);
  EXPECT_EQ(r.Double("Balance_Amount"), 500);
  EXPECT_EQ(r.Int32("Processed_Flag"), 1);
  EXPECT_EQ(r.Text("Sales_Inv_Comments"), "INV-1 : old invoice");

  auto arl = conn->Query("SELECT * FROM Accounts_Receivable_Ledger");
  ASSERT_EQ(arl.size(), 1u);
  EXPECT_EQ(arl.front().Text("Account_No"), "01021200");  // the branch part replaced
  EXPECT_EQ(arl.front().Double("Debit_Amount"), 500);
  EXPECT_EQ(arl.front().Text("ARL_Description"), "Customer Opening Balance Customer Code-C001");
  EXPECT_EQ(Count("Customer_OB", "OB_Inv_No = ?", {"0102OBI1"}), 1);
  EXPECT_EQ(OpeningBalance("01021200"), 500);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // A second call generates nothing twice.
  ASSERT_TRUE(ob.Process_OB("Debit"));
  EXPECT_EQ(Count("Sales_Invoice_Master"), 1);
  EXPECT_EQ(OpeningBalance("01021200"), 500);

  // The grid shows the generated document and the object says the set was processed.
  auto shown = std::make_shared<MemoryGrid>(2, 9);
  CustomerOB reader = Make();
  reader.GridName = shown;
  ASSERT_TRUE(reader.Get_OB("Debit"));
  EXPECT_TRUE(reader.ProcessedFlag());
  EXPECT_EQ(shown->TextMatrix(1, 1), "INV-1");
  EXPECT_EQ(shown->TextMatrix(1, 3), "500");
  EXPECT_EQ(shown->TextMatrix(1, 7), "1");
  EXPECT_EQ(shown->TextMatrix(1, 8), "0102OBI1");
  conn->Execute("UPDATE Customer_OB SET OB_Inv_No = NULL");
  ASSERT_TRUE(reader.Get_OB("Debit"));
  EXPECT_FALSE(reader.ProcessedFlag());  // a reused object tells the truth
}

TEST_F(CustomerOBTest, TypesAdvanceReceiptsAndSynchronisation) {
  CustomerOB ob = Make();
  ob.DocumentPrefix = "OBR";
  Line(1, "RCT-1", "01/Mar/2026", "80");
  Line(2, "RCT-2", "2026-03-02", "40");
  ASSERT_TRUE(ob.Create_OB("Credit"));
  conn->Execute(
      "UPDATE Default_Account_Preferences SET AdvRec_Account_No = NULL WHERE Branch_Prefix = '02'");
  EXPECT_FALSE(ob.Process_OB("Credit"));
  EXPECT_EQ(ob.ErrDesc(),
            "Set Default Preferences for Advance Receipt Account in Account Preferences.");
  EXPECT_EQ(Count("Receipt_Master"), 0);  // checked before the first document

  conn->Execute(
      "UPDATE Default_Account_Preferences SET AdvRec_Account_No = '01012200' WHERE Branch_Prefix = "
      "'02'");
  conn->Execute(
      "UPDATE Chart_Of_Accounts SET Opening_Balance = NULL WHERE Account_No = '01022200'");
  ASSERT_TRUE(ob.Process_OB("Credit")) << ob.ErrDesc();
  auto rct = conn->Query("SELECT * FROM Receipt_Master ORDER BY Receipt_No");
  ASSERT_EQ(rct.size(), 2u);
  EXPECT_EQ(rct[0].Text("Receipt_No"), "0102OBR1");
  EXPECT_EQ(rct[0].Text("Receipt_To"), "Customer");
  EXPECT_EQ(rct[0].Text("Receipt_Status"), "Processed");
  EXPECT_TRUE(rct[0].Flag("Advance_Payment_Flag"));
  EXPECT_EQ(rct[1].DateValue("Receipt_Date"), Date::FromYmd(2026, 3, 2));
  EXPECT_EQ(Scalar("SELECT SUM(Credit_Amount) FROM Accounts_Receivable_Ledger WHERE Account_No = "
                   "'01022200'")
                .ToDouble(),
            120);
  EXPECT_EQ(OpeningBalance("01022200"), -120);  // a null balance counts as 0
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // "DEBIT" in capitals is a debit everywhere, and with SyncFlag no opening balance moves.
  CustomerOB sync = Make();
  sync.SyncFlag = true;
  Line(1, "INV-9", "05/05/2026", "300");
  grid->SetTextMatrix(2, 1, "");
  ASSERT_TRUE(sync.Create_OB("DEBIT"));
  ASSERT_TRUE(sync.Process_OB("DEBIT")) << sync.ErrDesc();
  EXPECT_EQ(Count("Sales_Invoice_Master"), 1);
  EXPECT_EQ(OpeningBalance("01021200"), 0);
  sync.SyncFlag = false;
  Line(2, "INV-10", "06/05/2026", "25");
  ASSERT_TRUE(sync.Create_OB("DEBIT"));  // saving again drops the marks: both are new again
  ASSERT_TRUE(sync.Process_OB("DEBIT"));
  EXPECT_EQ(OpeningBalance("01021200"), 325);
}

TEST_F(CustomerOBTest, BadDatesAndMissingAccountsStopBeforeAnythingIsGenerated) {
  CustomerOB ob = Make();
  Line(1, "INV-1", "31/03/2026", "500");
  Line(2, "INV-2", "31/13/2026", "10");
  ASSERT_TRUE(ob.Create_OB("Debit"));
  EXPECT_FALSE(ob.Process_OB("Debit"));
  EXPECT_EQ(ob.ErrDesc(),
            "Invalid Reference Date '31/13/2026' of reference INV-2: use dd/mm/yyyy, dd/MMM/yyyy "
            "or yyyy-mm-dd");
  EXPECT_EQ(Count("Sales_Invoice_Master"), 0);

  conn->Execute("UPDATE Default_Account_Preferences SET AR_Account_No = NULL");
  EXPECT_FALSE(ob.Process_OB("Debit"));
  EXPECT_EQ(ob.ErrDesc(), "Invalid Accounts Receivable Account");

  CustomerOB none = Make();
  none.ConnectionString = "";
  EXPECT_FALSE(none.Get_OB("Debit"));
  EXPECT_EQ(none.ErrDesc(), "Invalid Connection String");

  // Get_OB grows a two-row grid to hold four items.
  conn->Execute("DELETE FROM Customer_OB");
  for (int i = 1; i <= 4; ++i)
    Record()
        .Set("OBType", "Debit")
        .Set("SL_No", i)
        .Set("Customer_Code", "01C001")
        .Set("Branch_Prefix", "02")
        .Set("Ref_No", " R" + std::to_string(i) + " ")
        .Set("Balance_FCAmount", 1.5 * i)
        .Insert(*conn, "Customer_OB");
  auto small = std::make_shared<MemoryGrid>(2, 9);
  none.ConnectionString = cs;
  none.GridName = small;
  ASSERT_TRUE(none.Get_OB("Debit"));
  EXPECT_EQ(small->Rows(), 5);
  EXPECT_EQ(small->TextMatrix(4, 1), "R4");
  EXPECT_EQ(small->TextMatrix(4, 3), "6");
}

TEST_F(CustomerOBTest, OneSetPerTypeWhateverItsSpellingAndOnlyForAKnownCustomer) {
  CustomerOB ob = Make();
  Line(1, "INV-1", "31/03/2026", "500");
  ASSERT_TRUE(ob.Create_OB("Debit"));
  auto shown = std::make_shared<MemoryGrid>(2, 9);
  CustomerOB reader = Make();
  reader.GridName = shown;
  ASSERT_TRUE(reader.Get_OB(" debit "));
  EXPECT_EQ(shown->TextMatrix(1, 1), "INV-1");

  // Processed under another spelling, the stored set is generated and marked.
  ASSERT_TRUE(ob.Process_OB("DEBIT")) << ob.ErrDesc();
  EXPECT_EQ(Count("Sales_Invoice_Master"), 1);
  EXPECT_EQ(Count("Customer_OB", "OBType = 'Debit' AND OB_Inv_No = '0102OBI1'"), 1);
  EXPECT_EQ(OpeningBalance("01021200"), 500);
  ASSERT_TRUE(ob.Process_OB(" debit"));  // the same set: nothing is generated twice
  EXPECT_EQ(Count("Sales_Invoice_Master"), 1);
  EXPECT_EQ(OpeningBalance("01021200"), 500);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // Saved under another spelling, the set replaces the stored one instead of joining it.
  Line(1, "INV-2", "01/04/2026", "70");
  ASSERT_TRUE(ob.Create_OB(" DEBIT "));
  auto rows = conn->Query("SELECT OBType, Ref_No FROM Customer_OB");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Text("OBType"), "DEBIT");
  EXPECT_EQ(rows[0].Text("Ref_No"), "INV-2");
  // An empty grid removes it under any spelling too, and leaves the other types alone.
  Record()
      .Set("OBType", "Credit")
      .Set("SL_No", 1)
      .Set("Customer_Code", "01C001")
      .Set("Branch_Prefix", "02")
      .Insert(*conn, "Customer_OB");
  ob.GridName = std::make_shared<MemoryGrid>(3, 9);
  ASSERT_TRUE(ob.Create_OB("debit"));
  EXPECT_EQ(Count("Customer_OB"), 1);
  EXPECT_EQ(Count("Customer_OB", "OBType = 'Credit'"), 1);

  // A customer code missing from the customer master is refused before anything is written.
  CustomerOB stranger = Make();
  stranger.CustomerCode = "01C404";
  Line(1, "INV-7", "31/03/2026", "90");
  ASSERT_TRUE(stranger.Create_OB("Debit"));
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_FALSE(stranger.Process_OB("Debit"));
  EXPECT_EQ(stranger.ErrDesc(), "Invalid Customer: 01C404 is not in the customer master.");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

}  // namespace
}  // namespace qlnsales::testing
