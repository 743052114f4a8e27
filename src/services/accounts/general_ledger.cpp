// QLNAccounts.GeneralLedger: one ledger line per object, and the account balance it moves.
#include "db/record.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class GeneralLedger : public ServiceObject {
 public:
  bool GLInsert() {
    return Trap([&] {
      auto conn = ConnectionObject();
      const std::string account = Text("AccountNo");
      if (!AccountExists(*conn, account)) return Fail(NotInChart(account));
      Record()
          .Set("Document_No", Text("DocumentNo"))
          .Set("Document_Prefix", Text("DocumentPrefix"))
          .Set("GL_Date", DateOrNull("GLDate"))
          .Set("Account_No", account)
          .SetOptional("GL_Description", Text("GLDescription"))
          .SetOptional("GL_Comments", Text("GLComments"))
          .Set("Debit_Amount", Number("GLDebitAmount"))
          .Set("Credit_Amount", Number("GLCreditAmount"))
          .Set("FC_Debit_Amount", Number("FCGLDebitAmount"))
          .Set("FC_Credit_Amount", Number("FCGLCreditAmount"))
          .Set("Foreign_Currency_Flag", Flag("ForeignCurrencyFlag"))
          .SetOptional("Currency_Code", Text("CurrencyCode"))
          .SetOptional("Currency_Symbol", Text("CurrencySymbol"))
          .Set("Last_Update", DateOrNull("LastUpdate"))
          .InsertDeferred(*conn, "General_Ledger");
      return true;
    });
  }

  // Carries `amount` into the account's balance: positive for a debit, negative for a credit.
  bool COAPosting(std::string& accountNo, double& amount) {
    return Trap([&] {
      auto conn = ConnectionObject();
      if (!AccountExists(*conn, accountNo)) return Fail(NotInChart(accountNo));
      // The lines of a call move each balance once, by their sum, when the call ends.
      conn->ChangeDeferred({"Chart_Of_Accounts",
                            {{"Account_No", Value(accountNo)}},
                            {{"Current_Balance", amount}},
                            {},
                            {}});
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNAccounts.GeneralLedger"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<GeneralLedger> b("QLNAccounts.GeneralLedger");
      WithProperties(b, {"AdoConnectionObject", "DocumentNo", "DocumentPrefix", "GLDate",
                         "CurrencyCode", "CurrencySymbol", "GLDescription", "GLComments",
                         "AccountNo", "GLDebitAmount", "GLCreditAmount", "ForeignCurrencyFlag",
                         "FCGLDebitAmount", "FCGLCreditAmount", "LastUpdate"});
      b.Method("GLInsert", &GeneralLedger::GLInsert)
          .Method("COAPosting", &GeneralLedger::COAPosting);
      return b.Build();
    }();
    return table;
  }

 private:
  static bool AccountExists(Connection& conn, const std::string& account) {
    return !account.empty() &&
           !conn.CachedRow("Chart_Of_Accounts", "Account_No", Value(account)).empty();
  }
  static std::string NotInChart(const std::string& account) {
    return account.empty() ? "Invalid Account No: the ledger line names no account."
                           : "Invalid Account No: " + account + " is not in the chart of accounts.";
  }
};

}  // namespace

ObjectRef NewGeneralLedger() {
  return std::make_shared<GeneralLedger>();
}

}  // namespace qlnsales::services
