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

const NumberingTables kTables{"Direct_Delivery_Master",
                              "Direct_Delivery_No",
                              "Direct_Delivery_Identity",
                              "Direct_Delivery_Detail",
                              "Direct_Delivery_No",
                              "Invalid Delivery No",
                              ""};  // a delivery without lines is no error

// A line that moves no stock is valued at its amount and keeps no value; the location's stock
// counts base units.
const GoodsColumns kGoods{"Direct_Delivery_Detail",
                          "Direct_Delivery_No",
                          "Direct_Delivery_Qty",
                          nullptr,
                          "Direct_Delivery_Item_Amount",
                          false,
                          true};

// The cost pair of each costed line on its item's own accounts (read once per item), with the
// foreign amount at the delivery date's rate.
void PostCosts(DirectDelivery& d, const std::vector<GoodsLine>& lines) {
  std::map<std::string, CostAccounts> accounts;
  ObjectRef currency;
  const LedgerHeader h{d.AdoDBConnectionObject, d.DirectDeliveryNo, d.DocumentPrefix,
                       d.DirectDeliveryDate,    d.CurrencyCode,     d.CurrencySymbol,
                       d.ForeignCurrencyFlag,   Value(d.LastUpdate)};
  for (const auto& l : lines) {
    if (l.item_type != 0) continue;  // type 3 moves stock but posts no cost
    auto known = accounts.find(l.item);
    if (known == accounts.end()) {
      auto inventory = NewModule("QLNInventory.Inventory",
                                 {{"AdoConnectionObject", Value(d.AdoDBConnectionObject)},
                                  {"ItemCode", Value(l.item)},
                                  {"CompanyPrefix", Value(d.CompanyPrefix)},
                                  {"BranchPrefix", Value(d.BranchPrefix)}});
      if (auto err = Call(inventory, "Get_Item_Account")) throw Error(*err);
      known = accounts
                  .emplace(l.item, CostAccounts{inventory->Get("InventoryAccountNo").ToText(),
                                                inventory->Get("COGSAccountNo").ToText(),
                                                inventory->Get("FOCAccountNo").ToText()})
                  .first;
    }
    double fc = l.value;
    if (d.ForeignCurrencyFlag) {
      if (!currency)
        currency =
            NewModule("QLNCurrency.Currency", {{"ConnectionString", Value(d.ADOConnectionString)},
                                               {"Database", Value(d.Database)},
                                               {"RateDate", Value(d.DirectDeliveryDate)}});
      std::vector<Value> args{Value(l.value), Value(d.CurrencyCode), Value(0.0), Value()};
      fc = currency->Invoke("Convert_Into_FC", args).ToDouble();
    }
    PostCostPair(h, known->second, "Free of Cost Account : Item Code - ", l, fc);
  }
}

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
    numbering.Assign(AdoDBConnectionObject, {CompanyPrefix, BranchPrefix, DocumentPrefix}, mode,
                     Record().Set("Processed_Flag", 1).Set("Allow_Cancel_Flag", 0),
                     Value(LastUpdate), Value(LastUpdate));
    DirectDeliveryIdentity = numbering.identity();
    DirectDeliveryNo = numbering.number();

    if (mode.Posts()) {
      conn = connection_rule::ObjectOnly(AdoDBConnectionObject);
      auto lines = GoodsLines(ReadLinesWithItems(*conn, kGoods, DirectDeliveryNo), kGoods);
      TakeGoodsOut({AdoDBConnectionObject, CompanyPrefix, BranchPrefix, StockMovementPrefix,
                    DirectDeliveryNo, DirectDeliveryDate, "", Value(LastUpdate)},
                   kGoods, lines);
      PostCosts(*this, lines);
    }
    // Off-line deliveries settle the counter too, so the next one never reuses the number.
    if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

}  // namespace qlnsales
