// Sales invoice processing: the final number, the invoiced quantities and flags of the deliveries
// it bills, and by the working mode the sales log, the sales, discount, tax and receivable
// postings. The goods left stock with their deliveries, so no stock moves here.
#include <cmath>
#include <map>
#include <set>

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "documents/postings.h"
#include "documents/sales_postings.h"
#include "frame/numbering.h"
#include "qlnsales/sales_invoice.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = SalesInvoice;

const NumberingTables kTables{"Sales_Invoice_Master",
                              "Sales_Inv_No",
                              "Sales_Inv_Identity",
                              "Sales_Invoice_Detail",
                              "Sales_Inv_No",
                              "Invalid Invoice No",
                              "Error while Processing, Invalid Temporary Sales Invoice No."};

// A line of the invoice as processing reads it once.
struct InvoiceLine {
  std::int32_t sl_no = 0;
  std::string item, item_name, unit, proj_no;
  double unit_code = 0, foc = 0, unit_qty = 0, qty = 0;
  double amount = 0, fc_amount = 0, unit_price = 0;
  double delivery_sl_no = 0;
  bool from_order = false;  // a delivery made from an order, else a direct delivery
  std::string delivery_no;

  bool by_code() const { return !Trim(item).empty(); }
  bool free() const { return foc != 0; }
};

std::vector<InvoiceLine> ReadInvoiceLines(Connection& conn, const std::string& number) {
  auto rs = conn.Query(
      "SELECT SL_No, Item_Code, Item_Name, Unit_Code, Unit_Name, FOC_Flag, Unit_Qty, "
      "Sales_Inv_Qty, Sales_Inv_Item_Amount, Sales_Inv_FC_Item_Amount, Sales_Inv_Unit_Price, "
      "Delivery_Dtl_SL_No, Delivery_Flag, Delivery_No, Proj_No FROM Sales_Invoice_Detail WHERE "
      "Sales_Inv_No = ? ORDER BY SL_No",
      {Value(number)});
  std::vector<InvoiceLine> lines;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    Row r = rs[i];
    InvoiceLine l;
    l.sl_no = r.Int32("SL_No");
    l.item = r.Text("Item_Code");
    l.item_name = r.Text("Item_Name");
    l.unit_code = r.Double("Unit_Code");
    l.unit = r.Text("Unit_Name");
    l.foc = r.Double("FOC_Flag");
    l.unit_qty = r.Double("Unit_Qty");
    l.qty = r.Double("Sales_Inv_Qty");
    l.amount = r.Double("Sales_Inv_Item_Amount");
    l.fc_amount = r.Double("Sales_Inv_FC_Item_Amount");
    l.unit_price = r.Double("Sales_Inv_Unit_Price");
    l.delivery_sl_no = r.Double("Delivery_Dtl_SL_No");
    l.from_order = Trim(r.Text("Delivery_Flag")) == "SalesOrder";
    l.delivery_no = Trim(r.Text("Delivery_No"));
    l.proj_no = r.Text("Proj_No");
    lines.push_back(std::move(l));
  }
  return lines;
}

// What a line credits to sales, in the local currency: its amount, rounded and taken at the
// exchange rate. A line known only by its name is credited its amount too, not its quantity at
// its unit price: the amount is net of the line's discounts, as the total it adds up to.
// Free lines credit nothing.
double SalesCredit(const C& c, const InvoiceLine& l) {
  if (l.free()) return 0;
  const int places = convert::DecimalPlaces(c.AmtDig);
  return convert::RoundHalfEven(convert::RoundHalfEven(l.amount, places) * c.ExchangeRate, places);
}

