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
      double qty = Number("LocationQty");
      // A location the item has never been in starts at 0.
      conn->ChangeDeferred(
          {"Location_Stock",
           {{"Branch_Prefix", branch}, {"Item_Code", item}, {"Location_ID", location}},
           {{"Quantity", mode == 1 ? -qty : qty}},
           {{"Last_Update", DateOrNull("LastUpdate")}},
           {{"Company_Prefix", Value(Text("CompanyPrefix"))},
            {"Location_Name", Value(Text("LocationName"))},
            {"Item_Name", Value(Text("ItemName"))},
            {"Unit_Name", Value(Text("UnitName"))}}});
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
