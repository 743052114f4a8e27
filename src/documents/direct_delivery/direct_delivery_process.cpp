// Direct delivery processing: the final number, goods out of stock at cost, and cost postings on
// the items' own accounts with foreign-currency amounts at the delivery date's rate.
#include <map>

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "documents/postings.h"
#include "frame/numbering.h"
#include "qlnsales/direct_delivery.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

const NumberingTables kTables{"Direct_Delivery_Master",
                              "Direct_Delivery_No",
                              "Direct_Delivery_Identity",
                              "Direct_Delivery_Detail",
                              "Direct_Delivery_No",
                              "Invalid Delivery No",
                              ""};

// Clears the header-only flag when processing ends, however it ends, so that a later
// Get_Direct_Delivery on the same object fills the grid again.
struct HeaderOnly {
  explicit HeaderOnly(bool& flag) : flag_(flag) { flag_ = true; }
  ~HeaderOnly() { flag_ = false; }
  bool& flag_;
};

}  // namespace

bool DirectDelivery::Process_Direct_Delivery() {
  {
    HeaderOnly header_only(header_only_);
    if (!Get_Direct_Delivery()) return false;
  }
  item_accounts_.clear();
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
    auto symbol = CurrencySymbolOf(*conn, CurrencyCode);
    if (!symbol) return Fail("Invalid Currency Code");
    CurrencySymbol = *symbol;
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, DirectDeliveryNo)) return Fail(*err);
    CompanyPrefix = numbering.stored().Text("Company_Prefix");
    BranchPrefix = numbering.stored().Text("Branch_Prefix");
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocFlag, manualDocIdentity};
    if (!mode.KeepsStoredIdentity() && IsFinalNumber(numbering.temporary_number()))
      return Fail("Already Processed");
    const Series series{CompanyPrefix, BranchPrefix, DocumentPrefix};

    if (mode.KeepsStoredIdentity()) {
      DirectDeliveryIdentity = numbering.stored().Int32("Direct_Delivery_Identity");
      if (DocFlag) RaiseSeriesPast(*conn, series, WholeIdentity(manualDocIdentity));
    } else {
      if (auto err = numbering.Choose(AdoDBConnectionObject, series, mode)) return Fail(*err);
      conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
      DirectDeliveryIdentity = numbering.identity();
      numbering.Renumber(*conn, Record().Set("Processed_Flag", 1).Set("Allow_Cancel_Flag", 0),
                         Value(LastUpdate), *conn);
      numbering.RenumberLines(*conn, Value(LastUpdate));  // a delivery without lines is no error
      DirectDeliveryNo = numbering.number();
    }

    if (mode.Posts()) {
      auto lines = conn->Query(
          "SELECT A.*, B.Item_Type AS Master_Item_Type FROM Direct_Delivery_Detail A LEFT JOIN "
          "Item_Master B ON A.Item_Code = B.Item_Code WHERE A.Direct_Delivery_No = ? ORDER BY "
          "A.SL_No",
          {DirectDeliveryNo});
      ObjectRef currency;
      if (ForeignCurrencyFlag)
        currency =
            NewModule("QLNCurrency.Currency", {{"ConnectionString", Value(ADOConnectionString)},
                                               {"Database", Value(Database)},
                                               {"RateDate", Value(DirectDeliveryDate)}});
      for (std::size_t i = 0; i < lines.size(); ++i) {
        Row l = lines[i];
        const std::string item = l.Text("Item_Code");
        if (Trim(item).empty()) continue;
        std::int32_t type = l.IsNull("Master_Item_Type") ? 0 : l.Int32("Master_Item_Type");
        if (!IsStockType(type)) continue;
        const double unit_qty = l.Double("Unit_Qty"), qty = l.Double("Direct_Delivery_Qty");
        StockOut out;
        if (auto err = TakeOutOfStock(conn, BranchPrefix, item, l.Text("Unit_Name"), unit_qty, qty,
                                      std::nullopt, Value(LastUpdate), out))
          return Fail(*err);
        const double cost =
            IsStockType(out.item_type) ? out.cost : l.Double("Direct_Delivery_Item_Amount");
        const std::int32_t location = static_cast<std::int32_t>(l.Double("Location_ID"));
        if (auto err = LocationOut(conn, CompanyPrefix, BranchPrefix, item, l.Text("Item_Name"),
                                   location, l.Text("Location_Name"), unit_qty * qty,
                                   l.Text("Unit_Name"), Value(LastUpdate)))
          return Fail(*err);
        if (type == 0 &&
            !Post_Direct_Delivery_Cost(item, cost, l.Double("FOC_Flag") != 0, currency))
          return false;
        Movement m{CompanyPrefix,
                   BranchPrefix,
                   StockMovementPrefix,
                   DirectDeliveryNo,
                   "OUT",
                   DirectDeliveryDate,
                   item,
                   l.Text("Item_Name"),
                   l.Text("Unit_Name"),
                   l.Text("Period_Type"),
                   l.Double("Unit_Code"),
                   l.Double("FOC_Flag"),
                   unit_qty,
                   unit_qty * qty,
                   cost,
                   location,
                   l.Text("Location_Name"),
                   "",
                   Value(LastUpdate)};
        if (auto err = PostMovementOut(conn, m)) return Fail(*err);
        conn->Execute("UPDATE Direct_Delivery_Detail SET Inventory_Value = ? WHERE SL_No = ?",
                      {Value(cost), Value(l.Int32("SL_No"))});
      }
    }

    // Off-line deliveries settle the counter too, so the next one never reuses the number.
    if (mode.DrawsFromCounter())
      if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

bool DirectDelivery::Post_Direct_Delivery_Cost(const std::string& item, double cost, bool free,
                                               const ObjectRef& currency) {
  auto known = item_accounts_.find(item);
  if (known == item_accounts_.end()) {
    auto inventory =
        NewModule("QLNInventory.Inventory", {{"AdoConnectionObject", Value(AdoDBConnectionObject)},
                                             {"ItemCode", Value(item)},
                                             {"CompanyPrefix", Value(CompanyPrefix)},
                                             {"BranchPrefix", Value(BranchPrefix)}});
    if (auto err = Call(inventory, "Get_Item_Account")) return Fail(*err);
    known =
        item_accounts_
            .emplace(item, std::array<std::string, 3>{inventory->Get("InventoryAccountNo").ToText(),
                                                      inventory->Get("COGSAccountNo").ToText(),
                                                      inventory->Get("FOCAccountNo").ToText()})
            .first;
  }
  const auto& [inventory_account, cogs_account, foc_account] = known->second;
  double fc = cost;
  if (ForeignCurrencyFlag) {
    std::vector<Value> args{Value(cost), Value(CurrencyCode), Value(0.0), Value()};
    fc = currency->Invoke("Convert_Into_FC", args).ToDouble();
  }
  LedgerHeader h{AdoDBConnectionObject, DirectDeliveryNo, DocumentPrefix,      DirectDeliveryDate,
                 CurrencyCode,          CurrencySymbol,   ForeignCurrencyFlag, Value(LastUpdate)};
  const std::string code = convert::Mid(Trim(item), 3);
  if (auto err = PostLedgerLine(h, inventory_account, "Inventory Account : Item Code - " + code, 0,
                                cost, 0, fc))
    return Fail(*err);
  if (auto err = PostLedgerLine(
          h, free ? foc_account : cogs_account,
          (free ? "Free of Cost Account : Item Code - " : "Cost Of Goods Account : Item Code - ") +
              code,
          cost, 0, fc, 0))
    return Fail(*err);
  return true;
}

}  // namespace qlnsales
