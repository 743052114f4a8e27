// Cash memos of 10 stock lines sold for cash, with a header discount and a tax code shared by two
// authorities, each saved (Create_CashMemo) and processed on-line (Process), beside the floor that
// writes the same rows by bare statements.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/convert.h"
#include "db/driver.h"
#include "db/record.h"
#include "harness.h"
#include "qlnsales/cash_memo.h"
#include "sample/sample_company.h"
#include "services/books_check.h"

namespace qlnsales::bench {

namespace {

// One memo: a piece of each item at kItemPrice, 10% off the whole, 15% tax on the rest (10% to
// the value added tax, 5% to the city), paid in cash.
constexpr double kSubTotal = kLines * kItemPrice;  // 20
constexpr double kDiscount = 2;                    // 10%
constexpr double kTax = 2.7;                       // 15% of 18
constexpr double kTotal = 20.7;                    // the lines less the discount plus the tax
constexpr double kCityTax = 0.9;        // the first authority in code order: 5/15 of the tax
constexpr double kValueAddedTax = 1.8;  // the last one takes the rest
constexpr const char* kTaxCode = "0101DUO";

Date MemoDay() {
  return Date::FromYmd(2026, 12, 6);
}

// The customer the memos are sold to, and a city tax beside the sample company's value added tax,
// both under one code.
void AddCustomerAndTaxCode(Connection& conn) {
  Record()
      .Set("Customer_Code", "01C900")
      .Set("Company_Prefix", "01")
      .Set("Customer_Name", "Bench counter")
      .Set("Customer_Balance", 0.0)
      .Insert(conn, "Customer_Master");
  refdata::AddAccount(conn, "01012150", "City Tax Payable", "Liability");
  Record()
      .Set("Code", "0101CTY")
      .Set("Company_Prefix", "01")
      .Set("Branch_Prefix", "01")
      .Set("Description", "City Tax")
      .Set("TaxRate", 5.0)
      .Set("AccountNo", "01012150")
      .Insert(conn, "TaxAuthorities");
  Record().Set("Tax_Code", kTaxCode).Set("Tax_Rate", 15.0).Insert(conn, "TaxCodeMaster");
  for (auto [code, rate] : {std::pair{"0101VAT", 10.0}, std::pair{"0101CTY", 5.0}})
    Record()
        .Set("TaxCode", kTaxCode)
        .Set("TaxAuthorityCode", code)
        .Set("TaxAuthorityRate", rate)
        .Insert(conn, "TaxCodeDetails");
}

// ---------------------------------------------------------------------------------------------
// The floor: the rows of one processed cash memo, written by bare prepared statements through a
// driver of its own, each row it leaves or changes written once: the two counters, the master and
// its lines under a temporary number and the line serials, the renumbering of both, a sales log
// row per line, the ledger (a sales line per line, the discount, a line per tax authority, the
// cash, the cost pair per line) with one balance update per account, the item stock, the lines'
// cost, a stock movement per line and the location stock; the same columns and values as the
// module's, none of its reads, and none of its statements that change no row.
class MemoFloor : public FloorWriter {
 public:
  explicit MemoFloor(const BenchDb& db) : FloorWriter(db, "CHM", "Cash_Memo_Detail") {
    auto sales = driver_->Query(
        "SELECT Cash_Sales_Account_No, COG_Account_No, Sales_Disc_Account_No FROM "
        "Default_Sales_Preferences WHERE Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("01"), Value("01")});
    auto accounts = driver_->Query(
        "SELECT Inventory_Account_No, Cash_Memo_Account_No FROM Default_Account_Preferences "
        "WHERE Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("01"), Value("01")});
    auto tax = driver_->Query(
        "SELECT Code, AccountNo FROM TaxAuthorities WHERE Code IN ('0101CTY', '0101VAT') ORDER "
        "BY Code",
        {});
    if (sales.empty() || accounts.empty() || tax.size() != 2)
      throw Error("The bench company has no preferences or tax authorities");
    sales_account_ = sales.front().Text("Cash_Sales_Account_No");
    cog_account_ = sales.front().Text("COG_Account_No");
    discount_account_ = sales.front().Text("Sales_Disc_Account_No");
    inventory_account_ = accounts.front().Text("Inventory_Account_No");
    cash_account_ = accounts.front().Text("Cash_Memo_Account_No");
    city_account_ = tax[0].Text("AccountNo");
    vat_account_ = tax[1].Text("AccountNo");
  }

 private:
  void Write() override {
    db::Driver& d = *driver_;
    const Date day = MemoDay();
    const Value none;
    const std::string temp_no = "0101CHMTMP" + std::to_string(next_temp_);
    const std::int32_t temp_identity = static_cast<std::int32_t>(next_temp_++);
    const std::string final_no = "0101CHM" + std::to_string(next_final_);
    const std::int32_t final_identity = static_cast<std::int32_t>(next_final_++);
    const std::int64_t first_serial = next_serial_;
    next_serial_ += kLines;

    // Saving: the temporary number, the master, the line serials, the lines.
    d.ExecuteDeferred(
        "UPDATE Document_Prefix SET Document_Temp_Next_No = COALESCE(Document_Temp_Next_No, 1) + "
        "1 WHERE Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("CHM"), Value("01"), Value("01")});
    d.ExecuteDeferred(
        "INSERT INTO Cash_Memo_Master (Cash_Memo_No, Cash_Memo_Identity, Company_Prefix, "
        "Branch_Prefix, Document_Prefix, Customer_Code, Customer_Name, Cash_Memo_Date, "
        "Cash_Memo_End_Date, Foreign_Currency_Flag, Currency_Code, Currency_Symbol, "
        "Cash_Memo_SubTotal, Cash_Memo_FC_Sub_Total, cash_memo_Disc_Percent, "
        "Cash_Memo_Disc_Amount, Cash_Memo_FC_Disc_Amount, Cash_Memo_Total_Amount, "
        "Cash_Memo_FC_Total_Amount, Balance_Amount, Balance_FCAmount, Employee_ID, Employee_Name, "
        "Payment_Type, Cash_Memo_Comments, Reference_No, Reference_Document_Prefix, Location_ID, "
        "Location_Name, Exchange_Rate, Last_Update, TaxCode, TaxDescription, Cash_Memo_TaxRate, "
        "Cash_Memo_TaxAmount) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Value(temp_no),
         Value(temp_identity),
         Value("01"),
         Value("01"),
         Value("CHM"),
         Value("01C900"),
         Value("Bench counter"),
         Value(day),
         Value(day),
         Value(false),
         Value("BHD"),
         Value("BD"),
         Value(kSubTotal),
         Value(kSubTotal),
         Value(10.0),
         Value(kDiscount),
         Value(kDiscount),
         Value(kTotal),
         Value(kTotal),
         Value(0.0),
         Value(0.0),
         none,
         none,
         Value("Cash"),
         Value("Bench sale"),
         none,
         none,
         Value(1),
         Value("Location1"),
         Value(0.0),
         Value(day),
         Value(kTaxCode),
         Value(""),
         Value(15.0),
         Value(kTax)});
    d.ExecuteDeferred(
        "INSERT INTO Line_Serial (Table_Name, Next_No) VALUES (?, ?) ON CONFLICT (Table_Name) DO "
        "UPDATE SET Next_No = Line_Serial.Next_No + excluded.Next_No",
        {Value("Cash_Memo_Detail"), Value(kLines)});
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Cash_Memo_Detail (Cash_Memo_No, Item_Code, Item_Name, TaxType, Unit_Code, "
          "Unit_Name, Unit_Qty, Cash_Memo_Qty, Cash_Memo_FC_Unit_Price, "
          "Cash_Memo_Dtl_Disc_Percent, Cash_Memo_FC_Disc_Amount, Cash_Memo_FC_Item_Amount, "
          "Cash_Memo_Item_Amount, Cash_Memo_Disc_Amount, Cash_Memo_Unit_Price, "
          "Cash_Memo_Delivered_Qty, Reference_SL_No, Proj_No, FOC_Flag, Location_Name, "
          "Location_ID, Cash_Memo_OverAll_Disc_Amount, Cash_Memo_OverAll_FC_Disc_Amount, "
          "Last_Update, SL_No) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
          "?, ?, ?, ?, ?, ?)",
          {Value(temp_no),
           Value(BenchItem(i)),
           Value("Bench item"),
           Value("Taxable"),
           Value(0.0),
           Value("Pcs"),
           Value(1.0),
           Value(1.0),
           Value(kItemPrice),
           Value(0.0),
           Value(0.0),
           Value(kItemPrice),
           Value(kItemPrice),
           Value(0.0),
           Value(kItemPrice),
           Value(1.0),
           Value(0.0),
           Value(""),
           Value(0.0),
           Value("Location1"),
           Value(1.0),
           Value(kDiscount / kLines),
           Value(kDiscount / kLines),
           Value(day),
           Value(Serial(first_serial, i))});

    // Processing: the final number and the renumbering, the memo settled in cash.
    d.ExecuteDeferred(
        "UPDATE Document_Prefix SET Document_Next_No = COALESCE(Document_Next_No, 1) + 1 WHERE "
        "Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("CHM"), Value("01"), Value("01")});
    d.ExecuteDeferred(
        "UPDATE Cash_Memo_Master SET process_Flag = ?, Delivered_Flag = ?, Adjusted_Amount = ?, "
        "Adjusted_FCAmount = ?, Cash_Memo_No = ?, Cash_Memo_Identity = ?, Last_Update = ? WHERE "
        "Cash_Memo_No = ?",
        {Value(1), Value(1), Value(kTotal), Value(kTotal), Value(final_no), Value(final_identity),
         Value(day), Value(temp_no)});
    d.ExecuteDeferred(
        "UPDATE Cash_Memo_Detail SET Cash_Memo_No = ?, Last_Update = ? WHERE Cash_Memo_No = ?",
        {Value(final_no), Value(day), Value(temp_no)});

    // The sales log, a row per line.
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Sales_Log (Sales_Document_No, Company_Prefix, Branch_Prefix, "
          "Document_Prefix, Ref_Document_Prefix, Item_Code, Item_Name, Unit_Code, Unit_Name, "
          "FOC_Flag, Unit_Qty, Sales_Qty, Sales_Item_Amount, Sales_Unit_Price, Inventory_Value, "
          "Sales_Log_Date, Sales_Document_Prefix, Proj_No, Last_Update) VALUES (?, ?, ?, ?, ?, ?, "
          "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value(final_no), Value("01"), Value("01"), Value("SLG"), none, Value(BenchItem(i)),
           Value("Bench item"), Value(0.0), Value("Pcs"), Value(0.0), Value(1.0), Value(1.0),
           Value(kItemPrice), Value(kItemPrice), Value(0.0), Value(day), Value("CHM"), none,
           Value(day)});

    // The ledger: the sales, the discount, the tax by authority, the cash, the cost pairs.
    const Value comments("Bench sale");
    for (int i = 1; i <= kLines; ++i)
      Ledger(final_no, day, sales_account_, "Sales Account : ItemCode - " + BenchCode(i), none, 0,
             kItemPrice, Value(day));
    Ledger(final_no, day, discount_account_, "Discount Account", comments, kDiscount, 0,
           Value(day));
    // The tax module stamps its lines with the day they are posted.
    const std::string tax_text = "Sales Tax for " + std::to_string(final_identity) + " Dated " +
                                 convert::FormatDayMonthNumber(day);
    Ledger(final_no, day, city_account_, tax_text, comments, 0, kCityTax, Value(Date::Today()));
    Ledger(final_no, day, vat_account_, tax_text, comments, 0, kValueAddedTax,
           Value(Date::Today()));
    Ledger(final_no, day, cash_account_, "Cash Memo Account", comments, kTotal, 0, Value(day));
    for (int i = 1; i <= kLines; ++i) {
      Ledger(final_no, day, inventory_account_, "Inventory Account : ItemCode - " + BenchCode(i),
             none, 0, kItemCost, Value(day));
      Ledger(final_no, day, cog_account_, "Cost of Goods Account : ItemCode - " + BenchCode(i),
             none, kItemCost, 0, Value(day));
    }
    for (auto [account, change] :
         {std::pair{&sales_account_, -kSubTotal}, std::pair{&discount_account_, kDiscount},
          std::pair{&city_account_, -kCityTax}, std::pair{&vat_account_, -kValueAddedTax},
          std::pair{&cash_account_, kTotal}, std::pair{&inventory_account_, -kLines * kItemCost},
          std::pair{&cog_account_, kLines * kItemCost}})
      d.ExecuteDeferred(
          "UPDATE Chart_Of_Accounts SET Current_Balance = Current_Balance + ? WHERE Account_No = "
          "?",
          {Value(change), Value(*account)});

    // The goods out of stock at cost: the item, the line's cost, the movement, the location.
    for (int i = 1; i <= kLines; ++i) {
      d.ExecuteDeferred(
          "UPDATE Item_Master SET Stock_In_Hand = Stock_In_Hand - ?, Stock_Amount = Stock_Amount "
          "- ? WHERE Item_Code = ?",
          {Value(1.0), Value(kItemCost), Value(BenchItem(i))});
      d.ExecuteDeferred(
          "UPDATE Cash_Memo_Detail SET Inventory_Value = ? WHERE Cash_Memo_No = ? AND SL_No = ?",
          {Value(kItemCost), Value(final_no), Value(Serial(first_serial, i))});
    }
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Stock_Movement (Company_Prefix, Branch_Prefix, Document_Prefix, "
          "Document_No, Document_Date, Document_Type, Item_Code, Item_Name, Unit_Code, Unit_Name, "
          "Period_Type, FOC_Flag, Unit_Qty, Base_Qty, In_Qty, In_Amount, In_Price, Out_Qty, "
          "Out_Amount, Out_Price, Location_ID, Location_Name, Stock_Comments, Last_Update) VALUES "
          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value("01"),
           Value("01"),
           Value("CHM"),
           Value(final_no),
           Value(day),
           Value("OUT"),
           Value(BenchItem(i)),
           Value("Bench item"),
           Value(0.0),
           Value("Pcs"),
           none,
           Value(0.0),
           Value(1.0),
           Value(-1.0),
           Value(0.0),
           Value(0.0),
           Value(0.0),
           Value(1.0),
           Value(kItemCost),
           Value(kItemCost),
           Value(1),
           Value("Location1"),
           none,
           Value(day)});
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Location_Stock (Branch_Prefix, Item_Code, Location_ID, Company_Prefix, "
          "Location_Name, Item_Name, Unit_Name, Quantity, Last_Update) VALUES (?, ?, ?, ?, ?, ?, "
          "?, ?, ?) ON CONFLICT (Branch_Prefix, Item_Code, Location_ID) DO UPDATE SET Quantity = "
          "Location_Stock.Quantity + excluded.Quantity, Last_Update = excluded.Last_Update",
          {Value("01"), Value(BenchItem(i)), Value(1), Value("01"), Value("Location1"),
           Value("Bench item"), Value("Pcs"), Value(-1.0), Value(day)});
  }

  void Ledger(const std::string& no, const Date& day, const std::string& account,
              const std::string& text, const Value& comments, double debit, double credit,
              const Value& stamp) {
    driver_->ExecuteDeferred(
        "INSERT INTO General_Ledger (Document_No, Document_Prefix, GL_Date, Account_No, "
        "GL_Description, GL_Comments, Debit_Amount, Credit_Amount, FC_Debit_Amount, "
        "FC_Credit_Amount, Foreign_Currency_Flag, Currency_Code, Currency_Symbol, Last_Update) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Value(no), Value("CHM"), Value(day), Value(account), Value(text), comments, Value(debit),
         Value(credit), Value(debit), Value(credit), Value(false), Value("BHD"), Value("BD"),
         stamp});
  }

