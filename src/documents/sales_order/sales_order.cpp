#include "qlnsales/sales_order.h"

#include "base/convert.h"
#include "documents/layouts.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = SalesOrder;

// The quotation an order is made from must exist; it is checked before anything is written.
void CheckQuotation(C& o, Connection& conn) {
  const std::string quotation = Trim(o.SalesQuotNo);
  if (!quotation.empty() &&
      conn.Query("SELECT Sales_Quot_No FROM Sales_Quotation_Master WHERE Sales_Quot_No = ?",
                 {quotation})
          .empty())
    throw Error("Invalid Quotation No ");
}

// ...and once the order is written, it is processed and no longer cancellable.
void MarkQuotation(C& o, Connection& conn) {
  const std::string quotation = Trim(o.SalesQuotNo);
  if (quotation.empty()) return;
  auto changed =
      Record()
          .Set("process_Flag", 1)
          .Set("Allow_Cancel_Flag", 0)
          .Set("Last_Update", o.LastUpdate)
          .Update(conn, "Sales_Quotation_Master", Record().Set("Sales_Quot_No", quotation));
  if (changed == 0) throw Error("Invalid Quotation No ");
}

Layout<C> MakeLayout() {
  const auto K = CellKind::kNumber;
  Layout<C> l{
      .class_name = "QLNSales.SalesOrder",
      .master = "Sales_Order_Master",
      .detail = "Sales_Order_Detail",
      .number_column = "Sales_Ord_No",
      .identity_column = "Sales_ord_Identity",
      .number = &C::SalesOrdNo,
      .identity = &C::SalesOrdIdentity,
      .connection = &C::AdoConnectionObject,
      .grid = &C::OrderGridName,
      .grid_property = "OrderGridName",
      .currency_code = &C::CurrencyCode,
      .currency_symbol = &C::CurrencySymbol,
      .company_prefix = &C::CompanyPrefix,
      .branch_prefix = &C::BranchPrefix,
      .document_prefix = &C::DocumentPrefix,
      .last_update = &C::LastUpdate,
      .bad_company = "Invalid Comapny Prefix",
      .bad_branch = "Invalid Branch Prefix",
      .bad_document = "Invalid Document Prefix",
      .header = {},
      .cells = {{1, "Item_Code", CellKind::kItemCode, true},
                {2, "Item_Name", CellKind::kTrimmedOrNull, true},
                {3, "Unit_Code", K, true},
                {4, "Unit_Name", CellKind::kUnit},
                {5, "Unit_Qty", K},
                {6, "Sales_Ord_Ordered_Qty", K},
                // The grid shows the price in the order's own currency.
                {7, "Sales_Ord_FC_Unit_Price", K, false, nullptr,
                 [](const C& o, const Row& r) -> std::optional<std::string> {
                   return GridNumber(r.Double(o.ForeignCurrencyFlag ? "Sales_Ord_FC_Unit_Price"
                                                                    : "Sales_Ord_Unit_Price"));
                 }},
                {8, "Sales_Ord_Dtl_Disc_Percent", K},
                {9, "Sales_Ord_FC_Disc_Amount", K},
                {10, "Sales_Ord_FC_Item_Amount", K},
                {11, "Sales_Ord_Item_Amount", CellKind::kText},
                {12, "Sales_Ord_Disc_Amount", K},
                // The project shows as its code (column 13) and is kept whole (column 16); a line
                // whose code cell is empty has none.
                {13, nullptr, CellKind::kText, false, nullptr,
                 [](const C&, const Row& r) -> std::optional<std::string> {
                   const std::string project = r.Text("Proj_No");
                   if (project.empty()) return std::nullopt;
                   return convert::Mid(project, 8);
                 }},
                {14, "Sales_Quot_SL_No", K},
                {15, "Sales_Ord_Unit_Price", K},
                {16, "Proj_No", CellKind::kText, false,
                 [](const C&, Grid& g, std::int32_t r) {
                   return g.TextMatrix(r, 13).empty() ? Value() : Value(g.TextMatrix(r, 16));
                 },
                 [](const C&, const Row& r) -> std::optional<std::string> {
                   const std::string project = r.Text("Proj_No");
                   if (project.empty()) return std::nullopt;
                   return project;
                 }},
                {17, "FOC_Flag", CellKind::kFlag, true}},
      .walk = Walk::kSkipBlank,
      .discount = {.rule = OverallDiscount<C>::Rule::kPercent,
                   .percent = &C::SalesOrdDiscPercent,
                   .amount = &C::SalesOrdDiscAmount,
                   .fc_amount = &C::SalesOrdFCDiscAmount,
                   .digits = &C::AmtDig,
                   .amount_col = 11,
                   .fc_amount_col = 10,
                   .column = "Sales_Ord_Overall_Disc",
                   .fc_column = "Sales_Ord_Overall_FC_Disc"},
      .not_found = "Invlaid Order No",
      .before_save = CheckQuotation,
      .after_save = MarkQuotation,
      .after_read =
          [](C& o, const Row& r) {
            if (!r.IsNull("Customer_PO_No") && !r.IsNull("Customer_PO_Date"))
              o.CustomerPODate = r.DateValue("Customer_PO_Date");
            o.ExchangeRate = o.ForeignCurrencyFlag ? r.Double("Exchange_Rate") : 1;
          },
      // A processed or cancelled order shows exactly its lines and a spare row; an open one
      // grows to hold them.
      .size_grid =
          [](const C& o, Grid& grid, std::int32_t count) {
            if (o.ProcessFlag || o.CancelFlag || grid.Rows() - 1 < count) grid.SetRows(count + 2);
          },
  };
  const auto W = Write::kAlways, New = Write::kNewOnly, Null = Write::kNullWhenEmpty,
             Never = Write::kNever;
  const auto P = Read::kPlain, Req = Read::kRequired, Keep = Read::kKeepOnNull,
             NoRead = Read::kNever;
  l.header = {
      {"ADOConnectionString", &C::ADOConnectionString},
      {"AdoConnectionObject", &C::AdoConnectionObject},
      {"OrderGridName", &C::OrderGridName},
      {"SalesOrdNo", &C::SalesOrdNo, "Sales_Ord_No", New, Req},
      {"CompanyPrefix", &C::CompanyPrefix, "Company_Prefix", W, Req},
      {"BranchPrefix", &C::BranchPrefix, "Branch_Prefix", W, Req},
      {"DocumentPrefix", &C::DocumentPrefix, "Document_Prefix", W, Req},
      {"SalesOrdIdentity", &C::SalesOrdIdentity, "Sales_ord_Identity", New, Req},
      {"CustomerCode", &C::CustomerCode, "Customer_Code", Null, Keep},
      {"CustomerName", &C::CustomerName, "Customer_Name", Null, Keep},
      {"SalesOrdDate", &C::SalesOrdDate, "Sales_Ord_Date", W, Req},
      {"SalesOrdComments", &C::SalesOrdComments, "Sales_Ord_Comments", Null, Keep},
      {"SalesOrdSubTotal", &C::SalesOrdSubTotal, "Sales_Ord_SubTotal", W, Req},
      {"SalesOrdDiscPercent", &C::SalesOrdDiscPercent, "Sales_Ord_Disc_Percent", W, Req},
      {"SalesOrdDiscAmount", &C::SalesOrdDiscAmount, "Sales_Ord_Disc_Amount", W, Req},
      {"SalesOrdTotalAmount", &C::SalesOrdTotalAmount, "Sales_Ord_Total_Amount", W, Req},
      {"SalesOrdFCSubTotal", &C::SalesOrdFCSubTotal, "Sales_Ord_FC_SubTotal", W, Req},
      {"SalesOrdFCDiscAmount", &C::SalesOrdFCDiscAmount, "Sales_Ord_FC_Disc_Amount", W, Req},
      {"SalesOrdFCTotalAmount", &C::SalesOrdFCTotalAmount, "Sales_Ord_FC_Total_Amount", W, Req},
      {"ForeignCurrencyFlag", &C::ForeignCurrencyFlag, "Foreign_Currency_Flag", W, P},
      {"CurrencyCode", &C::CurrencyCode, "Currency_Code", Null, Keep},
      {"CurrencySymbol", &C::CurrencySymbol, "Currency_Symbol", Null, Keep},
      {"ExchangeRate", &C::ExchangeRate, "Exchange_Rate", W, NoRead,
       RateOf(&C::ForeignCurrencyFlag, &C::ExchangeRate)},
      {"PaymentTerms", &C::PaymentTerms, "Payment_Terms", Null, P},
      {"PaymentType", &C::PaymentType, "Payment_Type", Null, P},
      {"ProcessFlag", &C::ProcessFlag, "process_Flag", Never, P},
      {"CancelFlag", &C::CancelFlag, "Cancel_Flag", W, P},
      {"AllowCancelFlag", &C::AllowCancelFlag, "Allow_Cancel_Flag", W, P},
      {"InvoicedFlag", &C::InvoicedFlag, "Invoiced_Flag", Never, P},
      {"DeliveredFlag", &C::DeliveredFlag, "Delivered_Flag", Never, P},
      {"YearEndFlag", &C::YearEndFlag, "Year_End_Flag", Never, P},
      {"PaidFlag", &C::PaidFlag, "Paid_Flag", Never, P},
      {"SalesQuotNo", &C::SalesQuotNo, "Sales_Quot_No", Null, Keep},
      {"CustomerPONo", &C::CustomerPONo, "Customer_PO_No", Null, Keep},
      {"CustomerPODate", &C::CustomerPODate, "Customer_PO_Date", W, NoRead},
      {"EmployeeID", &C::EmployeeID, "Employee_ID", W, Keep,
       NullUnless(&C::EmployeeID, &C::EmployeeID, true)},
      {"EmployeeName", &C::EmployeeName, "Employee_Name", W, Keep,
       NullUnless(&C::EmployeeID, &C::EmployeeName, true)},
      {"DeliveryDate", &C::DeliveryDate, "Delivery_Date", W, Keep},
      {"LocationID", &C::LocationID, "Location_ID", W, NoRead},
      {"LocationName", &C::LocationName, "Location_Name", Null, NoRead},
      {"LastUpdate", &C::LastUpdate, "Last_Update", Write::kStamp, NoRead},
      {"FulFilledFlag", &C::FulFilledFlag},
      {"DocManualFlag", &C::DocManualFlag},
      {"DocIdentity", &C::DocIdentity},
      {"OnlineFlag", &C::OnlineFlag},
      {"SyncFlag", &C::SyncFlag},
      {"AmtDig", &C::AmtDig},
      {"DeliveryPrefix", &C::DeliveryPrefix},
      {"CashMemoPrefix", &C::CashMemoPrefix},
      {"InvoicePrefix", &C::InvoicePrefix},
      {"StockMovementPrefix", &C::StockMovementPrefix},
      {"SalesLogPrefix", &C::SalesLogPrefix},
  };
  return l;
}

