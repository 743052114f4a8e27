#include "qlnsales/direct_delivery.h"

#include "base/convert.h"
#include "documents/layouts.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = DirectDelivery;

Layout<C> MakeLayout() {
  const auto K = CellKind::kNumber;
  Layout<C> l{
      .class_name = "QLNSales.DirectDelivery",
      .master = "Direct_Delivery_Master",
      .detail = "Direct_Delivery_Detail",
      .number_column = "Direct_Delivery_No",
      .identity_column = "Direct_Delivery_Identity",
      .number = &C::DirectDeliveryNo,
      .identity = &C::DirectDeliveryIdentity,
      .connection = &C::AdoDBConnectionObject,
      .grid = &C::DeliveryGridName,
      .grid_property = "DeliveryGridName",
      .currency_code = &C::CurrencyCode,
      .currency_symbol = &C::CurrencySymbol,
      .company_prefix = &C::CompanyPrefix,
      .branch_prefix = &C::BranchPrefix,
      .document_prefix = &C::DocumentPrefix,
      .last_update = &C::LastUpdate,
      .bad_company = "Invalid Company Prefix",
      .bad_branch = "Invalid Branch Prefix",
      .bad_document = "Invalid Document Prefix",
      .header = {},
      .cells = {{1, "Item_Code", CellKind::kItemCode},
                {2, "Item_Name", CellKind::kTrimmed},
                {3, "Unit_Code", K},
                {4, "Unit_Name", CellKind::kUnit},
                {5, "Unit_Qty", K},
                {6, "Direct_Delivery_Qty", K},
                {7, "Direct_Delivery_Dtl_FC_Unit_Price", K},
                {8, "Direct_Delivery_Dtl_Disc_Percent", K},
                {9, "Direct_Delivery_FC_Disc_Amount", K},
                {10, "Direct_Delivery_FC_Item_Amount", K},
                {11, "Direct_Delivery_Item_Amount", K},
                {12, "Direct_Delivery_Disc_Amount", K},
                {13, "Direct_Delivery_Dtl_Unit_Price", K},
                {14, "Location_Name", CellKind::kText, true},
                {15, "Proj_No", CellKind::kText, true},
                {17, "Location_ID", K, true},
                {18, "FOC_Flag", K}},
      .walk = Walk::kUntilBlank,
      .discount = {.rule = OverallDiscount<C>::Rule::kPercent,
                   .percent = &C::DirectDeliveryDiscPercent,
                   .amount = &C::DirectDeliveryDiscAmount,
                   .fc_amount = &C::DirectDeliveryFCDiscAmount,
                   .amount_col = 11,
                   .fc_amount_col = 10,
                   .column = "Direct_Delivery_OverAll_Disc_Amount",
                   .fc_column = "Direct_Delivery_OverAll_Fc_Disc_Amount"},
      .not_found = "Invalid Delivery No",
      .no_lines = "Invalid Delivery No",
  };
  const auto W = Write::kAlways, New = Write::kNewOnly, Null = Write::kNullWhenEmpty,
             Never = Write::kNever;
  const auto P = Read::kPlain, Req = Read::kRequired, Keep = Read::kKeepOnNull,
             NoRead = Read::kNever;
  // A delivery on credit keeps its total as the balance to collect.
  auto on_credit = [](const C& c) { return convert::UCase(c.PaymentType) == "CREDIT"; };
  l.header = {
      {"ADOConnectionString", &C::ADOConnectionString},
      {"AdoDBConnectionObject", &C::AdoDBConnectionObject},
      {"Database", &C::Database},
      {"DeliveryGridName", &C::DeliveryGridName},
      {"DirectDeliveryNo", &C::DirectDeliveryNo, "Direct_Delivery_No", New, P},
      {"CompanyPrefix", &C::CompanyPrefix, "Company_Prefix", W, P},
      {"BranchPrefix", &C::BranchPrefix, "Branch_Prefix", W, P},
      {"DocumentPrefix", &C::DocumentPrefix, "Document_Prefix", W, P},
      {"DirectDeliveryIdentity", &C::DirectDeliveryIdentity, "Direct_Delivery_Identity", New, Req},
      {"CustomerCode", &C::CustomerCode, "Customer_Code", Null, P},
      {"CustomerName", &C::CustomerName, "Customer_Name", Null, P},
      {"ForeignCurrencyFlag", &C::ForeignCurrencyFlag, "Foreign_Currency_Flag", W, P},
      {"ExchangeRate", &C::ExchangeRate, "Exchange_Rate", W, NoRead,
       RateOf(&C::ForeignCurrencyFlag, &C::ExchangeRate)},
      {"CurrencyCode", &C::CurrencyCode, "Currency_Code", Null, P},
      {"CurrencySymbol", &C::CurrencySymbol, "Currency_Symbol", Null, P},
      {"CancelFlag", &C::CancelFlag, "Cancel_Flag", Never, P},
      {"AllowCancelFlag", &C::AllowCancelFlag, "Allow_Cancel_Flag", Never, P},
      {"ProcessFlag", &C::ProcessFlag, "Processed_Flag", Never, P},
      {"DirectDeliveryDate", &C::DirectDeliveryDate, "Direct_Delivery_Date", W, Req},
      {"DirectDeliveryEndDate", &C::DirectDeliveryEndDate, "Direct_Delivery_End_Date", W, Req},
      {"PaymentTerms", &C::PaymentTerms, "Payment_Terms", Null, Keep},
      {"PaymentType", &C::PaymentType, "Payment_Type", Null, P},
      {"DirectDeliverySubtotal", &C::DirectDeliverySubtotal, "Direct_Delivery_SubTotal", W, Req},
      {"DirectDeliveryFCSubtotal", &C::DirectDeliveryFCSubtotal, "Direct_Delivery_FC_SubTotal", W,
       Req},
      {"DirectDeliveryDiscPercent", &C::DirectDeliveryDiscPercent, "Direct_Delivery_Disc_Percent",
       W, Req},
      {"DirectDeliveryDiscAmount", &C::DirectDeliveryDiscAmount, "Direct_Delivery_Disc_Amount", W,
       Req},
      {"DirectDeliveryFCDiscAmount", &C::DirectDeliveryFCDiscAmount,
       "Direct_Delivery_FC_Disc_Amount", W, Req},
      {"DirectDeliveryTotalAmount", &C::DirectDeliveryTotalAmount, "Direct_Delivery_Total_Amount",
       W, Req},
      {"DirectDeliveryFCTotalAmount", &C::DirectDeliveryFCTotalAmount,
       "Direct_Delivery_FC_Total_Amount", W, Req},
      {nullptr, &C::DirectDeliveryTotalAmount, "Balance_Amount", W, NoRead, nullptr, on_credit},
      {nullptr, &C::DirectDeliveryFCTotalAmount, "Balance_FCAmount", W, NoRead, nullptr, on_credit},
      {"EmployeeID", &C::EmployeeID, "Employee_ID", W, NoRead,
       NullUnless(&C::EmployeeID, &C::EmployeeID, false)},
      {"EmployeeName", &C::EmployeeName, "Employee_Name", W, NoRead,
       NullUnless(&C::EmployeeID, &C::EmployeeName, false)},
      {"PaidFlag", &C::PaidFlag, "Paid_Flag", W, P},
      {"InvoicedFlag", &C::InvoicedFlag, "Invoiced_Flag", Never, P},
      {"DirectDeliveryComments", &C::DirectDeliveryComments, "Direct_Delivery_Comments", W, Keep,
       // A blank comment is kept as one blank.
       [](const C& c) {
         return Value(Trim(c.DirectDeliveryComments).empty() ? " " : c.DirectDeliveryComments);
       }},
      {"CustomerAddressCode", &C::CustomerAddressCode, "Address_Code", Null, Keep},
      {"LastUpdate", &C::LastUpdate, "Last_Update", Write::kStamp, NoRead},
      {"DocFlag", &C::DocFlag},
      {"manualDocIdentity", &C::manualDocIdentity},
      {"OnlineFlag", &C::OnlineFlag},
      {"SyncFlag", &C::SyncFlag},
      {"LocationID", &C::LocationID},
      {"LocationName", &C::LocationName},
      {"StockMovementPrefix", &C::StockMovementPrefix},
      {"SalesLogPrefix", &C::SalesLogPrefix},
      {"SellingQty", &C::SellingQty},
      {"YearEndFlag", &C::YearEndFlag},
  };
  return l;
}

}  // namespace

