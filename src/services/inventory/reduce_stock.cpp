// QLNInventory.ReduceStock: goods out of stock at moving average cost.
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class ReduceStock : public ServiceObject {
 public:
  // Takes `quantity` (in the line's unit; UnitQty base units each, 1 when not set) out of the
  // item's stock. SellingValue := the cost of what was taken out, at the average cost of the
  // stock in hand; TotalQty := the stock left; ItemType := the item's type. Items of types other
  // than 0 and 3 are not kept in stock: nothing moves and SellingValue is 0. Taking out more
  // than is in hand is refused; so is a negative quantity, except at the point of sale
  // (PointOfSale True).
  bool ReduceStockInHand(double quantity) {
    return Trap([&] {
      auto conn = ConnectionObject();
      const std::string item = Text("ItemCode");
      // Taken for the call: another user's stock-out waits until this one is done.
      auto rs = conn->CachedRow("Item_Master", "Item_Code", Value(item), true);
      if (rs.empty()) return Fail("Invalid Item Code: " + item + " is not in the item master.");
      Row r = rs.front();
      std::int32_t type = r.IsNull("Item_Type") ? 0 : r.Int32("Item_Type");
      SetP("ItemType", type);
      double in_hand = r.Double("Stock_In_Hand");
      double amount = r.Double("Stock_Amount");
      if (type != 0 && type != 3) {
        SetP("SellingValue", 0.0);
        SetP("TotalQty", in_hand);
        return true;
      }
      double unit_qty = P("UnitQty").IsEmpty() ? 1.0 : Number("UnitQty");
      double base = quantity * unit_qty;
      // At the point of sale goods may come back (a negative quantity): they return to stock at
      // the item's current average cost, and SellingValue is then negative.
      if (base < 0 && Flag("PointOfSale")) {
        const double cost = in_hand > 0 ? amount / in_hand * base : 0.0;
        conn->ChangeDeferred({"Item_Master",
                              {{"Item_Code", Value(item)}},
                              {{"Stock_In_Hand", -base}, {"Stock_Amount", -cost}},
                              {},
                              {}});
        SetP("SellingValue", cost);
        SetP("TotalQty", in_hand - base);
        return true;
      }
      if (!(base >= 0))
        return Fail("Invalid quantity " + convert::NumberToText(base) + " to take out of stock.");
      if (base > in_hand + 1e-9)
        return Fail("Not enough stock of " + item + ": " + convert::NumberToText(in_hand) +
                    " in hand, " + convert::NumberToText(base) + " wanted.");
      // Taking out everything takes out the whole amount, so no cost residue is left behind.
      double cost = base == 0 ? 0 : (base >= in_hand ? amount : amount / in_hand * base);
      conn->ChangeDeferred({"Item_Master",
                            {{"Item_Code", Value(item)}},
                            {{"Stock_In_Hand", -base}, {"Stock_Amount", -cost}},
                            {},
                            {}});
      SetP("SellingValue", cost);
      SetP("TotalQty", in_hand - base);
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNInventory.ReduceStock"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<ReduceStock> b("QLNInventory.ReduceStock");
      WithProperties(b, {"AdoConnectionObject", "BranchPrefix", "ItemCode", "UnitName", "UnitPrice",
                         "PeriodType", "LastUpdate", "UnitQty", "ItemType", "SellingValue",
                         "TotalQty", "PointOfSale"});
      b.Method("ReduceStockInHand", &ReduceStock::ReduceStockInHand);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewReduceStock() {
  return std::make_shared<ReduceStock>();
}

}  // namespace qlnsales::services
