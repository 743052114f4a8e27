// The catalogue: every built-in class under its name, the only file that knows them all. The
// registry asks for this list on its first use (server/builtins.h).
#include "server/builtins.h"

#include "qlnsales/cash_memo.h"
#include "qlnsales/customer.h"
#include "qlnsales/customer_address.h"
#include "qlnsales/customer_ob.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/grid.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/sales_return.h"
#include "qlnsales/tax_authorities.h"
#include "qlnsales/tax_codes.h"
#include "services/service_object.h"

namespace qlnsales {

template <class T>
static Factory Make() {
  return [] { return std::make_shared<T>(); };
}

void RegisterBuiltins(const std::function<void(std::string_view, Factory)>& add) {
  add("QLNSales.Connection", Make<Connection>());
  add("QLNSales.MemoryGrid", Make<MemoryGrid>());
  add("QLNSales.Customer", Make<Customer>());
  add("QLNSales.CustomerAddress", Make<CustomerAddress>());
  add("QLNSales.CustomerAddresses", Make<CustomerAddresses>());
  add("QLNSales.CustomerOB", Make<CustomerOB>());
  add("QLNSales.SalesOrder", Make<SalesOrder>());
  add("QLNSales.Delivery", Make<Delivery>());
  add("QLNSales.DirectDelivery", Make<DirectDelivery>());
  add("QLNSales.CashMemo", Make<CashMemo>());
  add("QLNSales.SalesInvoice", Make<SalesInvoice>());
  add("QLNSales.SalesReturn", Make<SalesReturn>());
  add("QLNSales.TaxCodes", Make<TaxCodes>());
  add("QLNSales.TaxAuthorities", Make<TaxAuthorities>());
  services::RegisterServices(add);
}

}  // namespace qlnsales
