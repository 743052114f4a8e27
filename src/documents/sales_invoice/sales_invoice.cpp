// Placeholder while the invoice's layout, list, saves and read-back are written; not to land as is.
#include "qlnsales/sales_invoice.h"

namespace qlnsales {

using C = SalesInvoice;

SalesInvoice::SalesInvoice() = default;

bool SalesInvoice::Get_Delivery_Details() { return Fail("not written yet"); }
bool SalesInvoice::Create_Sales_Invoice(std::optional<bool>) { return Fail("not written yet"); }
bool SalesInvoice::Update_Sales_Invoice() { return Fail("not written yet"); }
bool SalesInvoice::Get_Invoice() { return Fail("not written yet"); }
std::string SalesInvoice::GetFldValue(std::string, std::string, std::optional<std::string>,
                                      std::optional<std::string>, std::optional<bool>,
                                      std::optional<std::string>, std::optional<std::string>,
                                      std::optional<bool>) {
  return {};
}
bool SalesInvoice::ExistDocument(std::string, std::string, std::string, std::optional<bool>,
                                 std::optional<std::string>, std::optional<std::string>,
                                 std::optional<bool>) {
  return false;
}

const DispatchTable& SalesInvoice::Dispatch() const {
  static const DispatchTable table = [] {
    DispatchBuilder<C> b("QLNSales.SalesInvoice");
    b.Method("Process_Invoice", &C::Process_Invoice);
    return b.Build();
  }();
  return table;
}

}  // namespace qlnsales
