// Cash memo processing: the final number, the source document paid, and by the working mode the
// sales log, the sales, discount, tax and payment postings, the cheque, and the goods out of
// stock at cost.
#include <cmath>
#include <map>

#include "base/convert.h"
#include "db/record.h"
#include "documents/cash_memo/payment.h"
#include "documents/document_support.h"
#include "documents/goods_out.h"
#include "documents/sales_postings.h"
#include "frame/numbering.h"
#include "qlnsales/cash_memo.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = CashMemo;

const NumberingTables kTables{"Cash_Memo_Master",
                              "Cash_Memo_No",
                              "Cash_Memo_Identity",
                              "Cash_Memo_Detail",
                              "Cash_Memo_No",
                              "Invalid Cash Memo No",
                              "Error while Processing, Invalid Temporary Cash Memo No."};

// A stock line is valued at its cost; the location's stock counts the line's own units.
const GoodsColumns kGoods{"Cash_Memo_Detail",     "Cash_Memo_No", "Cash_Memo_Qty", nullptr,
                          "Cash_Memo_Unit_Price", false};

const CostLabels kCostLabels{"Inventory Account : ItemCode - ",
                             "Cost of Goods Account : ItemCode - ",
                             "Free of Cost Account : ItemCode - "};
const CostLabels kPointOfSaleLabels{
    "Inventory Account : Item Code - ", "Cost Of Goods Sales Account : Item Code - ",
    "Free of Cost Sales Account : Item Code - ", "POS Sales Return"};

bool PointOfSale(const C& c) {
  return IsPointOfSale(c.ReferencePrefix);
}

// The source the memo settles, by the name it gives.
enum class SourceKind { kNone, kOrder, kDelivery, kDirectDelivery };

SourceKind SourceOf(const C& c) {
  const std::string name = convert::UCase(Trim(c.ReferenceDocumentName));
  if (name == "SALES ORDER") return SourceKind::kOrder;
  if (name == "DELIVERY") return SourceKind::kDelivery;
  if (name == "DIRECT DELIVERY") return SourceKind::kDirectDelivery;
  return SourceKind::kNone;
}

// A line of the memo as processing reads it once.
struct MemoLine {
  GoodsLine goods;
  double amount = 0, fc_amount = 0, unit_price = 0, delivered = 0;
  std::optional<double> stock_out;  // the part that leaves stock with the memo, when kept
};

std::vector<MemoLine> ReadMemoLines(Connection& conn, const std::string& number) {
  const auto rows = ReadLinesWithItems(conn, kGoods, number);
  auto goods = GoodsLines(rows, kGoods);
  std::vector<MemoLine> lines;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Row r = rows[i];
    MemoLine l;
    l.goods = std::move(goods[i]);
    l.amount = r.Double("Cash_Memo_Item_Amount");
    l.fc_amount = r.Double("Cash_Memo_FC_Item_Amount");
    l.unit_price = r.Double("Cash_Memo_Unit_Price");
    l.delivered = r.Double("Cash_Memo_Delivered_Qty");
    if (!r.IsNull("Stock_Out_Qty")) l.stock_out = r.Double("Stock_Out_Qty");
    lines.push_back(std::move(l));
  }
  return lines;
}

bool Returned(const C& c, const MemoLine& l) {
  return PointOfSale(c) && l.goods.qty < 0;
}

