#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "qlnsales/customer.h"
#include "qlnsales/customer_ob.h"
#include "qlnsales/grid.h"
#include "qlnsales/registry.h"
#include "report.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

using json = nlohmann::json;
using cli::ReportFormat;
using cli::ReportOptions;

class ReportTest : public DbTest {
 protected:
  static std::string Render(const cli::Report& report, ReportFormat format) {
    std::ostringstream out;
    cli::RenderReport(report, format, out);
    return out.str();
  }
  static json Json(const cli::Report& report) {
    return json::parse(Render(report, ReportFormat::Json));
  }
  static ReportOptions AsOf(int y, unsigned m, unsigned d) {
    ReportOptions o;
    o.as_of = Date::FromYmd(y, m, d);
    return o;
  }
  static ReportOptions For(const std::string& customer) {
    ReportOptions o;
    o.customer = customer;
    return o;
  }

  void AddCustomer(const std::string& code, const std::string& name) {
    Customer c;
    c.ConnectionString = cs;
    c.CompanyPrefix = "01";
    c.CustomerCode = code;
    c.CustomerName = name;
    c.CustomerCurrencyCode = c.CurrencyCode = "BHD";
    ASSERT_TRUE(c.Create_Customer()) << c.ErrDesc();
  }
  // One ledger line and its balance, through the ledger module as the documents post them.
  void Post(const std::string& doc, const Date& day, const std::string& account, double debit,
            double credit, const std::string& description) {
    auto gl = CreateObject("QLNAccounts.GeneralLedger");
    gl->Set("AdoConnectionObject", conn);
    gl->Set("DocumentNo", doc);
    gl->Set("DocumentPrefix", "JNL");
    gl->Set("GLDate", day);
    gl->Set("AccountNo", account);
    gl->Set("GLDebitAmount", debit);
    gl->Set("GLCreditAmount", credit);
    gl->Set("GLDescription", description);
    ASSERT_TRUE(gl->Invoke("GLInsert").ToBool()) << gl->Get("ErrDesc").ToText();
    std::vector<Value> args = {Value(account), Value(debit - credit)};
    ASSERT_TRUE(gl->Invoke("COAPosting", args).ToBool()) << gl->Get("ErrDesc").ToText();
  }
  // One receivable line through the receivables module, which moves the customer's balance.
  void Receivable(const std::string& customer, const std::string& doc, const std::string& prefix,
                  const Date& day, double debit, double credit,
                  const std::string& description = "") {
    auto ar = CreateObject("QLNAccounts.AccountsReceivable");
    ar->Set("AdoConnectionObject", conn);
    ar->Set("CustomerCode", customer);
    ar->Set("DocumentNo", doc);
    ar->Set("DocumentPrefix", prefix);
    ar->Set("BranchPrefix", "01");
    ar->Set("AccountNo", "01011200");
    ar->Set("ARLDate", day);
    ar->Set("ARLDebitAmount", debit);
    ar->Set("ARLCreditAmount", credit);
    ar->Set("ARLDescription", description);
    ASSERT_TRUE(ar->Invoke("AR_Insert_Transaction").ToBool()) << ar->Get("ErrDesc").ToText();
  }
};

