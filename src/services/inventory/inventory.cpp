// QLNInventory.Inventory: ordered quantities per branch, item types and item accounts.
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class Inventory : public ServiceObject {
 public:
  // Moves the item's ordered quantity in the branch up ("Increase") or down ("Decrease").
  bool Update_Item_OrderedQty(std::string direction) {
    double sign = convert::EqualsNoCase(direction, "Increase")   ? 1
                  : convert::EqualsNoCase(direction, "Decrease") ? -1
                                                                 : 0;
    if (sign == 0) return Fail("Invalid direction '" + direction + "': use Increase or Decrease.");
    return Trap([&] {
      auto conn = ConnectionObject();
      const std::string item = Text("ItemCode");
      const std::string branch = Text("BranchPrefix");
      if (!ItemExists(*conn, item)) return Fail(NoSuchItem(item));
      conn->ChangeDeferred({"Item_Branch_Stock",
                            {{"Item_Code", Value(item)}, {"Branch_Prefix", Value(branch)}},
                            {{"Ordered_Qty", sign * Number("ItemQuantity")}},
                            {{"Last_Update", DateOrNull("LastUpdate")}},
                            {},
                            true});
      return true;
    });
  }

  // ItemType := the item's type as text ("0" and "3" are kept in stock).
  bool Get_Item_Type() {
    return Trap([&] {
      auto obj = std::dynamic_pointer_cast<Connection>(P("AdoConnectionObject").ToObject());
      auto conn = connection_rule::StringFirst(Text("ADOConnectionString"), obj);
      auto rs =
          conn->Query("SELECT Item_Type FROM Item_Master WHERE Item_Code = ?", {Text("ItemCode")});
      if (rs.empty()) return Fail(NoSuchItem(Text("ItemCode")));
      SetP("ItemType", rs.front().Text("Item_Type"));
      return true;
    });
  }

  // The item's own cost-of-goods, free-of-cost and inventory accounts, each falling back to the
  // branch's default when the item names none.
  bool Get_Item_Account() {
    return Trap([&] {
      auto conn = ConnectionObject();
      const std::string item = Text("ItemCode");
      auto rs = conn->Query(
          "SELECT COGS_Account_No, FOC_Account_No, Inventory_Account_No FROM "
          "Item_Master WHERE Item_Code = ?",
          {item});
      if (rs.empty()) return Fail(NoSuchItem(item));
      std::string cogs = rs.front().Text("COGS_Account_No");
      std::string foc = rs.front().Text("FOC_Account_No");
      std::string inventory = rs.front().Text("Inventory_Account_No");
      const std::vector<Value> branch{Value(Text("CompanyPrefix")), Value(Text("BranchPrefix"))};
      auto sales = conn->Query(
          "SELECT COG_Account_No, FOC_Account_No FROM "
          "Default_Sales_Preferences WHERE Company_Prefix = ? AND "
          "Branch_Prefix = ?",
          branch);
      auto accounts = conn->Query(
          "SELECT Inventory_Account_No FROM Default_Account_Preferences "
          "WHERE Company_Prefix = ? AND Branch_Prefix = ?",
          branch);
      if (cogs.empty() && !sales.empty()) cogs = sales.front().Text("COG_Account_No");
      if (foc.empty() && !sales.empty()) foc = sales.front().Text("FOC_Account_No");
      if (inventory.empty() && !accounts.empty())
        inventory = accounts.front().Text("Inventory_Account_No");
      if (cogs.empty() || foc.empty() || inventory.empty())
        return Fail("Set the cost of goods, free of cost and inventory accounts of item " + item +
                    ", or the defaults in the preferences.");
      SetP("COGSAccountNo", cogs);
      SetP("FOCAccountNo", foc);
      SetP("InventoryAccountNo", inventory);
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNInventory.Inventory"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<Inventory> b("QLNInventory.Inventory");
      WithProperties(b, {"AdoConnectionObject", "ADOConnectionString", "ItemCode", "ItemQuantity",
                         "BranchPrefix", "CompanyPrefix", "LastUpdate", "ItemType", "COGSAccountNo",
                         "FOCAccountNo", "InventoryAccountNo"});
      b.Method("Update_Item_OrderedQty", &Inventory::Update_Item_OrderedQty)
          .Method("Get_Item_Type", &Inventory::Get_Item_Type)
          .Method("Get_Item_Account", &Inventory::Get_Item_Account);
      return b.Build();
    }();
    return table;
  }

 private:
  static bool ItemExists(Connection& conn, const std::string& item) {
    return !conn.CachedRow("Item_Master", "Item_Code", Value(item)).empty();
  }
  static std::string NoSuchItem(const std::string& item) {
    return "Invalid Item Code: " + item + " is not in the item master.";
  }
};

}  // namespace

ObjectRef NewInventory() {
  return std::make_shared<Inventory>();
}

}  // namespace qlnsales::services