const Layout<DirectDelivery>& documents::DirectDeliveryLayout() {
  static const Layout<DirectDelivery> layout = MakeLayout();
  return layout;
}

bool DirectDelivery::Validation() {
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection not opened");
  if (Trim(CustomerCode).empty() || Trim(CustomerName).empty())
    return Fail("Invalid Customer Details");
  if (Trim(PaymentType).empty()) return Fail("Invalid Payment Type");
  if (Trim(CompanyPrefix).empty()) return Fail("Invalid Company Prefix");
  if (Trim(BranchPrefix).empty()) return Fail("Invalid Branch Prefix");
  if (DirectDeliverySubtotal == 0) return Fail("Invalid Sub Total");
  if (DirectDeliveryTotalAmount == 0) return Fail("Invalid Total Amount");
  return true;
}

bool DirectDelivery::Create_Direct_Delivery() {
  if (!Validation()) return false;
  return Trap([&] {
    return CreateDocument(*this, DirectDeliveryLayout(),
                          {CompanyPrefix, BranchPrefix, DocumentPrefix}, true);
  });
}

bool DirectDelivery::Update_Direct_Delivery() {
  if (!Validation()) return false;
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(DirectDeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] { return UpdateDocument(*this, DirectDeliveryLayout()); });
}

bool DirectDelivery::Create_Direct_Delivery_Master() {
  return Trap([&] {
    SaveMaster(*this, DirectDeliveryLayout(), *connection_rule::ObjectOnly(AdoDBConnectionObject));
    return true;
  });
}

bool DirectDelivery::Get_Direct_Delivery() {
  if (Trim(DirectDeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    auto conn = connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject);
    return ReadDocument(*this, DirectDeliveryLayout(), *conn, true);
  });
}

const DispatchTable& DirectDelivery::Dispatch() const {
  static const DispatchTable table =
      BuildDispatch(DirectDeliveryLayout(), [](DispatchBuilder<C>& b) {
        b.Method("Validation", &C::Validation)
            .Method("Create_Direct_Delivery", &C::Create_Direct_Delivery)
            .Method("Create_Direct_Delivery_Master", &C::Create_Direct_Delivery_Master)
            .Method("Update_Direct_Delivery", &C::Update_Direct_Delivery)
            .Method("Get_Direct_Delivery", &C::Get_Direct_Delivery)
            .Method("Process_Direct_Delivery", &C::Process_Direct_Delivery);
      });
  return table;
}

}  // namespace qlnsales
