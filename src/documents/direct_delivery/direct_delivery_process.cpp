// Direct delivery processing: the final number, goods out of stock at cost, and cost postings on
// the items' own accounts with foreign-currency amounts at the delivery date's rate.
#include <map>

#include "base/convert.h"
#include "documents/goods_out.h"
#include "documents/layouts.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

const CostLabels kCostLabels{"Inventory Account : Item Code - ",
                             "Cost Of Goods Account : Item Code - ",
                             "Free of Cost Account : Item Code - "};

const NumberingTables kTables{"Direct_Delivery_Master",
                              "Direct_Delivery_No",
                              "Direct_Delivery_Identity",
                              "Direct_Delivery_Detail",
                              "Direct_Delivery_No",
                              "Invalid Delivery No",
                              ""};  // a delivery without lines is no error

// An item the stock module does not keep is valued at the line's amount; the location's stock
// counts base units.
const GoodsColumns kGoods{"Direct_Delivery_Detail",      "Direct_Delivery_No",
                          "Direct_Delivery_Qty",         nullptr,
                          "Direct_Delivery_Item_Amount", true};

// The cost pairs of a delivery's lines, on each item's own accounts (read once per item), with the
// foreign amount at the delivery date's rate.
class Costs {
 public:
  explicit Costs(DirectDelivery& d)
      : d_(d), h_{d.AdoDBConnectionObject, d.DirectDeliveryNo, d.DocumentPrefix,
                  d.DirectDeliveryDate,    d.CurrencyCode,     d.CurrencySymbol,
                  d.ForeignCurrencyFlag,   Value(d.LastUpdate)} {}

  void Post(const GoodsLine& l) {
    auto known = accounts_.find(l.item);
    if (known == accounts_.end()) {
      auto inventory = NewModule("QLNInventory.Inventory",
                                 {{"AdoConnectionObject", Value(d_.AdoDBConnectionObject)},
                                  {"ItemCode", Value(l.item)},
                                  {"CompanyPrefix", Value(d_.CompanyPrefix)},
                                  {"BranchPrefix", Value(d_.BranchPrefix)}});
      if (auto err = Call(inventory, "Get_Item_Account")) throw Error(*err);
      known = accounts_
                  .emplace(l.item, CostAccounts{inventory->Get("InventoryAccountNo").ToText(),
                                                inventory->Get("COGSAccountNo").ToText(),
                                                inventory->Get("FOCAccountNo").ToText()})
                  .first;
    }
    double fc = l.value;
    if (d_.ForeignCurrencyFlag) {
      if (!currency_)
        currency_ =
            NewModule("QLNCurrency.Currency", {{"ConnectionString", Value(d_.ADOConnectionString)},
                                               {"Database", Value(d_.Database)},
                                               {"RateDate", Value(d_.DirectDeliveryDate)}});
      std::vector<Value> args{Value(l.value), Value(d_.CurrencyCode), Value(0.0), Value()};
      fc = currency_->Invoke("Convert_Into_FC", args).ToDouble();
    }
    PostCostPair(h_, known->second, kCostLabels, l, fc);
  }

 private:
  DirectDelivery& d_;
  LedgerHeader h_;
  std::map<std::string, CostAccounts> accounts_;
  ObjectRef currency_;
};

}  // namespace

bool DirectDelivery::Process_Direct_Delivery() {
  if (Trim(DirectDeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    ReadMaster(*this, DirectDeliveryLayout(),
               *connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject));
    auto conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
    auto symbol = CurrencySymbolOf(*conn, CurrencyCode);
    if (!symbol) return Fail("Invalid Currency Code");
    CurrencySymbol = *symbol;
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, DirectDeliveryNo)) return Fail(*err);
    CompanyPrefix = numbering.stored().Text("Company_Prefix");
    BranchPrefix = numbering.stored().Text("Branch_Prefix");
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocFlag, manualDocIdentity};
    if (mode.KeepsStoredIdentity()) {
      if (HasPostings(*conn, numbering.temporary_number())) return Fail("Already Processed");
      // A delivery numbered off-line keeps the stamp it was given then.
      if (!numbering.stored().IsNull("Last_Update"))
        LastUpdate = numbering.stored().DateValue("Last_Update");
    }
    numbering.Assign(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, mode,
                     Record().Set("Processed_Flag", 1).Set("Allow_Cancel_Flag", 0),
                     Value(LastUpdate), Value(LastUpdate));
    DirectDeliveryIdentity = numbering.identity();
    DirectDeliveryNo = numbering.number();

    if (mode.Posts()) {
      conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
      const GoodsDocument doc{
          AdoDBConnectionObject, CompanyPrefix,      BranchPrefix, StockMovementPrefix,
          DirectDeliveryNo,      DirectDeliveryDate, "",           Value(LastUpdate)};
      auto lines = GoodsLines(ReadLinesWithItems(*conn, kGoods, DirectDeliveryNo), kGoods);
      LockItems(doc, lines);
      Costs costs(*this);
      // Line by line: out of stock, out of its location, its cost pair, its movement, its value.
      for (auto& l : lines) {
        if (!l.stock()) continue;
        TakeLineOut(doc, l);
        LocationStockOut(doc, kGoods, l);
        if (l.item_type == 0) costs.Post(l);  // type 3 moves stock but posts no cost
        MovementOut(doc, l);
        KeepLineValue(doc, kGoods, l);
      }
    }
    // Off-line deliveries settle the counter too, so the next one never reuses the number.
    if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

}  // namespace qlnsales