// The postings can only balance when the total is the lines less the header discount plus the
// tax, both of which are posted only when above 0: a memo whose figures disagree is refused before
// anything is written. Lines are required: a memo without any has nothing to number.
void CheckFigures(const C& c, const std::vector<MemoLine>& lines) {
  if (lines.empty()) throw Error("Error while Processing, Invalid Temporary Cash Memo No.");
  double sales = 0;
  for (const auto& l : lines) {
    if (!Storable(l.amount) || !Storable(l.fc_amount) || !Storable(l.goods.qty) ||
        !Storable(l.goods.qty * l.goods.unit_qty))
      throw Error("Invalid Item Details");
    sales += Returned(c, l) ? -std::fabs(l.amount) : l.amount;
  }
  if (!Storable(c.CashMemoDiscAmount) || c.CashMemoDiscAmount < 0 ||
      !Storable(c.CashMemoFcDiscAmount) || c.CashMemoFcDiscAmount < 0)
    throw Error("Invalid Discount Amount");
  if (!Storable(c.CashMemoTaxAmount) || c.CashMemoTaxAmount < 0) throw Error("Invalid Tax Amount");
  if (c.CashMemoTaxAmount > 0 && Trim(c.TaxCode).empty()) throw Error("Invalid Tax Code");
  const double expected = sales - c.CashMemoDiscAmount + c.CashMemoTaxAmount;
  // Posted as given, so it must agree to the last digit; what is left is the sums' own noise.
  const double tolerance = 1e-9 * std::max(1.0, std::fabs(expected));
  if (!Storable(c.CashMemoTotalAmount) || !Storable(c.CashMemoFCTotalAmount) ||
      std::fabs(expected - c.CashMemoTotalAmount) > tolerance)
    throw Error("The cash memo's total " + convert::NumberToText(c.CashMemoTotalAmount) +
                " is not its lines less the discount plus the tax (" +
                convert::NumberToText(convert::RoundHalfEven(expected, 10)) + ")");
}

// The source document paid.
void MarkSourcePaid(const C& c, Connection& conn) {
  const SourceKind kind = SourceOf(c);
  if (kind == SourceKind::kNone) return;
  const char* master = kind == SourceKind::kOrder      ? "Sales_Order_Master"
                       : kind == SourceKind::kDelivery ? "Delivery_Master"
                                                       : "Direct_Delivery_Master";
  const char* key = kind == SourceKind::kOrder      ? "Sales_Ord_No"
                    : kind == SourceKind::kDelivery ? "Delivery_No"
                                                    : "Direct_Delivery_No";
  Record()
      .Set("Paid_Flag", 1)
      .Set("Last_Update", Stamp(master, c.LastUpdate))
      .Update(conn, master, Record().Set(key, Trim(c.ReferenceNo)));
  // The memo pays the whole order: its deliveries are paid with it, so no invoice bills them.
  if (kind == SourceKind::kOrder)
    conn.ExecuteDeferred(
        "UPDATE Delivery_Master SET Paid_Flag = 1, Last_Update = ? WHERE Source_No = ?",
        {Stamp("Delivery_Master", c.LastUpdate), Value(Trim(c.ReferenceNo))});
}

// A source is paid by one memo, and a delivery (or an order with a delivery) billed by an invoice
// is not paid again by a memo: the customer would pay twice for the same goods. (Its paid flag
// alone does not tell: the front end may mark the source paid before it processes the memo.)
void RefuseSettledSource(const C& c, Connection& conn, const std::string& number) {
  const SourceKind kind = SourceOf(c);
  if (kind == SourceKind::kNone) return;
  const Value source(Trim(c.ReferenceNo));
  if (!conn.Query("SELECT Cash_Memo_No FROM Cash_Memo_Master WHERE Reference_No = ? AND "
                  "Cash_Memo_No <> ? AND process_Flag <> 0",
                  {source, Value(number)})
           .empty())
    throw Error("Already Processed");
  // An order is billed by invoicing its deliveries.
  const char* sql =
      kind == SourceKind::kOrder
          ? "SELECT MAX(Invoiced_Flag) AS Invoiced_Flag FROM Delivery_Master WHERE Source_No = ?"
      : kind == SourceKind::kDelivery
          ? "SELECT Invoiced_Flag FROM Delivery_Master WHERE Delivery_No = ?"
          : "SELECT Invoiced_Flag FROM Direct_Delivery_Master WHERE Direct_Delivery_No = ?";
  auto rs = conn.Query(sql, {source});
  if (!rs.empty() && rs.front().Flag("Invoiced_Flag")) throw Error("Already Processed");
}

