// QLNAccounts.AccountPreferences: the default accounts of a company's branch.
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class AccountPreferences : public ServiceObject {
 public:
  bool Get_Account_Preferences(std::string& companyPrefix, std::string& branchPrefix) {
    return Trap([&] {
      auto obj = std::dynamic_pointer_cast<Connection>(P("AdoConnectionObject").ToObject());
      auto conn = connection_rule::ObjectFirst(Text("ConnectionString"), obj);
      auto rs = conn->Query(
          "SELECT * FROM Default_Account_Preferences WHERE Company_Prefix = ? AND Branch_Prefix = "
          "?",
          {Value(companyPrefix), Value(branchPrefix)});
      if (rs.empty())
        return Fail("Account preferences are not set for company " + companyPrefix + ", branch " +
                    branchPrefix + ".");
      Row r = rs.front();
      SetP("ARAccountNo", r.Text("AR_Account_No"));
      SetP("InventoryAccountNo", r.Text("Inventory_Account_No"));
      SetP("AdvRecAccountNo", r.Text("AdvRec_Account_No"));
      SetP("CashMemoAccountNo", r.Text("Cash_Memo_Account_No"));
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNAccounts.AccountPreferences"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<AccountPreferences> b("QLNAccounts.AccountPreferences");
      WithProperties(b, {"AdoConnectionObject", "ConnectionString", "ARAccountNo",
                         "InventoryAccountNo", "AdvRecAccountNo", "CashMemoAccountNo"});
      b.Method("Get_Account_Preferences", &AccountPreferences::Get_Account_Preferences);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewAccountPreferences() {
  return std::make_shared<AccountPreferences>();
}

}  // namespace qlnsales::services