  std::string sales_account_, cog_account_, discount_account_, inventory_account_, cash_account_,
      city_account_, vat_account_;
};

// ---------------------------------------------------------------------------------------------
// The module's cash memos.

class CashMemoWork : public Workload {
 public:
  explicit CashMemoWork(BenchDb& db) : db_(db) {
    AddCustomerAndTaxCode(*db.conn);
    location_qty_ = db.Number(kLocationQty);
    cash_ = db.Number(kCashBalance);
    floor_ = std::make_unique<MemoFloor>(db);
  }

  // One memo of one piece of each item, saved and processed on-line as a cash sale.
  void Document() override {
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 22);
    const std::string price = convert::NumberToText(kItemPrice);
    for (int i = 1; i <= kLines; ++i)
      for (auto [c, t] : std::initializer_list<std::pair<int, std::string>>{{1, BenchCode(i)},
                                                                            {2, "Bench item"},
                                                                            {3, "1"},
                                                                            {5, "Pcs"},
                                                                            {6, "1"},
                                                                            {7, "1"},
                                                                            {8, price},
                                                                            {11, price},
                                                                            {12, price},
                                                                            {14, price},
                                                                            {19, "0"},
                                                                            {20, "Location1"},
                                                                            {21, "1"}})
        grid->SetTextMatrix(i, c, t);
    CashMemo m;
    m.ADOConnectionString = db_.cs;
    m.AdoDBConnectionObject = db_.conn;
    m.CMGridName = grid;
    m.CompanyPrefix = m.BranchPrefix = "01";
    m.DocumentPrefix = "CHM";
    m.StockMovementPrefix = "CHM";
    m.SalesLogPrefix = "SLG";
    m.CustomerCode = "01C900";
    m.CustomerName = "Bench counter";
    m.PaymentType = "Cash";
    m.CurrencyCode = "BHD";
    m.CashMemoDate = m.CashMemoEndDate = MemoDay();
    m.CashMemoSubTotal = m.CashMemoFCSubTotal = kSubTotal;
    m.CashMemoDiscPercent = 10;
    m.CashMemoDiscAmount = m.CashMemoFcDiscAmount = kDiscount;
    m.TaxCode = kTaxCode;
    m.CashMemoTaxPercent = 15;
    m.CashMemoTaxAmount = kTax;
    m.CashMemoTotalAmount = m.CashMemoFCTotalAmount = kTotal;
    m.CashMemoComments = "Bench sale";
    m.LocationCode = 1;
    m.LocationName = "Location1";
    m.AmtDig = 2;
    m.LastUpdate = MemoDay();
    m.OnlineFlag = true;
    if (!m.Create_CashMemo(true) || !m.Process()) throw Error(m.ErrDesc());
  }

