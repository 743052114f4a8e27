// Delivery processing: the final number, the source's delivered quantities, and the goods out of
// stock at cost with their ledger, movement and location postings.
#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "documents/postings.h"
#include "frame/numbering.h"
#include "qlnsales/delivery.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

// One delivery line with its item, read once for the valuation and every posting.
struct Delivery::Line {
  std::int32_t sl_no;
  std::string item, item_name, unit, period, location_name;
  std::int32_t item_type;  // -1: no item code or not in the item master
  double unit_code, foc, unit_qty, qty, unit_price, value;
  std::int32_t location_id;
  bool stock() const { return IsStockType(item_type); }
};

namespace {

const NumberingTables kTables{"Delivery_Master",
                              "Delivery_No",
                              "Delivery_Identity",
                              "Delivery_Detail",
                              "Delivery_No",
                              "Invalid Delivery No",
                              "Error while Processing, Invalid Temporary Delivery No."};

}  // namespace

bool Delivery::Process_Delivery(std::string& /*source: not used*/) {
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocManualFlag, ManualDeliveryIdentity};
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, DeliveryNo)) return Fail(*err);
    Row stored = numbering.stored();
    // A delivery is processed once: a second run would draw another number and post twice.
    if (!mode.KeepsStoredIdentity() && IsFinalNumber(numbering.temporary_number()))
      return Fail("Already Processed");
    const Series series{CompanyPrefix, BranchPrefix, DocumentPrefix};
    const std::string source = stored.Text("Source_No");
    const bool from_cash_memo =
        conn->Query("SELECT Sales_Ord_No FROM Sales_Order_Master WHERE Sales_Ord_No = ?", {source})
            .empty() &&
        !conn->Query("SELECT Cash_Memo_No FROM Cash_Memo_Master WHERE Cash_Memo_No = ?", {source})
             .empty();
    SourceNo = source;

    if (mode.KeepsStoredIdentity()) {
      DeliveryIdentity = stored.Int32("Delivery_Identity");
      if (auto d = convert::ParseDate(stored.Text("Last_Update"))) LastUpdate = *d;
      if (DocManualFlag) RaiseSeriesPast(*conn, series, WholeIdentity(ManualDeliveryIdentity));
    } else {
      if (auto err = numbering.Choose(AdoDBConnectionObject, series, mode)) return Fail(*err);
      conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
      DeliveryIdentity = numbering.identity();
      numbering.Renumber(*conn, Record().Set("Processed_Flag", 1),
                         Stamp("Delivery_Master", LastUpdate), *conn);
      numbering.RenumberLines(*conn, Stamp("Delivery_Detail", LastUpdate));
      DeliveryNo = numbering.number();
    }
    // The lines with their items' types, read once for the source and the postings.
    const auto rows = conn->Query(
        "SELECT A.*, B.Item_Type AS Master_Item_Type FROM Delivery_Detail A LEFT JOIN "
        "Item_Master B ON A.Item_Code = B.Item_Code WHERE A.Delivery_No = ? ORDER BY A.SL_No",
        {DeliveryNo});
    if (mode.UpdatesSources() && !Update_Order_Delivered_Qty(from_cash_memo, rows)) return false;

    // The cash memo took its goods out of stock when it was processed: a delivery made from it
    // moves no stock, cost or location stock again.
    if (mode.Posts() && !from_cash_memo) {
      std::vector<Line> lines;
      const Value stamp(convert::FormatDayMonthName(LastUpdate));
      // The items' rows, read and taken for the call at once, in one order for every call.
      std::vector<Value> items;
      for (std::size_t i = 0; i < rows.size(); ++i)
        if (!rows[i].IsNull("Item_Code")) items.emplace_back(rows[i].Text("Item_Code"));
      conn->PrefetchRows("Item_Master", "Item_Code", items, true);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        Row r = rows[i];
        Line l{r.Int32("SL_No"), r.Text("Item_Code"), r.Text("Item_Name"), r.Text("Unit_Name"),
               r.Text("Period_Type"), r.Text("Location_Name"),
               // A line without an item code is not a stock line.
               r.IsNull("Item_Code") || Trim(r.Text("Item_Code")).empty()
                   ? -1
                   : (r.IsNull("Master_Item_Type") ? 0 : r.Int32("Master_Item_Type")),
               r.Double("Unit_Code"), r.Double("FOC_Flag"), r.Double("Unit_Qty"),
               r.Double("Delivery_Qty"), r.Double("Delivery_Dtl_Unit_Price"), 0,
               static_cast<std::int32_t>(r.Double("Location_ID"))};
        l.value = l.unit_price;
        if (l.stock()) {
          StockOut out;
          if (auto err = TakeOutOfStock(conn, BranchPrefix, l.item, l.unit, l.unit_qty, l.qty,
                                        l.unit_price, stamp, out))
            return Fail(*err);
          if (IsStockType(out.item_type)) l.value = out.cost;
        }
        conn->ExecuteDeferred(
            "UPDATE Delivery_Detail SET Inventory_Value = ? WHERE Delivery_No = ? AND SL_No = ?",
            {Value(l.value), Value(DeliveryNo), Value(l.sl_no)});
        lines.push_back(std::move(l));
      }
      if (!Post_Stock_Movement(lines) || !Post_Delivery_Cost(lines) || !Post_Location_Stock(lines))
        return false;
    }

    if (mode.DrawsFromCounter())
      if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

