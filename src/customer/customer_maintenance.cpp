// Customer maintenance: delete, account name, opening-balance clean-up and code changes.
#include <optional>

#include "base/convert.h"
#include "db/record.h"
#include "frame/lookup.h"
#include "qlnsales/customer.h"
#include "qlnsales/registry.h"
#include "qlnsales/shell.h"

namespace qlnsales {
namespace {

// Where a customer's documents are looked for, by the column holding its code. The last three
// are looked at too, so that a customer with any document at all can never be deleted.
constexpr std::pair<const char*, const char*> kDocumentTables[] = {
    {"Sales_Invoice_Master", "Customer_Code"},
    {"Sales_Return_Master", "Customer_Code"},
    {"Customer_OB", "Customer_Code"},
    {"Sales_Order_Master", "Customer_Code"},
    {"Cash_Memo_Master", "Customer_Code"},
    {"Delivery_Master", "Customer_Code"},
    {"Direct_Delivery_Master", "Customer_Code"},
    {"Receipt_Master", "Receipt_To_Code"},
    {"Accounts_Receivable_Ledger", "Customer_Code"}};

// Every place a customer code is kept, in the order a code change rewrites them. The last three
// follow the twelve so that nothing of the customer stays under the old code.
constexpr std::pair<const char*, const char*> kCodeColumns[] = {
    {"Customer_Master", "Customer_Code"},
    {"Customer_OB", "Customer_Code"},
    {"Accounts_Receivable_Ledger", "Customer_Code"},
    {"AR_Adjustment_Detail", "Customer_Code"},
    {"AR_Adjustment_Master", "Customer_Code"},
    {"Receipt_Master", "Receipt_To_Code"},
    {"PDC_Master", "CustomerID"},
    {"Delivery_Master", "Customer_Code"},
    {"Cash_Memo_Master", "Customer_Code"},
    {"Sales_Invoice_Master", "Customer_Code"},
    {"Sales_Order_Master", "Customer_Code"},
    {"Sales_Return_Master", "Customer_Code"},
    {"Direct_Delivery_Master", "Customer_Code"},
    {"Customer_Address", "Customer_Code"},
    {"Customer_Master_Balance", "Customer_Code"}};

// The tables a code change rewrites whose unique key holds the customer code. Rows the new code
// still owns there (a deleted customer's leftover balances or addresses) would collide with the
// renamed rows half-way through, or silently become the renamed customer's.
constexpr std::pair<const char*, const char*> kKeyedByCode[] = {
    {"Customer_Master", "Customer_Code"},
    {"Customer_OB", "Customer_Code"},
    {"Customer_Address", "Customer_Code"},
    {"Customer_Master_Balance", "Customer_Code"}};

bool IsDebit(const std::string& type) {
  return convert::UCase(convert::Trim(type)) == "DEBIT";
}

// Allow_Delete_Flag set from whether any document names the customer; an error's text, or none.
std::optional<std::string> RefreshAllowDelete(const Customer& c) {
  try {
    auto conn = connection_rule::StringOnly(c.ConnectionString);
    bool allow = true;
    for (const auto& [table, column] : kDocumentTables) {
      if (DocumentExists(*conn, {table, column, "", c.CustomerCode})) {
        allow = false;
        break;
      }
    }
    Record()
        .Set("Allow_Delete_Flag", allow)
        .Update(*conn, "Customer_Master", Record().Set("Customer_Code", c.CustomerCode));
    return std::nullopt;
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace

bool Customer::DeleteRecord() {
  if (auto err = RefreshAllowDelete(*this)) {
    err_desc_ = *err;
    CurrentShell().MsgBox(*err, "");
    return false;
  }
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto rs = conn->Query("SELECT Allow_Delete_Flag FROM Customer_Master WHERE Customer_Code = ?",
                          {CustomerCode});
    if (rs.empty()) return false;  // ErrDesc is left as it was
    if (!rs.front().Flag("Allow_Delete_Flag"))
      return Fail("This Customer could not be deleted, due to existing transactions");
    conn->Execute("DELETE FROM Customer_Master WHERE Customer_Code = ?", {CustomerCode});
    return true;
  });
}

std::string Customer::Get_AR_Account_Name() {
  try {
    auto general = CreateObject("QLNSystem.General");
    if (!ConnectionString.empty())
      general->Set("ADOConnectionString", ConnectionString);
    else
      general->Set("AdoConnectionObject", AdoConnectionObject);
    ARAccountName =
        general
            ->Invoke("GetFldValue", {Value("Chart_Of_Accounts"), Value("Account_Name"),
                                     Value("Account_No"), Value(ARAccountNo), Value(false)})
            .ToText();
  } catch (const std::exception&) {
    return "";
  }
  if (convert::Trim(ARAccountName).empty()) {
    err_desc_ = "Invalid Account";
    return "";
  }
  return ARAccountName;
}

bool Customer::Adjusted() {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    const char* sql = IsDebit(CustomerOBType)
                          ? "SELECT 1 FROM Sales_Invoice_Master WHERE Sales_Inv_No = ? AND "
                            "Sales_Inv_Total_Amount = Balance_Amount"
                          : "SELECT 1 FROM Receipt_Master WHERE Receipt_No = ? AND "
                            "Receipt_Amount = Balance_Amount";
    return conn->Query(sql, {CustomerOBDocumentNo}).empty();
  });
}

