#include "server/builtins.h"

#include "qlnsales/customer.h"
#include "qlnsales/grid.h"

namespace qlnsales {

template <class T>
static Factory Make() {
  return [] { return std::make_shared<T>(); };
}

void RegisterBuiltins(const std::function<void(std::string_view, Factory)>& add) {
  add("QLNSales.Connection", Make<Connection>());
  add("QLNSales.MemoryGrid", Make<MemoryGrid>());
  add("QLNSales.Customer", Make<Customer>());
}

}  // namespace qlnsales
