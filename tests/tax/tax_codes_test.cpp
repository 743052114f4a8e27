#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "frame/modules.h"
#include "qlnsales/registry.h"
#include "qlnsales/tax_authorities.h"
#include "qlnsales/tax_codes.h"
#include "sample/sample_company.h"
#include "services/books_check.h"
#include "support/fixture.h"
#include "support/table_snapshot.h"

namespace qlnsales::testing {
namespace {

// A grid whose cells of one row cannot be read, as when the caller's grid breaks mid-walk.
class BrokenRowGrid : public MemoryGrid {
 public:
  BrokenRowGrid(std::int32_t rows, std::int32_t cols, std::int32_t broken)
      : MemoryGrid(rows, cols), broken_(broken) {}
  std::string TextMatrix(std::int32_t row, std::int32_t col) const override {
    if (row == broken_) throw Error("The grid cannot read row " + std::to_string(row));
    return MemoryGrid::TextMatrix(row, col);
  }

 private:
  std::int32_t broken_;
};

class TaxTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    for (const char* no : {"01012110", "01012120", "01012130"})
      refdata::AddAccount(*conn, no, std::string("Tax ") + no, "Liability");
  }

  TaxAuthorities Authority(const std::string& code, const std::string& desc, double rate,
                           const std::string& account) {
    TaxAuthorities a;
    a.ConnectionString = cs;
    a.CompanyPrefix = "01";
    a.BranchPrefix = "01";
    a.AuthorityCode = code;
    a.AuthorityDesc = desc;
    a.TaxRate = rate;
    a.AccountNo = account;
    a.AccountName = "Tax " + account;
    return a;
  }

  // Authorities A1, A2, A3 at 5% each on accounts 01012110/20/30, under the code 0101TRI at 15%.
  void ThreeAuthorities() {
    for (auto [code, account] :
         {std::pair{"A1", "01012110"}, {"A2", "01012120"}, {"A3", "01012130"}})
      ASSERT_TRUE(Authority(code, std::string("Levy ") + code, 5, account).SaveAuthorities());
    SaveCode("TRI", 15, {{"A1", "Levy A1", "5"}, {"A2", "Levy A2", "5"}, {"A3", "Levy A3", "5"}});
  }

  struct Line {
    const char* code;
    const char* name;
    const char* rate;
  };
  std::shared_ptr<MemoryGrid> GridOf(const std::vector<Line>& lines) {
    auto g = std::make_shared<MemoryGrid>(static_cast<std::int32_t>(lines.size()) + 2, 4);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const auto r = static_cast<std::int32_t>(i + 1);
      g->SetTextMatrix(r, 1, lines[i].code);
      g->SetTextMatrix(r, 2, lines[i].name);
      g->SetTextMatrix(r, 3, lines[i].rate);
    }
    return g;
  }
  TaxCodes Code(const std::string& code, double rate) {
    TaxCodes t;
    t.ConnectionString = cs;
    t.CompanyPrefix = "01";
    t.BranchPrefix = "01";
    t.TaxCode = code;
    t.TaxDesc = "Code " + code;
    t.TaxRate = rate;
    t.TaxTypeSP = "Sales";
    return t;
  }
  void SaveCode(const std::string& code, double rate, const std::vector<Line>& lines) {
    TaxCodes t = Code(code, rate);
    t.Flex = GridOf(lines);
    ASSERT_TRUE(t.SaveTaxCodes()) << t.ErrDesc();
  }

  // The tax of a document as a cash memo hands it over.
  TaxCodes Posting(const std::string& code, double amount, const std::string& document) {
    TaxCodes t;
    t.ConnectionString = cs;
    t.AdoDBConnectionObject = conn;
    t.TaxCode = code;
    t.TaxRate = 15;
    t.TaxAmount = amount;
    t.DocumentNo = document;
    t.DocumentDate = "2026-12-06";
    t.Comments = "Counter sale";
    t.CurrencyCode = "BHD";
    t.CurrencySymbol = "BD";
    t.AmtDig = 2;
    return t;
  }
  // The document's other side (the cash it took or paid back), so that its lines balance.
  void CashSide(const std::string& document, double debit, double credit) {
    LedgerHeader h{conn,  document, "CHM", Date::FromYmd(2026, 12, 6),
                   "BHD", "BD",     false, Value(Date::FromYmd(2026, 12, 6))};
    ASSERT_FALSE(PostLedgerLine(h, "01011000", "Cash", debit, credit, debit, credit));
  }

  // Each row of a query as "value | value | ...", nulls as "null".
  std::vector<std::string> Rows(std::string_view sql) {
    const auto rs = conn->Query(sql);
    std::vector<std::string> out;
    for (const auto& row : rs.rows) {
      std::string line;
      for (const auto& v : row)
        line += (line.empty() ? "" : " | ") + (v.IsEmpty() ? "null" : v.ToText());
      out.push_back(line);
    }
    return out;
  }
  double Balance(const char* account) {
    return Scalar("SELECT Current_Balance FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
        .ToDouble();
  }
  ResultSet Ledger(const std::string& document) {
    return conn->Query(
        "SELECT * FROM General_Ledger WHERE Document_No = ? AND Account_No <> '01011000' ORDER BY "
        "Account_No",
        {document});
  }
};