TEST_F(ReportTest, TrialBalanceAndLedgerAreCutAtTheEndOfTheAsOfDay) {
  // Posted out of date order, so that the ledger's order is the dates' and not the postings'.
  const Date dec1 = Date::FromYmd(2026, 12, 1, 15, 30);
  Post("DOC2", dec1, "01011000", 40, 0, "Paid \"cash\"");
  Post("DOC2", dec1, "01011200", 0, 40, "Paid \"cash\"");
  const Date nov10 = Date::FromYmd(2026, 11, 10);
  Post("DOC1", nov10, "01011200", 100, 0, "Sale, on credit");
  Post("DOC1", nov10, "01014100", 0, 100, "Sale, on credit");

  // The opening stock of the sample company stands as inventory against opening equity.
  EXPECT_EQ(Render(cli::TrialBalanceReport(*conn, {}), ReportFormat::Table),
            "\nTrial balance (opening balances and postings)\n"
            "  Account  Name                      Debit   Credit\n"
            "  -------- ---------------------- -------- --------\n"
            "  01011000 Cash in Hand             40.000    0.000\n"
            "  01011200 Accounts Receivable      60.000    0.000\n"
            "  01011300 Inventory              1090.000    0.000\n"
            "  01013000 Opening Balance Equity    0.000 1090.000\n"
            "  01014100 Credit Sales              0.000  100.000\n"
            "  -------- ---------------------- -------- --------\n"
            "  Total                           1190.000 1190.000\n");
  EXPECT_EQ(Json(cli::TrialBalanceReport(*conn, AsOf(2026, 11, 30))), json::parse(R"([
      {"account": "01011200", "name": "Accounts Receivable", "debit": 100.0, "credit": 0.0},
      {"account": "01011300", "name": "Inventory", "debit": 1090.0, "credit": 0.0},
      {"account": "01013000", "name": "Opening Balance Equity", "debit": 0.0, "credit": 1090.0},
      {"account": "01014100", "name": "Credit Sales", "debit": 0.0, "credit": 100.0}])"));
  // A line stamped in the afternoon of the as-of day is on it.
  auto dec1_balance = Json(cli::TrialBalanceReport(*conn, AsOf(2026, 12, 1)));
  ASSERT_EQ(dec1_balance.size(), 5u);
  EXPECT_EQ(dec1_balance[0]["account"], "01011000");
  EXPECT_EQ(dec1_balance[1]["debit"], 60.0);

  EXPECT_EQ(Render(cli::LedgerReport(*conn, {}), ReportFormat::Csv),
            "date,document,account,description,debit,credit\r\n"
            "2026-11-10,DOC1,01011200,\"Sale, on credit\",100.000,0.000\r\n"
            "2026-11-10,DOC1,01014100,\"Sale, on credit\",0.000,100.000\r\n"
            "2026-12-01 15:30:00,DOC2,01011000,\"Paid \"\"cash\"\"\",40.000,0.000\r\n"
            "2026-12-01 15:30:00,DOC2,01011200,\"Paid \"\"cash\"\"\",0.000,40.000\r\n");
  auto november = Json(cli::LedgerReport(*conn, AsOf(2026, 11, 30)));
  ASSERT_EQ(november.size(), 2u);
  EXPECT_EQ(november[1], json::parse(R"({"date": "2026-11-10", "document": "DOC1",
      "account": "01014100", "description": "Sale, on credit", "debit": 0.0, "credit": 100.0})"));
  EXPECT_NE(Render(cli::LedgerReport(*conn, {}), ReportFormat::Table)
                .find("  01/Dec/2026 DOC2     01011000 Paid \"cash\"      40.000   0.000\n"),
            std::string::npos);
}