  void SyncFloor() override { floor_->Sync(); }
  void FloorDocument() override { floor_->Document(); }

  std::int64_t Documents() override {
    return static_cast<std::int64_t>(db_.Number("SELECT COUNT(*) AS N FROM Cash_Memo_Master"));
  }

  // Every memo processed under its final number and settled, its lines at cost, a sales log row
  // per line, its ledger lines with the tax shared by the two authorities, its stock movements,
  // the location stock and the cash it took.
  std::vector<std::string> Check() override {
    std::vector<std::string> problems = services::CheckBooks(*db_.conn);
    const double n = db_.Number("SELECT COUNT(*) AS N FROM Cash_Memo_Master");
    Expect(problems, "processed cash memos",
           db_.Number("SELECT COUNT(*) AS N FROM Cash_Memo_Master WHERE process_Flag = 1 AND "
                      "Cash_Memo_No NOT LIKE '%TMP%' AND Adjusted_Amount = Cash_Memo_Total_Amount"),
           n);
    Expect(problems, "lines under their memo's number, at cost",
           db_.Number("SELECT COUNT(*) AS N FROM Cash_Memo_Detail D JOIN Cash_Memo_Master M ON "
                      "M.Cash_Memo_No = D.Cash_Memo_No WHERE D.Inventory_Value = 1.25"),
           kLines * n);
    Expect(problems, "sales log rows",
           db_.Number("SELECT COUNT(*) AS N FROM Sales_Log WHERE Sales_Document_Prefix = 'CHM'"),
           kLines * n);
    Expect(problems, "ledger lines",
           db_.Number("SELECT COUNT(*) AS N FROM General_Ledger WHERE Document_Prefix = 'CHM'"),
           (3 * kLines + 4) * n);
    Expect(problems, "city tax",
           db_.Number("SELECT SUM(Credit_Amount) AS N FROM General_Ledger WHERE Document_Prefix = "
                      "'CHM' AND Account_No = '01012150'"),
           kCityTax * n);
    Expect(problems, "stock movements out",
           db_.Number("SELECT COUNT(*) AS N FROM Stock_Movement WHERE Document_Type = 'OUT' AND "
                      "Document_Prefix = 'CHM'"),
           kLines * n);
    Expect(problems, "location stock", db_.Number(kLocationQty), location_qty_ - kLines * n);
    Expect(problems, "cash", db_.Number(kCashBalance), cash_ + kTotal * n);
    return problems;
  }

