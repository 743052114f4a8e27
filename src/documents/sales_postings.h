// The postings every sale makes, whichever document records it: the sales-log entry, the tax
// through the tax class, the receivable line with its ledger debit, and the account preferences
// they are read from; with the checks that keep their amounts storable.
#pragma once

#include <optional>
#include <string>

#include "frame/modules.h"
#include "qlnsales/connection.h"

namespace qlnsales::documents {

// One sales document as its postings name it. `ledger` carries the number, prefix, date,
// currency and stamp every line repeats.
struct SaleDocument {
  LedgerHeader ledger;
  std::string company;
  std::string branch;
  std::string connection_string;  // the caller's, as given (it may be empty)
  std::string customer_code;
  std::string comments;
  double amt_dig = 0;
};

// One sold line as the sales log keeps it.
struct SalesLogEntry {
  std::string log_prefix;  // the sales log's own document prefix
  std::string ref_prefix;  // the prefix of the document the sale came from, when one is kept
  std::string item;        // with the company prefix
  std::string item_name;
  std::string unit;
  double unit_code = 0;
  double foc = 0;
  double unit_qty = 0;
  double qty = 0;  // in the line's own units
  double amount = 0;
  std::optional<double> inventory_value;
  std::string proj_no;  // written when not empty
};

// Throws a module's failure as the document's error.
void Check(const ModuleError& err);

// A code as labels show it: trimmed, without its company prefix.
std::string CodeOf(const std::string& code);

// Amounts the ledger can hold: finite, and within the 15 significant digits a grid keeps, so
// that no balance they are added to can overflow.
bool Storable(double x);

// The log counts base units, so its unit price is that of one base unit, rounded to the
// document's decimals; a quantity of 0 has price 0.
void PostSalesLog(const SaleDocument& d, const SalesLogEntry& e);

// The document's tax, shared among the code's authorities by the tax class (late-bound, as a
// host may serve it apart). Its failure text is the document's.
void PostTax(const SaleDocument& d, const std::string& tax_code, double rate, double amount);

// The company's default accounts through the account module, by the class name the step uses.
ObjectRef AccountPreferences(const SaleDocument& d, const char* class_name);

// The customer owes `total`: a receivable line and the ledger debit on the receivable control
// account, under the same label.
void PostReceivable(const SaleDocument& d, const std::string& account, double total,
                    double fc_total);

// Sets a document's header-only flag for the length of a call, however the call ends, so that
// processing reads the header without touching the caller's grid.
class HeaderOnly {
 public:
  explicit HeaderOnly(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~HeaderOnly() { flag_ = was_; }
  HeaderOnly(const HeaderOnly&) = delete;
  HeaderOnly& operator=(const HeaderOnly&) = delete;

 private:
  bool& flag_;
  bool was_;
};

}  // namespace qlnsales::documents
