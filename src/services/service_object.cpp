#include "services/service_object.h"

#include "services/system/counter_transaction.h"

namespace qlnsales::services {

const Value& ServiceObject::P(std::string_view name) const {
  static const Value kEmpty;
  auto it = values_.find(convert::LCase(name));
  return it == values_.end() ? kEmpty : it->second;
}

ConnectionRef ServiceObject::ConnectionObject() const {
  auto obj = std::dynamic_pointer_cast<Connection>(P("AdoConnectionObject").ToObject());
  return connection_rule::ObjectOnly(obj);
}

Value ServiceObject::DateOrNull(std::string_view name) const {
  const Value& v = P(name);
  return v.IsEmpty() ? Value() : Value(v.ToDate());
}

// Defined beside each module.
ObjectRef NewGeneral();
ObjectRef NewCurrency();
ObjectRef NewGeneralLedger();
ObjectRef NewAccountsReceivable();
ObjectRef NewAccountPreferences();
ObjectRef NewDebitCreditNote();
ObjectRef NewInventory();
ObjectRef NewLocationStock();
ObjectRef NewReduceStock();
ObjectRef NewStockMovement();
ObjectRef NewSalesLog();
ObjectRef NewPDC();

void RegisterServices(const std::function<void(std::string_view, Factory)>& add) {
  add("QLNSystem.General", NewGeneral);
  add("QLNSystem.CounterTransaction", [] { return std::make_shared<CounterTransaction>(); });
  add("QLNCurrency.Currency", NewCurrency);
  add("QLNAccounts.GeneralLedger", NewGeneralLedger);
  add("QLNAccounts.AccountsReceivable", NewAccountsReceivable);
  add("QLNAccounts.AccountPreferences", NewAccountPreferences);
  // The cash memo's point-of-sale pass spells the module this way.
  add("QLNAccount.AccountPreferences", NewAccountPreferences);
  add("QLNAccountsExt.DebitCreditNote", NewDebitCreditNote);
  add("QLNInventory.Inventory", NewInventory);
  add("QLNInventory.LocationStock", NewLocationStock);
  add("QLNInventory.ReduceStock", NewReduceStock);
  add("QLNInventory.StockMovement", NewStockMovement);
  add("QLNInventory.SalesLog", NewSalesLog);
  add("QLNBank.PDC", NewPDC);
}

}  // namespace qlnsales::services
