// QLNAccounts.AccountsReceivable: the customers' receivable lines. It keeps
// Customer_Master.Customer_Balance equal to the sum of the customer's lines.
#include "db/record.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class AccountsReceivable : public ServiceObject {
 public:
  bool AR_Insert_Transaction() {
    return Trap([&] {
      auto conn = ConnectionObject();
      const std::string customer = Text("CustomerCode");
      const double debit = Number("ARLDebitAmount");
      const double credit = Number("ARLCreditAmount");
      if (customer.empty()) return Fail("Invalid Customer Code.");
      auto changed = conn->Execute(
          "UPDATE Customer_Master SET Customer_Balance = COALESCE(Customer_Balance, 0) + ? WHERE "
          "Customer_Code = ?",
          {Value(debit - credit), Value(customer)});
      if (changed == 0) return Fail("Invalid Customer Code: " + customer + " is not a customer.");
      Record()
          .Set("Document_No", Text("DocumentNo"))
          .Set("Document_Prefix", Text("DocumentPrefix"))
          .Set("ARL_Date", DateOrNull("ARLDate"))
          .Set("Customer_Code", customer)
          .SetOptional("Account_No", Text("AccountNo"))
          .SetOptional("Branch_Prefix", Text("BranchPrefix"))
          .SetOptional("ARL_Description", Text("ARLDescription"))
          .SetOptional("ARL_Comments", Text("ARLComments"))
          .Set("Debit_Amount", debit)
          .Set("Credit_Amount", credit)
          .Set("FC_Debit_Amount", Number("FCARLDebitAmount"))
          .Set("FC_Credit_Amount", Number("FCARLCreditAmount"))
          .Set("Foreign_Currency_Flag", Flag("ForeignCurrencyFlag"))
          .SetOptional("Currency_Code", Text("CurrencyCode"))
          .SetOptional("Currency_Symbol", Text("CurrencySymbol"))
          .Set("Last_Update", DateOrNull("LastUpdate"))
          .InsertDeferred(*conn, "Accounts_Receivable_Ledger");
      return true;
    });
  }

  // Removes the receivable lines of one document and takes them out of the customers' balances.
  bool ARL_Delete() {
    return Trap([&] {
      auto conn = ConnectionObject();
      const std::string doc = Text("DocumentNo");
      auto nets = conn->Query(
          "SELECT Customer_Code, SUM(Debit_Amount - Credit_Amount) AS Net FROM "
          "Accounts_Receivable_Ledger WHERE Document_No = ? GROUP BY Customer_Code",
          {doc});
      for (std::size_t i = 0; i < nets.size(); ++i)
        conn->Execute(
            "UPDATE Customer_Master SET Customer_Balance = COALESCE(Customer_Balance, 0) - ? "
            "WHERE Customer_Code = ?",
            {Value(nets[i].Double("Net")), Value(nets[i].Text("Customer_Code"))});
      conn->Execute("DELETE FROM Accounts_Receivable_Ledger WHERE Document_No = ?", {doc});
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNAccounts.AccountsReceivable"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<AccountsReceivable> b("QLNAccounts.AccountsReceivable");
      WithProperties(
          b, {"AdoConnectionObject", "DocumentNo", "DocumentPrefix", "ARLDate", "CurrencyCode",
              "CurrencySymbol", "ARLDescription", "ARLComments", "AccountNo", "CustomerCode",
              "ARLCreditAmount", "FCARLCreditAmount", "ARLDebitAmount", "FCARLDebitAmount",
              "ForeignCurrencyFlag", "LastUpdate", "BranchPrefix"});
      b.Method("AR_Insert_Transaction", &AccountsReceivable::AR_Insert_Transaction)
          .Method("ARL_Delete", &AccountsReceivable::ARL_Delete);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewAccountsReceivable() {
  return std::make_shared<AccountsReceivable>();
}

}  // namespace qlnsales::services