// The postings can only balance when the total is the lines' sales credits less the header
// discount plus the tax, both of which are posted only when above 0: an invoice whose figures
// disagree is refused before anything is written. Lines are required: an invoice without any has
// nothing to bill.
void CheckFigures(const C& c, const std::vector<InvoiceLine>& lines) {
  if (lines.empty()) throw Error("Error while Processing, Invalid Temporary Sales Invoice No.");
  double sales = 0;
  for (const auto& l : lines) {
    const double credit = SalesCredit(c, l);
    if (!Storable(l.amount) || !Storable(l.fc_amount) || !Storable(l.qty) ||
        !Storable(l.unit_qty) || !Storable(l.qty * l.unit_qty) || !Storable(l.unit_price) ||
        !Storable(credit))
      throw Error("Invalid Item Details");
    // An invoice bills goods delivered: what comes back is a sales return's. Quantities are
    // counted to the millionth; less than that would bill goods without taking them off the
    // delivery.
    if (!(l.qty >= 1e-6)) throw Error("Invalid Item Details");
    sales += credit;
  }
  // A discount beyond the goods would bill the customer less than nothing.
  if (!Storable(c.SalesInvDiscAmount) || c.SalesInvDiscAmount < 0 ||
      !Storable(c.SalesInvFCDiscAmount) || c.SalesInvFCDiscAmount < 0 ||
      c.SalesInvDiscAmount > sales + 1e-9 * std::max(1.0, std::fabs(sales)))
    throw Error("Invalid Discount Amount");
  if (!Storable(c.SalesInvTaxAmount) || c.SalesInvTaxAmount < 0) throw Error("Invalid Tax Amount");
  if (c.SalesInvTaxAmount > 0 && Trim(c.TaxCode).empty()) throw Error("Invalid Tax Code");
  const double discount = c.SalesInvDiscAmount > 0 ? c.SalesInvDiscAmount : 0;
  const double expected = sales - discount + c.SalesInvTaxAmount;
  // Posted as given, so it must agree to the last digit; what is left is the sums' own noise.
  const double tolerance = 1e-9 * std::max(1.0, std::fabs(expected));
  if (!Storable(c.SalesInvTotalAmount) || !Storable(c.SalesInvFCTotalAmount) ||
      std::fabs(expected - c.SalesInvTotalAmount) > tolerance)
    throw Error("The invoice's total " + convert::NumberToText(c.SalesInvTotalAmount) +
                " is not its lines less the discount plus the tax (" +
                convert::NumberToText(convert::RoundHalfEven(expected, 10)) + ")");
}

// Each delivery line billed is invoiced by the line's quantity, and its delivery flagged as
// invoiced even when part of it is still to bill (the list of deliveries to invoice goes by the
// lines' quantities, not by the flag). The delivery line is found by its delivery, its serial
// and its item (by code, or by name when the line has no code). A line that cannot be found,
// that would bill more than was delivered (less what came back against the delivery), or whose
// delivery is another customer's, not (or no longer) to bill (unprocessed, cancelled, or paid by a
// cash memo, before or since the invoice was saved) fails the call: goods are billed once.
void InvoiceDeliveries(const C& c, Connection& conn, const std::vector<InvoiceLine>& lines) {
  std::set<std::pair<bool, std::string>> flagged;
  for (const auto& l : lines) {
    const char* master = l.from_order ? "Delivery_Master" : "Direct_Delivery_Master";
    const char* detail = l.from_order ? "Delivery_Detail" : "Direct_Delivery_Detail";
    const char* number = l.from_order ? "Delivery_No" : "Direct_Delivery_No";
    const char* delivered = l.from_order ? "Delivery_Qty" : "Direct_Delivery_Qty";
    if (flagged.insert({l.from_order, l.delivery_no}).second)
      conn.ExecuteDeferred(std::string("UPDATE ") + master +
                               " SET Invoiced_Flag = ?, Last_Update = ? WHERE " + number + " = ?",
                           {Value(1), Stamp(master, c.LastUpdate), Value(l.delivery_no)});
    const bool by_code = l.by_code();
    // Only the invoice's own customer's deliveries, and never beyond what was delivered: the same
    // line ticked on two invoices, or twice on one, is billed once.
    conn.ExecuteExpecting(
        std::string("UPDATE ") + detail +
            " SET Invoiced_Qty = Invoiced_Qty + ?, Last_Update = ? WHERE " + number + " = ? AND " +
            (by_code ? "Item_Code" : "Item_Name") +
            " = ? AND SL_No = ? AND Invoiced_Qty + ? <= " + delivered +
            " - COALESCE(Return_Qty, 0) / (CASE WHEN Unit_Qty IS NULL OR Unit_Qty = 0 THEN 1 ELSE "
            "Unit_Qty END) + ? AND " +
            number + " IN (SELECT " + number + " FROM " + master +
            " WHERE Customer_Code = ? AND Processed_Flag = 1 AND Cancel_Flag = 0 AND Paid_Flag = "
            "0" +
            (l.from_order ? " AND NOT EXISTS (SELECT 1 FROM Cash_Memo_Master C WHERE "
                            "C.Cash_Memo_No = Delivery_Master.Source_No)"
                          : "") +
            ")",
        {Value(l.qty), Stamp(detail, c.LastUpdate), Value(l.delivery_no),
         Value(by_code ? l.item : l.item_name), Value(l.delivery_sl_no), Value(l.qty),
         Value(1e-9 * std::max(1.0, std::fabs(l.qty))), Value(Trim(c.CustomerCode))},
        1, "Invalid Item Details");
  }
}

