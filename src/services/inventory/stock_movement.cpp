// QLNInventory.StockMovement: one movement row per stock line in or out. Base_Qty is signed
// (positive in, negative out), so an item's stock is the sum of its movements.
#include "db/record.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class StockMovement : public ServiceObject {
 public:
  bool Move(double& baseQty) {
    bool out = Number("OutQty") != 0 || Number("OutAmount") != 0;
    bool in = Number("InQty") != 0 || Number("InAmount") != 0;
    if (out && in) return Fail("A stock movement goes either in or out, not both.");
    return Trap([&] {
      auto conn = ConnectionObject();
      Record()
          .Set("Company_Prefix", Text("CompanyPrefix"))
          .Set("Branch_Prefix", Text("BranchPrefix"))
          .Set("Document_Prefix", Text("DocumentPrefix"))
          .Set("Document_No", Text("DocumentNo"))
          .Set("Document_Date", DateOrNull("DocumentDate"))
          .SetOptional("Document_Type", Text("DocumentType"))
          .Set("Item_Code", Text("ItemCode"))
          .SetOptional("Item_Name", Text("ItemName"))
          .Set("Unit_Code", Number("UnitCode"))
          .SetOptional("Unit_Name", Text("UnitName"))
          .SetOptional("Period_Type", Text("PeriodType"))
          .Set("FOC_Flag", Number("FOC_Flag"))
          .Set("Unit_Qty", Number("UnitQty"))
          .Set("Base_Qty", out  ? -baseQty
                           : in ? baseQty
                                : 0.0)
          .Set("In_Qty", Number("InQty"))
          .Set("In_Amount", Number("InAmount"))
          .Set("In_Price", Number("InPrice"))
          .Set("Out_Qty", Number("OutQty"))
          .Set("Out_Amount", Number("OutAmount"))
          .Set("Out_Price", Number("OutPrice"))
          .Set("Location_ID", P("LocationID").ToInt32())
          .SetOptional("Location_Name", Text("LocationName"))
          .SetOptional("Stock_Comments", Text("StockComments"))
          .Set("Last_Update", DateOrNull("LastUpdate"))
          .InsertDeferred(*conn, "Stock_Movement");
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNInventory.StockMovement"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<StockMovement> b("QLNInventory.StockMovement");
      WithProperties(b, {"AdoConnectionObject",
                         "CompanyPrefix",
                         "BranchPrefix",
                         "DocumentPrefix",
                         "ItemCode",
                         "ItemName",
                         "UnitCode",
                         "UnitName",
                         "PeriodType",
                         "FOC_Flag",
                         "UnitQty",
                         "OutQty",
                         "OutAmount",
                         "OutPrice",
                         "InQty",
                         "InAmount",
                         "InPrice",
                         "DocumentNo",
                         "DocumentDate",
                         "DocumentType",
                         "LocationID",
                         "LocationName",
                         "LastUpdate",
                         "StockComments"});
      b.Method("StockMovement", &StockMovement::Move);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewStockMovement() {
  return std::make_shared<StockMovement>();
}

}  // namespace qlnsales::services
