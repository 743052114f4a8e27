#include "server/builtins.h"

#include "qlnsales/customer.h"
#include "qlnsales/grid.h"
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
  services::RegisterServices(add);
}

}  // namespace qlnsales