TEST_F(TaxTest, AuthoritiesAreKeptUnderTheirPrefixesAndReadBack) {
  TaxAuthorities a = Authority("GST", "Goods Tax", 5, "01022100");
  a.BranchPrefix = "02";
  a.AccountName = "";
  const char* stored =
      "SELECT Company_Prefix, Branch_Prefix, Description, TaxRate, AccountNo, AccountName FROM "
      "TaxAuthorities WHERE Code = '0102GST'";
  ASSERT_TRUE(a.SaveAuthorities());
  EXPECT_EQ(Rows(stored), std::vector<std::string>{"01 | 02 | Goods Tax | 5 | 01022100 | null"});

  // Saved again: the same row changes.
  a.AuthorityDesc = "Goods and Services Tax";
  a.TaxRate = 7.5;
  a.AccountName = "Tax Payable";
  ASSERT_TRUE(a.SaveAuthorities());
  EXPECT_EQ(Rows(stored), std::vector<std::string>{
                              "01 | 02 | Goods and Services Tax | 7.5 | 01022100 | Tax Payable"});

  // Read back by name, as the front end does.
  auto b = CreateObject("QLNSales.TaxAuthorities");
  b->Set("ConnectionString", cs);
  b->Set("CompanyPrefix", "01");
  b->Set("BranchPrefix", "02");
  b->Set("AuthorityCode", "GST");
  ASSERT_TRUE(b->Invoke("GetAuthorities").ToBool());
  EXPECT_EQ(b->Get("AuthorityDesc").ToText(), "Goods and Services Tax");
  EXPECT_EQ(b->Get("TaxRate").ToDouble(), 7.5);
  EXPECT_EQ(b->Get("AccountNo").ToText(), "01022100");
  EXPECT_EQ(b->Get("AccountName").ToText(), "Tax Payable");
  EXPECT_FALSE(b->HasProperty("ErrDesc"));

  // An unknown code is no failure and leaves what the object held.
  b->Set("AuthorityCode", "NONE");
  ASSERT_TRUE(b->Invoke("GetAuthorities").ToBool());
  EXPECT_EQ(b->Get("AuthorityDesc").ToText(), "Goods and Services Tax");
  EXPECT_EQ(b->Get("TaxRate").ToDouble(), 7.5);
}

