// The credit memo of a sales return and its posting: the voucher rows, the ledger and receivable
// lines, the numbers, the tax shares, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <memory>

#include "base/convert.h"
#include "db/record.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_return.h"
#include "qlnsales/shell.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

// Answers input boxes from a queue and keeps what each box showed.
class AskingShell : public Shell {
 public:
  struct Asked {
    std::string prompt, title, default_text;
  };
  void MsgBox(const std::string& text, const std::string&) override { shown.push_back(text); }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    asked.push_back({prompt, title, default_text});
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<std::optional<std::string>> answers;
  std::vector<Asked> asked;
  std::vector<std::string> shown;
};

// The figures of a stored return.
struct Figures {
  double subtotal = 100, discount = 10, tax = 9, total = 99;
  double fc_subtotal = 100, fc_discount = 10, fc_total = 99;
  std::string tax_code = "STD";  // as a reader leaves it: without the prefixes
  double tax_rate = 10;
};

class CreditMemoTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    shell = std::make_shared<AskingShell>();
    SetShell(shell);
    Record()
        .Set("Customer_Code", "01C009")
        .Set("Company_Prefix", "01")
        .Set("Customer_Name", "Coral Stores")
        .Set("Customer_Balance", 0.0)
        .Insert(*conn, "Customer_Master");
  }
  void TearDown() override {
    SetShell(nullptr);
    DbTest::TearDown();
  }

  void SeedReturn(const std::string& no, const Figures& f, const std::string& branch = "01") {
    Record()
        .Set("Sales_Rtn_No", no)
        .Set("Sales_Rtn_Identity", 7.0)
        .Set("Company_Prefix", "01")
        .Set("Branch_Prefix", branch)
        .Set("Document_Prefix", "SRT")
        .Set("Sales_Rtn_Date", Date::FromYmd(2026, 12, 14))
        .Set("Customer_Code", "01C009")
        .Set("Customer_Name", "Coral Stores")
        .Set("Foreign_Currency_Flag", false)
        .Set("Currency_Code", "BHD")
        .Set("Currency_Symbol", " BD ")
        .Set("Sales_Rtn_SubTotal", f.subtotal)
        .Set("Sales_Rtn_Disc_Amount", f.discount)
        .Set("Sales_Rtn_Total_Amount", f.total)
        .Set("Sales_Rtn_FC_SubTotal", f.fc_subtotal)
        .Set("Sales_Rtn_FC_Disc_Amount", f.fc_discount)
        .Set("Sales_Rtn_FC_Total_Amount", f.fc_total)
        .Set("Processed_Flag", 1)
        .Set("Sales_Rtn_Comments", "Damaged in transit")
        .Set("Exchange_Rate", 1.0)
        .Set("TaxCode", f.tax_code)
        .Set("TaxRate", f.tax_rate)
        .Set("TaxAmount", f.tax)
        .Insert(*conn, "Sales_Return_Master");
  }

  SalesReturn Memo(const std::string& branch = "01", double tax_rate = 10) {
    SalesReturn r;
    r.ConnectionString = cs;
    r.AdoConnectionObject = conn;
    r.CompanyPrefix = "01";
    r.BranchPrefix = branch;
    r.TaxRate = tax_rate;
    r.AmtDig = 2;
    r.LastUpdate = Date::FromYmd(2026, 12, 15);
    return r;
  }

  // Three levies of 5% on accounts of their own, under code TRI (15%).
  void ThreeLevies() {
    for (const char* a : {"A1", "A2", "A3"}) {
      const std::string account = std::string("010121") + a[1] + "0";
      refdata::AddAccount(*conn, account, std::string("Levy ") + a, "Liability");
      Record()
          .Set("Code", std::string("0101") + a)
          .Set("Company_Prefix", "01")
          .Set("Branch_Prefix", "01")
          .Set("Description", std::string("Levy ") + a)
          .Set("TaxRate", 5.0)
          .Set("AccountNo", account)
          .Insert(*conn, "TaxAuthorities");
      Record()
          .Set("TaxCode", "0101TRI")
          .Set("TaxAuthorityCode", std::string("0101") + a)
          .Set("TaxAuthorityName", std::string("Levy ") + a)
          .Set("TaxAuthorityRate", 5.0)
          .Insert(*conn, "TaxCodeDetails");
    }
  }

  // "SL_No Type Account Dr/Cr amount" per line of a voucher.
  std::vector<std::string> Lines(const std::string& voucher) {
    auto rs = conn->Query(
        "SELECT SL_No, Voucher_Type, Account_No, Debit_Amount, Credit_Amount FROM Voucher_Detail "
        "WHERE Voucher_No = ? ORDER BY SL_No",
        {Value(voucher)});
    std::vector<std::string> out;
    for (std::size_t i = 0; i < rs.size(); ++i) {
      Row r = rs[i];
      const bool debit = r.Double("Debit_Amount") != 0;
      out.push_back(r.Text("SL_No") + " " + r.Text("Voucher_Type") + " " + r.Text("Account_No") +
                    (debit ? " Dr " + r.Text("Debit_Amount") : " Cr " + r.Text("Credit_Amount")));
    }
    return out;
  }

  double Balance(const std::string& account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  double CustomerBalance() {
    return Scalar("SELECT Customer_Balance FROM Customer_Master WHERE Customer_Code = '01C009'")
        .ToDouble();
  }
  double Counter(const char* column, const std::string& branch = "01") {
    return Scalar(std::string("SELECT ") + column +
                      " FROM Document_Prefix WHERE Document_Prefix = 'CRM' AND Company_Prefix = "
                      "'01' AND Branch_Prefix = ?",
                  {branch})
        .ToDouble();
  }
  void ManualSeries(const std::string& branch = "01") {
    conn->Execute(
        "UPDATE Document_Prefix SET Manual_Flag = 1 WHERE Document_Prefix = 'CRM' AND "
        "Branch_Prefix = ?",
        {branch});
  }

  std::shared_ptr<AskingShell> shell;
};

