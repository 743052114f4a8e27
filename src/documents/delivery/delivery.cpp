#include "qlnsales/delivery.h"

#include "base/convert.h"
#include "db/record.h"
#include "documents/layouts.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = Delivery;

// The two sources a delivery is made from, column by column.
struct SourceColumns {
  const char* master;
  const char* detail;
  const char* number;
  const char* date;
  const char* ordered;
  const char* delivered;
  const char* unit_price;
  const char* disc;
  const char* fc_disc;
  const char* amount;
  const char* fc_amount;
  const char* fc_unit_price;
  const char* invalid_number;
};

const SourceColumns kOrder{
    "Sales_Order_Master",    "Sales_Order_Detail",       "Sales_Ord_No",
    "Sales_Ord_Date",        "Sales_Ord_Ordered_Qty",    "Sales_Ord_Delivered_Qty",
    "Sales_Ord_Unit_Price",  "Sales_Ord_Disc_Amount",    "Sales_Ord_FC_Disc_Amount",
    "Sales_Ord_Item_Amount", "Sales_Ord_FC_Item_Amount", "Sales_Ord_FC_Unit_Price",
    "Invalid Sales Order No"};
const SourceColumns kCashMemo{"Cash_Memo_Master",
                              "Cash_Memo_Detail",
                              "Cash_Memo_No",
                              "Cash_Memo_Date",
                              "Cash_Memo_Qty",
                              "Cash_Memo_Delivered_Qty",
                              "Cash_Memo_Unit_Price",
                              "Cash_Memo_Disc_Amount",
                              "Cash_Memo_FC_Disc_Amount",
                              "Cash_Memo_Item_Amount",
                              "Cash_Memo_FC_Item_Amount",
                              "Cash_Memo_FC_Unit_Price",
                              "Invalid Cash Memo No"};