bool Customer::Delete_Previous_OB(std::string& strType, std::string& strRefNo) {
  return Trap([&] {
    const std::string ref = convert::Trim(strRefNo);
    auto receivable = CreateObject("QLNAccounts.AccountsReceivable");
    receivable->Set("AdoConnectionObject", AdoConnectionObject);
    receivable->Set("DocumentNo", ref);
    if (!receivable->Invoke("ARL_Delete").ToBool()) {
      auto text = receivable->Get("ErrDesc").ToText();
      CurrentShell().MsgBox(text, kApplicationTitle);
      return Fail(text);
    }
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    if (IsDebit(strType))
      conn->Execute("DELETE FROM Sales_Invoice_Master WHERE Sales_Inv_No = ?", {ref});
    else
      conn->Execute("DELETE FROM Receipt_Master WHERE Receipt_No = ?", {ref});
    return true;
  });
}

// A code change is one unit: the codes of every row of the grid in every table, or none.
bool Customer::Change_Customer_Code() {
  if (!GridName) throw Error("Object variable not set: the customer has no grid (GridName)");
  return AllOrNothing([&] {
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    for (std::int32_t row = 1; row < GridName->Rows(); ++row) {
      if (GridName->TextMatrix(row, 1).empty()) return true;
      std::string shown_new = GridName->TextMatrix(row, 3);
      std::string new_code = CompanyPrefix + shown_new;
      if (!conn->Query("SELECT Customer_Code FROM Customer_Master WHERE Customer_Code = ?",
                       {new_code})
               .empty())
        return Fail("This " + shown_new + " code already in use");
      std::string old_code = CompanyPrefix + GridName->TextMatrix(row, 2);
      if (!Change_Code(old_code, new_code)) return false;
    }
    return true;
  });
}

bool Customer::Change_Code(std::string& pOldCode, std::string& pNewCode) {
  return AllOrNothing([&] {
    // Refused before anything is written. A database error here ends the change the way one of
    // its statements would: False with the error's text.
    if (pNewCode != pOldCode) {
      std::string taken;
      try {
        auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
        for (const auto& [table, column] : kKeyedByCode)
          if (DocumentExists(*conn, {table, column, "", pNewCode})) {
            taken = table;
            break;
          }
      } catch (const std::exception& e) {
        return Fail(e.what());
      }
      if (!taken.empty())
        return Fail("The code " + pNewCode + " still has rows in " + taken +
                    "; remove them before changing a code to it");
    }
    for (const auto& [table, column] : kCodeColumns) {
      std::string t = table, c = column;
      if (!Execute_Change_Code(t, c, pNewCode, pOldCode)) return false;
    }
    return true;
  });
}

bool Customer::Execute_Change_Code(std::string& pTableName, std::string& pChangeColName,
                                   std::string& pNewValue, std::string& pWhere) {
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    ExecuteChangeCode(*conn, pTableName, pChangeColName, pNewValue, pWhere);
    return true;
  });
}

}  // namespace qlnsales