// A memo made from an order delivers what the order has not delivered yet, once, when it is
// numbered: each line's share is kept on the line (it is what leaves stock with the memo, then or
// at the synchronisation) and added to the order line's delivered quantity, so no later delivery
// takes the same goods out.
void DeliverOrderRest(const C& c, Connection& conn, std::vector<MemoLine>& lines) {
  if (SourceOf(c) != SourceKind::kOrder) return;
  const std::string number = Trim(c.ReferenceNo);
  auto order = conn.Query(
      "SELECT M.SL_No, O.SL_No AS Order_Line, O.Sales_Ord_Ordered_Qty, O.Sales_Ord_Delivered_Qty "
      "FROM Cash_Memo_Detail M JOIN Sales_Order_Detail O ON O.Sales_Ord_No = ? AND O.SL_No = "
      "M.Reference_SL_No WHERE M.Cash_Memo_No = ? ORDER BY M.SL_No",
      {Value(number), Value(c.CashMemoNo)});
  const Value stamp = Stamp("Sales_Order_Detail", c.LastUpdate);
  for (std::size_t i = 0; i < order.size(); ++i) {
    Row o = order[i];
    auto l = std::find_if(lines.begin(), lines.end(),
                          [&](const MemoLine& m) { return m.goods.sl_no == o.Int32("SL_No"); });
    if (l == lines.end() || l->stock_out) continue;  // kept already: never worked out twice
    const double rest = o.Double("Sales_Ord_Ordered_Qty") - o.Double("Sales_Ord_Delivered_Qty");
    const double share = std::max(0.0, std::min(l->goods.qty, rest));
    conn.ExecuteDeferred(
        "UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = Sales_Ord_Delivered_Qty + ?, "
        "Last_Update = ? WHERE Sales_Ord_No = ? AND SL_No = ?",
        {Value(share), stamp, Value(number), Value(o.Int32("Order_Line"))});
    conn.ExecuteDeferred(
        "UPDATE Cash_Memo_Detail SET Stock_Out_Qty = ? WHERE Cash_Memo_No = ? AND SL_No = ?",
        {Value(share), Value(c.CashMemoNo), Value(l->goods.sl_no)});
    l->stock_out = share;
  }
}

// The accounts of the preferences, read once: the branch's sales preferences (their missing is
// their own failure), the company's discount account and its cash memo account. They are taken
// for the call at once, in one order, before the ledger moves their balances.
struct SalesAccounts {
  std::string sales, discount, cash, cost_of_goods, free_of_cost;
};

SalesAccounts SalesPreferences(Connection& conn, const C& c) {
  const Value company(c.CompanyPrefix), branch(c.BranchPrefix);
  auto rs = conn.Query(
      "SELECT Cash_Sales_Account_No, COG_Account_No, FOC_Account_No, (SELECT "
      "Sales_Disc_Account_No FROM Default_Sales_Preferences WHERE Company_Prefix = ? AND "
      "Branch_Prefix = ? LIMIT 1) AS Discount, (SELECT Cash_Memo_Account_No FROM "
      "Default_Account_Preferences WHERE Company_Prefix = ? AND Branch_Prefix = ? LIMIT 1) AS "
      "Cash FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
      {company, branch, company, branch, branch});
  if (rs.empty()) throw Error("Set the Sales default settings in the Sales Preferences");
  Row r = rs.front();
  SalesAccounts a{r.Text("Cash_Sales_Account_No"), Trim(r.Text("Discount")), Trim(r.Text("Cash")),
                  r.Text("COG_Account_No"), r.Text("FOC_Account_No")};
  conn.PrefetchRows("Chart_Of_Accounts", "Account_No",
                    {Value(a.sales), Value(a.discount), Value(a.cash), Value(a.cost_of_goods),
                     Value(a.free_of_cost)},
                    true);
  return a;
}

class Posting {
 public:
  Posting(C& c, Connection& conn)
      : c_(c),
        conn_(conn),
        d_{{c.AdoDBConnectionObject, c.CashMemoNo, c.DocumentPrefix, c.CashMemoDate, c.CurrencyCode,
            c.CurrencySymbol, c.ForeignCurrencyFlag, Value(c.LastUpdate)},
           c.CompanyPrefix,
           c.BranchPrefix,
           c.ADOConnectionString,
           c.CustomerCode,
           c.CashMemoComments,
           c.AmtDig},
        h_(d_.ledger) {}

  void Run(std::vector<MemoLine>& lines) {
    for (const auto& l : lines) {
      SalesLog(l);
      SalesLine(l);
    }
    if (PointOfSale(c_)) PointOfSaleStock(lines);
    if (c_.CashMemoDiscAmount > 0) Discount();
    Tax();
    const Payment payment = PaymentOf(c_.PaymentType);
    if (payment == Payment::kCash) {
      Cash();
    } else {
      Receivable();
      if (!c_.Cheque_Process()) throw Error(c_.ErrDesc());
    }
    if (!PointOfSale(c_)) GoodsOut(lines);
  }