TEST_F(ReportTest, StockByItemAndByLocationInEveryFormat) {
  auto stock = cli::StockReport(*conn, {});
  EXPECT_EQ(Json(stock), json::parse(R"({
      "by_item": [
        {"item": "01P100", "name": "Printer Paper A4", "unit": "Box", "in_hand": 100.0,
         "cost": 250.0},
        {"item": "01P200", "name": "Ink Cartridge", "unit": "Pcs", "in_hand": 50.0, "cost": 600.0},
        {"item": "01P300", "name": "Desk Lamp", "unit": "Pcs", "in_hand": 8.0, "cost": 240.0}],
      "by_location": [
        {"branch": "01", "item": "01P100", "location": "Location1", "quantity": 100.0},
        {"branch": "01", "item": "01P200", "location": "Location1", "quantity": 40.0},
        {"branch": "01", "item": "01P200", "location": "Showroom", "quantity": 10.0},
        {"branch": "01", "item": "01P300", "location": "Showroom", "quantity": 8.0}]})"));
  // The keys keep the columns' order, so a reader that does not parse json still finds them.
  EXPECT_NE(Render(stock, ReportFormat::Json).find("\"item\": \"01P100\",\n      \"name\""),
            std::string::npos);

  EXPECT_EQ(Render(stock, ReportFormat::Csv),
            "item,name,unit,in_hand,cost\r\n"
            "01P100,Printer Paper A4,Box,100.000,250.000\r\n"
            "01P200,Ink Cartridge,Pcs,50.000,600.000\r\n"
            "01P300,Desk Lamp,Pcs,8.000,240.000\r\n"
            "\r\n"
            "branch,item,location,quantity\r\n"
            "01,01P100,Location1,100.000\r\n"
            "01,01P200,Location1,40.000\r\n"
            "01,01P200,Showroom,10.000\r\n"
            "01,01P300,Showroom,8.000\r\n");

  const std::string table = Render(stock, ReportFormat::Table);
  EXPECT_EQ(table.find("\nStock by item\n  Item   Name             Unit In hand     Cost\n"), 0u)
      << table;
  EXPECT_NE(table.find("\n  01P200 Ink Cartridge    Pcs   50.000  600.000\n"), std::string::npos)
      << table;
  EXPECT_NE(table.find("\n  Total                                1090.000\n"), std::string::npos)
      << table;
  EXPECT_NE(table.find("\nStock by location\n"), std::string::npos);
  EXPECT_NE(table.find("\n  01     01P200 Showroom    10.000\n"), std::string::npos) << table;
}

TEST_F(ReportTest, DocumentsByDateAndNumberAndCustomerBalances) {
  AddCustomer("01C001", "Gulf Traders");
  AddCustomer("01C002", "Harbour, Marine");
  // Ten opening invoices of one day for the first customer make numbers 1 to 10 of one series;
  // the second customer's, from another branch, is older.
  auto open_invoices = [&](const std::string& customer, const std::string& branch,
                           const std::vector<std::pair<std::string, std::string>>& lines) {
    auto grid = std::make_shared<MemoryGrid>(static_cast<std::int32_t>(lines.size() + 2), 9);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      auto row = static_cast<std::int32_t>(i + 1);
      grid->SetTextMatrix(row, 1, "OLD-" + std::to_string(row));
      grid->SetTextMatrix(row, 2, lines[i].first);
      grid->SetTextMatrix(row, 3, lines[i].second);
      grid->SetTextMatrix(row, 5, "1");
    }
    CustomerOB ob;
    ob.ConnectionString = cs;
    ob.AdoConnectionObject = conn;
    ob.CustomerCode = customer;
    ob.CustomerName = customer == "01C001" ? "Gulf Traders" : "Harbour, Marine";
    ob.CompanyPrefix = "01";
    ob.BranchPrefix = branch;
    ob.DocumentPrefix = "OBI";
    ob.CurrencyCode = "BHD";
    ob.LastUpdate = Date::FromYmd(2026, 12, 6);
    ob.GridName = grid;
    ASSERT_TRUE(ob.Create_OB("Debit") && ob.Process_OB("Debit")) << ob.ErrDesc();
  };
  std::vector<std::pair<std::string, std::string>> march;
  for (int n = 1; n <= 10; ++n) march.emplace_back("31/03/2026", std::to_string(n * 10));
  open_invoices("01C001", "01", march);
  open_invoices("01C002", "02", {{"01/01/2026", "75.5"}});

  auto documents = Json(cli::DocumentsReport(*conn, {}));
  ASSERT_EQ(documents.size(), 11u);
  EXPECT_EQ(documents[0], json::parse(R"({"document": "Sales invoice", "number": "0102OBI1",
      "date": "2026-01-01", "customer": "01C002", "total": 75.5})"));
  std::vector<std::string> numbers;
  for (std::size_t i = 1; i < documents.size(); ++i) numbers.push_back(documents[i]["number"]);
  EXPECT_EQ(numbers, (std::vector<std::string>{"0101OBI1", "0101OBI2", "0101OBI3", "0101OBI4",
                                               "0101OBI5", "0101OBI6", "0101OBI7", "0101OBI8",
                                               "0101OBI9", "0101OBI10"}));
  EXPECT_EQ(documents[10]["total"], 100.0);
  EXPECT_EQ(Json(cli::DocumentsReport(*conn, For("01C002"))).size(), 1u);
  EXPECT_NE(Render(cli::DocumentsReport(*conn, {}), ReportFormat::Table)
                .find("\n  Sales invoice 0101OBI10 31/Mar/2026 01C001   100.000\n"),
            std::string::npos);

  auto customers = cli::CustomersReport(*conn, {});
  EXPECT_EQ(Render(customers, ReportFormat::Csv),
            "customer,name,currency,balance\r\n"
            "01C001,Gulf Traders,BHD,550.000\r\n"
            "01C002,\"Harbour, Marine\",BHD,75.500\r\n");
  EXPECT_EQ(Render(customers, ReportFormat::Table),
            "\nCustomer balances\n"
            "  Customer Name            Currency Balance\n"
            "  -------- --------------- -------- -------\n"
            "  01C001   Gulf Traders    BHD      550.000\n"
            "  01C002   Harbour, Marine BHD       75.500\n"
            "  -------- --------------- -------- -------\n"
            "  Total                             625.500\n");
  EXPECT_EQ(Json(cli::CustomersReport(*conn, For("01C001"))),
            json::parse(R"([{"customer": "01C001", "name": "Gulf Traders", "currency": "BHD",
                             "balance": 550.0}])"));
}

