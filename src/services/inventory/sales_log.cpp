// QLNInventory.SalesLog: one row per sold line.
#include "db/record.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class SalesLog : public ServiceObject {
 public:
  bool Create_SalesLog() {
    return Trap([&] {
      Record()
          .Set("Sales_Document_No", Text("SalesDocumentNo"))
          .Set("Company_Prefix", Text("CompanyPrefix"))
          .Set("Branch_Prefix", Text("BranchPrefix"))
          .Set("Document_Prefix", Text("DocumentPrefix"))
          .SetOptional("Ref_Document_Prefix", Text("RefDocumentPrefix"))
          .SetOptional("Item_Code", Text("ItemCode"))
          .SetOptional("Item_Name", Text("ItemName"))
          .Set("Unit_Code", Number("UnitCode"))
          .SetOptional("Unit_Name", Text("UnitName"))
          .Set("FOC_Flag", Number("FOC_Flag"))
          .Set("Unit_Qty", Number("UnitQty"))
          .Set("Sales_Qty", Number("SalesQty"))
          .Set("Sales_Item_Amount", Number("SalesItemAmount"))
          .Set("Sales_Unit_Price", Number("SalesUnitPrice"))
          .Set("Inventory_Value", Number("InventoryValue"))
          .Set("Sales_Log_Date", DateOrNull("SalesLogDate"))
          .SetOptional("Sales_Document_Prefix", Text("SalesDocumentPrefix"))
          .SetOptional("Proj_No", Text("ProjNo"))
          .Set("Last_Update", DateOrNull("LastUpdate"))
          .InsertDeferred(*ConnectionObject(), "Sales_Log");
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNInventory.SalesLog"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<SalesLog> b("QLNInventory.SalesLog");
      WithProperties(b, {"AdoConnectionObject",
                         "SalesDocumentNo",
                         "CompanyPrefix",
                         "BranchPrefix",
                         "DocumentPrefix",
                         "RefDocumentPrefix",
                         "ItemCode",
                         "ItemName",
                         "UnitCode",
                         "UnitName",
                         "FOC_Flag",
                         "UnitQty",
                         "SalesQty",
                         "SalesItemAmount",
                         "SalesUnitPrice",
                         "InventoryValue",
                         "SalesLogDate",
                         "SalesDocumentPrefix",
                         "LastUpdate",
                         "ProjNo"});
      b.Method("Create_SalesLog", &SalesLog::Create_SalesLog);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewSalesLog() {
  return std::make_shared<SalesLog>();
}

}  // namespace qlnsales::services