TEST_F(TaxTest, SavingACodeReplacesItsAuthorityLinesFromTheGrid) {
  TaxCodes t = Code("COMBO", 12.5);
  t.Default = true;
  t.Flex = GridOf({{"A", " State Levy ", "7.5"},
                   {"B", "City Levy", "5"},
                   {"", "", ""},
                   {"C", "Never Saved", "1"}});
  ASSERT_TRUE(t.SaveTaxCodes()) << t.ErrDesc();
  const char* master =
      "SELECT Company_Prefix, Branch_Prefix, Tax_Description, Tax_Rate, DefaultCode, Tax_Type "
      "FROM TaxCodeMaster WHERE Tax_Code = '0101COMBO'";
  const char* lines =
      "SELECT TaxAuthorityCode, TaxAuthorityName, TaxAuthorityRate FROM TaxCodeDetails WHERE "
      "TaxCode = '0101COMBO' ORDER BY TaxAuthorityCode";
  EXPECT_EQ(Rows(master), std::vector<std::string>{"01 | 01 | Code COMBO | 12.5 | 1 | Sales"});
  EXPECT_EQ(Rows(lines),
            (std::vector<std::string>{"0101A | State Levy | 7.5", "0101B | City Levy | 5"}));

  // Saved again with other lines: the master row is updated and the lines are replaced whole.
  t.TaxDesc = "Combined levy";
  t.Default = false;
  t.Flex = GridOf({{"D", "Port Levy", "2"}, {"E", "Road Levy", "1"}, {"F", "Fuel Levy", "0.5"}});
  ASSERT_TRUE(t.SaveTaxCodes()) << t.ErrDesc();
  EXPECT_EQ(Rows(master), std::vector<std::string>{"01 | 01 | Combined levy | 12.5 | 0 | Sales"});
  EXPECT_EQ(Rows(lines), (std::vector<std::string>{"0101D | Port Levy | 2", "0101E | Road Levy | 1",
                                                   "0101F | Fuel Levy | 0.5"}));
  EXPECT_EQ(Count("TaxCodeDetails", "TaxCode = '0101STD'"), 1);  // other codes keep theirs

  // Read into a grid with one data row: it grows to hold the three, with a blank row below.
  auto small = std::make_shared<MemoryGrid>(2, 4);
  auto g = CreateObject("QLNSales.TaxCodes");
  g->Set("ConnectionString", cs);
  g->Set("CompanyPrefix", "01");
  g->Set("BranchPrefix", "01");
  g->Set("TaxCode", "COMBO");
  g->Set("Default", true);
  g->Set("Flex", Value(small));
  ASSERT_TRUE(g->Invoke("GetTaxCodes").ToBool()) << g->Get("ErrDesc").ToText();
  EXPECT_EQ(g->Get("TaxDesc").ToText(), "Combined levy");
  EXPECT_EQ(g->Get("TaxTypeSP").ToText(), "Sales");
  EXPECT_FALSE(g->Get("Default").ToBool());
  EXPECT_EQ(small->Rows(), 5);
  EXPECT_EQ(small->TextMatrix(1, 1), "D");
  EXPECT_EQ(small->TextMatrix(2, 1), "E");
  EXPECT_EQ(small->TextMatrix(2, 2), "Road Levy");
  EXPECT_EQ(small->TextMatrix(3, 1), "F");
  EXPECT_EQ(small->ValueMatrix(3, 3), 0.5);
  EXPECT_EQ(small->TextMatrix(4, 1), "");

  // An unknown code is no failure; the time stamp keeps nothing.
  g->Set("TaxCode", "NONE");
  g->Set("LastUpdate", Value(Date::FromYmd(2026, 12, 6)));
  EXPECT_TRUE(g->Invoke("GetTaxCodes").ToBool());
  EXPECT_EQ(g->Get("TaxDesc").ToText(), "Combined levy");
  EXPECT_EQ(g->Get("LastUpdate").ToDate(), Date{});

  // Without a grid neither call goes ahead; a grid that breaks half-way keeps the old lines.
  const TableSnapshot before = TakeSnapshot(*conn);
  TaxCodes bare = Code("COMBO", 5);
  EXPECT_FALSE(bare.SaveTaxCodes());
  EXPECT_EQ(bare.ErrDesc(), "Object variable not set: the tax code has no authority grid (Flex)");
  EXPECT_FALSE(bare.GetTaxCodes());
  auto broken = std::make_shared<BrokenRowGrid>(5, 4, 2);
  broken->SetTextMatrix(1, 1, "NEW1");
  bare.Flex = broken;
  EXPECT_FALSE(bare.SaveTaxCodes());
  EXPECT_EQ(bare.ErrDesc(), "The grid cannot read row 2");
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
}