TEST_F(ReportTest, StatementRunsTheBalanceThroughAnInvoiceAReceiptAndAReturn) {
  AddCustomer("01C001", "Gulf Traders");
  AddCustomer("01C002", "Other Customer");
  // Posted out of date order; the statement follows the dates.
  Receivable("01C001", "0101SRT1", "SRT", Date::FromYmd(2026, 11, 20), 0, 50, "Returned 2 lamps");
  Receivable("01C001", "0101INV1", "INV", Date::FromYmd(2026, 11, 1), 500, 0, "Invoice");
  Receivable("01C002", "0101INV2", "INV", Date::FromYmd(2026, 11, 10), 999, 0, "Invoice");
  Receivable("01C001", "0101RCT1", "RCT", Date::FromYmd(2026, 11, 15), 0, 200,
             "Receipt, cheque 4411");

  auto statement = cli::StatementReport(*conn, For("01C001"));
  // A document of a series names its kind; a receipt from a series this company has not set up
  // shows its prefix.
  EXPECT_EQ(Render(statement, ReportFormat::Table),
            "\nStatement of 01C001 Gulf Traders\n"
            "  Date        Document Kind          Description            Debit  Credit Balance\n"
            "  ----------- -------- ------------- -------------------- ------- ------- -------\n"
            "  01/Nov/2026 0101INV1 Sales Invoice Invoice              500.000   0.000 500.000\n"
            "  15/Nov/2026 0101RCT1 RCT           Receipt, cheque 4411   0.000 200.000 300.000\n"
            "  20/Nov/2026 0101SRT1 Sales Return  Returned 2 lamps       0.000  50.000 250.000\n"
            "  ----------- -------- ------------- -------------------- ------- ------- -------\n"
            "  Total                                                   500.000 250.000 250.000\n");
  EXPECT_EQ(Json(statement)[2], json::parse(R"({"date": "2026-11-20", "document": "0101SRT1",
      "kind": "Sales Return", "description": "Returned 2 lamps", "debit": 0.0, "credit": 50.0,
      "balance": 250.0})"));
  EXPECT_EQ(Render(statement, ReportFormat::Csv)
                .find("date,document,kind,description,debit,credit,balance\r\n"
                      "2026-11-01,0101INV1,Sales Invoice,Invoice,500.000,0.000,500.000\r\n"
                      "2026-11-15,0101RCT1,RCT,\"Receipt, cheque 4411\",0.000,200.000,300.000\r\n"),
            0u);

  ReportOptions mid = AsOf(2026, 11, 15);
  mid.customer = "01C001";
  auto on_15th = Json(cli::StatementReport(*conn, mid));
  ASSERT_EQ(on_15th.size(), 2u);
  EXPECT_EQ(on_15th[1]["balance"], 300.0);

  try {
    cli::StatementReport(*conn, For("01C999"));
    ADD_FAILURE() << "a statement of an unknown customer";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "there is no customer 01C999");
  }
}

