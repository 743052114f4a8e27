// Customers' opening balances: open invoices ("Debit") and open receipts or advances from the
// previous books, kept per customer, branch and type, and turned into processed documents.
#pragma once

#include <string>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class CustomerOB : public BusinessObject {
 public:
  bool SyncFlag = false;
  bool ForeignCurrencyFlag = false;
  std::string CurrencyCode;
  std::string CurrencySymbol;
  std::string CustomerName;
  std::string CustomerCode;
  GridRef GridName;
  std::string ConnectionString;
  ConnectionRef AdoConnectionObject;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  bool ProcessedFlag() const { return processed_; }
  Date LastUpdate;
  std::string Database;

  // Checks the customer, the connection and the grid (reference, date, amount per row).
  bool Validation();
  // Types are compared without regard to case or surrounding blanks: "Debit" and " DEBIT " name
  // one set of the customer in the branch.
  //
  // Replaces the stored items of the type in the branch by the grid's entries.
  bool Create_OB(std::string OBType);
  // Fills the grid with the stored items; ProcessedFlag tells whether any was processed.
  bool Get_OB(std::string OBType);
  // Generates a processed invoice ("Debit") or advance receipt, with its receivable line, for
  // every stored item not yet processed, and moves the ledger account's opening balance. A
  // customer missing from the customer master fails first: "Invalid Customer: <code> is not in
  // the customer master."
  bool Process_OB(std::string OBType);

  std::string_view ClassName() const override { return "QLNSales.CustomerOB"; }

 protected:
  const DispatchTable& Dispatch() const override;

 private:
  struct Item {
    std::int32_t sl_no;
    std::string ref_no;
    Date ref_date;
    double amount;
    double fc_amount;
    double exchange_rate;
    std::string comment;
    bool foreign;
    std::string currency_code;
    std::string currency_symbol;
  };
  bool Create_OB_Invoice(Connection& conn, const Item& item, const std::string& account,
                         std::string& number);
  bool Create_OB_Receipt(Connection& conn, const Item& item, const std::string& account,
                         std::string& number);
  bool PostReceivable(const Item& item, const std::string& number, const std::string& account,
                      bool invoice);

  bool processed_ = false;
  bool no_entries_ = false;
};

}  // namespace qlnsales