TEST_F(TaxTest, ASaleCreditsEachAuthorityItsShareAndTheLastTakesTheRemainder) {
  ThreeAuthorities();
  CashSide("0101CHM15", 10, 0);
  TaxCodes t = Posting("0101TRI", 10, "0101CHM15");
  ASSERT_TRUE(t.ProcessTax()) << t.ErrDesc();
  EXPECT_EQ(t.TaxAmount, 10);

  const char* columns =
      "SELECT Account_No, Debit_Amount, Credit_Amount, FC_Debit_Amount, FC_Credit_Amount, "
      "Document_Prefix, GL_Description, GL_Comments, Currency_Code, Foreign_Currency_Flag FROM "
      "General_Ledger WHERE Account_No <> '01011000' AND Document_No = ";
  EXPECT_EQ(Rows(std::string(columns) + "'0101CHM15' ORDER BY Account_No"),
            (std::vector<std::string>{
                "01012110 | 0 | 3.33 | 0 | 3.33 | CHM | Sales Tax for 15 Dated 06/12/2026 | "
                "Counter sale | BHD | 0",
                "01012120 | 0 | 3.33 | 0 | 3.33 | CHM | Sales Tax for 15 Dated 06/12/2026 | "
                "Counter sale | BHD | 0",
                "01012130 | 0 | 3.34 | 0 | 3.34 | CHM | Sales Tax for 15 Dated 06/12/2026 | "
                "Counter sale | BHD | 0"}));
  auto gl = Ledger("0101CHM15");
  ASSERT_EQ(gl.size(), 3u);
  EXPECT_EQ(gl[0].DateValue("GL_Date"), Date::FromYmd(2026, 12, 6));
  EXPECT_EQ(gl[2].DateValue("Last_Update"), Date::Today());
  EXPECT_EQ(Balance("01012110"), -3.33);
  EXPECT_EQ(Balance("01012130"), -3.34);
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});

  // A return debits the same shares and takes the balances back.
  CashSide("0101SRT4", 0, 10);
  TaxCodes back = Posting("0101TRI", 10, "0101SRT4");
  back.DocumentPrefix = "SRT";
  back.TaxType = "Sales Return";
  back.DocumentDate = "07/12/2026";
  ASSERT_TRUE(back.ProcessTax()) << back.ErrDesc();
  EXPECT_EQ(Rows(std::string(columns) + "'0101SRT4' ORDER BY Account_No").at(2),
            "01012130 | 3.34 | 0 | 3.34 | 0 | SRT | Sales Tax for 4 Dated 07/12/2026 | Counter "
            "sale | BHD | 0");
  for (const char* a : {"01012110", "01012120", "01012130"}) EXPECT_EQ(Balance(a), 0) << a;
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});

  // A line whose authority is gone takes no share: the last authority left takes the rest.
  SaveCode("GAP", 15, {{"A1", "Levy A1", "5"}, {"A2", "Levy A2", "5"}, {"GONE", "Gone", "5"}});
  CashSide("0101CHM16", 10, 0);
  ASSERT_TRUE(Posting("0101GAP", 10, "0101CHM16").ProcessTax());
  gl = Ledger("0101CHM16");
  ASSERT_EQ(gl.size(), 2u);
  EXPECT_EQ(gl[0].Double("Credit_Amount"), 3.33);
  EXPECT_EQ(gl[1].Double("Credit_Amount"), 6.67);
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});

  // A tax with more decimals than AmtDig: the last share is the exact rest, so the lines still
  // add up to the tax.
  CashSide("0101CHM17", 10.5, 0);
  TaxCodes whole = Posting("0101TRI", 10.5, "0101CHM17");
  whole.AmtDig = 0;
  ASSERT_TRUE(whole.ProcessTax()) << whole.ErrDesc();
  gl = Ledger("0101CHM17");
  ASSERT_EQ(gl.size(), 3u);
  EXPECT_EQ(gl[0].Double("Credit_Amount"), 4);
  EXPECT_EQ(gl[2].Double("Credit_Amount"), 2.5);
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});
}

