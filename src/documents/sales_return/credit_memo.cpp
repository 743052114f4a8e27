// The credit memo of a processed sales return: a "CRM" voucher written under a temporary number,
// whose lines credit the customer and debit the sales returns, the discount (credited back) and
// each tax authority, handed to the debit/credit-note module, which posts it and gives it its
// final number.
#include <cmath>
#include <vector>

#include "base/convert.h"
#include "db/record.h"
#include "documents/sales_postings.h"
#include "frame/lookup.h"
#include "frame/modules.h"
#include "frame/numbering.h"
#include "frame/tax_shares.h"
#include "qlnsales/sales_return.h"
#include "qlnsales/shell.h"

namespace qlnsales {

using convert::Trim;
using documents::Storable;

namespace {

using C = SalesReturn;

constexpr const char* kCreditMemoPrefix = "CRM";
constexpr const char* kLineDescription = "System Generated Credit Memo.";
constexpr const char* kProjNo = "  ";

// Reads and writes go through one connection, so that the memo sees the return its own call has
// just renumbered: the caller's connection object when it is open, else the connection string's.
ConnectionRef MemoConnection(const C& c) {
  return connection_rule::ObjectFirst(c.ConnectionString, c.AdoConnectionObject);
}

// One voucher line: the amounts go to the debit or the credit side by `debit`.
struct VoucherLine {
  std::string voucher_type;  // "Customer" or "General"
  std::string account;
  std::string name;
  bool debit = false;
  double fc_amount = 0;
  double amount = 0;
  bool foreign = false;
  std::int16_t sl_no = 0;
};

void InsertVoucherLine(Connection& conn, const std::string& voucher, const VoucherLine& l,
                       const std::string& currency_code, const std::string& currency_symbol,
                       const std::string& proj_no, const Value& last_update) {
  if (!Storable(l.amount) || !Storable(l.fc_amount))
    throw Error("Invalid Amount on Credit Memo line " + std::to_string(l.sl_no));
  const Value zero(0);
  Record()
      .Set("SL_No", static_cast<std::int32_t>(l.sl_no))
      .Set("Voucher_No", voucher)
      .Set("Voucher_Type", l.voucher_type)
      .Set("Account_No", l.account)
      .SetOptional("Account_Name", l.name)
      .Set("Voucher_Description", kLineDescription)
      .Set("Debit_Amount", l.debit ? Value(l.amount) : zero)
      .Set("FC_Debit_Amount", l.debit ? Value(l.fc_amount) : zero)
      .Set("Credit_Amount", l.debit ? zero : Value(l.amount))
      .Set("FC_Credit_Amount", l.debit ? zero : Value(l.fc_amount))
      .Set("Proj_No", proj_no)
      .Set("Foreign_Currency_Flag", l.foreign)
      .SetOptional("Currency_Code", currency_code)
      .SetOptional("Currency_Symbol", Trim(currency_symbol))
      .Set("Last_Update", last_update)
      .Insert(conn, "Voucher_Detail");
}

std::string Lookup(Connection& conn, FieldLookup q) {
  return LookupField(conn, q).value_or("");
}

std::string AccountName(Connection& conn, const std::string& account) {
  return Lookup(conn, {"Chart_Of_Accounts", "Account_Name", "Account_No", account});
}

// A default account of the return's company and branch from the sales preferences.
std::string SalesPreferenceAccount(Connection& conn, const Row& rtn, const char* column) {
  return Trim(Lookup(
      conn, {"Default_Sales_Preferences", column, "Company_Prefix", rtn.Text("Company_Prefix"),
             false, "Branch_Prefix", rtn.Text("Branch_Prefix"), false}));
}

struct TaxAuthorityLine {
  double rate = 0;
  std::string account;
  std::string name;
};

// The authorities of the return's tax code, in the order the sale's tax posting takes them, so
// the same authority takes the rounding remainder. Codes are stored with the company and branch
// prefixes in front, while a return filled by a reader holds the code without them: the prefixed
// code is tried first, the code as given next. Every authority must have an account, or the
// customer would be credited tax that no authority gives back.
std::vector<TaxAuthorityLine> TaxAuthoritiesOf(const C& c, Connection& conn,
                                               const std::string& code) {
  ResultSet rs;
  for (const std::string& candidate : {c.CompanyPrefix + c.BranchPrefix + code, code}) {
    rs = conn.Query(
        "SELECT D.TaxAuthorityName, D.TaxAuthorityRate, A.Code AS Known, A.AccountNo, "
        "A.Description FROM TaxCodeDetails D LEFT JOIN TaxAuthorities A ON A.Code = "
        "D.TaxAuthorityCode WHERE D.TaxCode = ? ORDER BY D.TaxAuthorityCode",
        {Value(candidate)});
    if (!rs.empty()) break;
  }
  std::vector<TaxAuthorityLine> lines;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    const Row r = rs[i];
    const std::string description =
        r.IsNull("Known") ? r.Text("TaxAuthorityName") : r.Text("Description");
    const std::string account = Trim(r.Text("AccountNo"));
    if (account.empty()) throw Error("Invalid Account Number for Authority -'" + description + "'");
    lines.push_back({r.Double("TaxAuthorityRate"), account, AccountName(conn, account)});
  }
  return lines;
}

// The tax lines, from line 4 on: each authority's share of the return's tax, the last taking what
// the rounded shares before it left, so the voucher balances. The code's rate is the object's,
// else the stored one; a return without one shares its tax by the authorities' own rates rather
// than dividing by nothing.
void AddTaxLines(const C& c, Connection& conn, const Row& rtn, double tax,
                 std::vector<VoucherLine>& lines) {
  std::string code = Trim(c.TaxCode);
  if (code.empty()) code = Trim(rtn.Text("TaxCode"));
  const auto authorities = TaxAuthoritiesOf(c, conn, code);
  if (authorities.empty()) return;
  std::vector<double> rates;
  double rates_total = 0;
  for (const auto& a : authorities) {
    rates.push_back(a.rate);
    rates_total += a.rate;
  }
  double code_rate = c.TaxRate;
  if (!(code_rate > 0)) code_rate = rtn.Double("TaxRate");
  if (!(code_rate > 0)) code_rate = rates_total;
  const auto shares = std::isfinite(code_rate) && code_rate > 0
                          ? TaxShares(tax, code_rate, rates, convert::DecimalPlaces(c.AmtDig))
                          : std::nullopt;
  if (!shares) throw Error("Invalid Tax Rate for Tax Code - " + code);
  std::int16_t sl_no = 4;
  for (std::size_t k = 0; k < authorities.size(); ++k) {
    const double share = (*shares)[k];
    lines.push_back({"General", authorities[k].account, authorities[k].name, true, share, share,
                     false, sl_no++});
  }
}

// A customer is credited for goods that came back, once: the return is processed, the voucher it
// was given is kept on it, and goods delivered and never billed owe the customer nothing.
void RefuseSecondMemo(const Row& rtn, const std::string& return_no) {
  const std::string shown = "The sales return " + return_no;
  if (!rtn.Flag("Processed_Flag") || !IsFinalNumber(return_no))
    throw Error(shown + " is not processed: its credit memo comes with its processing");
  if (!Trim(rtn.Text("Voucher_No")).empty())
    throw Error(shown + " has its credit memo " + Trim(rtn.Text("Voucher_No")) + " already");
  const std::string kind = Trim(rtn.Text("Ref_Doc_Type"));
  if (!Trim(rtn.Text("Ref_No")).empty() && (kind == "DEL" || kind == "DDL"))
    throw Error(shown + " brings back goods delivered and not billed: no credit memo is owed");
}

// Create_Voucher_Master's work. Every look-up is made before the first row is written.
bool WriteVoucher(const C& c, const ConnectionRef& memo, const std::string& return_no,
                  const std::string& voucher_no) {
  Connection& conn = *memo;
  const auto found =
      conn.Query("SELECT * FROM Sales_Return_Master WHERE Sales_Rtn_No = ?", {Value(return_no)});
  if (found.empty()) return true;
  const Row rtn = found.front();
  if (Trim(voucher_no).empty()) throw Error("Invalid Voucher No");
  RefuseSecondMemo(rtn, return_no);

  const double total = rtn.Double("Sales_Rtn_Total_Amount");
  const double fc_total = rtn.Double("Sales_Rtn_FC_Total_Amount");
  const double subtotal = rtn.Double("Sales_Rtn_SubTotal");
  const double fc_subtotal = rtn.Double("Sales_Rtn_FC_SubTotal");
  const double discount = rtn.Double("Sales_Rtn_Disc_Amount");
  const double fc_discount = rtn.Double("Sales_Rtn_FC_Disc_Amount");
  const double tax = rtn.Double("TaxAmount");
  const double rate = rtn.Double("Exchange_Rate");
  for (double x : {total, fc_total, subtotal, fc_subtotal, discount, fc_discount, tax, rate})
    if (!Storable(x)) throw Error("Invalid Sales Return Amount");
  const bool foreign = rtn.Flag("Foreign_Currency_Flag");
  const std::string currency = rtn.Text("Currency_Code");
  const std::string symbol = Trim(rtn.Text("Currency_Symbol"));

  // The receivable control account is not written (the line names the customer), but a company
  // without account preferences gets no credit memo.
  auto prefs = NewModule(
      "QLNAccounts.AccountPreferences",
      {{"AdoConnectionObject", Value(memo)}, {"ConnectionString", Value(conn.ConnectionString)}});
  documents::Check(
      Call(prefs, "Get_Account_Preferences", {Value(c.CompanyPrefix), Value(c.BranchPrefix)}));

  std::vector<VoucherLine> lines;
  lines.push_back({"Customer", rtn.Text("Customer_Code"), rtn.Text("Customer_Name"), false,
                   fc_total, total, foreign, 1});
  const std::string returns = SalesPreferenceAccount(conn, rtn, "Sales_Return_Account_No");
  if (returns.empty()) throw Error("Invalid Sales Return Account");
  lines.push_back(
      {"General", returns, AccountName(conn, returns), true, fc_subtotal, subtotal, foreign, 2});
  // A discount in the local currency alone still needs its line, or the voucher could not
  // balance.
  if (fc_discount > 0 || discount > 0) {
    const std::string account = SalesPreferenceAccount(conn, rtn, "Sales_Disc_Account_No");
    if (account.empty()) throw Error("Invalid Default Discount Account");
    lines.push_back(
        {"General", account, AccountName(conn, account), false, fc_discount, discount, foreign, 3});
  }
  if (tax > 0) AddTaxLines(c, conn, rtn, tax, lines);

  const Value stamp(c.LastUpdate);
  const Value zero(0);
  Record()
      .Set("Voucher_No", voucher_no)
      .Set("Voucher_Identity", convert::Mid(voucher_no, 11))
      .Set("Company_Prefix", rtn["Company_Prefix"])
      .Set("Branch_Prefix", rtn["Branch_Prefix"])
      .Set("Document_Prefix", kCreditMemoPrefix)
      .Set("Voucher_Date",
           rtn["Sales_Rtn_Date"].IsEmpty() ? Value() : Value(rtn.DateValue("Sales_Rtn_Date")))
      .SetOptional("Voucher_Comments", rtn.Text("Sales_Rtn_Comments"))
      .Set("Foreign_Currency_Flag", foreign)
      .SetOptional("Currency_Code", currency)
      .SetOptional("Currency_Symbol", symbol)
      .Set("process_Flag", zero)
      .Set("Voucher_Amount", total)
      .Set("Voucher_FCAmount", fc_total)
      .Set("Balance_Amount", total)
      .Set("Balance_FCAmount", fc_total)
      .Set("Voucher_For", "Customer")
      .Set("Exchange_Rate", rate)
      .Set("Type", "Customer")
      .Set("AccountNo", rtn.Text("Customer_Code"))
      .SetOptional("AccountName", rtn.Text("Customer_Name"))
      .Set("amountcr", total)
      .Set("amountfccr", fc_total)
      .Set("amountdr", zero)
      .Set("amountfcdr", zero)
      .Set("Last_Update", stamp)
      .Insert(conn, "Voucher_Master");
  for (const auto& l : lines)
    InsertVoucherLine(conn, voucher_no, l, currency, symbol, kProjNo, stamp);
  conn.Execute("UPDATE Sales_Return_Master SET Voucher_No = ? WHERE Sales_Rtn_No = ?",
               {Value(voucher_no), Value(return_no)});
  return true;
}

// The credit memo number the user typed: a positive whole number in plain digits. Anything else
// (blanks, a sign, a point, letters, an empty answer, Cancel, 0, or a number past what the series
// can go on from) is refused, so the number used is exactly the one shown.
std::optional<std::int32_t> ManualNumber(const std::optional<std::string>& answer) {
  if (!answer) return std::nullopt;
  const std::string& text = *answer;
  if (text.empty() || text.size() > 10) return std::nullopt;
  for (char ch : text)
    if (ch < '0' || ch > '9') return std::nullopt;
  const double n = std::stod(text);
  if (n < 1 || n >= 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(n);
}

}  // namespace

bool SalesReturn::Generate_Credit_Memo(std::string& pReturnNo) {
  return Trap([&] {
    ConnectionRef conn = MemoConnection(*this);
    const bool own_object = conn == AdoConnectionObject;
    const std::string return_no = Trim(pReturnNo);
    // Without its return there is nothing to credit, so no number is asked for or drawn.
    const auto found =
        conn->Query("SELECT * FROM Sales_Return_Master WHERE Sales_Rtn_No = ?", {Value(return_no)});
    if (found.empty()) return Fail("Invalid Sales Return");
    // Nor is a number asked for a memo that cannot be made.
    RefuseSecondMemo(found.front(), return_no);

    const Series series{CompanyPrefix, BranchPrefix, kCreditMemoPrefix};
    const auto prefix = conn->Query(
        "SELECT Document_Next_No, Manual_Flag, Last_Update FROM Document_Prefix WHERE "
        "Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value(series.document), Value(series.company), Value(series.branch)});
    const bool manual = !prefix.empty() && prefix.front().Flag("Manual_Flag");

    std::int32_t identity = 0;
    ObjectRef counter;
    CounterNumbering drawn(CounterNumbering::kTemporary);
    if (manual) {
      const auto n = ManualNumber(
          CurrentShell().InputBox("Please Enter  Credit Memo No", kApplicationTitle, ""));
      if (!n) return Fail("Please Enter Valid Numeric Credit Memo No ");
      // A failing look-up is an error of the call, never a free number.
      if (DocumentExists(*conn, {"Voucher_Master", "Voucher_No", "", FinalNumber(series, *n)}))
        return Fail("Credit Memo No Already Exists ");
      identity = *n;
      // Nothing was drawn: the counter moves the temporary series on through the memo's
      // connection.
      counter =
          NewModule("QLNSystem.CounterTransaction", {{"CompanyPrefix", Value(series.company)},
                                                     {"BranchPrefix", Value(series.branch)},
                                                     {"DocumentPrefix", Value(series.document)},
                                                     {"AdoConnectionObject", Value(conn)}});
    } else {
      if (auto err = drawn.Draw(conn, series)) return Fail(*err);
      if (own_object) AdoConnectionObject = conn;
      identity = drawn.identity();
    }

    std::string voucher = TemporaryNumber(series, identity);
    if (!WriteVoucher(*this, conn, return_no, voucher)) return false;
    const CounterError increased =
        manual ? Call(counter, "Increase_Counter", {Value(true)}) : drawn.Confirm();
    // The memo goes on: its number is already its own.
    if (increased) err_desc_ = *increased;

    double manual_identity = manual ? identity : 0;
    bool manual_flag = manual;
    return Process_CreditMemo(voucher, manual_identity, manual_flag);
  });
}

bool SalesReturn::Create_Voucher_Master(std::string& pReturnNo, std::string& pVoucherNo) {
  return Trap(
      [&] { return WriteVoucher(*this, MemoConnection(*this), Trim(pReturnNo), pVoucherNo); });
}

bool SalesReturn::Create_Voucher_Detail(std::string& pVoucherNo, std::string& pVouType,
                                        std::string& pAcNo, std::string& pAcName,
                                        std::string& pType, double& pFcAmt, double& pAmt, bool& pFC,
                                        std::string& pCurCode, std::string& pCurSymbol,
                                        std::string& pPrjNo, std::int16_t& PSlNo) {
  return Trap([&] {
    if (Trim(pVoucherNo).empty()) return Fail("Invalid Voucher No");
    // Lines belong to a voucher being written: a posted one is what its ledger lines say, and
    // lines of none would be taken in by whichever voucher is given that number next.
    auto voucher = MemoConnection(*this)->Query(
        "SELECT process_Flag FROM Voucher_Master WHERE Voucher_No = ?", {Value(pVoucherNo)});
    if (voucher.empty()) return Fail("Invalid Voucher No");
    if (voucher.front().Flag("process_Flag")) return Fail("Already Processed");
    InsertVoucherLine(*MemoConnection(*this), pVoucherNo,
                      {pVouType, pAcNo, pAcName, pType == "Debit", pFcAmt, pAmt, pFC, PSlNo},
                      pCurCode, pCurSymbol, pPrjNo, Value(LastUpdate));
    return true;
  });
}

bool SalesReturn::Process_CreditMemo(std::string& pVoucherNo, double& manualIdentity,
                                     bool& ManualDocFlag) {
  return Trap([&] {
    ConnectionRef conn = MemoConnection(*this);
    auto note = NewModule("QLNAccountsExt.DebitCreditNote",
                          {{"AdoConnectionObject", Value(conn)},
                           {"ADOConnectionString", Value(ConnectionString)},
                           {"VoucherNo", Value(pVoucherNo)},
                           {"manualDocIdentity", Value(manualIdentity)},
                           {"DocFlag", Value(ManualDocFlag)},
                           {"LastUpdate", Value(LastUpdate)}});
    std::vector<Value> args{Value(pVoucherNo)};
    if (!note->Invoke("Process_Voucher", args).ToBool()) return Fail(note->Get("ErrDesc").ToText());
    // The return keeps the number its credit memo was given.
    conn->Execute("UPDATE Sales_Return_Master SET Voucher_No = ? WHERE Voucher_No = ?",
                  {args[0], Value(pVoucherNo)});
    pVoucherNo = args[0].ToText();
    VoucherNo = pVoucherNo;
    return true;
  });
}

}  // namespace qlnsales
