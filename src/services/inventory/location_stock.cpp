// QLNInventory.LocationStock: the quantity of each item at each location of a branch.
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class LocationStock : public ServiceObject {
 public:
  // Mode 1 takes LocationQty out of the location, mode 0 puts it back.
  bool UpdateLocationStock(std::int16_t mode) {
    if (mode != 0 && mode != 1)
      return Fail("Invalid location stock mode " + std::to_string(mode) +
                  ": use 1 (out) or 0 (back in).");
    return Trap([&] {
      auto conn = ConnectionObject();
      const Value branch(Text("BranchPrefix"));
      const Value item(Text("ItemCode"));
      const Value location(P("LocationCode").ToInt32());
      conn->Execute(
          "INSERT INTO Location_Stock (Company_Prefix, Branch_Prefix, Item_Code, Location_ID, "
          "Location_Name, Item_Name, Unit_Name, Quantity) VALUES (?, ?, ?, ?, ?, ?, ?, 0) "
          "ON CONFLICT DO NOTHING",
          {Value(Text("CompanyPrefix")), branch, item, location, Value(Text("LocationName")),
           Value(Text("ItemName")), Value(Text("UnitName"))});
      double qty = Number("LocationQty");
      conn->Execute(
          "UPDATE Location_Stock SET Quantity = Quantity + ?, Last_Update = ? WHERE "
          "Branch_Prefix = ? AND Item_Code = ? AND Location_ID = ?",
          {Value(mode == 1 ? -qty : qty), DateOrNull("LastUpdate"), branch, item, location});
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNInventory.LocationStock"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<LocationStock> b("QLNInventory.LocationStock");
      WithProperties(
          b, {"AdoConnectionObject", "BranchPrefix", "CompanyPrefix", "ItemCode", "ItemName",
              "LocationCode", "LocationName", "LocationQty", "LastUpdate", "UnitName"});
      b.Method("UpdateLocationStock", &LocationStock::UpdateLocationStock);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewLocationStock() {
  return std::make_shared<LocationStock>();
}

}  // namespace qlnsales::services
