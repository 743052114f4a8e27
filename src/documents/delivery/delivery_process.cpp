// Delivery processing: the final number, the source's delivered quantities, and the goods out of
// stock at cost with their ledger, movement and location postings.
#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "documents/goods_out.h"
#include "frame/numbering.h"
#include "qlnsales/delivery.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

const CostLabels kCostLabels{"Inventory Account : Item Code - ",
                             "Cost Of Goods Account : Item Code - ",
                             "Free Of Cost Account : Item Code - "};

const NumberingTables kTables{"Delivery_Master",
                              "Delivery_No",
                              "Delivery_Identity",
                              "Delivery_Detail",
                              "Delivery_No",
                              "Invalid Delivery No",
                              "Error while Processing, Invalid Temporary Delivery No."};

// A line is valued at its cost when it leaves stock, else at its unit price. The location's stock
// counts the line's own units.
const GoodsColumns kGoods{
    "Delivery_Detail",         "Delivery_No", "Delivery_Qty", "Delivery_Dtl_Unit_Price",
    "Delivery_Dtl_Unit_Price", false};

// The source's delivered quantities: the order's lines (and its delivered flag), or the cash
// memo's lines, whose goods left stock with the memo, so each delivery line takes the delivered
// share of the memo line's cost.
void UpdateSource(Delivery& d, bool from_cash_memo, const ResultSet& lines) {
  Connection& conn = *d.AdoDBConnectionObject;
  if (!from_cash_memo)
    conn.ExecuteDeferred(
        "UPDATE Sales_Order_Master SET Delivered_Flag = ?, Last_Update = ? WHERE Sales_Ord_No = ?",
        {Value(1), Stamp("Sales_Order_Master", d.LastUpdate), Value(d.SourceNo)});
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Row l = lines[i];
    const std::string item = l.Text("Item_Code");
    const bool by_code = !item.empty();
    const Value serial(l.Double("Sales_Ord_Dtl_SL_No"));
    const double qty = l.Double("Delivery_Qty");
    const Value match(by_code ? item : l.Text("Item_Name"));
    const char* by = by_code ? "Item_Code = ?" : "Item_Name = ?";
    if (from_cash_memo) {
      auto memo = conn.Query(std::string("SELECT Cash_Memo_Qty, Inventory_Value FROM "
                                         "Cash_Memo_Detail WHERE Cash_Memo_No = ? AND SL_No = ? "
                                         "AND ") +
                                 by,
                             {Value(d.SourceNo), serial, match});
      if (memo.empty()) throw Error("Invalid Item Details");
      const double memo_qty = memo.front().Double("Cash_Memo_Qty");
      conn.Execute(
          "UPDATE Cash_Memo_Detail SET Cash_Memo_Delivered_Qty = Cash_Memo_Delivered_Qty "
          "+ ?, Last_Update = ? WHERE Cash_Memo_No = ? AND SL_No = ?",
          {Value(qty), Stamp("Cash_Memo_Detail", DayOf(d.LastUpdate)), Value(d.SourceNo), serial});
      const double value =
          memo_qty == 0 ? 0 : memo.front().Double("Inventory_Value") * qty / memo_qty;
      conn.ExecuteDeferred(
          "UPDATE Delivery_Detail SET Inventory_Value = ? WHERE Delivery_No = ? AND SL_No = ?",
          {Value(value), Value(d.DeliveryNo), Value(l.Int32("SL_No"))});
      continue;
    }
    // A delivery line whose order line is gone fails the call.
    conn.ExecuteExpecting(
        std::string("UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = "
                    "Sales_Ord_Delivered_Qty + ?, Last_Update = ? WHERE Sales_Ord_No = ? AND ") +
            by + " AND SL_No = ?",
        {Value(qty), Stamp("Sales_Order_Detail", d.LastUpdate), Value(d.SourceNo), match, serial},
        1, "Invalid Item Details");
  }
}