 private:
  void SalesLog(const MemoLine& l) {
    const GoodsLine& g = l.goods;
    SalesLogEntry e;
    e.log_prefix = c_.SalesLogPrefix;
    e.ref_prefix = c_.ReferencePrefix;
    e.item = g.item;
    e.item_name = g.item_name;
    e.unit = g.unit;
    e.unit_code = g.unit_code;
    e.foc = g.foc;
    e.unit_qty = g.unit_qty;
    e.qty = g.qty;
    e.amount = l.amount;
    PostSalesLog(d_, e);
  }

  const SalesAccounts& Sales() {
    if (!sales_) sales_ = SalesPreferences(conn_, c_);
    return *sales_;
  }

  void SalesLine(const MemoLine& l) {
    const std::string label = "Sales Account : ItemCode - " + CodeOf(l.goods.item);
    if (Returned(c_, l))
      Check(PostLedgerLine(h_, Sales().sales, label, std::fabs(l.amount), 0, std::fabs(l.fc_amount),
                           0, "POS Sales Return"));
    else
      Check(PostLedgerLine(h_, Sales().sales, label, 0, l.amount, 0, l.fc_amount));
  }

  void Discount() {
    const std::string& account = Sales().discount;
    if (account.empty()) throw Error("Invalid Default Discount Account");
    Check(PostLedgerLine(h_, account, "Discount Account", c_.CashMemoDiscAmount, 0,
                         c_.CashMemoFcDiscAmount, 0, c_.CashMemoComments));
  }

  void Tax() { PostTax(d_, c_.TaxCode, c_.CashMemoTaxPercent, c_.CashMemoTaxAmount); }

  void Cash() {
    const std::string& account = Sales().cash;
    if (account.empty()) throw Error("Invalid Default Cash Memo Account");
    Check(PostLedgerLine(h_, account, "Cash Memo Account", c_.CashMemoTotalAmount, 0,
                         c_.CashMemoFCTotalAmount, 0, c_.CashMemoComments));
  }

  void Receivable() {
    PostReceivable(d_, Prefs()->Get("ARAccountNo").ToText(), c_.CashMemoTotalAmount,
                   c_.CashMemoFCTotalAmount);
  }

  const ObjectRef& Prefs() {
    if (!prefs_) {
      prefs_ = AccountPreferences(d_, "QLNAccounts.AccountPreferences");
      conn_.PrefetchRows("Chart_Of_Accounts", "Account_No",
                         {prefs_->Get("ARAccountNo"), prefs_->Get("InventoryAccountNo")}, true);
    }
    return prefs_;
  }

  CostAccounts Costs() {
    return {Prefs()->Get("InventoryAccountNo").ToText(), Sales().cost_of_goods,
            Sales().free_of_cost};
  }

  GoodsDocument Document() const {
    return {c_.AdoDBConnectionObject,
            c_.CompanyPrefix,
            c_.BranchPrefix,
            c_.StockMovementPrefix,
            c_.CashMemoNo,
            c_.CashMemoDate,
            std::string(),
            Value(c_.LastUpdate)};
  }

  // What a line takes out of stock: nothing when a delivery took (or takes) its goods out, the
  // order's undelivered share for a memo made from an order, else the whole line.
  double StockOut(const MemoLine& l) const {
    const SourceKind kind = SourceOf(c_);
    if (kind == SourceKind::kDelivery || kind == SourceKind::kDirectDelivery) return 0;
    return l.stock_out ? *l.stock_out : l.goods.qty;
  }

  void GoodsOut(std::vector<MemoLine>& lines) {
    const GoodsDocument doc = Document();
    std::vector<GoodsLine> out;
    for (const auto& l : lines) {
      if (!l.goods.stock()) continue;
      GoodsLine g = l.goods;
      g.qty = StockOut(l);
      if (g.qty == 0) continue;
      out.push_back(std::move(g));
    }
    if (out.empty()) return;
    LockItems(doc, out);
    const CostAccounts accounts = Costs();
    const bool from_order = SourceOf(c_) == SourceKind::kOrder;
    for (auto& g : out) {
      LocationStockOut(doc, kGoods, g);
      TakeLineOut(doc, g);
      PostCostPair(h_, accounts, kCostLabels, g, g.value);
      KeepLineValue(doc, kGoods, g);
      // What the memo delivers of an order is no longer on order, as with a delivery.
      if (from_order)
        Check(MoveOrderedQty(c_.AdoDBConnectionObject, c_.BranchPrefix, g.item, g.unit_qty * g.qty,
                             "Decrease"));
    }
    for (const auto& g : out) MovementOut(doc, g);
  }