using DebitCreditNoteTest = CreditMemoTest;

TEST_F(CreditMemoTest, PostsTheVoucherAndCreditsTheCustomer) {
  SeedReturn("0101SRT7", {});
  SalesReturn r = Memo();
  std::string no = "0101SRT7";
  ASSERT_TRUE(r.Generate_Credit_Memo(no)) << r.ErrDesc();
  EXPECT_EQ(r.VoucherNo, "0101CRM1");
  EXPECT_TRUE(shell->asked.empty());  // the series is not manual
  EXPECT_EQ(r.TaxAmount, 0);          // the object's tax is never written to

  auto m = conn->Query("SELECT * FROM Voucher_Master");
  ASSERT_EQ(m.size(), 1u);
  Row v = m.front();
  EXPECT_EQ(v.Text("Voucher_No"), "0101CRM1");
  EXPECT_EQ(v.Text("Voucher_Identity"), "1");
  EXPECT_EQ(v.Text("Document_Prefix"), "CRM");
  EXPECT_EQ(v.Int32("process_Flag"), 1);
  EXPECT_EQ(v.DateValue("Voucher_Date"), Date::FromYmd(2026, 12, 14));
  EXPECT_EQ(v.Text("Voucher_Comments"), "Damaged in transit");
  EXPECT_EQ(v.Text("Currency_Symbol"), "BD");
  EXPECT_EQ(v.Double("Voucher_Amount"), 99);
  EXPECT_EQ(v.Double("Balance_Amount"), 99);
  EXPECT_EQ(v.Double("amountcr"), 99);
  EXPECT_EQ(v.Double("amountdr"), 0);
  EXPECT_EQ(v.Text("Type"), "Customer");
  EXPECT_EQ(v.Text("Voucher_For"), "Customer");
  EXPECT_EQ(v.Text("AccountNo"), "01C009");
  EXPECT_EQ(v.Text("AccountName"), "Coral Stores");

  EXPECT_EQ(Lines("0101CRM1"),
            (std::vector<std::string>{"1 Customer 01C009 Cr 99", "2 General 01014300 Dr 100",
                                      "3 General 01014200 Cr 10", "4 General 01012100 Dr 9"}));
  auto d = conn->Query(
      "SELECT Account_Name, Voucher_Description, Proj_No, Currency_Symbol FROM Voucher_Detail "
      "WHERE SL_No = 2");
  EXPECT_EQ(d.front().Text("Account_Name"), "Sales Returns");
  EXPECT_EQ(d.front().Text("Voucher_Description"), "System Generated Credit Memo.");
  EXPECT_EQ(d.front().Text("Proj_No"), "  ");
  EXPECT_EQ(d.front().Text("Currency_Symbol"), "BD");

  // The ledger: the customer's credit on the receivable control account, each line on its own.
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101CRM1'"), 4);
  EXPECT_EQ(Balance("01011200"), -99);
  EXPECT_EQ(Balance("01014300"), 100);
  EXPECT_EQ(Balance("01014200"), -10);
  EXPECT_EQ(Balance("01012100"), 9);
  EXPECT_EQ(CustomerBalance(), -99);
  EXPECT_EQ(Scalar("SELECT Credit_Amount FROM Accounts_Receivable_Ledger WHERE Document_No = "
                   "'0101CRM1'")
                .ToDouble(),
            99);
  // The temporary and the final counters both moved on.
  EXPECT_EQ(Counter("Document_Temp_Next_No"), 2);
  EXPECT_EQ(Counter("Document_Next_No"), 2);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // The next return's memo takes the next number.
  SeedReturn("0101SRT8", {50, 0, 0, 50, 50, 0, 50});
  std::string next = "0101SRT8";
  ASSERT_TRUE(r.Generate_Credit_Memo(next)) << r.ErrDesc();
  EXPECT_EQ(r.VoucherNo, "0101CRM2");
  // Without a discount line 3 is skipped, and without tax there are no tax lines.
  EXPECT_EQ(Lines("0101CRM2"),
            (std::vector<std::string>{"1 Customer 01C009 Cr 50", "2 General 01014300 Dr 50"}));
  EXPECT_EQ(CustomerBalance(), -149);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // The returns keep their memos, and a customer is credited for a return once: neither a second
  // memo, nor one of a return not processed, nor a line added to a posted voucher.
  EXPECT_EQ(
      Scalar("SELECT Voucher_No FROM Sales_Return_Master WHERE Sales_Rtn_No = ?", {no}).ToText(),
      "0101CRM1");
  const TableSnapshot credited = TakeSnapshot(*conn);
  EXPECT_FALSE(r.Generate_Credit_Memo(no));
  EXPECT_EQ(r.ErrDesc(), "The sales return 0101SRT7 has its credit memo 0101CRM1 already");
  std::string draft_voucher = "0101CRMTMP9";
  EXPECT_FALSE(r.Create_Voucher_Master(no, draft_voucher));
  EXPECT_EQ(r.ErrDesc(), "The sales return 0101SRT7 has its credit memo 0101CRM1 already");
  SeedReturn("0101SRTTMP3", {50, 0, 0, 50, 50, 0, 50});
  conn->Execute("UPDATE Sales_Return_Master SET Processed_Flag = 0 WHERE Sales_Rtn_No = ?",
                {Value("0101SRTTMP3")});
  std::string unprocessed = "0101SRTTMP3";
  EXPECT_FALSE(r.Generate_Credit_Memo(unprocessed));
  EXPECT_EQ(r.ErrDesc(),
            "The sales return 0101SRTTMP3 is not processed: its credit memo comes with its "
            "processing");
  conn->Execute("DELETE FROM Sales_Return_Master WHERE Sales_Rtn_No = ?", {Value(unprocessed)});
  std::string posted = "0101CRM1", type = "General", account = "01014300", name = "x",
              side = "Debit", currency = "BHD", symbol = "BD", project = "  ";
  double fc_amount = 100, amount = 100;
  bool foreign = false;
  std::int16_t line = 9;
  EXPECT_FALSE(r.Create_Voucher_Detail(posted, type, account, name, side, fc_amount, amount,
                                       foreign, currency, symbol, project, line));
  EXPECT_EQ(r.ErrDesc(), "Already Processed");
  EXPECT_EQ(SnapshotDiff(credited, TakeSnapshot(*conn)), "");
}

