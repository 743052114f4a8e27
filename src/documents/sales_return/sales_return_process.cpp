// Sales return processing: the final number, the returned quantities on the source document's
// lines, and by the working mode the goods back into stock at their cost (purchase layers, item
// stock, stock movement, the inventory / cost-of-goods pair), the location stock, the sales log
// and the credit memo.
#include <algorithm>
#include <cmath>
#include <map>

#include "base/convert.h"
#include "db/record.h"
#include "documents/document_support.h"
#include "documents/postings.h"
#include "documents/sales_postings.h"
#include "documents/sales_return/returnable_costs.h"
#include "frame/numbering.h"
#include "qlnsales/sales_return.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = SalesReturn;

const NumberingTables kTables{"Sales_Return_Master",
                              "Sales_Rtn_No",
                              "Sales_Rtn_Identity",
                              "Sales_Return_Detail",
                              "Sales_Rtn_No",
                              "Invalid Sales Return",
                              "Error while Processing, Invalid Temporary Sales Return No."};

// The kinds of source document whose lines take the returned quantities, and where those lines
// keep their quantity (in the line's units) and the returned one (in base units).
struct SourceTable {
  const char* code;
  const char* detail;
  const char* number;
  const char* quantity;
  // When the source's lines still take goods back, as the readers offer them: the source is
  // processed and the return's customer's (the one "?"), and goods delivered come back against
  // the delivery only while it is neither billed nor paid (afterwards against the invoice or the
  // memo, so never twice). Empty for a kind whose documents are not kept here.
  const char* open;
};

constexpr SourceTable kSources[] = {
    {"INV", "Sales_Invoice_Detail", "Sales_Inv_No", "Sales_Inv_Qty",
     " AND Sales_Inv_No IN (SELECT Sales_Inv_No FROM Sales_Invoice_Master WHERE Processed_Flag "
     "<> 0 AND Customer_Code = ?)"},
    {"DSI", "Direct_Sales_Invoice_Detail", "Dir_Sales_Inv_No", "Sales_Inv_Qty", ""},
    {"CHM", "Cash_Memo_Detail", "Cash_Memo_No", "Cash_Memo_Qty",
     " AND Cash_Memo_No IN (SELECT Cash_Memo_No FROM Cash_Memo_Master WHERE process_Flag <> 0 "
     "AND Customer_Code = ?)"},
    {"DDL", "Direct_Delivery_Detail", "Direct_Delivery_No", "Direct_Delivery_Qty",
     " AND Invoiced_Qty = 0 AND Direct_Delivery_No IN (SELECT Direct_Delivery_No FROM "
     "Direct_Delivery_Master WHERE Processed_Flag <> 0 AND Customer_Code = ?)"},
    {"DEL", "Delivery_Detail", "Delivery_No", "Delivery_Qty",
     " AND Invoiced_Qty = 0 AND Delivery_No IN (SELECT Delivery_No FROM Delivery_Master WHERE "
     "Processed_Flag <> 0 AND Paid_Flag = 0 AND Customer_Code = ?)"},
};

// A line's units per package; a line that keeps none counts its quantity in base units, as the
// readers offer it.
constexpr const char* kUnitOrOne =
    "(CASE WHEN Unit_Qty IS NULL OR Unit_Qty = 0 THEN 1 ELSE Unit_Qty END)";

const SourceTable* SourceOf(const std::string& code) {
  for (const auto& s : kSources)
    if (code == s.code) return &s;
  return nullptr;
}

// Quantities are compared in base units to the millionth's millionth of their size: what is
// left is the products' own rounding noise.
double Tolerance(double quantity) {
  return 1e-9 * std::max(1.0, std::fabs(quantity));
}

// One line of the return as processing reads it once, with what the item master says of it.
struct ReturnLine {
  std::int32_t sl_no = 0, ref_sl_no = 0;
  std::string item, item_name, unit, period, location_name, proj_no;
  double unit_code = 0, unit_qty = 0, qty = 0, amount = 0, value = 0;
  std::int32_t location_id = 0;
  bool known = false;     // the item master has the item
  std::int32_t type = 0;  // the item's type; 0 when unknown or not set
  std::string costing;    // the item's costing type, trimmed

  double base() const { return qty * unit_qty; }
  bool stock() const { return known && IsStockType(type); }
  // The item as messages name it.
  std::string shown() const { return Trim(item).size() > 2 ? CodeOf(item) : Trim(item_name); }
};