 private:
  static constexpr const char* kLocationQty =
      "SELECT SUM(Quantity) AS N FROM Location_Stock WHERE Item_Code LIKE '01B%'";
  static constexpr const char* kCashBalance =
      "SELECT C.Current_Balance AS N FROM Chart_Of_Accounts C JOIN Default_Account_Preferences P "
      "ON P.Cash_Memo_Account_No = C.Account_No WHERE P.Company_Prefix = '01' AND "
      "P.Branch_Prefix = '01'";

  BenchDb& db_;
  double location_qty_ = 0, cash_ = 0;  // before the first memo
  std::unique_ptr<MemoFloor> floor_;
};

}  // namespace

const Kind& CashMemoKind() {
  static const Kind kind{
      "memo",
      "cash memo",
      "cash memos",
      "Cash memos of 10 stock lines with a discount and tax in two authorities, paid in cash,\n"
      "saved and processed on-line",
      "the same rows written by bare prepared statements through the driver, each row\n"
      "written once and no reads, one transaction per document (pipelined on PostgreSQL).",
      {.statements = std::nullopt,
       .waits = std::nullopt,
       .sqlite_rate = 1500,
       .postgres_rate = 400,
       .growth = 0.10},
      [](BenchDb& db) { return std::make_unique<CashMemoWork>(db); }};
  return kind;
}

}  // namespace qlnsales::bench
