// The postings that several documents make through the sibling modules: goods out of stock at
// cost, a stock movement, location stock. Ledger lines are frame/modules.h's.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/modules.h"
#include "qlnsales/connection.h"

namespace qlnsales::documents {

// Goods out of stock at average cost.
struct StockOut {
  std::int32_t item_type = 0;
  double cost = 0;  // the cost of the goods taken out (SellingValue)
};
ModuleError TakeOutOfStock(const ConnectionRef& conn, const std::string& branch,
                           const std::string& item, const std::string& unit, double unit_qty,
                           double quantity, std::optional<double> unit_price,
                           const Value& last_update, StockOut& out);

struct Movement {
  std::string company, branch, document_prefix, document_no, document_type;
  Date document_date;
  std::string item, item_name, unit, period;
  double unit_code = 0, foc = 0, unit_qty = 0, base_qty = 0, amount = 0;
  std::int32_t location_id = 0;
  std::string location_name, comments;
  Value last_update;
};
// A goods-out movement; its price is the amount per base unit (0 for a quantity of 0). Goods that
// came back (a negative quantity and amount) move in by their size, at the same price.
ModuleError PostMovementOut(const ConnectionRef& conn, const Movement& m);

// Mode 1 takes `quantity` out of the location, mode 0 puts it back.
ModuleError LocationOut(const ConnectionRef& conn, const std::string& company,
                        const std::string& branch, const std::string& item,
                        const std::string& item_name, std::int32_t location,
                        const std::string& location_name, double quantity, const std::string& unit,
                        const Value& last_update, std::int32_t mode = 1);

// Moves an item's ordered quantity by `base_qty` in `direction` ("Increase" when an order is
// processed, "Decrease" when its goods go out). The stamp is handed on when given.
ModuleError MoveOrderedQty(const ConnectionRef& conn, const std::string& branch,
                           const std::string& item, double base_qty, const std::string& direction,
                           const Value& last_update = {});

// A document counts as posted once ledger lines or stock movements carry its number. Postings are
// made once: synchronising a document that has them answers "Already Processed".
bool HasPostings(Connection& conn, const std::string& document_no);

// Whether an item type is kept in stock (0 and 3; a delivery posts no cost for 3).
inline bool IsStockType(std::int32_t type) {
  return type == 0 || type == 3;
}

}  // namespace qlnsales::documents