std::vector<ReturnLine> ReadReturnLines(Connection& conn, const std::string& number) {
  auto rs = conn.Query(
      "SELECT A.*, B.Item_Code AS Known_Item, B.Item_Type AS Master_Item_Type, B.Costing_Type AS "
      "Master_Costing_Type FROM Sales_Return_Detail A LEFT JOIN Item_Master B ON A.Item_Code = "
      "B.Item_Code WHERE A.Sales_Rtn_No = ? ORDER BY A.SL_No",
      {Value(number)});
  std::vector<ReturnLine> lines;
  for (std::size_t i = 0; i < rs.size(); ++i) {
    Row r = rs[i];
    ReturnLine l;
    l.sl_no = r.Int32("SL_No");
    l.item = r.Text("Item_Code");
    l.item_name = r.Text("Item_Name");
    l.unit = r.Text("Unit_Name");
    l.period = r.Text("Period_Type");
    l.location_name = r.Text("Location_Name");
    l.proj_no = r.Text("Proj_No");
    l.unit_code = r.Double("Unit_Code");
    l.unit_qty = r.Double("Unit_Qty");
    l.qty = r.Double("Sales_Rtn_Qty");
    l.amount = r.Double("Sales_Rtn_Item_Amount");
    l.value = r.Double("Inventory_Value");
    l.ref_sl_no = r.Int32("Ref_SL_No");
    l.location_id = r.Int32("Location_ID");
    l.known = !r.IsNull("Known_Item");
    l.type = r.IsNull("Master_Item_Type") ? 0 : r.Int32("Master_Item_Type");
    l.costing = Trim(r.Text("Master_Costing_Type"));
    lines.push_back(std::move(l));
  }
  return lines;
}

// Every posting divides a line's value by its base quantity, and the source takes the base
// quantity back: a line that returns nothing, or figures that are no storable numbers, are
// refused before anything is written. Lines are required: a return without any has nothing to
// number.
void CheckLines(const std::vector<ReturnLine>& lines) {
  if (lines.empty()) throw Error(kTables.invalid_temporary_message);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ReturnLine& l = lines[i];
    const double q = l.base();
    // Lines are named by their place in the return, as its grid shows them.
    const std::string line = "line " + std::to_string(i + 1) + " (" + l.shown() + ")";
    if (!Storable(l.qty) || !Storable(l.unit_qty) || !Storable(q) || !(l.qty > 0) ||
        !(l.unit_qty > 0) || !(q >= 1e-6))
      throw Error("Invalid Item Details: " + line + " returns a quantity of " +
                  convert::NumberToText(q));
    if (!Storable(l.amount) || l.amount < 0 || !Storable(l.value) || l.value < 0 ||
        !Storable(l.value / q) || !Storable(l.amount / q))
      throw Error("Invalid Item Details: " + line + " has no valid amount or inventory value");
  }
}

// The credit memo credits the customer the header's total, debits the sales returns its
// subtotal and credits the discount back: the header must be the lines' figures, or the customer
// would be credited for goods that never came back.
void CheckFigures(const C& c, const std::vector<ReturnLine>& lines) {
  const int places = convert::DecimalPlaces(c.AmtDig);
  double sum = 0;
  for (const auto& l : lines) sum += convert::RoundHalfEven(l.amount, places);
  auto differs = [](double a, double b) {
    return std::fabs(a - b) > 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
  };
  if (!Storable(c.SalesRtnSubTotal) || differs(c.SalesRtnSubTotal, sum))
    throw Error("The return's subtotal " + convert::NumberToText(c.SalesRtnSubTotal) +
                " is not the sum of its lines (" +
                convert::NumberToText(convert::RoundHalfEven(sum, 10)) + ")");
  if (!Storable(c.SalesRtnDiscAmount) || c.SalesRtnDiscAmount < 0 ||
      !Storable(c.SalesRtnFCDiscAmount) || c.SalesRtnFCDiscAmount < 0 ||
      c.SalesRtnDiscAmount > sum + 1e-9 * std::max(1.0, sum))
    throw Error("Invalid Discount Amount");
  if (!Storable(c.TaxAmount) || c.TaxAmount < 0) throw Error("Invalid Tax Amount");
  // Tax comes back as it was charged: by a code, at its rate, on what is credited.
  if (c.TaxAmount > 0) {
    if (Trim(c.TaxCode).empty()) throw Error("Invalid Tax Code");
    const double most = (sum - c.SalesRtnDiscAmount) * c.TaxRate / 100;
    if (!(c.TaxRate > 0) ||
        c.TaxAmount > most + 0.5 * std::pow(10.0, -places) + 1e-9 * std::max(1.0, most))
      throw Error("Invalid Tax Amount");
  }
  const double expected = sum - c.SalesRtnDiscAmount + c.TaxAmount;
  if (!Storable(c.SalesRtnTotalAmount) || !Storable(c.SalesRtnFCTotalAmount) ||
      c.SalesRtnFCTotalAmount < 0 || differs(c.SalesRtnTotalAmount, expected))
    throw Error("The return's total " + convert::NumberToText(c.SalesRtnTotalAmount) +
                " is not its lines less the discount plus the tax (" +
                convert::NumberToText(convert::RoundHalfEven(expected, 10)) + ")");
}