  // The point of sale moves each stock line's delivered quantity (goods coming back are
  // negative) at the memo's own location, and values every other line at its price.
  void PointOfSaleStock(std::vector<MemoLine>& lines) {
    const GoodsDocument doc = Document();
    std::vector<GoodsLine> moved;
    for (auto& l : lines) {
      GoodsLine g = l.goods;
      if (!g.stock()) {
        g.value = l.unit_price;
        KeepLineValue(doc, kGoods, g);
        continue;
      }
      g.qty = l.delivered;
      moved.push_back(std::move(g));
    }
    if (moved.empty()) return;
    LockItems(doc, moved);
    for (auto& g : moved) {
      auto reduce = NewModule("QLNInventory.ReduceStock",
                              {{"AdoConnectionObject", Value(c_.AdoDBConnectionObject)},
                               {"BranchPrefix", Value(c_.BranchPrefix)},
                               {"ItemCode", Value(g.item)},
                               {"UnitName", Value(g.unit)},
                               {"UnitQty", Value(g.unit_qty)},
                               {"UnitPrice", Value(g.fallback)},
                               {"PointOfSale", Value(true)},
                               {"LastUpdate", Value(c_.LastUpdate)}});
      Check(Call(reduce, "ReduceStockInHand", {Value(g.qty)}));
      if (IsStockType(reduce->Get("ItemType").ToInt32()))
        g.value = reduce->Get("SellingValue").ToDouble();
      KeepLineValue(doc, kGoods, g);
    }
    for (const auto& g : moved) MovementOut(doc, g);
    // The point of sale asks the account module by a name of its own; a host may serve it apart.
    auto prefs = AccountPreferences(d_, "QLNAccount.AccountPreferences");
    conn_.PrefetchRows("Chart_Of_Accounts", "Account_No", {prefs->Get("InventoryAccountNo")}, true);
    const CostAccounts accounts{prefs->Get("InventoryAccountNo").ToText(), Sales().cost_of_goods,
                                Sales().free_of_cost};
    for (const auto& g : moved) PostCostPair(h_, accounts, kPointOfSaleLabels, g, g.value);
    for (const auto& g : moved) {
      const double base = g.qty * g.unit_qty;
      Check(LocationOut(doc.conn, c_.CompanyPrefix, c_.BranchPrefix, g.item, g.item_name,
                        c_.LocationCode, c_.LocationName, std::fabs(base), g.unit, doc.stamp,
                        base < 0 ? 0 : 1));
    }
  }

  C& c_;
  Connection& conn_;
  SaleDocument d_;
  const LedgerHeader& h_;
  std::optional<SalesAccounts> sales_;
  ObjectRef prefs_;
};

}  // namespace

bool CashMemo::Process() {
  return Process_CashMemo();
}

