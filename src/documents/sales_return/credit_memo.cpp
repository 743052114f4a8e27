// PLACEHOLDER: the credit memo is being built.
#include "qlnsales/sales_return.h"

namespace qlnsales {

bool SalesReturn::Generate_Credit_Memo(std::string&) { return Fail("not built yet"); }
bool SalesReturn::Create_Voucher_Master(std::string&, std::string&) {
  return Fail("not built yet");
}
bool SalesReturn::Create_Voucher_Detail(std::string&, std::string&, std::string&, std::string&,
                                        std::string&, double&, double&, bool&, std::string&,
                                        std::string&, std::string&, std::int16_t&) {
  return Fail("not built yet");
}
bool SalesReturn::Process_CreditMemo(std::string&, double&, bool&) {
  return Fail("not built yet");
}

}  // namespace qlnsales