TEST_F(ReportTest, AgingPutsEachDebtInItsBucketOnTheBoundaries) {
  AddCustomer("01C001", "Days Apart");
  AddCustomer("01C002", "Part Paid");
  AddCustomer("01C003", "In Advance");
  AddCustomer("01C004", "Settled");
  // Counted from 31 December: 30, 31, 60, 61, 90 and 91 days old, each amount a bit of its own so
  // that a debt in the wrong bucket shows; one of the day itself, late in it, and one after it.
  for (auto [y, m, d, amount] :
       std::vector<std::tuple<int, unsigned, unsigned, double>>{{2026, 12, 1, 1},
                                                                {2026, 11, 30, 2},
                                                                {2026, 11, 1, 4},
                                                                {2026, 10, 31, 8},
                                                                {2026, 10, 2, 16},
                                                                {2026, 10, 1, 32},
                                                                {2027, 1, 5, 1000}})
    Receivable("01C001", "D" + std::to_string(static_cast<int>(amount)), "INV",
               Date::FromYmd(y, m, d), amount, 0);
  Receivable("01C001", "D64", "INV", Date::FromYmd(2026, 12, 31, 23, 0), 64, 0);
  // A receipt settles the oldest debt first.
  Receivable("01C002", "OLD", "INV", Date::FromYmd(2026, 9, 1), 100, 0);
  Receivable("01C002", "NEW", "INV", Date::FromYmd(2026, 12, 26), 10, 0);
  Receivable("01C002", "PAY", "RCT", Date::FromYmd(2026, 12, 28), 0, 60);
  Receivable("01C003", "ADV", "RCT", Date::FromYmd(2026, 12, 20), 0, 25);
  Receivable("01C004", "INV", "INV", Date::FromYmd(2026, 6, 1), 30, 0);
  Receivable("01C004", "PAY", "RCT", Date::FromYmd(2026, 7, 1), 0, 30);

  auto aging = cli::AgingReport(*conn, AsOf(2026, 12, 31));
  EXPECT_EQ(Json(aging), json::parse(R"([
      {"customer": "01C001", "name": "Days Apart", "days_0_30": 65.0, "days_31_60": 6.0,
       "days_61_90": 24.0, "over_90": 32.0, "total": 127.0},
      {"customer": "01C002", "name": "Part Paid", "days_0_30": 10.0, "days_31_60": 0.0,
       "days_61_90": 0.0, "over_90": 40.0, "total": 50.0},
      {"customer": "01C003", "name": "In Advance", "days_0_30": -25.0, "days_31_60": 0.0,
       "days_61_90": 0.0, "over_90": 0.0, "total": -25.0}])"));
  EXPECT_EQ(Render(aging, ReportFormat::Table),
            "\nAging on 31/Dec/2026\n"
            "  Customer Name          0-30 31-60  61-90 Over 90   Total\n"
            "  -------- ---------- ------- ----- ------ ------- -------\n"
            "  01C001   Days Apart  65.000 6.000 24.000  32.000 127.000\n"
            "  01C002   Part Paid   10.000 0.000  0.000  40.000  50.000\n"
            "  01C003   In Advance -25.000 0.000  0.000   0.000 -25.000\n"
            "  -------- ---------- ------- ----- ------ ------- -------\n"
            "  Total                50.000 6.000 24.000  72.000 152.000\n");

  // A day earlier every boundary debt moves one bucket younger, and the last day's is not yet owed.
  ReportOptions day_before = AsOf(2026, 12, 30);
  day_before.customer = "01C001";
  EXPECT_EQ(Json(cli::AgingReport(*conn, day_before)), json::parse(R"([
      {"customer": "01C001", "name": "Days Apart", "days_0_30": 3.0, "days_31_60": 12.0,
       "days_61_90": 48.0, "over_90": 0.0, "total": 63.0}])"));
  EXPECT_EQ(Render(cli::AgingReport(*conn, day_before), ReportFormat::Csv),
            "customer,name,days_0_30,days_31_60,days_61_90,over_90,total\r\n"
            "01C001,Days Apart,3.000,12.000,48.000,0.000,63.000\r\n");
}