// The header checks, in their order; the failure's text, or none.
const char* HeaderFault(const C& o) {
  if (o.CompanyPrefix.empty()) return "Invalid Comapny Prefix";
  if (o.BranchPrefix.empty()) return "Invalid Branch Prefix";
  if (o.DocumentPrefix.empty()) return "Invalid Document Prefix";
  if (Trim(o.CustomerName).empty() || Trim(o.CustomerCode).empty())
    return "Invalid Customer Details";
  if (Trim(o.PaymentType).empty()) return "Invalid Payment Type";
  return nullptr;
}

}  // namespace

const Layout<SalesOrder>& documents::SalesOrderLayout() {
  static const Layout<SalesOrder> layout = MakeLayout();
  return layout;
}

bool SalesOrder::Create_Order() {
  if (auto fault = HeaderFault(*this)) return Fail(fault);
  return Trap([&] {
    return CreateDocument(*this, SalesOrderLayout(), {CompanyPrefix, BranchPrefix, DocumentPrefix},
                          true);
  });
}

bool SalesOrder::Update_Order() {
  if (auto fault = HeaderFault(*this)) return Fail(fault);
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(SalesOrdNo).empty()) return Fail("Invalid Order No.");
  return Trap([&] { return UpdateDocument(*this, SalesOrderLayout()); });
}