Layout<C> MakeLayout() {
  const auto K = CellKind::kNumber;
  Layout<C> l{
      .class_name = "QLNSales.Delivery",
      .master = "Delivery_Master",
      .detail = "Delivery_Detail",
      .number_column = "Delivery_No",
      .identity_column = "Delivery_Identity",
      .number = &C::DeliveryNo,
      .identity = &C::DeliveryIdentity,
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
      .cells = {{2, "Item_Code", CellKind::kItemCode},
                {3, "Item_Name", CellKind::kTrimmed},
                {4, "Unit_Code", K},
                {5, "Unit_Name", CellKind::kUnit},
                {6, "Unit_Qty", K},
                {7, "Delivery_Qty", K},
                {8, "Proj_No", CellKind::kText},
                {9, "Sales_Ord_Dtl_SL_No", K},
                {10, "Delivery_Dtl_Unit_Price", K},
                {11, "Delivery_Disc_Amount", K},
                {12, "Delivery_FC_Disc_Amount", K},
                {13, "Delivery_Item_Amount", K},
                {14, "Delivery_FC_Item_Amount", K},
                {15, "Delivery_Dtl_FC_Unit_Price", K},
                {16, "Sales_Ord_Balance_Qty", K},
                {20, "Location_Name", CellKind::kText},
                {21, "Location_ID", K},
                {22, "FOC_Flag", CellKind::kFlag}},
      .walk = Walk::kTickedUntilBlank,
      .code_col = 2,
      .name_col = 3,
      .tick_col = 1,
      .discount = {.rule = OverallDiscount<C>::Rule::kProportional,
                   .amount = &C::DeliveryDiscAmount,
                   .fc_amount = &C::DeliveryFCDiscAmount,
                   .subtotal = &C::DeliverySubtotal,
                   .fc_subtotal = &C::DeliveryFCSubtotal,
                   .amount_col = 13,
                   .fc_amount_col = 14,
                   .when_col = 18,
                   .column = "Sales_Ord_Overall_Disc",
                   .fc_column = "Sales_Ord_Overall_FC_Disc"},
      .not_found = "Invalid Delivery No",
  };
  const auto W = Write::kAlways, New = Write::kNewOnly, Keep = Write::kKeepWhenEmpty,
             Null = Write::kNullWhenEmpty, Never = Write::kNever;
  const auto P = Read::kPlain, Req = Read::kRequired, KeepRead = Read::kKeepOnNull;
  // A delivery on cash that is not paid yet keeps its total as the balance to collect.
  auto unpaid_cash = [](const C& c) {
    return convert::UCase(c.PaymentType) == "CASH" && !c.PaidFlag;
  };
  l.header = {
      {"ADOConnectionString", &C::ADOConnectionString},
      {"AdoDBConnectionObject", &C::AdoDBConnectionObject},
      {"Database", &C::Database},
      {"DeliveryGridName", &C::DeliveryGridName},
      {"CompanyPrefix", &C::CompanyPrefix, "Company_Prefix", W, P},
      {"BranchPrefix", &C::BranchPrefix, "Branch_Prefix", W, P},
      {"DocumentPrefix", &C::DocumentPrefix, "Document_Prefix", W, P},
      {"DeliveryNo", &C::DeliveryNo, "Delivery_No", New, P},
      {"DeliveryIdentity", &C::DeliveryIdentity, "Delivery_Identity", New, Req},
      {"CustomerCode", &C::CustomerCode, "Customer_Code", Keep, P},
      {"CustomerName", &C::CustomerName, "Customer_Name", Keep, P},
      {"ForeignCurrencyFlag", &C::ForeignCurrencyFlag, "Foreign_Currency_Flag", W, P},
      {"CurrencyCode", &C::CurrencyCode, "Currency_Code", Keep, P},
      {"CurrencySymbol", &C::CurrencySymbol, "Currency_Symbol", Keep, P},
      {"ExchangeRate", &C::ExchangeRate, "Exchange_Rate", W, Read::kNever,
       RateOf(&C::ForeignCurrencyFlag, &C::ExchangeRate)},
      {"CancelFlag", &C::CancelFlag, "Cancel_Flag", Never, P},
      {"AllowCancelFlag", &C::AllowCancelFlag, "Allow_Cancel_Flag", Never, P},
      {"EmployeeID", &C::EmployeeID, "Employee_ID", W, KeepRead,
       NullUnless(&C::EmployeeID, &C::EmployeeID, false)},
      {"EmployeeName", &C::EmployeeName, "Employee_Name", W, KeepRead,
       NullUnless(&C::EmployeeID, &C::EmployeeName, false)},
      {"ProcessFlag", &C::ProcessFlag, "Processed_Flag", Never, P},
      {"DeliveryDate", &C::DeliveryDate, "Delivery_Date", W, Req},
      {"DeliveryEndDate", &C::DeliveryEndDate, "Delivery_End_Date", W, Req},
      {"PaymentTerms", &C::PaymentTerms, "Payment_Terms", Keep, KeepRead},
      {"PaymentType", &C::PaymentType, "Payment_Type", Keep, P},
      {"SourceNo", &C::SourceNo, "Source_No", W, P},
      {"SourcePrefix", &C::SourcePrefix, "Source_Prefix", W, P},
      {"SourceDate", &C::SourceDate, "Source_Date", W, Req},
      {"DeliverySubtotal", &C::DeliverySubtotal, "Delivery_SubTotal", W, Req},
      {"DeliveryFCSubtotal", &C::DeliveryFCSubtotal, "Delivery_FC_SubTotal", W, Req},
      {"DeliveryDiscAmount", &C::DeliveryDiscAmount, "Delivery_Disc_Amount", W, Req},
      {"DeliveryFCDiscAmount", &C::DeliveryFCDiscAmount, "Delivery_FC_Disc_Amount", W, Req},
      {"DeliveryTotalAmount", &C::DeliveryTotalAmount, "Delivery_Total_Amount", W, Req},
      {"DeliveryFCTotalAmount", &C::DeliveryFCTotalAmount, "Delivery_FC_Total_Amount", W, Req},
      {nullptr, &C::DeliveryTotalAmount, "Balance_Amount", W, Read::kNever, nullptr, unpaid_cash},
      {nullptr, &C::DeliveryFCTotalAmount, "Balance_FCAmount", W, Read::kNever, nullptr,
       unpaid_cash},
      {"PaidFlag", &C::PaidFlag, "Paid_Flag", W, P},
      {"InvoicedFlag", &C::InvoicedFlag, "Invoiced_Flag", Never, P},
      {"DeliveryComments", &C::DeliveryComments, "Delivery_Comments", Write::kNullWhenBlank,
       KeepRead},
      {"SourceName", &C::SourceName, "source_Name", Keep, KeepRead},
      {"CustomerAddressCode", &C::CustomerAddressCode, "Address_Code", Null, KeepRead},
      {"DeliveryRefNo", &C::DeliveryRefNo, "Delivery_Ref_No", W, KeepRead,
       // A blank reference is kept as two blanks.
       [](const C& c) { return Value(Trim(c.DeliveryRefNo).empty() ? "  " : c.DeliveryRefNo); }},
      {"LastUpdate", &C::LastUpdate, "Last_Update", Write::kStamp, Read::kNever},
      {"YearEndFlag", &C::YearEndFlag},
      {"LocationID", &C::LocationID},
      {"LocationName", &C::LocationName},
      {"StockMovementPrefix", &C::StockMovementPrefix},
      {"SalesLogPrefix", &C::SalesLogPrefix},
      {"DocManualFlag", &C::DocManualFlag},
      {"ManualDeliveryIdentity", &C::ManualDeliveryIdentity},
      {"OnlineFlag", &C::OnlineFlag},
      {"SyncFlag", &C::SyncFlag},
      {"AmtDig", &C::AmtDig},
  };
  return l;
}

