// Taking a document's goods out of stock, in steps every selling document shares and runs in its
// own order: the lines read with their items once, the items taken for the call, each line out of
// stock in base units at cost, its cost kept on the line, a goods-out movement, the location's
// stock, and the cost pair the ledger gets for it. Failures are thrown as Error with the module's
// text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "documents/postings.h"
#include "qlnsales/connection.h"

namespace qlnsales::documents {

// Where a document keeps what the step reads and writes.
struct GoodsColumns {
  const char* detail;    // Delivery_Detail
  const char* number;    // Delivery_No
  const char* quantity;  // Delivery_Qty, in the line's units
  // The unit price handed to the stock module; none: not handed.
  const char* price;
  // The line's value when it moves no stock at cost (a service line, or an item the stock module
  // does not keep).
  const char* fallback;
  // The location's stock is counted in base units, else in the line's units.
  bool location_in_base_units;
};

// One line with its item, read once for the stock-out and every posting.
struct GoodsLine {
  std::int32_t sl_no = 0;
  std::string item, item_name, unit, period, location_name;
  std::int32_t item_type = -1;  // -1: no item code; else the item master's type (0 when unknown)
  double unit_code = 0, foc = 0, unit_qty = 0, qty = 0;
  std::optional<double> price;
  double fallback = 0;
  std::int32_t location_id = 0;
  double value = 0;  // the line's cost, once taken out
  bool stock() const { return IsStockType(item_type); }
  bool free() const { return foc != 0; }
};

// The document's lines joined once to their items, in serial order.
ResultSet ReadLinesWithItems(Connection& conn, const GoodsColumns& cols, const std::string& number);
std::vector<GoodsLine> GoodsLines(const ResultSet& rows, const GoodsColumns& cols);

// What every movement of one document carries.
struct GoodsDocument {
  ConnectionRef conn;
  std::string company, branch, movement_prefix, document_no;
  Date date;
  std::string comments;
  Value stamp;
};

// The stock lines' items taken for the call at once, in one order for every call, before their
// stock moves.
void LockItems(const GoodsDocument& doc, const std::vector<GoodsLine>& lines);
// A stock line out of stock at cost: its value becomes the cost the stock module reports, or stays
// the fallback when that module does not keep the item in stock.
void TakeLineOut(const GoodsDocument& doc, GoodsLine& line);
// The line's value kept in its Inventory_Value, found by document number and line serial.
void KeepLineValue(const GoodsDocument& doc, const GoodsColumns& cols, const GoodsLine& line);
// A goods-out movement of the line, at its value (goods that came back, a negative quantity,
// move in).
void MovementOut(const GoodsDocument& doc, const GoodsLine& line);
// The line's goods out of its location.
void LocationStockOut(const GoodsDocument& doc, const GoodsColumns& cols, const GoodsLine& line);

// The accounts a line's cost moves between.
struct CostAccounts {
  std::string inventory, cost_of_goods, free_of_cost;
};

// The descriptions of the cost pair's lines (each followed by the item code), as each document
// words them, and the comment of a pair reversed for goods that came back.
struct CostLabels {
  const char* inventory;
  const char* cost_of_goods;
  const char* free_of_cost;
  const char* returned = "";
};

// The cost pair of a line: its inventory account credited, the cost of goods account (the free
// of cost account for a free line) debited. Goods that came back (a negative value) reverse the
// pair: inventory debited and the cost account credited with the value's size.
void PostCostPair(const LedgerHeader& h, const CostAccounts& accounts, const CostLabels& labels,
                  const GoodsLine& line, double fc_cost);

}  // namespace qlnsales::documents