class Posting {
 public:
  Posting(C& c, Connection& conn)
      : c_(c),
        conn_(conn),
        d_{{c.AdoDBConnectionObject, c.SalesInvNo, c.DocumentPrefix, c.SalesInvDate, c.CurrencyCode,
            c.CurrencySymbol, c.ForeignCurrencyFlag, Value(c.LastUpdate)},
           c.CompanyPrefix,
           c.BranchPrefix,
           c.ADOConnectionString,
           c.CustomerCode,
           c.SalesInvComments,
           c.AmtDig},
        places_(convert::DecimalPlaces(c.AmtDig)) {}

  void Run(const std::vector<InvoiceLine>& lines) {
    for (const auto& l : lines) {
      SalesLog(l);
      if (!l.free()) SalesLine(l);
    }
    if (c_.SalesInvDiscAmount > 0) Discount();
    PostTax(d_, c_.TaxCode, c_.SalesInvTaxPercent, c_.SalesInvTaxAmount);
    Receivable();
  }

 private:
  double Round(double x) const { return convert::RoundHalfEven(x, places_); }

  void SalesLog(const InvoiceLine& l) {
    SalesLogEntry e;
    e.log_prefix = c_.SalesLogPrefix;
    e.item = l.item;
    e.item_name = l.item_name;
    e.unit = l.unit;
    e.unit_code = l.unit_code;
    e.foc = l.foc;
    e.unit_qty = l.unit_qty;
    e.qty = l.qty;
    e.amount = l.amount;
    e.inventory_value = l.amount;
    e.proj_no = l.proj_no;
    PostSalesLog(d_, e);
  }

  // The branch's credit sales account and the company's discount account, read once and taken
  // for the call, in one order, before the ledger moves their balances.
  void ReadAccounts() {
    if (accounts_read_) return;
    const Value company(c_.CompanyPrefix), branch(c_.BranchPrefix);
    auto rs = conn_.Query(
        "SELECT Credit_Sales_Account_No, (SELECT Sales_Disc_Account_No FROM "
        "Default_Sales_Preferences WHERE Company_Prefix = ? AND Branch_Prefix = ? LIMIT 1) AS "
        "Discount FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
        {company, branch, branch});
    if (rs.empty()) throw Error("Set the Sales default settings in the Sales Preferences");
    sales_account_ = Trim(rs.front().Text("Credit_Sales_Account_No"));
    discount_account_ = Trim(rs.front().Text("Discount"));
    accounts_read_ = true;
    conn_.PrefetchRows("Chart_Of_Accounts", "Account_No",
                       {Value(sales_account_), Value(discount_account_)}, true);
  }

  // A line without an item code sells for the branch that delivered it: the third and fourth
  // characters of its delivery's number.
  const std::string& BranchSalesAccount(const std::string& delivery_no) {
    const std::string branch = convert::Mid(delivery_no, 3, 2);
    auto it = branch_accounts_.find(branch);
    if (it != branch_accounts_.end()) return it->second;
    auto rs = conn_.Query(
        "SELECT Credit_Sales_Account_No FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
        {Value(branch)});
    const std::string account = rs.empty() ? "" : Trim(rs.front().Text("Credit_Sales_Account_No"));
    if (account.empty()) throw Error("Invalid Default Sales Account");
    return branch_accounts_.emplace(branch, account).first->second;
  }