bool SalesOrder::Get_Order() {
  if (SalesOrdNo.empty()) return Fail("Invalid Order No.");
  return Trap([&] {
    // Filling the grid is part of reading the order: when it fails, so does Get_Order.
    return ReadDocument(*this, SalesOrderLayout(),
                        *connection_rule::StringOnly(ADOConnectionString), !header_only_);
  });
}

const DispatchTable& SalesOrder::Dispatch() const {
  static const DispatchTable table = BuildDispatch(SalesOrderLayout(), [](DispatchBuilder<C>& b) {
    b.Method("Create_Order", &C::Create_Order)
        .Method("Update_Order", &C::Update_Order)
        .Method("Get_Order", &C::Get_Order)
        .Method("Process_Order", &C::Process_Order)
        .Method("Update_Item_SORDQty", &C::Update_Item_SORDQty)
        .Method("GenerateDefaults", &C::GenerateDefaults)
        .Method("Process_Delivery", &C::Process_Delivery)
        .Method("Create_Delivery_Detail", &C::Create_Delivery_Detail)
        .Method("Process_CashMemo", &C::Process_CashMemo)
        .Method("Create_CashMemo_Detail", &C::Create_CashMemo_Detail)
        .Method("Process_Invoice", &C::Process_Invoice)
        .Method("Create_Invoice_Detail", &C::Create_Invoice_Detail);
  });
  return table;
}

}  // namespace qlnsales
