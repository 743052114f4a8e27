// PLACEHOLDER: the return's layout, save, read-back and source readers are being built.
#include "qlnsales/sales_return.h"

#include "documents/layouts.h"

namespace qlnsales {

SalesReturn::SalesReturn() : AdoConnectionObject(std::make_shared<Connection>()) {}

bool SalesReturn::Create_Sales_Rtn() { return Fail("not built yet"); }
bool SalesReturn::Update_Sales_Rtn() { return Fail("not built yet"); }
bool SalesReturn::Get_Sales_Rtn() { return Fail("not built yet"); }
bool SalesReturn::Populate_Details() { return Fail("not built yet"); }
bool SalesReturn::Get_Sales_Invoice(std::string&, GridRef&, std::optional<bool>&) {
  return Fail("not built yet");
}
bool SalesReturn::Get_Delivery(std::string&, GridRef&, std::optional<bool>&) {
  return Fail("not built yet");
}
bool SalesReturn::Get_Direct_Delivery(std::string&, GridRef&, std::optional<bool>&) {
  return Fail("not built yet");
}
bool SalesReturn::Get_CashMemo(std::string&, GridRef&, std::optional<bool>&) {
  return Fail("not built yet");
}
std::string SalesReturn::GetFldValue(std::string, std::string, std::optional<std::string>,
                                     std::optional<std::string>, std::optional<bool>,
                                     std::optional<std::string>, std::optional<std::string>,
                                     std::optional<bool>) {
  return "";
}
bool SalesReturn::ExistDocument(std::string, std::string, std::string, std::optional<bool>,
                                std::optional<std::string>, std::optional<std::string>,
                                std::optional<bool>) {
  return false;
}

const DispatchTable& SalesReturn::Dispatch() const {
  using C = SalesReturn;
  static const DispatchTable table = [] {
    DispatchBuilder<C> b("QLNSales.SalesReturn");
    b.ReadOnly("ErrDesc", &C::ErrDesc)
        .Method("Return_Process", &C::Return_Process)
        .Method("Generate_Credit_Memo", &C::Generate_Credit_Memo);
    return b.Build();
  }();
  return table;
}

}  // namespace qlnsales