// A line of a return against a source comes back at what its goods cost when they left, as the
// source's line says (for an invoice line, its delivery line), whatever figure the grid carried:
// goods never come back dearer or cheaper than they went. Nor is the customer credited more for
// a line than its goods were sold for. A return without a source brings stock items back at
// their average cost, when the item has stock to tell it. The value is kept on the line, for the
// synchronisation to post; a line with nothing to go by keeps its own.
void ValueLines(const C& c, Connection& conn, const std::string& kind,
                std::vector<ReturnLine>& lines) {
  const std::string source = Trim(c.RefNo);
  const auto sold = source.empty() ? std::map<std::int32_t, ReturnableLine>()
                                   : ReturnableCosts(conn, kind, source);
  const double rounding = 0.5 * std::pow(10.0, -convert::DecimalPlaces(c.AmtDig));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ReturnLine& l = lines[i];
    double value = l.value;
    if (!source.empty()) {
      auto line = sold.find(l.ref_sl_no);
      // No goods to take back: the source's update refuses the line.
      if (line == sold.end()) continue;
      const double most = line->second.price * l.base();
      if (l.amount > most + std::max(rounding, Tolerance(most)))
        throw Error("Invalid Item Details: line " + std::to_string(i + 1) + " (" + l.shown() +
                    ") is credited " + convert::NumberToText(l.amount) + ", more than the " +
                    convert::NumberToText(convert::RoundHalfEven(most, 10)) +
                    " its goods were sold for");
      if (line->second.cost > 0) value = line->second.cost * l.base();
    } else if (l.stock()) {
      auto item =
          conn.Query("SELECT Stock_In_Hand, Stock_Amount FROM Item_Master WHERE Item_Code = ?",
                     {Value(l.item)});
      const double in_hand = item.empty() ? 0 : item.front().Double("Stock_In_Hand");
      const double amount = item.empty() ? 0 : item.front().Double("Stock_Amount");
      if (in_hand > 0 && amount >= 0) value = amount / in_hand * l.base();
    }
    if (value == l.value) continue;
    l.value = value;
    conn.ExecuteDeferred("UPDATE Sales_Return_Detail SET Inventory_Value = ? WHERE SL_No = ?",
                         {Value(value), Value(l.sl_no)});
  }
}

// The kind of source whose lines take the returned quantities: the one the caller names, else
// the kind the return was saved with.
std::string SourceKind(const C& c) {
  const std::string kind = Trim(c.SalesInvoiceType);
  return kind.empty() ? Trim(c.RefDocType) : kind;
}

