#include "qlnsales/customer_ob.h"

#include "base/convert.h"
#include "db/record.h"
#include "frame/numbering.h"
#include "qlnsales/registry.h"

namespace qlnsales {

using convert::Trim;

namespace {

// Amounts are carried through their 15-significant-digit text, as the stored text form is.
double Through15(double v) {
  return convert::TextToDouble(convert::NumberToText(v));
}

// Characters 3-4 of an account number are its branch. An empty account stays empty, so the
// checks for a missing account still see it.
std::string InBranch(const std::string& account, const std::string& branch) {
  if (account.empty()) return account;
  return convert::Left(account, 2) + branch + convert::Mid(account, 5);
}

// Types are told apart without regard to case or surrounding blanks, so "Debit", "DEBIT" and
// " debit " name one set: otherwise a set saved under one spelling and processed under another
// would generate nothing, and a save under a second spelling would keep both sets.
std::string TypeKey(const std::string& type) {
  return convert::UCase(Trim(type));
}

bool IsDebit(const std::string& type) {
  return TypeKey(type) == "DEBIT";
}

// The customer's stored items in the branch, of every type, in SL_No order; the caller keeps
// those of its type (OfType). The match is made here rather than in SQL so that both engines
// fold case alike.
ResultSet StoredItems(Connection& conn, const std::string& customer, const std::string& branch) {
  return conn.Query(
      "SELECT * FROM Customer_OB WHERE Customer_Code = ? AND Branch_Prefix = ? ORDER BY SL_No, "
      "OBType",
      {customer, branch});
}

// A row without a type belongs to no set: it could not be marked processed by its type.
bool OfType(const Row& row, const std::string& type) {
  return !row.IsNull("OBType") && TypeKey(row.Text("OBType")) == TypeKey(type);
}

// Removes the set of `type`, under every spelling it is stored with.
void DeleteSet(Connection& conn, const std::string& customer, const std::string& branch,
               const std::string& type) {
  auto types = conn.Query(
      "SELECT DISTINCT OBType FROM Customer_OB WHERE Customer_Code = ? AND Branch_Prefix = ?",
      {customer, branch});
  for (std::size_t i = 0; i < types.size(); ++i)
    if (OfType(types[i], type))
      conn.Execute(
          "DELETE FROM Customer_OB WHERE Customer_Code = ? AND OBType = ? AND Branch_Prefix = ?",
          {Value(customer), types[i]["OBType"], Value(branch)});
}

Grid& RequireGrid(const GridRef& grid) {
  if (!grid) throw Error("Object variable not set: the opening balances have no grid (GridName)");
  return *grid;
}

}  // namespace

bool CustomerOB::Validation() {
  if (CustomerCode.empty()) return Fail("Invalid Customer");
  if (!connection_rule::IsOpen(AdoConnectionObject)) return Fail("Invalid Connection.");
  Grid& grid = RequireGrid(GridName);
  auto text = [&grid](std::int32_t r, std::int32_t c) { return Trim(grid.TextMatrix(r, c)); };
  no_entries_ = true;
  for (std::int32_t r = 1; r < grid.Rows(); ++r)
    if (!text(r, 1).empty()) no_entries_ = false;
  if (no_entries_) return true;
  if (text(1, 1).empty()) return Fail("Invalid Reference No.");
  if (text(1, 2).empty()) return Fail("Invalid Reference Date");
  if (grid.ValueMatrix(1, 3) == 0) return Fail("Invalid Amount");
  for (std::int32_t r = 1; r < grid.Rows(); ++r) {
    if (text(r, 1).empty() || text(r, 2).empty()) break;
    if (grid.ValueMatrix(r, 3) == 0) return Fail("Invalid Amount");
  }
  return true;
}

bool CustomerOB::Create_OB(std::string OBType) {
  if (!Validation()) return false;
  const std::string type = Trim(OBType);
  auto remove_stored = [&](Connection& conn) { DeleteSet(conn, CustomerCode, BranchPrefix, type); };
  // No trap here: an error reaches the caller, and the removal is still all or nothing.
  if (no_entries_)
    return AllOrNothing([&] {
      remove_stored(*AdoConnectionObject);
      return true;
    });
  return Trap([&] {
    Connection& conn = *AdoConnectionObject;
    auto currency = conn.Query(
        "SELECT Currency_Symbol FROM Currency_Master WHERE Currency_Code = ?", {CurrencyCode});
    if (!currency.empty()) CurrencySymbol = Trim(currency.front().Text("Currency_Symbol"));
    remove_stored(conn);
    Grid& grid = RequireGrid(GridName);
    std::int32_t counter = 0;
    for (std::int32_t r = 1; r < grid.Rows(); ++r) {
      std::string ref = Trim(grid.TextMatrix(r, 1)), date = Trim(grid.TextMatrix(r, 2));
      if (ref.empty() || date.empty()) break;
      double amount = grid.ValueMatrix(r, 3);
      if (amount == 0) continue;
      Record()
          .Set("OBType", type)
          .Set("SL_No", ++counter)
          .Set("Customer_Code", CustomerCode)
          .Set("Ref_No", ref)
          .Set("Ref_Date", date)
          .Set("Foreign_Currency_Flag", ForeignCurrencyFlag)
          .Set("Currency_Code", CurrencyCode)
          .Set("Currency_Symbol", CurrencySymbol)
          .Set("Exchange_Rate", grid.ValueMatrix(r, 5))
          .Set("Balance_FCAmount", Through15(amount))
          .Set("Balance_Amount", amount)
          .Set("OB_Comments",
               grid.TextMatrix(r, 6).empty() ? Value() : Value(grid.TextMatrix(r, 6)))
          .Set("Company_Prefix", CompanyPrefix)
          .Set("Branch_Prefix", BranchPrefix)
          .Set("Last_Update", LastUpdate)
          .Insert(conn, "Customer_OB");
    }
    return true;
  });
}

bool CustomerOB::Get_OB(std::string OBType) {
  if (CustomerCode.empty()) return Fail("Invalid Customer");
  if (ConnectionString.empty()) return Fail("Invalid Connection String");
  return Trap([&] {
    // A reused object must not report an earlier customer's processed items.
    processed_ = false;
    auto conn = connection_rule::StringOnly(ConnectionString);
    const ResultSet stored = StoredItems(*conn, CustomerCode, BranchPrefix);
    std::vector<Row> rs;
    for (std::size_t i = 0; i < stored.size(); ++i)
      if (OfType(stored[i], OBType)) rs.push_back(stored[i]);
    Grid& grid = RequireGrid(GridName);
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(rs.size()); ++i) {
      const Row& r = rs[static_cast<std::size_t>(i - 1)];
      if (i == grid.Rows()) grid.SetRows(grid.Rows() + 1);
      grid.SetTextMatrix(i, 1, Trim(r.Text("Ref_No")));
      grid.SetTextMatrix(i, 2, r.Text("Ref_Date"));
      grid.SetTextMatrix(i, 3, r.Text("Balance_FCAmount"));
      grid.SetTextMatrix(i, 5, r.Text("Exchange_Rate"));
      if (!r.IsNull("OB_Comments")) grid.SetTextMatrix(i, 6, r.Text("OB_Comments"));
      std::string generated = r.Text("OB_Inv_No");
      if (!generated.empty()) {
        grid.SetTextMatrix(i, 7, convert::Mid(generated, 8));
        grid.SetTextMatrix(i, 8, generated);
        processed_ = true;
      }
    }
    return true;
  });
}