// The branch's inventory account and the sales preferences' cost of goods and free of cost
// accounts. A missing preference row is told apart from an empty account.
CostAccounts BranchAccounts(Connection& conn, const std::string& branch) {
  const Value b(branch);
  auto p = conn.Query(
      "SELECT (SELECT COUNT(*) FROM Default_Account_Preferences WHERE Branch_Prefix = ?) AS "
      "Accounts, (SELECT Inventory_Account_No FROM Default_Account_Preferences WHERE "
      "Branch_Prefix = ? LIMIT 1) AS Inventory, (SELECT COUNT(*) FROM "
      "Default_Sales_Preferences WHERE Branch_Prefix = ?) AS Sales, (SELECT COG_Account_No "
      "FROM Default_Sales_Preferences WHERE Branch_Prefix = ? LIMIT 1) AS Cog, (SELECT "
      "FOC_Account_No FROM Default_Sales_Preferences WHERE Branch_Prefix = ? LIMIT 1) AS Foc",
      {b, b, b, b, b});
  Row r = p.front();
  if (r.Int64("Accounts") == 0) throw Error("Set the Default settings in the Account Preferences");
  if (r.Int64("Sales") == 0) throw Error("Set the Sales default settings in the Sales Preferences");
  CostAccounts a{r.Text("Inventory"), r.Text("Cog"), r.Text("Foc")};
  // The ledger checks each account: one read answers them all, and takes them for the call, in
  // one order, before their balances move.
  conn.PrefetchRows("Chart_Of_Accounts", "Account_No",
                    {Value(a.inventory), Value(a.cost_of_goods), Value(a.free_of_cost)}, true);
  return a;
}

// Every line valued (the stock lines taken out of stock at cost), then the movements, the cost
// pairs and the location stock with the items' ordered quantities, each over all lines in turn.
void PostGoods(Delivery& d, const ResultSet& rows) {
  const Value stamp(convert::FormatDayMonthName(d.LastUpdate));
  const GoodsDocument doc{d.AdoDBConnectionObject,
                          d.CompanyPrefix,
                          d.BranchPrefix,
                          d.StockMovementPrefix,
                          d.DeliveryNo,
                          d.DeliveryDate,
                          d.DeliveryComments,
                          stamp};
  auto lines = GoodsLines(rows, kGoods);
  LockItems(doc, lines);
  for (auto& l : lines) {
    if (l.stock()) TakeLineOut(doc, l);
    KeepLineValue(doc, kGoods, l);
  }
  for (const auto& l : lines)
    if (l.stock()) MovementOut(doc, l);
  std::optional<CostAccounts> accounts;
  const LedgerHeader h{d.AdoDBConnectionObject, d.DeliveryNo,   d.DocumentPrefix,
                       d.DeliveryDate,          d.CurrencyCode, d.CurrencySymbol,
                       d.ForeignCurrencyFlag,   stamp};
  for (const auto& l : lines) {
    if (l.item_type != 0) continue;  // type 3 moves stock but posts no cost
    if (!accounts) accounts = BranchAccounts(*d.AdoDBConnectionObject, d.BranchPrefix);
    PostCostPair(h, *accounts, kCostLabels, l, l.value);
  }
  for (const auto& l : lines) {
    if (!l.stock()) continue;
    LocationStockOut(doc, kGoods, l);
    if (auto err = MoveOrderedQty(d.AdoDBConnectionObject, d.BranchPrefix, l.item,
                                  l.unit_qty * l.qty, "Decrease"))
      throw Error(*err);
  }
}

}  // namespace

bool Delivery::Process_Delivery(std::string& /*source: not used*/) {
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocManualFlag, ManualDeliveryIdentity};
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, DeliveryNo)) return Fail(*err);
    const Row stored = numbering.stored();
    const std::string source = stored.Text("Source_No");
    const bool from_cash_memo =
        conn->Query("SELECT Sales_Ord_No FROM Sales_Order_Master WHERE Sales_Ord_No = ?", {source})
            .empty() &&
        !conn->Query("SELECT Cash_Memo_No FROM Cash_Memo_Master WHERE Cash_Memo_No = ?", {source})
             .empty();
    if (mode.KeepsStoredIdentity()) {
      if (HasPostings(*conn, numbering.temporary_number())) return Fail("Already Processed");
      // A delivery numbered off-line keeps the stamp it was given then.
      if (auto when = convert::ParseDate(stored.Text("Last_Update"))) LastUpdate = *when;
    }
    numbering.Assign(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, mode,
                     Record().Set("Processed_Flag", 1), Stamp(kTables.master_table, LastUpdate),
                     Stamp(kTables.detail_table, LastUpdate));
    DeliveryIdentity = numbering.identity();
    DeliveryNo = numbering.number();
    SourceNo = source;
    conn = connection_rule::ObjectOnly(AdoDBConnectionObject);

    const auto rows = ReadLinesWithItems(*conn, kGoods, DeliveryNo);
    if (mode.UpdatesSources()) UpdateSource(*this, from_cash_memo, rows);
    // The cash memo took its goods out of stock when it was processed: a delivery made from it
    // moves no stock, cost or location stock again.
    if (mode.Posts() && !from_cash_memo) PostGoods(*this, rows);
    if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

}  // namespace qlnsales