  void SalesLine(const InvoiceLine& l) {
    std::string account, label;
    if (l.by_code()) {
      ReadAccounts();
      if (sales_account_.empty()) throw Error("Invalid Default Sales Account");
      account = sales_account_;
      label = "Sales Account : ItemCode - " + CodeOf(l.item);
    } else {
      account = BranchSalesAccount(l.delivery_no);
      label = "Sales Account : ItemName - " + Trim(l.item_name);
    }
    // A foreign invoice's line is credited its foreign amount in the foreign currency; a local
    // one the local amount in both.
    Check(PostLedgerLine(d_.ledger, account, label, 0, SalesCredit(c_, l), 0,
                         Round(c_.ForeignCurrencyFlag ? l.fc_amount : l.amount)));
  }

  void Discount() {
    ReadAccounts();
    if (discount_account_.empty()) throw Error("Invalid Default Discount Account");
    Check(PostLedgerLine(d_.ledger, discount_account_, "Discount Account", c_.SalesInvDiscAmount, 0,
                         c_.SalesInvFCDiscAmount, 0, c_.SalesInvComments));
  }

  void Receivable() {
    auto prefs = AccountPreferences(d_, "QLNAccounts.AccountPreferences");
    const Value account = prefs->Get("ARAccountNo");
    conn_.PrefetchRows("Chart_Of_Accounts", "Account_No", {account}, true);
    PostReceivable(d_, account.ToText(), c_.SalesInvTotalAmount, c_.SalesInvFCTotalAmount);
  }

  C& c_;
  Connection& conn_;
  SaleDocument d_;
  int places_;
  bool accounts_read_ = false;
  std::string sales_account_, discount_account_;
  std::map<std::string, std::string> branch_accounts_;
};

}  // namespace

bool SalesInvoice::Process_Invoice() {
  HeaderOnly header_only(header_only_);
  return Trap([&] {
    if (!Get_Invoice()) return false;
    auto conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
    auto symbol = CurrencySymbolOf(*conn, CurrencyCode);
    if (!symbol) return Fail("Invalid Currency Code");
    CurrencySymbol = *symbol;
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), ManualDocFlag, manualDocIdentity};
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, SalesInvNo)) return Fail(*err);
    const std::string temporary = numbering.temporary_number();
    if (mode.KeepsStoredIdentity()) {
      // Only an invoice numbered off-line waits for its postings; one posted under its temporary
      // number would be posted again once numbered, and its deliveries never invoiced.
      if (!IsFinalNumber(temporary))
        return Fail("A sales invoice is synchronised once it is processed off-line");
      if (HasPostings(*conn, temporary)) return Fail("Already Processed");
      // An invoice numbered off-line keeps the stamp it was given then.
      if (auto when = convert::ParseDate(numbering.stored().Text("Last_Update")))
        LastUpdate = *when;
    } else if (IsFinalNumber(temporary)) {
      return Fail("Already Processed");
    }
    // The series is the invoice's own: its company and branch, and the document prefix its
    // number was drawn under, unless the caller gives the number.
    if (!mode.manual) DocumentPrefix = convert::Mid(temporary, 5, 3);
    const auto lines = ReadInvoiceLines(*conn, temporary);
    CheckFigures(*this, lines);
    numbering.Assign(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, mode,
                     Record().Set("Processed_Flag", 1), Stamp(kTables.master_table, LastUpdate),
                     Stamp(kTables.detail_table, LastUpdate));
    SalesInvIdentity = numbering.identity();
    SalesInvNo = numbering.number();
    conn = connection_rule::ObjectOnly(AdoDBConnectionObject);

    if (mode.UpdatesSources()) InvoiceDeliveries(*this, *conn, lines);
    if (mode.Posts()) Posting(*this, *conn).Run(lines);
    // Off-line too: the next invoice never takes this number again.
    if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

}  // namespace qlnsales