bool Delivery::Update_Order_Delivered_Qty(bool from_cash_memo, const ResultSet& lines) {
  Connection& conn = *AdoDBConnectionObject;
  const Value stamp = Stamp("Sales_Order_Master", LastUpdate);
  if (!from_cash_memo)
    conn.ExecuteDeferred(
        "UPDATE Sales_Order_Master SET Delivered_Flag = ?, Last_Update = ? WHERE Sales_Ord_No = ?",
        {Value(1), stamp, Value(SourceNo)});
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Row l = lines[i];
    const std::string item = l.Text("Item_Code");
    const bool by_code = !item.empty();
    const Value serial(l.Double("Sales_Ord_Dtl_SL_No"));
    const double qty = l.Double("Delivery_Qty");
    if (from_cash_memo) {
      // The memo's line: memo number, line serial and item.
      auto memo =
          conn.Query(std::string("SELECT Cash_Memo_Qty, Inventory_Value FROM Cash_Memo_Detail "
                                 "WHERE Cash_Memo_No = ? AND SL_No = ? AND ") +
                         (by_code ? "Item_Code = ?" : "Item_Name = ?"),
                     {Value(SourceNo), serial, Value(by_code ? item : l.Text("Item_Name"))});
      if (memo.empty()) return Fail("Invalid Item Details");
      double memo_qty = memo.front().Double("Cash_Memo_Qty");
      conn.Execute(
          "UPDATE Cash_Memo_Detail SET Cash_Memo_Delivered_Qty = Cash_Memo_Delivered_Qty "
          "+ ?, Last_Update = ? WHERE Cash_Memo_No = ? AND SL_No = ?",
          {Value(qty), Stamp("Cash_Memo_Detail", LastUpdate), Value(SourceNo), serial});
      // The goods left stock with the memo: the delivered share of the memo line's cost.
      double value = memo_qty == 0 ? 0 : memo.front().Double("Inventory_Value") * qty / memo_qty;
      conn.ExecuteDeferred(
          "UPDATE Delivery_Detail SET Inventory_Value = ? WHERE Delivery_No = ? AND SL_No = ?",
          {Value(value), Value(DeliveryNo), Value(l.Int32("SL_No"))});
      continue;
    }
    const std::string match = by_code ? item : l.Text("Item_Name");
    // A delivery line whose order line is gone fails the call.
    conn.ExecuteExpecting(
        std::string("UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = "
                    "Sales_Ord_Delivered_Qty + ?, Last_Update = ? WHERE Sales_Ord_No = ? AND ") +
            (by_code ? "Item_Code = ?" : "Item_Name = ?") + " AND SL_No = ?",
        {Value(qty), Stamp("Sales_Order_Detail", LastUpdate), Value(SourceNo), Value(match),
         serial},
        1, "Invalid Item Details");
  }
  return true;
}