TEST_F(CreditMemoTest, ManualNumbersAreAskedForAndChecked) {
  ManualSeries();
  SeedReturn("0101SRT7", {});
  SalesReturn r = Memo();
  r.VoucherNo = "kept";
  const TableSnapshot before = TakeSnapshot(*conn);
  std::string no = "0101SRT7";
  const std::vector<std::optional<std::string>> refused = {
      "0", "", std::nullopt, "12a", "1.5", "-3", "+4", " 120 ", "2147483647"};
  for (const auto& answer : refused) {
    shell->answers.push_back(answer);
    EXPECT_FALSE(r.Generate_Credit_Memo(no)) << answer.value_or("(cancel)");
    EXPECT_EQ(r.ErrDesc(), "Please Enter Valid Numeric Credit Memo No ");
  }
  EXPECT_EQ(r.VoucherNo, "kept");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  ASSERT_EQ(shell->asked.size(), refused.size());
  EXPECT_EQ(shell->asked[0].prompt, "Please Enter  Credit Memo No");
  EXPECT_EQ(shell->asked[0].title, kApplicationTitle);
  EXPECT_EQ(shell->asked[0].default_text, "");

  // The series is raised past the number given, and the temporary counter moves on by one
  // although nothing was drawn from it.
  shell->answers.push_back("120");
  ASSERT_TRUE(r.Generate_Credit_Memo(no)) << r.ErrDesc();
  EXPECT_EQ(r.VoucherNo, "0101CRM120");
  EXPECT_EQ(Scalar("SELECT Voucher_Identity FROM Voucher_Master").ToText(), "120");
  EXPECT_EQ(Counter("Document_Next_No"), 121);
  EXPECT_EQ(Counter("Document_Temp_Next_No"), 2);
  EXPECT_EQ(CustomerBalance(), -99);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // A number taken is refused before anything is written.
  SeedReturn("0101SRT8", {});
  const TableSnapshot taken = TakeSnapshot(*conn);
  std::string other = "0101SRT8";
  shell->answers.push_back("120");
  EXPECT_FALSE(r.Generate_Credit_Memo(other));
  EXPECT_EQ(r.ErrDesc(), "Credit Memo No Already Exists ");
  EXPECT_EQ(r.VoucherNo, "0101CRM120");
  EXPECT_EQ(SnapshotDiff(taken, TakeSnapshot(*conn)), "");

  // Company 01, branch 02: number 120 is written as 0102CRMTMP120, its identity the counter part.
  SeedReturn("0102SRT1", {}, "02");
  SalesReturn b = Memo("02");
  std::string tmp = "0102CRMTMP120", rtn = "0102SRT1";
  ASSERT_TRUE(b.Create_Voucher_Master(rtn, tmp)) << b.ErrDesc();
  EXPECT_EQ(
      Scalar("SELECT Voucher_Identity FROM Voucher_Master WHERE Voucher_No = ?", {tmp}).ToText(),
      "120");
}