// The header and the outstanding lines of the source order or cash memo.
bool FillFromSource(Delivery& d, const SourceColumns& s) {
  auto conn = connection_rule::StringOnly(d.ADOConnectionString);
  auto masters = conn->Query(
      std::string("SELECT * FROM ") + s.master + " WHERE " + s.number + " = ?", {d.SourceNo});
  if (masters.empty()) throw Error(s.invalid_number);
  Row m = masters.front();
  d.SourceDate = m.Required(s.date).ToDate();
  d.SourcePrefix = m.Text("Document_Prefix");
  auto text_if = [&m](const char* column, std::string& property) {
    if (!m.IsNull(column)) property = m.Text(column);
  };
  text_if("Customer_Code", d.CustomerCode);
  text_if("Customer_Name", d.CustomerName);
  text_if("Payment_Terms", d.PaymentTerms);
  text_if("Payment_Type", d.PaymentType);
  const bool order = &s == &kOrder;
  if (order) {
    text_if("Employee_ID", d.EmployeeID);
    text_if("Employee_Name", d.EmployeeName);
  }
  d.ForeignCurrencyFlag = m.Flag("Foreign_Currency_Flag");
  if (!order && d.ForeignCurrencyFlag) d.ExchangeRate = m.Double("Exchange_Rate");
  d.CurrencyCode = m.Text("Currency_Code");
  d.CurrencySymbol = Trim(m.Text("Currency_Symbol"));

  auto lines = conn->Query(std::string("SELECT * FROM ") + s.detail + " WHERE " + s.number +
                               " = ? AND " + s.delivered + " < " + s.ordered + " ORDER BY SL_No",
                           {d.SourceNo});
  if (lines.empty()) throw Error("Invalid Item Details");
  Grid& grid = RequireGrid(d.DeliveryGridName, "DeliveryGridName");
  for (std::int32_t i = 1; i <= static_cast<std::int32_t>(lines.size()); ++i) {
    Row l = lines[static_cast<std::size_t>(i - 1)];
    EnsureRow(grid, i);  // a grid with too few rows grows
    auto number = [&l](const char* column) { return GridNumber(NumberOf(l[column])); };
    const std::string outstanding = GridNumber(l.Double(s.ordered) - l.Double(s.delivered));
    grid.SetTextMatrix(i, 1, "0");
    grid.SetTextMatrix(i, 2, convert::Mid(l.Text("Item_Code"), 3));
    grid.SetTextMatrix(i, 3, l.Text("Item_Name"));
    grid.SetTextMatrix(i, 4, number("Unit_Code"));
    grid.SetTextMatrix(i, 5, l.Text("Unit_Name"));
    grid.SetTextMatrix(i, 6, number("Unit_Qty"));
    grid.SetTextMatrix(i, 7, outstanding);
    if (!l.IsNull("Proj_No")) grid.SetTextMatrix(i, 8, l.Text("Proj_No"));
    grid.SetTextMatrix(i, 9, l.Text("SL_No"));
    grid.SetTextMatrix(i, 10, number(s.unit_price));
    grid.SetTextMatrix(i, 11, number(s.disc));
    grid.SetTextMatrix(i, 12, number(s.fc_disc));
    grid.SetTextMatrix(i, 13, number(s.amount));
    grid.SetTextMatrix(i, 14, number(s.fc_amount));
    grid.SetTextMatrix(i, 15, number(s.fc_unit_price));
    grid.SetTextMatrix(i, 16, outstanding);
    grid.SetTextMatrix(i, 22, l.Double("FOC_Flag") != 0 ? "1" : "0");
  }
  return true;
}