// Gives back to the item's purchase layers what was sold of them, in the costing type's order
// (oldest first for FIFO and AVEG, newest first for LIFO), at most what each layer sold and no
// more than the return brings back. A layer sold out in full is given back too, so the layers
// are those with anything sold; their purchased quantity never changes. Goods beyond what the
// layers sold (opening stock) leave the layers as they are.
void ReturnPurchaseLayers(const C& c, Connection& conn, const ReturnLine& l) {
  if (l.costing.empty()) throw Error("Invalid Costing Type");
  if (!l.known || l.type != 0) return;  // type 3 keeps stock but has no layers
  const std::string costing = convert::UCase(l.costing);
  const char* order;
  if (costing == "FIFO" || costing == "AVEG")
    order = "ASC";
  else if (costing == "LIFO")
    order = "DESC";
  else
    return;
  // The item's row is taken for the call before its layers are read, so no other return of the
  // item walks the same layers at the same time.
  auto layers = conn.Query(std::string("SELECT Purchase_Log_ID, Sold_Qty FROM Purchase_Log WHERE "
                                       "Item_Code = ? AND branch_prefix = ? AND Sold_Qty > 0 "
                                       "ORDER BY Purchase_Log_Date ") +
                               order + ", Purchase_Log_ID " + order,
                           {Value(l.item), Value(c.BranchPrefix)});
  double rest = l.base();
  for (std::size_t i = 0; i < layers.size() && rest > Tolerance(l.base()); ++i) {
    Row layer = layers[i];
    const double given = std::min(rest, layer.Double("Sold_Qty"));
    conn.ExecuteExpecting(
        "UPDATE Purchase_Log SET Sold_Qty = Sold_Qty - ?, Last_Update = ? WHERE Purchase_Log_ID "
        "= ? AND Sold_Qty >= ?",
        {Value(given), Value(c.LastUpdate), layer["Purchase_Log_ID"], Value(given)}, 1,
        "The purchase layers of item " + l.shown() + " changed while the return was processed");
    rest -= given;
  }
}

class ReturnPosting {
 public:
  ReturnPosting(C& c, Connection& conn)
      : c_(c),
        conn_(conn),
        d_{{c.AdoConnectionObject, c.SalesRtnNo, c.DocumentPrefix, c.SalesRtnDate, c.CurrencyCode,
            c.CurrencySymbol, c.ForeignCurrencyFlag, Value(c.LastUpdate)},
           c.CompanyPrefix,
           c.BranchPrefix,
           c.ConnectionString,
           c.CustomerCode,
           c.SalesRtnComments,
           c.AmtDig} {}

  // The goods back into stock at the value each line left stock at, and the cost reversed.
  void Lines(const std::vector<ReturnLine>& lines) {
    // The items are taken for the call at once, in one order, before their layers and stock move.
    std::vector<Value> items;
    for (const auto& l : lines)
      if (l.known) items.emplace_back(l.item);
    conn_.PrefetchRows("Item_Master", "Item_Code", items, true);
    for (const auto& l : lines) {
      const double q = l.base();
      ReturnPurchaseLayers(c_, conn_, l);
      // A stock line's unit cost is its value per base unit; any other line's is its amount's.
      double unit_cost;
      if (IsStockType(l.type)) {
        unit_cost = l.value / q;
        ReturnItemStock(l);
        ReturnStockMovement(l, q, unit_cost);
      } else {
        unit_cost = l.amount / q;
      }
      PostReturnCost(l, q * unit_cost);
    }
  }

  // The goods back at the lines' location, counted in the lines' own units.
  void LocationStock(const std::vector<ReturnLine>& lines) {
    for (const auto& l : lines) {
      if (!l.stock()) continue;
      Check(LocationOut(c_.AdoConnectionObject, c_.CompanyPrefix, c_.BranchPrefix, l.item,
                        l.item_name, l.location_id, l.location_name, l.qty, l.unit,
                        d_.ledger.last_update, 0));
    }
  }

  // Each line is logged under the return's own number and prefixes with its base quantity, its
  // amount and value as they stand, at the price of one base unit: the log tells a return from a
  // sale by its document, as the modules reading it expect.
  void SalesLog(const std::vector<ReturnLine>& lines) {
    for (const auto& l : lines) {
      SalesLogEntry e;
      e.log_prefix = c_.SalesLogPrefix;
      e.item = l.item;
      e.item_name = l.item_name;
      e.unit = l.unit;
      e.unit_code = l.unit_code;
      e.unit_qty = l.unit_qty;
      e.qty = l.qty;
      e.amount = l.amount;
      e.inventory_value = l.value;
      e.proj_no = l.proj_no;
      PostSalesLog(d_, e);
    }
  }

 private:
  // The item row exists: the line's costing type was read from it.
  void ReturnItemStock(const ReturnLine& l) {
    conn_.ChangeDeferred({"Item_Master",
                          {{"Item_Code", Value(l.item)}},
                          {{"Stock_In_Hand", l.base()}, {"Stock_Amount", l.value}},
                          {},
                          {}});
  }

