#include "documents/postings.h"

namespace qlnsales::documents {

ModuleError TakeOutOfStock(const ConnectionRef& conn, const std::string& branch,
                           const std::string& item, const std::string& unit, double unit_qty,
                           double quantity, std::optional<double> unit_price,
                           const Value& last_update, StockOut& out) {
  auto reduce = NewModule("QLNInventory.ReduceStock",
                          {{"AdoConnectionObject", Value(conn)},
                           {"BranchPrefix", Value(branch)},
                           {"ItemCode", Value(item)},
                           {"UnitName", Value(unit)},
                           // The stock counts base units: the line's unit holds unit_qty of them.
                           {"UnitQty", Value(unit_qty)},
                           {"LastUpdate", last_update}});
  if (unit_price) reduce->Set("UnitPrice", *unit_price);
  if (auto err = Call(reduce, "ReduceStockInHand", {Value(quantity)})) return err;
  out.item_type = reduce->Get("ItemType").ToInt32();
  out.cost = reduce->Get("SellingValue").ToDouble();
  return std::nullopt;
}

ModuleError PostMovementOut(const ConnectionRef& conn, const Movement& m) {
  auto move = NewModule("QLNInventory.StockMovement", {{"AdoConnectionObject", Value(conn)},
                                                       {"CompanyPrefix", Value(m.company)},
                                                       {"BranchPrefix", Value(m.branch)},
                                                       {"DocumentPrefix", Value(m.document_prefix)},
                                                       {"ItemCode", Value(m.item)},
                                                       {"ItemName", Value(m.item_name)},
                                                       {"UnitCode", Value(m.unit_code)},
                                                       {"UnitName", Value(m.unit)},
                                                       {"FOC_Flag", Value(m.foc)},
                                                       {"UnitQty", Value(m.unit_qty)},
                                                       {"DocumentNo", Value(m.document_no)},
                                                       {"DocumentDate", Value(m.document_date)},
                                                       {"LocationID", Value(m.location_id)},
                                                       {"LocationName", Value(m.location_name)},
                                                       {"LastUpdate", m.last_update}});
  // Goods that came back (a negative quantity) move in, by their size.
  const bool in = m.base_qty < 0;
  move->Set("DocumentType", Value(in ? "IN" : m.document_type));
  move->Set(in ? "InQty" : "OutQty", Value(in ? -m.base_qty : m.base_qty));
  move->Set(in ? "InAmount" : "OutAmount", Value(in ? -m.amount : m.amount));
  // No division by a quantity of 0: such a line moves nothing at price 0.
  move->Set(in ? "InPrice" : "OutPrice", Value(m.base_qty == 0 ? 0.0 : m.amount / m.base_qty));
  if (!m.period.empty()) move->Set("PeriodType", m.period);
  if (!m.comments.empty()) move->Set("StockComments", m.comments);
  return Call(move, "StockMovement", {Value(in ? -m.base_qty : m.base_qty)});
}

ModuleError LocationOut(const ConnectionRef& conn, const std::string& company,
                        const std::string& branch, const std::string& item,
                        const std::string& item_name, std::int32_t location,
                        const std::string& location_name, double quantity, const std::string& unit,
                        const Value& last_update, std::int32_t mode) {
  auto stock = NewModule("QLNInventory.LocationStock", {{"AdoConnectionObject", Value(conn)},
                                                        {"BranchPrefix", Value(branch)},
                                                        {"CompanyPrefix", Value(company)},
                                                        {"ItemCode", Value(item)},
                                                        {"ItemName", Value(item_name)},
                                                        {"LocationCode", Value(location)},
                                                        {"LocationName", Value(location_name)},
                                                        {"LocationQty", Value(quantity)},
                                                        {"LastUpdate", last_update},
                                                        {"UnitName", Value(unit)}});
  return Call(stock, "UpdateLocationStock", {Value(mode)});
}

ModuleError MoveOrderedQty(const ConnectionRef& conn, const std::string& branch,
                           const std::string& item, double base_qty, const std::string& direction,
                           const Value& last_update) {
  auto inventory = NewModule("QLNInventory.Inventory", {{"AdoConnectionObject", Value(conn)},
                                                        {"BranchPrefix", Value(branch)},
                                                        {"ItemCode", Value(item)},
                                                        {"ItemQuantity", Value(base_qty)}});
  if (!last_update.IsEmpty()) inventory->Set("LastUpdate", last_update);
  return Call(inventory, "Update_Item_OrderedQty", {Value(direction)});
}

bool HasPostings(Connection& conn, const std::string& document_no) {
  auto rs = conn.Query(
      "SELECT (SELECT COUNT(*) FROM General_Ledger WHERE Document_No = ?) + (SELECT COUNT(*) FROM "
      "Stock_Movement WHERE Document_No = ?) AS Postings",
      {Value(document_no), Value(document_no)});
  return rs.front().Int64("Postings") > 0;
}

}  // namespace qlnsales::documents