// The checks before a source is marked; the failure's text, or none.
const char* MarkFault(const Delivery& d, const SourceColumns& s) {
  if (Trim(d.SourceNo).empty()) return s.invalid_number;
  if (Trim(d.SourcePrefix).empty()) return "Invalid Document Prefix";
  if (!connection_rule::IsOpen(d.AdoDBConnectionObject)) return "Connection is not open";
  return nullptr;
}

// The source marked as processed and no longer cancellable.
bool MarkSource(Delivery& d, const SourceColumns& s) {
  auto changed =
      Record()
          .Set("Allow_Cancel_Flag", 0)
          .Set("process_Flag", 1)
          .Set("Last_Update", Stamp(s.master, DayOf(d.LastUpdate)))
          .Update(*d.AdoDBConnectionObject, s.master, Record().Set(s.number, d.SourceNo));
  if (changed == 0) throw Error(s.invalid_number);
  return true;
}

}  // namespace

const Layout<Delivery>& documents::DeliveryLayout() {
  static const Layout<Delivery> layout = MakeLayout();
  return layout;
}

Delivery::Delivery() : AdoDBConnectionObject(std::make_shared<Connection>()) {}

bool Delivery::Get_Order_Details() {
  if (Trim(SourceNo).empty()) return Fail("Invalid Sales Order NO");
  return Trap([&] { return FillFromSource(*this, kOrder); });
}

bool Delivery::Get_CashMemo_Details() {
  if (Trim(SourceNo).empty()) return Fail("Invalid Cash Memo No");
  return Trap([&] { return FillFromSource(*this, kCashMemo); });
}

bool Delivery::Validation() {
  if (!connection_rule::IsOpen(AdoDBConnectionObject)) return Fail("Connection not opened");
  if (Trim(SourceNo).empty()) return Fail("Invalid Sales Order or Cash Memo No");
  if (Trim(SourcePrefix).empty()) return Fail("Invalid Sales Order or Cash Memo Prefix");
  return true;
}

bool Delivery::Create_Delivery(std::optional<bool> Save_Detail_Flag) {
  if (!Validation()) return false;
  return Trap([&] {
    return CreateDocument(*this, DeliveryLayout(), {CompanyPrefix, BranchPrefix, DocumentPrefix},
                          Save_Detail_Flag.value_or(false));
  });
}

bool Delivery::Create_Delivery_Master() {
  return Trap([&] {
    SaveMaster(*this, DeliveryLayout(), *connection_rule::ObjectOnly(AdoDBConnectionObject));
    return true;
  });
}

bool Delivery::Update_Delivery() {
  if (!Validation()) return false;
  // Without a number there is nothing to save under; nothing is written.
  if (Trim(DeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] { return UpdateDocument(*this, DeliveryLayout()); });
}

bool Delivery::Update_Sales_Order() {
  if (auto fault = MarkFault(*this, kOrder)) return Fail(fault);
  return Trap([&] { return MarkSource(*this, kOrder); });
}

bool Delivery::Update_Cash_Memo() {
  if (auto fault = MarkFault(*this, kCashMemo)) return Fail(fault);
  return Trap([&] { return MarkSource(*this, kCashMemo); });
}

bool Delivery::Get_Delivery() {
  if (Trim(DeliveryNo).empty()) return Fail("Invalid Delivery No");
  return Trap([&] {
    auto conn = connection_rule::ObjectFirst(ADOConnectionString, AdoDBConnectionObject);
    return ReadDocument(*this, DeliveryLayout(), *conn, false);  // the grid is not filled
  });
}

const DispatchTable& Delivery::Dispatch() const {
  static const DispatchTable table = BuildDispatch(DeliveryLayout(), [](DispatchBuilder<C>& b) {
    b.Method("Get_Order_Details", &C::Get_Order_Details)
        .Method("Get_CashMemo_Details", &C::Get_CashMemo_Details)
        .Method("Validation", &C::Validation)
        .Method("Create_Delivery", &C::Create_Delivery)
        .Method("Create_Delivery_Master", &C::Create_Delivery_Master)
        .Method("Update_Delivery", &C::Update_Delivery)
        .Method("Update_Sales_Order", &C::Update_Sales_Order)
        .Method("Update_Cash_Memo", &C::Update_Cash_Memo)
        .Method("Get_Delivery", &C::Get_Delivery)
        .Method("Process_Delivery", &C::Process_Delivery);
  });
  return table;
}

}  // namespace qlnsales