  // The movement in carries the line's value itself, which the item's stock amount took, so the
  // stock and its movements agree to the last digit.
  void ReturnStockMovement(const ReturnLine& l, double q, double unit_cost) {
    auto move = NewModule("QLNInventory.StockMovement",
                          {{"AdoConnectionObject", Value(c_.AdoConnectionObject)},
                           {"CompanyPrefix", Value(c_.CompanyPrefix)},
                           {"BranchPrefix", Value(c_.BranchPrefix)},
                           {"DocumentPrefix", Value(c_.StockMovementPrefix)},
                           {"ItemCode", Value(l.item)},
                           {"ItemName", Value(l.item_name)},
                           {"UnitCode", Value(l.unit_code)},
                           {"UnitName", Value(l.unit)},
                           {"UnitQty", Value(l.unit_qty)},
                           {"InQty", Value(q)},
                           {"InAmount", Value(l.value)},
                           {"InPrice", Value(unit_cost)},
                           {"DocumentNo", Value(c_.SalesRtnNo)},
                           {"DocumentDate", Value(c_.SalesRtnDate)},
                           {"DocumentType", Value("IN")},
                           {"LocationID", Value(l.location_id)},
                           {"LocationName", Value(l.location_name)},
                           {"LastUpdate", d_.ledger.last_update}});
    if (!Trim(l.period).empty()) move->Set("PeriodType", l.period);
    Check(Call(move, "StockMovement", {Value(q)}));
  }

  // The inventory and cost-of-goods accounts, read once, and taken for the call in one order
  // before the ledger moves their balances. Missing preferences are told by their rows, so that
  // a database error while the account module reads them keeps its own text.
  void ReadAccounts() {
    if (accounts_read_) return;
    const Value company(c_.CompanyPrefix), branch(c_.BranchPrefix);
    auto rs = conn_.Query(
        "SELECT (SELECT COUNT(*) FROM Default_Account_Preferences WHERE Company_Prefix = ? AND "
        "Branch_Prefix = ?) AS Accounts, (SELECT COUNT(*) FROM Default_Sales_Preferences WHERE "
        "Branch_Prefix = ?) AS Sales, (SELECT COG_Account_No FROM Default_Sales_Preferences WHERE "
        "Branch_Prefix = ? LIMIT 1) AS Cog",
        {company, branch, branch, branch});
    Row r = rs.front();
    if (r.Int64("Accounts") == 0) throw Error("Set Default Account Preferences");
    if (r.Int64("Sales") == 0)
      throw Error("Set the Sales default settings in the Sales Preferences");
    cost_of_goods_ = r.Text("Cog");
    auto prefs = NewModule("QLNAccounts.AccountPreferences",
                           {{"AdoConnectionObject", Value(c_.AdoConnectionObject)},
                            {"ConnectionString", Value(conn_.ConnectionString)}});
    Check(Call(prefs, "Get_Account_Preferences", {company, branch}));
    inventory_ = prefs->Get("InventoryAccountNo").ToText();
    conn_.PrefetchRows("Chart_Of_Accounts", "Account_No",
                       {Value(inventory_), Value(cost_of_goods_)}, true);
    accounts_read_ = true;
  }

  // Inventory debited and cost of goods credited by the line's value; the foreign side is the
  // line's base quantity at its unit cost.
  void PostReturnCost(const ReturnLine& l, double fc_value) {
    ReadAccounts();
    const std::string code = convert::Mid(Trim(l.item), 3);
    Check(PostLedgerLine(d_.ledger, inventory_, "Inventory Account : Item Code - " + code, l.value,
                         0, fc_value, 0));
    Check(PostLedgerLine(d_.ledger, cost_of_goods_, "Cost Of Goods Account : ItemCode - " + code, 0,
                         l.value, 0, fc_value));
  }

  C& c_;
  Connection& conn_;
  SaleDocument d_;
  bool accounts_read_ = false;
  std::string inventory_, cost_of_goods_;
};

}  // namespace