bool CustomerOB::Process_OB(std::string OBType) {
  if (CustomerCode.empty()) return Fail("Invalid Customer");
  if (!connection_rule::IsOpen(AdoConnectionObject)) return Fail("Invalid Connection.");
  return Trap([&] {
    Connection& conn = *AdoConnectionObject;
    // Checked before anything is written: the receivable module would refuse the code only
    // after the first document had been generated.
    if (conn.Query("SELECT Customer_Code FROM Customer_Master WHERE Customer_Code = ?",
                   {CustomerCode})
            .empty())
      return Fail("Invalid Customer: " + CustomerCode + " is not in the customer master.");
    auto prefs = CreateObject("QLNAccounts.AccountPreferences");
    prefs->Set("ConnectionString", conn.ConnectionString);
    prefs->Set("AdoConnectionObject", AdoConnectionObject);
    std::string receivable_account;
    if (prefs->Invoke("Get_Account_Preferences", {Value(CompanyPrefix), Value(BranchPrefix)})
            .ToBool())
      receivable_account = prefs->Get("ARAccountNo").ToText();
    else if (const std::string why = prefs->Get("ErrDesc").ToText();
             !why.starts_with("Account preferences are not set"))
      return Fail(why);  // an error reading them is not the same as no preferences
    receivable_account = InBranch(receivable_account, BranchPrefix);

    auto general = CreateObject("QLNSystem.General");
    general->Set("AdoConnectionObject", AdoConnectionObject);
    std::string advance_account =
        InBranch(general
                     ->Invoke("GetFldValue",
                              {Value("Default_Account_Preferences"), Value("AdvRec_Account_No"),
                               Value("company_prefix"), Value(CompanyPrefix), Value(false),
                               Value("Branch_prefix"), Value(BranchPrefix), Value(false)})
                     .ToText(),
                 BranchPrefix);
    if (Trim(receivable_account).empty()) return Fail("Invalid Accounts Receivable Account");
    const std::string no_advance_account =
        "Set Default Preferences for Advance Receipt Account in Account Preferences.";

    const std::string type = Trim(OBType);
    const bool debit = IsDebit(type);
    auto rs = StoredItems(conn, CustomerCode, BranchPrefix);

    // Every item still to process is read and its date checked before anything is generated.
    std::vector<Item> items;
    std::vector<Value> stored_types;  // each item's OBType as stored, to mark it by its key
    for (std::size_t i = 0; i < rs.size(); ++i) {
      Row r = rs[i];
      if (!OfType(r, type)) continue;
      if (!r.Text("OB_Inv_No").empty()) continue;  // processed before: never generated twice
      std::string ref = r.Text("Ref_No"), date_text = r.Text("Ref_Date");
      auto date = convert::ParseDate(date_text);
      if (!date)
        return Fail("Invalid Reference Date '" + date_text + "' of reference " + ref +
                    ": use dd/mm/yyyy, dd/MMM/yyyy or yyyy-mm-dd");
      std::string comments = r.Text("OB_Comments");
      items.push_back(Item{r.Int32("SL_No"), ref, *date, Through15(r.Double("Balance_Amount")),
                           Through15(r.Double("Balance_FCAmount")), r.Double("Exchange_Rate"),
                           comments.empty() ? ref : ref + " : " + comments,
                           r.Flag("Foreign_Currency_Flag"), r.Text("Currency_Code"),
                           r.Text("Currency_Symbol")});
      stored_types.push_back(r["OBType"]);
    }
    if (!debit && !items.empty() && Trim(advance_account).empty()) return Fail(no_advance_account);

    double total = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Item& item = items[i];
      total += item.amount;
      ForeignCurrencyFlag = item.foreign;
      CurrencyCode = item.currency_code;
      CurrencySymbol = item.currency_symbol;
      std::string number;
      bool ok = debit ? Create_OB_Invoice(conn, item, receivable_account, number)
                      : Create_OB_Receipt(conn, item, advance_account, number);
      if (!ok) return false;
      conn.Execute(
          "UPDATE Customer_OB SET OB_Inv_No = ?, Last_Update = ? WHERE Customer_Code = ? "
          "AND OBType = ? AND Branch_Prefix = ? AND SL_No = ?",
          {Value(number), Value(LastUpdate), Value(CustomerCode), stored_types[i],
           Value(BranchPrefix), Value(item.sl_no)});
    }
    if (SyncFlag) return true;

    std::string account = debit ? receivable_account : advance_account;
    if (!debit && Trim(advance_account).empty()) return Fail(no_advance_account);
    if (conn.Query("SELECT Account_No FROM Chart_Of_Accounts WHERE Account_No = ?", {account})
            .empty())
      return Fail("Error while Processing Opening balance");
    // A balance never set counts as 0.
    conn.Execute(
        "UPDATE Chart_Of_Accounts SET Opening_Balance = COALESCE(Opening_Balance, 0) + ?, "
        "Last_Update = ? WHERE Account_No = ?",
        {Value(debit ? total : -total), Value(LastUpdate), Value(account)});
    return true;
  });
}

