#include "documents/goods_out.h"

#include "base/convert.h"
#include "db/record.h"

namespace qlnsales::documents {

using convert::Trim;

ResultSet ReadLinesWithItems(Connection& conn, const GoodsColumns& cols,
                             const std::string& number) {
  CheckSqlName(cols.detail);
  CheckSqlName(cols.number);
  return conn.Query(std::string("SELECT A.*, B.Item_Type AS Master_Item_Type FROM ") + cols.detail +
                        " A LEFT JOIN Item_Master B ON A.Item_Code = B.Item_Code WHERE A." +
                        cols.number + " = ? ORDER BY A.SL_No",
                    {Value(number)});
}

std::vector<GoodsLine> GoodsLines(const ResultSet& rows, const GoodsColumns& cols) {
  std::vector<GoodsLine> lines;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Row r = rows[i];
    GoodsLine l;
    l.sl_no = r.Int32("SL_No");
    l.item = r.Text("Item_Code");
    l.item_name = r.Text("Item_Name");
    l.unit = r.Text("Unit_Name");
    l.period = r.Text("Period_Type");
    l.location_name = r.Text("Location_Name");
    // A line without an item code is not a stock line; an item the master does not know counts
    // as type 0, and the stock module has the last word.
    if (!r.IsNull("Item_Code") && !Trim(l.item).empty())
      l.item_type = r.IsNull("Master_Item_Type") ? 0 : r.Int32("Master_Item_Type");
    l.unit_code = r.Double("Unit_Code");
    l.foc = r.Double("FOC_Flag");
    l.unit_qty = r.Double("Unit_Qty");
    l.qty = r.Double(cols.quantity);
    if (cols.price) l.price = r.Double(cols.price);
    l.fallback = r.Double(cols.fallback);
    l.location_id = static_cast<std::int32_t>(r.Double("Location_ID"));
    l.value = l.fallback;
    lines.push_back(std::move(l));
  }
  return lines;
}

void LockItems(const GoodsDocument& doc, const std::vector<GoodsLine>& lines) {
  std::vector<Value> items;
  for (const auto& l : lines)
    if (l.stock()) items.emplace_back(l.item);
  doc.conn->PrefetchRows("Item_Master", "Item_Code", items, true);
}

void TakeLineOut(const GoodsDocument& doc, GoodsLine& l) {
  StockOut out;
  if (auto err = TakeOutOfStock(doc.conn, doc.branch, l.item, l.unit, l.unit_qty, l.qty, l.price,
                                doc.stamp, out))
    throw Error(*err);
  if (IsStockType(out.item_type)) l.value = out.cost;
}

void KeepLineValue(const GoodsDocument& doc, const GoodsColumns& cols, const GoodsLine& l) {
  CheckSqlName(cols.detail);
  CheckSqlName(cols.number);
  doc.conn->ExecuteDeferred(std::string("UPDATE ") + cols.detail +
                                " SET Inventory_Value = ? WHERE " + cols.number +
                                " = ? AND SL_No = ?",
                            {Value(l.value), Value(doc.document_no), Value(l.sl_no)});
}

void MovementOut(const GoodsDocument& doc, const GoodsLine& l) {
  Movement m{doc.company,
             doc.branch,
             doc.movement_prefix,
             doc.document_no,
             "OUT",
             doc.date,
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
             doc.comments,
             doc.stamp};
  if (auto err = PostMovementOut(doc.conn, m)) throw Error(*err);
}

void LocationStockOut(const GoodsDocument& doc, const GoodsColumns& cols, const GoodsLine& l) {
  const double quantity = cols.location_in_base_units ? l.unit_qty * l.qty : l.qty;
  if (auto err = LocationOut(doc.conn, doc.company, doc.branch, l.item, l.item_name, l.location_id,
                             l.location_name, quantity, l.unit, doc.stamp))
    throw Error(*err);
}

void PostCostPair(const LedgerHeader& h, const CostAccounts& accounts, const CostLabels& labels,
                  const GoodsLine& line, double fc_cost) {
  const std::string code = convert::Mid(Trim(line.item), 3);
  const std::string& cost_account = line.free() ? accounts.free_of_cost : accounts.cost_of_goods;
  const std::string cost_label =
      std::string(line.free() ? labels.free_of_cost : labels.cost_of_goods) + code;
  const std::string inventory_label = labels.inventory + code;
  if (line.value < 0) {
    const double value = -line.value, fc = -fc_cost;
    if (auto err = PostLedgerLine(h, accounts.inventory, inventory_label, value, 0, fc, 0,
                                  labels.returned))
      throw Error(*err);
    if (auto err = PostLedgerLine(h, cost_account, cost_label, 0, value, 0, fc, labels.returned))
      throw Error(*err);
    return;
  }
  if (auto err = PostLedgerLine(h, accounts.inventory, inventory_label, 0, line.value, 0, fc_cost))
    throw Error(*err);
  if (auto err = PostLedgerLine(h, cost_account, cost_label, line.value, 0, fc_cost, 0))
    throw Error(*err);
}

}  // namespace qlnsales::documents
