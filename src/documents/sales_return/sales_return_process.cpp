// PLACEHOLDER: return processing is being built.
#include "qlnsales/sales_return.h"

namespace qlnsales {

bool SalesReturn::Return_Process() { return Fail("not built yet"); }
bool SalesReturn::UpdateReturnSource() { return Fail("not built yet"); }
bool SalesReturn::Update_Source(ConnectionRef&, std::string&, double&, std::string&, std::string&,
                                std::int32_t&) {
  return Fail("not built yet");
}

}  // namespace qlnsales