bool CustomerOB::Create_OB_Invoice(Connection& conn, const Item& item, const std::string& account,
                                   std::string& number) {
  CounterNumbering series(CounterNumbering::kFinal);
  if (auto err =
          series.Draw(AdoConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, true))
    return Fail(*err);
  auto customer = conn.Query(
      "SELECT Customer_Payment_Terms, Customer_Payment_Type FROM "
      "Customer_Master WHERE Customer_Code = ?",
      {CustomerCode});
  std::string terms = customer.empty() ? "" : customer.front().Text("Customer_Payment_Terms");
  std::string payment = customer.empty() ? "" : customer.front().Text("Customer_Payment_Type");
  Record()
      .Set("Company_Prefix", CompanyPrefix)
      .Set("Branch_Prefix", BranchPrefix)
      .Set("Document_Prefix", DocumentPrefix)
      .Set("Sales_Inv_No", series.number())
      .Set("Sales_Inv_Date", item.ref_date)
      .Set("Sales_Inv_Identity", series.identity())
      .Set("Customer_Code", CustomerCode)
      .Set("Customer_Name", CustomerName)
      .Set("Payment_Terms", terms)
      .Set("Payment_Type", payment)
      .Set("Foreign_Currency_Flag", item.foreign)
      .Set("Currency_Code", item.currency_code)
      .Set("Currency_Symbol", Trim(item.currency_symbol))
      .Set("Sales_Inv_SubTotal", item.amount)
      .Set("Sales_Inv_FC_SubTotal", item.fc_amount)
      .Set("Sales_Inv_Total_Amount", item.amount)
      .Set("Sales_Inv_FC_Total_Amount", item.fc_amount)
      .Set("Balance_Amount", item.amount)
      .Set("Balance_FCAmount", item.fc_amount)
      .Set("Exchange_Rate", item.exchange_rate)
      .Set("Processed_Flag", 1)
      .Set("Sales_Inv_Comments", item.comment.empty() ? Value() : Value(item.comment))
      .Set("Last_Update", LastUpdate)
      .Insert(conn, "Sales_Invoice_Master");
  if (!PostReceivable(item, series.number(), account, true)) return false;
  if (auto err = series.Confirm()) return Fail(*err);
  number = series.number();
  return true;
}