bool Delivery::Post_Stock_Movement(const std::vector<Line>& lines) {
  for (const Line& l : lines) {
    if (!l.stock()) continue;
    Movement m{CompanyPrefix,
               BranchPrefix,
               StockMovementPrefix,
               DeliveryNo,
               "OUT",
               DeliveryDate,
               l.item,
               l.item_name,
               l.unit,
               l.period,
               l.unit_code,
               l.foc,
               l.unit_qty,
               l.unit_qty * l.qty,
               l.value,
               l.location_id,
               l.location_name,
               DeliveryComments,
               Value(convert::FormatDayMonthName(LastUpdate))};
    if (auto err = PostMovementOut(AdoDBConnectionObject, m)) return Fail(*err);
  }
  return true;
}

bool Delivery::Post_Delivery_Cost(const std::vector<Line>& lines) {
  // The branch's accounts, read once, when a line posts cost.
  std::optional<std::string> inventory, cog, foc;
  Connection& conn = *AdoDBConnectionObject;
  LedgerHeader h{AdoDBConnectionObject, DeliveryNo,
                 DocumentPrefix,        DeliveryDate,
                 CurrencyCode,          CurrencySymbol,
                 ForeignCurrencyFlag,   Value(convert::FormatDayMonthName(LastUpdate))};
  for (const Line& l : lines) {
    if (l.item_type != 0) continue;  // type 3 moves stock but posts no cost
    if (!inventory) {
      // Both preference rows in one read; a missing row is told apart from an empty account.
      auto p = conn.Query(
          "SELECT (SELECT COUNT(*) FROM Default_Account_Preferences WHERE Branch_Prefix = ?) AS "
          "Accounts, (SELECT Inventory_Account_No FROM Default_Account_Preferences WHERE "
          "Branch_Prefix = ? LIMIT 1) AS Inventory, (SELECT COUNT(*) FROM "
          "Default_Sales_Preferences WHERE Branch_Prefix = ?) AS Sales, (SELECT COG_Account_No "
          "FROM Default_Sales_Preferences WHERE Branch_Prefix = ? LIMIT 1) AS Cog, (SELECT "
          "FOC_Account_No FROM Default_Sales_Preferences WHERE Branch_Prefix = ? LIMIT 1) AS Foc",
          {Value(BranchPrefix), Value(BranchPrefix), Value(BranchPrefix), Value(BranchPrefix),
           Value(BranchPrefix)});
      Row r = p.front();
      if (r.Int64("Accounts") == 0)
        return Fail("Set the Default settings in the Account Preferences");
      if (r.Int64("Sales") == 0)
        return Fail("Set the Sales default settings in the Sales Preferences");
      inventory = r.Text("Inventory");
      cog = r.Text("Cog");
      foc = r.Text("Foc");
      // The ledger checks each account: one read answers them all, and takes them for the
      // call, in one order, before their balances move.
      conn.PrefetchRows("Chart_Of_Accounts", "Account_No",
                        {Value(*inventory), Value(*cog), Value(*foc)}, true);
    }
    const std::string code = convert::Mid(Trim(l.item), 3);
    if (auto err = PostLedgerLine(h, *inventory, "Inventory Account : Item Code - " + code, 0,
                                  l.value, 0, l.value))
      return Fail(*err);
    const bool free = l.foc != 0;
    if (auto err = PostLedgerLine(h, free ? *foc : *cog,
                                  (free ? "Free Of Cost Account : Item Code - "
                                        : "Cost Of Goods Account : Item Code - ") +
                                      code,
                                  l.value, 0, l.value, 0))
      return Fail(*err);
  }
  return true;
}

bool Delivery::Post_Location_Stock(const std::vector<Line>& lines) {
  const Value stamp(convert::FormatDayMonthName(LastUpdate));
  for (const Line& l : lines) {
    if (!l.stock()) continue;
    if (auto err = LocationOut(AdoDBConnectionObject, CompanyPrefix, BranchPrefix, l.item,
                               l.item_name, l.location_id, l.location_name, l.qty, l.unit, stamp))
      return Fail(*err);
    auto inventory =
        NewModule("QLNInventory.Inventory", {{"AdoConnectionObject", Value(AdoDBConnectionObject)},
                                             {"BranchPrefix", Value(BranchPrefix)},
                                             {"ItemCode", Value(l.item)},
                                             {"ItemQuantity", Value(l.unit_qty * l.qty)}});
    if (auto err = Call(inventory, "Update_Item_OrderedQty", {Value("Decrease")}))
      return Fail(*err);
  }
  return true;
}

}  // namespace qlnsales