TEST_F(CreditMemoTest, AFailingNumberLookUpIsAFailureNotAFreeNumber) {
  ManualSeries();
  SeedReturn("0101SRT7", {});
  conn->Execute("DROP TABLE Voucher_Detail");
  conn->Execute("DROP TABLE Voucher_Master");
  SalesReturn r = Memo();
  std::string no = "0101SRT7";
  shell->answers.push_back("5");
  EXPECT_FALSE(r.Generate_Credit_Memo(no));
  EXPECT_NE(convert::LCase(r.ErrDesc()).find("voucher_master"), std::string::npos) << r.ErrDesc();
  EXPECT_TRUE(shell->shown.empty());  // an error of the call, not a message box
  EXPECT_EQ(Counter("Document_Temp_Next_No"), 1);
  EXPECT_EQ(Counter("Document_Next_No"), 1);
}

TEST_F(CreditMemoTest, TaxIsSharedWithTheLastAuthorityTakingTheRemainder) {
  ThreeLevies();
  Figures f{100, 0, 10, 110, 100, 0, 110, "TRI", 15};
  SeedReturn("0101SRT7", f);
  SalesReturn r = Memo("01", 15);
  r.TaxAmount = 10;
  std::string no = "0101SRT7";
  ASSERT_TRUE(r.Generate_Credit_Memo(no)) << r.ErrDesc();
  EXPECT_EQ(Lines(r.VoucherNo),
            (std::vector<std::string>{"1 Customer 01C009 Cr 110", "2 General 01014300 Dr 100",
                                      "4 General 01012110 Dr 3.33", "5 General 01012120 Dr 3.33",
                                      "6 General 01012130 Dr 3.34"}));
  EXPECT_EQ(r.TaxAmount, 10);
  EXPECT_EQ(Balance("01012130"), 3.34);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());

  // The stored, prefixed code is found too; a TaxRate of 0 shares by the authorities' rates
  // instead of dividing by nothing.
  f.tax_code = "0101TRI";
  f.tax_rate = 0;
  SeedReturn("0101SRT8", f);
  SalesReturn z = Memo("01", 0);
  no = "0101SRT8";
  ASSERT_TRUE(z.Generate_Credit_Memo(no)) << z.ErrDesc();
  EXPECT_EQ(Lines(z.VoucherNo),
            (std::vector<std::string>{"1 Customer 01C009 Cr 110", "2 General 01014300 Dr 100",
                                      "4 General 01012110 Dr 3.33", "5 General 01012120 Dr 3.33",
                                      "6 General 01012130 Dr 3.34"}));
  EXPECT_EQ(Balance("01012130"), 6.68);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
}