bool CustomerOB::Create_OB_Receipt(Connection& conn, const Item& item, const std::string& account,
                                   std::string& number) {
  CounterNumbering series(CounterNumbering::kFinal);
  if (auto err =
          series.Draw(AdoConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, true))
    return Fail(*err);
  Record()
      .Set("Company_Prefix", CompanyPrefix)
      .Set("Branch_Prefix", BranchPrefix)
      .Set("Document_Prefix", DocumentPrefix)
      .Set("Receipt_No", series.number())
      .Set("Receipt_To", "Customer")
      .Set("Receipt_Type", "Cash")
      .Set("Receipt_Status", "Processed")
      .Set("Receipt_Date", item.ref_date)
      .Set("Receipt_Identity", series.identity())
      .Set("Receipt_To_Code", CustomerCode)
      .Set("Receipt_To_Name", CustomerName)
      .Set("Foreign_Currency_Flag", item.foreign)
      .Set("Currency_Code", item.currency_code)
      .Set("Currency_Symbol", Trim(item.currency_symbol))
      .Set("Receipt_Amount", item.amount)
      .Set("Receipt_FCAmount", item.fc_amount)
      .Set("Balance_Amount", item.amount)
      .Set("Balance_FCAmount", item.fc_amount)
      .Set("Exchange_Rate",
           item.exchange_rate)  // the rate 1 is written first, the item's rate stays
      .Set("Advance_Payment_Flag", true)
      .Set("Processed_Flag", 1)
      .Set("Receipt_Comments", item.comment.empty() ? Value() : Value(item.comment))
      .Set("Last_Update", LastUpdate)
      .Insert(conn, "Receipt_Master");
  if (!PostReceivable(item, series.number(), account, false)) return false;
  if (auto err = series.Confirm()) return Fail(*err);
  number = series.number();
  return true;
}