bool SalesReturn::Return_Process() {
  if (Trim(SalesRtnNo).empty()) return Fail("Invalid Sales Return");
  if (!connection_rule::IsOpen(AdoConnectionObject)) return Fail("Invalid Connection Object");
  return Trap([&] {
    if (!Get_Sales_Rtn()) return false;
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocFlag, manualDocIdentity};
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, SalesRtnNo)) return Fail(*err);
    const std::string temporary = numbering.temporary_number();
    // The caller's kind and the stored one name the same source, or the goods would come back
    // against one kind and be credited (or not) as the other.
    const std::string kind = SourceKind(*this);
    if (!Trim(SalesInvoiceType).empty() && !Trim(RefDocType).empty() &&
        Trim(SalesInvoiceType) != Trim(RefDocType))
      return Fail("Invalid Source Document Type '" + Trim(SalesInvoiceType) + "'");
    if (mode.KeepsStoredIdentity()) {
      // Only a return numbered off-line waits for its postings; one posted already, or still
      // under its temporary number, would post its goods twice.
      if (!IsFinalNumber(temporary) || !numbering.stored().Flag("Processed_Flag"))
        return Fail("A sales return is synchronised once it is processed off-line");
      // The header is taken for the call first: a second synchronisation at the same time waits
      // here and then finds the postings.
      conn->Execute("UPDATE Sales_Return_Master SET Processed_Flag = 1 WHERE Sales_Rtn_No = ?",
                    {Value(temporary)});
      if (HasPostings(*conn, temporary)) return Fail("Already Processed");
      // A return numbered off-line keeps the stamp it was given then.
      if (auto when = convert::ParseDate(numbering.stored().Text("Last_Update")))
        LastUpdate = *when;
    } else if (IsFinalNumber(temporary) || numbering.stored().Flag("Processed_Flag")) {
      return Fail("Already Processed");
    }
    auto lines = ReadReturnLines(*conn, temporary);
    CheckLines(lines);
    CheckFigures(*this, lines);
    if (mode.UpdatesSources()) ValueLines(*this, *conn, kind, lines);
    auto prefs = conn->Query(
        "SELECT Generate_Credit_Memo FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
        {Value(BranchPrefix)});
    const bool credit_memo = !prefs.empty() && prefs.front().Flag("Generate_Credit_Memo");

    numbering.Assign(AdoConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, mode,
                     Record().Set("Processed_Flag", 1).Set("Allow_Cancel_Flag", 0),
                     Stamp(kTables.master_table, LastUpdate),
                     Stamp(kTables.detail_table, LastUpdate));
    SalesRtnIdentity = numbering.identity();
    SalesRtnNo = numbering.number();
    conn = connection_rule::ObjectOnly(AdoConnectionObject);

    // The sources and the location took the goods back when the return was numbered: a
    // synchronisation does not give them back twice.
    if (mode.UpdatesSources() && !UpdateReturnSource()) return false;
    ReturnPosting posting(*this, *conn);
    if (mode.Posts()) posting.Lines(lines);
    if (mode.UpdatesSources()) posting.LocationStock(lines);
    if (mode.Posts()) {
      posting.SalesLog(lines);
      // Goods delivered and not yet billed owe the customer nothing back.
      // A return given its credit memo before it was synchronised is not given another.
      const std::string ref_kind = Trim(RefDocType);
      const bool credited = !Trim(numbering.stored().Text("Voucher_No")).empty();
      if (ref_kind != "DDL" && ref_kind != "DEL" && credit_memo && !credited) {
        std::string number = SalesRtnNo;
        if (!Generate_Credit_Memo(number)) return false;
      }
    }
    // Off-line too: the next return never takes this number again.
    if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

bool SalesReturn::UpdateReturnSource() {
  return Trap([&] {
    std::string source = Trim(RefNo);
    if (source.empty()) return true;
    // A return with a source always names where its goods come back from: goods whose source
    // lines kept no count could be returned again.
    std::string kind = SourceKind(*this);
    if (!SourceOf(kind)) return Fail("Invalid Source Document Type '" + kind + "'");
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    auto rs = conn->Query(
        "SELECT Item_Code, Sales_Rtn_Qty, Unit_Qty, Ref_SL_No FROM Sales_Return_Detail WHERE "
        "Sales_Rtn_No = ? ORDER BY SL_No",
        {Value(Trim(SalesRtnNo))});
    for (std::size_t i = 0; i < rs.size(); ++i) {
      Row r = rs[i];
      double quantity = r.Double("Sales_Rtn_Qty") * r.Double("Unit_Qty");
      std::string item = r.Text("Item_Code");
      std::int32_t serial = r.Int32("Ref_SL_No");
      if (!Update_Source(AdoConnectionObject, source, quantity, kind, item, serial)) return false;
    }
    return true;
  });
}