TEST_F(TaxTest, TaxThatCannotBePostedWritesNothing) {
  ThreeAuthorities();
  auto fails_clean = [&](TaxCodes t, const std::string& message) {
    const TableSnapshot before = TakeSnapshot(*conn);
    EXPECT_FALSE(t.ProcessTax());
    EXPECT_EQ(t.ErrDesc(), message);
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(*conn)), "");
  };
  TaxCodes zero = Posting("0101TRI", 10, "0101CHM20");
  zero.TaxRate = 0;
  fails_clean(zero, "Invalid Tax Rate for Tax Code - 0101TRI");
  zero.TaxRate = std::numeric_limits<double>::quiet_NaN();
  fails_clean(zero, "Invalid Tax Rate for Tax Code - 0101TRI");
  // A code's rate that is not its authorities': the first would take five times the tax.
  TaxCodes mismatched = Posting("0101TRI", 10, "0101CHM20");
  mismatched.TaxRate = 1;
  fails_clean(mismatched, "Invalid Tax Rate for Tax Code - 0101TRI");
  TaxCodes huge = Posting("0101TRI", std::numeric_limits<double>::infinity(), "0101CHM20");
  fails_clean(huge, "Invalid Tax Amount for Tax Code - 0101TRI");
  TaxCodes undated = Posting("0101TRI", 10, "0101CHM20");
  undated.DocumentDate = "someday";
  fails_clean(undated, "Invalid Document Date for Document - 0101CHM20");

  // No authority to post to: no lines, or only lines whose authority is gone.
  fails_clean(Posting("0101NONE", 10, "0101CHM20"), "No Tax Authority for Tax Code - 0101NONE");
  SaveCode("GHOST", 15, {{"GONE", "Gone", "15"}});
  fails_clean(Posting("0101GHOST", 10, "0101CHM20"), "No Tax Authority for Tax Code - 0101GHOST");

  // An authority without an account stops the posting after the first authority's line; the
  // call is one unit, so that line goes too.
  ASSERT_TRUE(Authority("A9", "City Levy", 5, "").SaveAuthorities());
  SaveCode("BAD", 10, {{"A1", "Levy A1", "5"}, {"A9", "City Levy", "5"}});
  fails_clean(Posting("0101BAD", 10, "0101CHM20"),
              "Invalid Account Number for Authority -'City Levy");

  // No tax, or a negative one: nothing to post, and no rate needed.
  TaxCodes none = Posting("0101TRI", 0, "0101CHM20");
  none.TaxRate = 0;
  EXPECT_TRUE(none.ProcessTax());
  none.TaxAmount = -4;
  EXPECT_TRUE(none.ProcessTax());
  EXPECT_EQ(Count("General_Ledger"), 0);
}

TEST_F(TaxTest, ACashMemoPostsTaxThroughTheClassName) {
  ThreeAuthorities();
  CashSide("0102CHM7", 10, 0);
  auto t = CreateObject("QLNSales.TaxCodes");
  // In the order the cash memo sets them.
  t->Set("ConnectionString", cs);
  t->Set("AdoDBConnectionObject", Value(conn));
  t->Set("TaxCode", "0101TRI");
  t->Set("TaxRate", 15.0);
  t->Set("TaxAmount", 10.0);
  t->Set("DocumentNo", "0102CHM7");
  t->Set("DocumentDate", Value(Date::FromYmd(2026, 12, 31)));
  t->Set("DocumentPrefix", "");
  t->Set("Comments", "");
  t->Set("CurrencyCode", "BHD");
  t->Set("CurrencySymbol", "BD");
  t->Set("LastUpdate", Value(Date::FromYmd(2026, 12, 31)));
  t->Set("AmtDig", 2.6);  // rounds to three decimals
  ASSERT_TRUE(t->Invoke("ProcessTax").ToBool()) << t->Get("ErrDesc").ToText();
  auto gl = Ledger("0102CHM7");
  ASSERT_EQ(gl.size(), 3u);
  EXPECT_EQ(gl[0].Double("Credit_Amount"), 3.333);
  EXPECT_EQ(gl[2].Double("Credit_Amount"), 3.334);
  EXPECT_EQ(gl[0].Text("GL_Description"), "Sales Tax for 7 Dated 31/12/2026");
  EXPECT_TRUE(gl[0].IsNull("GL_Comments"));
  EXPECT_EQ(t->Get("TaxAmount").ToDouble(), 10);
  EXPECT_EQ(services::CheckBooks(*conn), std::vector<std::string>{});

  t->Set("TaxRate", 0.0);
  EXPECT_FALSE(t->Invoke("ProcessTax").ToBool());
  EXPECT_EQ(t->Get("ErrDesc").ToText(), "Invalid Tax Rate for Tax Code - 0101TRI");
  EXPECT_THROW(t->Set("ErrDesc", "x"), Error);
}

}  // namespace
}  // namespace qlnsales::testing