TEST_F(CreditMemoTest, RefusalsWriteNothing) {
  ThreeLevies();
  SalesReturn r = Memo();
  auto refused = [&](const std::string& no, const std::string& message) {
    const TableSnapshot before = TakeSnapshot(*conn);
    std::string n = no;
    EXPECT_FALSE(r.Generate_Credit_Memo(n)) << no;
    EXPECT_EQ(r.ErrDesc(), message) << no;
    EXPECT_EQ(r.VoucherNo, "") << no;
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "") << no;
  };
  refused("0101SRT404", "Invalid Sales Return");

  // An authority without an account, found before any row is written.
  conn->Execute("UPDATE TaxAuthorities SET AccountNo = ' ' WHERE Code = '0101A2'");
  SeedReturn("0101SRT1", {100, 0, 10, 110, 100, 0, 110, "TRI", 15});
  refused("0101SRT1", "Invalid Account Number for Authority -'Levy A2'");

  // A code with no authority lines gives no tax lines; a tax then credited to the customer is
  // owed by no one, so the posting refuses the voucher.
  SeedReturn("0101SRT2", {100, 0, 10, 110, 100, 0, 110, "NONE", 10});
  std::string rtn = "0101SRT2", tmp = "0101CRMTMP50";
  ASSERT_TRUE(r.Create_Voucher_Master(rtn, tmp)) << r.ErrDesc();
  EXPECT_EQ(Lines(tmp),
            (std::vector<std::string>{"1 Customer 01C009 Cr 110", "2 General 01014300 Dr 100"}));
  conn->Execute("DELETE FROM Voucher_Detail");
  conn->Execute("DELETE FROM Voucher_Master");
  conn->Execute("UPDATE Sales_Return_Master SET Voucher_No = NULL");
  refused("0101SRT2", "Voucher 0101CRMTMP1 does not balance: debits 100, credits 110.");

  // A discount in the local currency alone still gets its line and its account.
  SeedReturn("0101SRT3", {100, 10, 0, 90, 100, 0, 90, "", 0});
  conn->Execute("UPDATE Default_Sales_Preferences SET Sales_Disc_Account_No = NULL");
  refused("0101SRT3", "Invalid Default Discount Account");
  conn->Execute("UPDATE Default_Sales_Preferences SET Sales_Return_Account_No = '  '");
  refused("0101SRT3", "Invalid Sales Return Account");

  // A return that does not exist: the master answers True and writes nothing.
  const TableSnapshot before = TakeSnapshot(*conn);
  std::string missing = "0101SRT404", voucher = "0101CRMTMP9";
  EXPECT_TRUE(r.Create_Voucher_Master(missing, voucher));
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(CreditMemoTest, CreateVoucherDetailWritesOneLineBySide) {
  SalesReturn r = Memo();
  std::string v = "0101CRMTMP3", type = "General", acc = "01014300", name = "Sales Returns",
              side = "credit", code = "USD", symbol = " $ ", proj = "P-9";
  double fc = 26.5, amt = 10;
  bool foreign = true;
  std::int16_t sl = 2;
  // Lines go to a voucher being written, never to a number no voucher has.
  EXPECT_FALSE(
      r.Create_Voucher_Detail(v, type, acc, name, side, fc, amt, foreign, code, symbol, proj, sl));
  EXPECT_EQ(r.ErrDesc(), "Invalid Voucher No");
  EXPECT_EQ(Count("Voucher_Detail"), 0);
  Record().Set("Voucher_No", v).Set("process_Flag", 0).Insert(*conn, "Voucher_Master");
  ASSERT_TRUE(
      r.Create_Voucher_Detail(v, type, acc, name, side, fc, amt, foreign, code, symbol, proj, sl));
  // Any text but "Debit" makes a credit line.
  EXPECT_EQ(Lines(v), std::vector<std::string>{"2 General 01014300 Cr 10"});
  EXPECT_EQ(Scalar("SELECT FC_Credit_Amount FROM Voucher_Detail").ToDouble(), 26.5);
  EXPECT_EQ(Scalar("SELECT Currency_Symbol FROM Voucher_Detail").ToText(), "$");
  double bad = std::nan("");
  sl = 3;
  EXPECT_FALSE(
      r.Create_Voucher_Detail(v, type, acc, name, side, fc, bad, foreign, code, symbol, proj, sl));
  EXPECT_EQ(Count("Voucher_Detail"), 1);
}

