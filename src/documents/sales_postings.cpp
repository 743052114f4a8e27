#include "documents/sales_postings.h"

#include <cmath>

#include "base/convert.h"
#include "qlnsales/business_object.h"

namespace qlnsales::documents {

using convert::Trim;

void Check(const ModuleError& err) {
  if (err) throw Error(*err);
}

std::string CodeOf(const std::string& code) {
  return convert::Mid(Trim(code), 3);
}

bool Storable(double x) {
  return std::isfinite(x) && std::fabs(x) < 1e15;
}

void PostSalesLog(const SaleDocument& d, const SalesLogEntry& e) {
  const LedgerHeader& h = d.ledger;
  const double base = e.qty * e.unit_qty;
  const double price =
      base == 0 ? 0.0 : convert::RoundHalfEven(e.amount / base, convert::DecimalPlaces(d.amt_dig));
  auto log = NewModule("QLNInventory.SalesLog", {{"AdoConnectionObject", Value(h.conn)},
                                                 {"SalesDocumentNo", Value(h.document_no)},
                                                 {"CompanyPrefix", Value(d.company)},
                                                 {"BranchPrefix", Value(d.branch)},
                                                 {"DocumentPrefix", Value(e.log_prefix)},
                                                 {"RefDocumentPrefix", Value(e.ref_prefix)},
                                                 {"ItemCode", Value(e.item)},
                                                 {"ItemName", Value(e.item_name)},
                                                 {"UnitCode", Value(e.unit_code)},
                                                 {"UnitName", Value(e.unit)},
                                                 {"FOC_Flag", Value(e.foc)},
                                                 {"UnitQty", Value(e.unit_qty)},
                                                 {"SalesQty", Value(base)},
                                                 {"SalesItemAmount", Value(e.amount)},
                                                 {"SalesUnitPrice", Value(price)},
                                                 {"SalesLogDate", Value(h.date)},
                                                 {"SalesDocumentPrefix", Value(h.document_prefix)},
                                                 {"LastUpdate", h.last_update}});
  if (e.inventory_value) log->Set("InventoryValue", *e.inventory_value);
  if (!Trim(e.proj_no).empty()) log->Set("ProjNo", e.proj_no);
  Check(Call(log, "Create_SalesLog"));
}

void PostTax(const SaleDocument& d, const std::string& tax_code, double rate, double amount) {
  const LedgerHeader& h = d.ledger;
  // The tax class reads its codes through a connection string: the caller's, or else the one
  // the document's connection was opened with.
  const std::string cs =
      d.connection_string.empty() ? h.conn->ConnectionString : d.connection_string;
  auto tax = NewModule("QLNSales.TaxCodes", {{"ConnectionString", Value(cs)},
                                             {"AdoDBConnectionObject", Value(h.conn)},
                                             {"TaxCode", Value(tax_code)},
                                             {"TaxRate", Value(rate)},
                                             {"TaxAmount", Value(amount)},
                                             {"DocumentNo", Value(h.document_no)},
                                             {"DocumentDate", Value(h.date)},
                                             {"DocumentPrefix", Value(h.document_prefix)},
                                             {"Comments", Value(d.comments)},
                                             {"CurrencyCode", Value(h.currency_code)},
                                             {"CurrencySymbol", Value(h.currency_symbol)},
                                             {"LastUpdate", h.last_update},
                                             {"AmtDig", Value(d.amt_dig)}});
  Check(Call(tax, "ProcessTax"));
}

ObjectRef AccountPreferences(const SaleDocument& d, const char* class_name) {
  auto prefs = NewModule(class_name, {{"AdoConnectionObject", Value(d.ledger.conn)},
                                      {"ConnectionString", Value(d.connection_string)}});
  Check(Call(prefs, "Get_Account_Preferences", {Value(d.company), Value(d.branch)}));
  return prefs;
}

void PostReceivable(const SaleDocument& d, const std::string& account, double total,
                    double fc_total) {
  const LedgerHeader& h = d.ledger;
  const std::string label = "Accounts Receivable : Customer Code - " + CodeOf(d.customer_code);
  auto ar =
      NewModule("QLNAccounts.AccountsReceivable", {{"AdoConnectionObject", Value(h.conn)},
                                                   {"DocumentNo", Value(h.document_no)},
                                                   {"DocumentPrefix", Value(h.document_prefix)},
                                                   {"ARLDate", Value(h.date)},
                                                   {"CurrencyCode", Value(h.currency_code)},
                                                   {"CurrencySymbol", Value(h.currency_symbol)},
                                                   {"ARLDescription", Value(label)},
                                                   {"ARLComments", Value(d.comments)},
                                                   {"AccountNo", Value(account)},
                                                   {"CustomerCode", Value(d.customer_code)},
                                                   {"ARLCreditAmount", Value(0.0)},
                                                   {"FCARLCreditAmount", Value(0.0)},
                                                   {"ARLDebitAmount", Value(total)},
                                                   {"FCARLDebitAmount", Value(fc_total)},
                                                   {"ForeignCurrencyFlag", Value(h.foreign)},
                                                   {"LastUpdate", h.last_update}});
  Check(Call(ar, "AR_Insert_Transaction"));
  Check(PostLedgerLine(h, account, label, total, 0, fc_total, 0, d.comments));
}

}  // namespace qlnsales::documents