bool CashMemo::Process_CashMemo() {
  HeaderOnly header_only(header_only_);
  return Trap([&] {
    if (!Get_CashMemo()) return false;
    // A memo paid otherwise would post a sale with nothing against it.
    if (PaymentOf(PaymentType) == Payment::kOther) return Fail("Invalid Payment Type");
    auto conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocFlag, manualDocIdentity};
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, CashMemoNo)) return Fail(*err);
    if (mode.KeepsStoredIdentity()) {
      // Only a memo numbered off-line waits for its postings; one posted under its temporary
      // number would be posted again once numbered.
      if (!IsFinalNumber(numbering.temporary_number()))
        return Fail("A cash memo is synchronised once it is processed off-line");
      if (HasPostings(*conn, numbering.temporary_number())) return Fail("Already Processed");
      // A memo numbered off-line keeps the stamp it was given then.
      if (auto when = convert::ParseDate(numbering.stored().Text("Last_Update")))
        LastUpdate = *when;
    } else if (IsFinalNumber(numbering.temporary_number())) {
      return Fail("Already Processed");
    }
    auto lines = ReadMemoLines(*conn, numbering.temporary_number());
    CheckFigures(*this, lines);
    if (mode.UpdatesSources()) RefuseSettledSource(*this, *conn, numbering.temporary_number());
    Record extra;
    extra.Set("process_Flag", 1).Set("Delivered_Flag", 1);
    if (PaymentOf(PaymentType) == Payment::kCash)
      extra.Set("Adjusted_Amount", CashMemoTotalAmount)
          .Set("Adjusted_FCAmount", CashMemoFCTotalAmount);
    numbering.Assign(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, mode,
                     std::move(extra), Stamp(kTables.master_table, LastUpdate),
                     Stamp(kTables.detail_table, LastUpdate));
    CashMemoIdentity = numbering.identity();
    CashMemoNo = numbering.number();
    conn = connection_rule::ObjectOnly(AdoDBConnectionObject);

    if (mode.UpdatesSources()) {
      MarkSourcePaid(*this, *conn);
      DeliverOrderRest(*this, *conn, lines);
    }
    if (mode.Posts()) Posting(*this, *conn).Run(lines);
    // The memo is posted: a counter that cannot be settled is reported but does not undo it.
    if (auto err = numbering.Settle()) Fail(*err);
    return true;
  });
}

bool CashMemo::Cheque_Process() {
  HeaderOnly header_only(header_only_);
  return Trap([&] {
    if (!Get_CashMemo()) return false;
    if (ModeOf(OnlineFlag, SyncFlag) == WorkingMode::kOffline) return true;  // recorded later
    const Payment payment = PaymentOf(PaymentType);
    if (payment != Payment::kCheque && payment != Payment::kCreditCard)
      return Fail("Invalid Payment Type");
    // Recorded under the memo's final number, which the register keeps as its source.
    if (!IsFinalNumber(Trim(CashMemoNo)))
      return Fail("A cash memo's cheque is recorded when the memo is processed");
    // One record per memo: a second would count the payment twice.
    if (!AdoDBConnectionObject
             ->Query("SELECT PDC_ID FROM PDC_Master WHERE Source_No = ? AND Transaction_Type = ?",
                     {Value(CashMemoNo), Value("Cash Memo")})
             .empty())
      return Fail("Already Processed");
    const bool card = payment == Payment::kCreditCard;
    auto pdc = NewModule("QLNBank.PDC", {{"AdoConnectionObject", Value(AdoDBConnectionObject)},
                                         {"CompanyPrefix", Value(CompanyPrefix)},
                                         {"BranchPrefix", Value(BranchPrefix)},
                                         {"DocumentPrefix", Value("PDC")},
                                         {"TransactionType", Value("Cash Memo")},
                                         {"BankName", Value(ChequeBank)},
                                         {"ChequeNo", Value(ChequeNo)},
                                         {"PDCDate", Value(CashMemoDate)},
                                         {"PDCDueDate", Value(card ? CashMemoDate : ChequeDate)},
                                         {"CreditCardNo", Value(card ? CreditCardNo : "")},
                                         {"CreditCardName", Value(card ? CreditCardName : "")},
                                         {"CreditCardCode", Value(card ? CreditCardCode : "")},
                                         {"ChequeAmount", Value(CashMemoTotalAmount)},
                                         {"Cleared", Value("No")},
                                         {"CustomerID", Value(CustomerCode)},
                                         {"CustomerName", Value(CustomerName)},
                                         {"SourceNo", Value(CashMemoNo)},
                                         {"SourcePrefix", Value(DocumentPrefix)},
                                         {"Status", Value("Outstanding")},
                                         {"ForeignCurrencyFlag", Value(ForeignCurrencyFlag)},
                                         {"CurrencyCode", Value(CurrencyCode)},
                                         {"ChequeFCAmount", Value(CashMemoFCTotalAmount)}});
    if (!CashMemoComments.empty()) pdc->Set("PDCComments", CashMemoComments);
    pdc->Set("LastUpdate", convert::FormatDayMonthName(LastUpdate));
    if (auto err = Call(pdc, "Create_PDC")) return Fail(*err);
    return true;
  });
}

bool CashMemo::Update_Source_Document() {
  return Trap([&] {
    MarkSourcePaid(*this, *connection_rule::ObjectOnly(AdoDBConnectionObject));
    return true;
  });
}

}  // namespace qlnsales