bool SalesReturn::Update_Source(ConnectionRef& Cn, std::string& pDocNo, double& pQty,
                                std::string& pSource, std::string& pItemCode,
                                std::int32_t& pRefSLNO) {
  return Trap([&] {
    const SourceTable* s = SourceOf(Trim(pSource));
    if (!s) return true;
    auto conn = connection_rule::ObjectOnly(Cn);
    const std::string doc = Trim(pDocNo);
    const std::string shown = Trim(pItemCode).size() > 2 ? CodeOf(pItemCode) : Trim(pItemCode);
    const std::string where =
        std::string(" WHERE ") + s->number + " = ? AND Item_Code = ? AND " + "SL_No = ?";
    const bool invoice = std::string_view(s->code) == "INV";
    // The customer the source must be of comes where its condition stands.
    const bool by_customer = std::string_view(s->open).find('?') != std::string_view::npos;
    auto with_customer = [&](std::vector<Value> params, std::size_t at) {
      if (by_customer)
        params.insert(params.begin() + static_cast<std::ptrdiff_t>(at), Value(Trim(CustomerCode)));
      return params;
    };
    auto rs = conn->Query(std::string("SELECT Return_Qty, ") + s->quantity + " * " + kUnitOrOne +
                              " AS Base, CASE WHEN 1 = 1" + s->open + " THEN 1 ELSE 0 END AS Open" +
                              (invoice ? ", Delivery_No" : "") + " FROM " + s->detail + where,
                          with_customer({Value(doc), Value(pItemCode), Value(pRefSLNO)}, 0));
    if (rs.empty())
      return Fail("Invalid Item Details: " + doc + " has no line " + std::to_string(pRefSLNO) +
                  " of item " + shown);
    Row line = rs.front();
    if (line.Int32("Open") == 0)
      return Fail("Invalid Item Details: line " + std::to_string(pRefSLNO) + " of " + doc +
                  " takes no goods back (not processed, another customer's, or billed or paid "
                  "since: they come back against the invoice or the cash memo)");
    const double base = line.Double("Base");
    const double before = line.Double("Return_Qty");
    const double after = before + pQty;
    const double tolerance = Tolerance(base);
    // Goods come back once: never more than the line took out, and never a negative quantity.
    const std::string too_much =
        "Invalid Item Details: line " + std::to_string(pRefSLNO) + " of " + doc + " has " +
        convert::NumberToText(convert::RoundHalfEven(base - before, 6)) + " of item " + shown +
        " left to return, not " + convert::NumberToText(pQty);
    if (!Storable(pQty) || !(pQty > 0) || !Storable(base) || after > base + tolerance)
      return Fail(too_much);
    const bool all_returned = invoice && after >= base - tolerance;
    // The same bound once more as the row is written: another return of the same line since it
    // was read fails the call instead of returning the goods twice.
    conn->ExecuteExpecting(
        std::string("UPDATE ") + s->detail + " SET Return_Qty = Return_Qty + ?, Last_Update = ?" +
            (all_returned ? ", parentsalesInv_allitemsreturned = 1" : "") + where + s->open +
            " AND Return_Qty + ? <= " + s->quantity + " * " + kUnitOrOne + " + ?",
        with_customer({Value(pQty), Stamp(s->detail, LastUpdate), Value(doc), Value(pItemCode),
                       Value(pRefSLNO), Value(pQty), Value(tolerance)},
                      5),
        1, too_much);
    if (all_returned && !Trim(line.Text("Delivery_No")).empty()) {
      // The delivery's other invoice lines of the item that bill just as much, none of it
      // returned, are marked all returned with it.
      const auto whole = static_cast<std::int64_t>(convert::RoundHalfEven(after));
      conn->ExecuteDeferred(
          "UPDATE Sales_Invoice_Detail SET parentsalesInv_allitemsreturned = 1 WHERE Delivery_No "
          "= ? AND Item_Code = ? AND Return_Qty = 0 AND ABS(Sales_Inv_Qty * Unit_Qty - ?) <= ?",
          {Value(Trim(line.Text("Delivery_No"))), Value(pItemCode),
           Value(static_cast<double>(whole)), Value(Tolerance(static_cast<double>(whole)))});
    }
    return true;
  });
}

}  // namespace qlnsales