TEST_F(CreditMemoTest, CounterMovesOnWithoutADrawThroughItsConnection) {
  auto counter = CreateObject("QLNSystem.CounterTransaction");
  counter->Set("CompanyPrefix", "01");
  counter->Set("BranchPrefix", "01");
  counter->Set("DocumentPrefix", "CRM");
  EXPECT_FALSE(counter->Invoke("Increase_Counter", {Value(true)}).ToBool());  // no connection
  counter->Set("AdoConnectionObject", Value(conn));
  ASSERT_TRUE(counter->Invoke("Increase_Counter", {Value(true)}).ToBool())
      << counter->Get("ErrDesc").ToText();
  EXPECT_EQ(Counter("Document_Temp_Next_No"), 2);
  EXPECT_EQ(Counter("Document_Next_No"), 1);
  ASSERT_TRUE(counter->Invoke("Increase_Counter").ToBool());
  EXPECT_EQ(Counter("Document_Next_No"), 2);
}

TEST_F(DebitCreditNoteTest, PostsOnceUnderItsFinalNumberAndRefusesWhatCannotBalance) {
  auto process = [&](std::string& voucher, bool manual, double identity) {
    auto note = CreateObject("QLNAccountsExt.DebitCreditNote");
    note->Set("AdoConnectionObject", Value(conn));
    note->Set("DocFlag", manual);
    note->Set("manualDocIdentity", identity);
    note->Set("LastUpdate", Date::FromYmd(2026, 12, 15));
    std::vector<Value> args{Value(voucher)};
    const bool ok = note->Invoke("Process_Voucher", args).ToBool();
    voucher = args[0].ToText();
    return ok ? std::string("ok ") + note->Get("VoucherNo").ToText()
              : note->Get("ErrDesc").ToText();
  };
  std::string unknown = "0101CRMTMP77";
  EXPECT_EQ(process(unknown, false, 0), "Invalid Voucher No: there is no voucher 0101CRMTMP77.");
  // A voucher written under a number of no series is not numbered into one made up from it.
  SeedReturn("0101SRT6", {});
  SalesReturn odd = Memo();
  std::string odd_return = "0101SRT6", made_up = "CM77";
  ASSERT_TRUE(odd.Create_Voucher_Master(odd_return, made_up)) << odd.ErrDesc();
  const TableSnapshot unnumbered = TakeSnapshot(*conn);
  EXPECT_EQ(process(made_up, false, 0),
            "Invalid Voucher No: CM77 is not a number of series 0101CRM.");
  EXPECT_EQ(SnapshotDiff(unnumbered, TakeSnapshot(*conn)), "");
  conn->Execute("DELETE FROM Voucher_Detail");
  conn->Execute("DELETE FROM Voucher_Master");

  SeedReturn("0101SRT7", {});
  SalesReturn r = Memo();
  std::string rtn = "0101SRT7", voucher = "0101CRMTMP4";
  ASSERT_TRUE(r.Create_Voucher_Master(rtn, voucher)) << r.ErrDesc();
  // A line changed after the voucher was written: nothing is posted or renumbered.
  conn->Execute("UPDATE Voucher_Detail SET Debit_Amount = 101 WHERE SL_No = 2");
  const TableSnapshot before = TakeSnapshot(*conn);
  EXPECT_EQ(process(voucher, false, 0),
            "Voucher 0101CRMTMP4 does not balance: debits 110, credits 109.");
  EXPECT_EQ(voucher, "0101CRMTMP4");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  conn->Execute("UPDATE Voucher_Detail SET Debit_Amount = 100 WHERE SL_No = 2");

  // A manual number beyond the series raises it past the number.
  EXPECT_EQ(process(voucher, true, 0), "Invalid Voucher No: 0 is not a voucher number.");
  EXPECT_EQ(process(voucher, true, 40), "ok 0101CRM40");
  EXPECT_EQ(voucher, "0101CRM40");
  EXPECT_EQ(Scalar("SELECT Voucher_Identity FROM Voucher_Master").ToText(), "40");
  EXPECT_EQ(Count("Voucher_Detail", "Voucher_No = '0101CRM40'"), 4);
  EXPECT_EQ(Counter("Document_Next_No"), 41);
  EXPECT_EQ(CustomerBalance(), -99);
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  EXPECT_EQ(process(voucher, false, 0), "Already Processed");
  EXPECT_EQ(Count("General_Ledger", "Document_No = '0101CRM40'"), 4);

  // The books check holds a processed voucher to its receivable line; a voucher still being
  // written owes nothing.
  std::string draft = "0101CRMTMP5", other_return = "0101SRT9";
  SeedReturn(other_return, {});
  ASSERT_TRUE(r.Create_Voucher_Master(other_return, draft)) << r.ErrDesc();
  EXPECT_TRUE(services::CheckBooks(*conn).empty());
  conn->Execute("UPDATE Accounts_Receivable_Ledger SET Credit_Amount = 90");
  conn->Execute("UPDATE Customer_Master SET Customer_Balance = -90");
  EXPECT_EQ(services::CheckBooks(*conn),
            std::vector<std::string>{"Credit memo 0101CRM40 credits its customer 90 in the "
                                     "receivables but its customer lines credit 99"});
  conn->Execute("DELETE FROM Accounts_Receivable_Ledger");
  conn->Execute("UPDATE Customer_Master SET Customer_Balance = 0");
  EXPECT_EQ(services::CheckBooks(*conn),
            std::vector<std::string>{"Credit memo 0101CRM40 is processed but has no receivable "
                                     "line"});
}

}  // namespace
}  // namespace qlnsales::testing