TEST_F(ReportTest, TheCommandRefusesBadArgumentsWithoutCreatingADatabase) {
  auto refusal = [](cli::ReportRequest request) -> std::string {
    std::ostringstream out;
    try {
      cli::RunReport(request, out);
    } catch (const Error& e) {
      EXPECT_EQ(out.str(), "");
      return e.what();
    }
    return "";
  };
  auto request = [&](std::string name) {
    cli::ReportRequest r;
    r.db = cs;
    r.name = std::move(name);
    return r;
  };
  EXPECT_EQ(refusal(request("balance-sheet")),
            "there is no report 'balance-sheet'; the reports are trial-balance, ledger, "
            "documents, stock, customers, statement, aging");
  auto xml = request("stock");
  xml.format = "xml";
  EXPECT_EQ(refusal(xml), "there is no format 'xml'; the formats are table, csv, json");
  auto bad_day = request("ledger");
  bad_day.as_of = "2026-13-01";
  EXPECT_EQ(refusal(bad_day), "'2026-13-01' is not a date; give --as-of as yyyy-mm-dd");
  auto stock_as_of = request("stock");
  stock_as_of.as_of = "2026-12-01";
  EXPECT_EQ(refusal(stock_as_of),
            "the stock report shows the books as they stand; it takes no --as-of");
  EXPECT_EQ(refusal(request("statement")), "the statement report needs --customer CODE");
  auto ledger_of = request("ledger");
  ledger_of.customer = "01C001";
  EXPECT_EQ(refusal(ledger_of), "the ledger report takes no --customer");
  auto unknown = request("statement");
  unknown.customer = "01C404";
  EXPECT_EQ(refusal(unknown), "there is no customer 01C404");

  const auto dir = std::filesystem::temp_directory_path();
  const std::string missing =
      (dir / ("qlnsales-no-such-" + std::to_string(::getpid()) + ".db")).string();
  auto nowhere = request("customers");
  nowhere.db = missing;
  EXPECT_EQ(refusal(nowhere), "there is no database at " + missing);
  EXPECT_FALSE(std::filesystem::exists(missing));
  // A file that is there but holds no books is not taken for empty books.
  const std::string empty = missing + ".empty";
  std::ofstream{empty}.close();
  nowhere.db = empty;
  EXPECT_EQ(refusal(nowhere), empty + " holds no qlnsales database; create it with qlnsales init");
  Connection::ClearPool();
  std::filesystem::remove(empty);

  auto csv = request("customers");
  csv.format = "csv";
  std::ostringstream out;
  EXPECT_EQ(cli::RunReport(csv, out), 0);
  EXPECT_EQ(out.str(), "customer,name,currency,balance\r\n");
}

}  // namespace
}  // namespace qlnsales::testing