bool CustomerOB::PostReceivable(const Item& item, const std::string& number,
                                const std::string& account, bool invoice) {
  auto ar = CreateObject("QLNAccounts.AccountsReceivable");
  ar->Set("AdoConnectionObject", AdoConnectionObject);
  ar->Set("DocumentPrefix", DocumentPrefix);
  ar->Set("ForeignCurrencyFlag", invoice ? false : item.foreign);
  ar->Set("CustomerCode", CustomerCode);
  ar->Set("BranchPrefix", BranchPrefix);
  ar->Set("DocumentNo", number);
  ar->Set("ARLDate", item.ref_date);
  ar->Set("AccountNo", account);
  ar->Set("ARLDescription",
          "Customer Opening Balance Customer Code-" + convert::Mid(CustomerCode, 3));
  ar->Set("ARLComments", item.comment);
  ar->Set("ARLCreditAmount", invoice ? 0.0 : item.amount);
  ar->Set("FCARLCreditAmount", invoice ? 0.0 : item.fc_amount);
  ar->Set("ARLDebitAmount", invoice ? item.amount : 0.0);
  ar->Set("FCARLDebitAmount", invoice ? item.fc_amount : 0.0);
  ar->Set("CurrencyCode", item.currency_code);
  ar->Set("CurrencySymbol", Trim(item.currency_symbol));
  ar->Set("LastUpdate", LastUpdate);
  if (!ar->Invoke("AR_Insert_Transaction").ToBool()) return Fail(ar->Get("ErrDesc").ToText());
  return true;
}

const DispatchTable& CustomerOB::Dispatch() const {
  using C = CustomerOB;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.CustomerOB")
                                         .Prop("SyncFlag", &C::SyncFlag)
                                         .Prop("ForeignCurrencyFlag", &C::ForeignCurrencyFlag)
                                         .Prop("CurrencyCode", &C::CurrencyCode)
                                         .Prop("CurrencySymbol", &C::CurrencySymbol)
                                         .Prop("CustomerName", &C::CustomerName)
                                         .Prop("CustomerCode", &C::CustomerCode)
                                         .Prop("GridName", &C::GridName)
                                         .Prop("ConnectionString", &C::ConnectionString)
                                         .ReadOnly("ErrDesc", &C::ErrDesc)
                                         .WriteOnly("AdoConnectionObject", &C::AdoConnectionObject)
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("BranchPrefix", &C::BranchPrefix)
                                         .Prop("DocumentPrefix", &C::DocumentPrefix)
                                         .ReadOnly("ProcessedFlag", &C::ProcessedFlag)
                                         .Prop("LastUpdate", &C::LastUpdate)
                                         .Prop("Database", &C::Database)
                                         .Method("Validation", &C::Validation)
                                         .Method("Create_OB", &C::Create_OB)
                                         .Method("Get_OB", &C::Get_OB)
                                         .Method("Process_OB", &C::Process_OB)
                                         .Build();
  return table;
}

}  // namespace qlnsales
